// GLSL programs built from stage files under shaders/, with the fixed attribute and
// output bindings every scene relies on, and uniform setters by name.
#pragma once

#include <cstdint>

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

// Compiles and links the given stages (a null path means no such stage). Always stores a
// usable program name in out, even when compiling or linking failed; failures are logged.
void buildProgram(ShaderProgram& out, const char* vertexPath, const char* geometryPath,
                  const char* fragmentPath);
// Fills one shader object's source from a file; a file that cannot be opened leaves it empty.
void loadShaderSource(uint32_t shader, const char* path);
// Makes the program current.
void useProgram(const ShaderProgram& program);
// Deletes the program (0 is harmless) and clears its id.
void deleteProgram(ShaderProgram& program);

// Uniform setters: look the location up by name each call; the program need not be current.
void setUniform1i(const ShaderProgram& program, const char* name, int32_t value);
void setUniform1f(const ShaderProgram& program, const char* name, float value);
void setUniform2f(const ShaderProgram& program, const char* name, float x, float y);
void setUniform3f(const ShaderProgram& program, const char* name, float x, float y, float z);
void setUniform4f(const ShaderProgram& program, const char* name, float x, float y, float z, float w);
void setUniformMatrix4(const ShaderProgram& program, const char* name, int32_t count, bool transpose,
                       const float* values);
