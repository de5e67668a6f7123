// GLSL programs built from stage files under shaders/, with the fixed attribute and
// output bindings every scene relies on, and uniform setters by name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

constexpr int kShaderStages = 3;        // vertex, geometry, fragment, in that order
constexpr int kSourcePieces = 1024;     // pieces of one shader's source handed to OpenGL
constexpr int kSourcePieceBytes = 1024; // bytes per piece, terminator included
constexpr int kInfoLogBytes = 4096;     // compiler and linker messages, terminator included

struct ShaderProgram {
  uint32_t id = 0;     // OpenGL program name; 0 = none
  bool built = false;  // set by buildProgram, whatever its outcome
  ShaderProgram() = default;
  ShaderProgram(const ShaderProgram&) = delete;
  ShaderProgram& operator=(const ShaderProgram&) = delete;
  ~ShaderProgram();
};

// Sets what a program needs once after each build (sampler units, constant uniforms): it
// runs right after buildProgram and again after every live reload of the program's files.
using ProgramSetup = std::function<void(const ShaderProgram& program)>;

// Compiles and links the given stages (a null path means no such stage), then runs setup.
// Always stores a usable program name in out, even when compiling or linking failed;
// failures are logged. The program is remembered so that a live reload can rebuild it.
void buildProgram(ShaderProgram& out, const char* vertexPath, const char* geometryPath,
                  const char* fragmentPath, const ProgramSetup& setup = nullptr, int line = __builtin_LINE());
// The setup of a pass that reads one texture: sampler "tex0" on unit 0.
void setTex0Unit(const ShaderProgram& program);
// Compiles and links the stages (null = none) into a new program name and returns it, logging
// failures as buildProgram does when logFailures is set. failures gets each compiler or linker
// message line prefixed with its file and line; it stays empty when the program linked.
uint32_t compileProgram(const char* const paths[kShaderStages], int line, bool logFailures, std::string& failures);
// Fills one shader object's source from a file; a file that cannot be opened is logged by
// name and leaves the shader empty.
void loadShaderSource(uint32_t shader, const char* path, int line = __builtin_LINE());
// Makes the program current.
void useProgram(const ShaderProgram& program);
// Deletes the program (0 is harmless) and clears its id.
void deleteProgram(ShaderProgram& program);

// Helpers that serve many call sites take the caller's line (filled in by default) for
// their OpenGL error check, so the log tells the call sites apart.

// Uniform setters: look the location up by name each call; the program need not be current.
void setUniform1i(const ShaderProgram& program, const char* name, int32_t value, int line = __builtin_LINE());
void setUniform1f(const ShaderProgram& program, const char* name, float value, int line = __builtin_LINE());
void setUniform2f(const ShaderProgram& program, const char* name, float x, float y, int line = __builtin_LINE());
void setUniform3f(const ShaderProgram& program, const char* name, float x, float y, float z,
                  int line = __builtin_LINE());
void setUniform4f(const ShaderProgram& program, const char* name, float x, float y, float z, float w,
                  int line = __builtin_LINE());
void setUniformMatrix4(const ShaderProgram& program, const char* name, int32_t count, bool transpose,
                       const float* values, int line = __builtin_LINE());
