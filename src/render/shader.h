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
                  const char* fragmentPath, int line = __builtin_LINE());
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
