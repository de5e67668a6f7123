// Shader program building and the uniform setters.
#include "render/shader.h"

#include "base/gl.h"
#include "base/log.h"
#include "render/shader_folder.h"
#include "render/shader_reload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Shared by every build: all calls come from the main thread.
char sourcePieces[kSourcePieces][kSourcePieceBytes];
const GLchar* sourcePointers[kSourcePieces];
GLint sourceLengths[kSourcePieces];
char infoLog[kInfoLogBytes];

struct StageInfo {
  GLenum type;
  const char* heading;  // log heading written before the compiler's message
};

const StageInfo kStages[kShaderStages] = {
    {GL_VERTEX_SHADER, "\nVertex ShaderInfoLog: (%s)\n\n"},
    {GL_GEOMETRY_SHADER, "\nGeometry ShaderInfoLog: (%s)\n\n"},
    {GL_FRAGMENT_SHADER, "\nFragment ShaderInfoLog: (%s)\n\n"},
};

}  // namespace

ShaderProgram::~ShaderProgram() { deleteProgram(*this); }

void loadShaderSource(uint32_t shader, const char* path, int line) {
  std::string located = locateShaderFile(path);  // the working folder's shaders/, else the installed one
  path = located.c_str();
  // Only a regular file is read: a FIFO would block the show and a folder reads as empty.
  // Opened without blocking so that a FIFO with no writer cannot hold the open either.
  FILE* file = nullptr;
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) file = fdopen(fd, "r");
  if (!file && fd >= 0) close(fd);
  if (!file) {
    // Otherwise only the compiler's complaint about an empty shader would hint at it.
    logMessage("Cannot open shader file %s.\n", path);
    return;
  }
  int count = 0;
  while (count < kSourcePieces && std::fgets(sourcePieces[count], kSourcePieceBytes, file)) {
    sourcePointers[count] = sourcePieces[count];
    sourceLengths[count] = static_cast<GLint>(std::strlen(sourcePieces[count]));
    ++count;
  }
  // A file past the buffer would reach the compiler cut short: say so rather than let
  // the compiler's message about the missing tail be the only hint.
  if (count == kSourcePieces && std::fgetc(file) != EOF)
    logMessage("Shader file %s is longer than %d pieces of %d bytes; the rest is ignored.\n", path,
               kSourcePieces, kSourcePieceBytes - 1);
  glShaderSource(shader, count, sourcePointers, sourceLengths);
  std::fclose(file);
  checkGlError(line);
}

uint32_t compileProgram(const char* const paths[kShaderStages], int line, bool logFailures, std::string& failures) {
  GLuint shaders[kShaderStages] = {};
  GLuint program = glCreateProgram();
  for (int stage = 0; stage < kShaderStages; ++stage)
    if (paths[stage]) shaders[stage] = glCreateShader(kStages[stage].type);

  for (int stage = 0; stage < kShaderStages; ++stage) {
    if (!paths[stage]) continue;
    loadShaderSource(shaders[stage], paths[stage], line);
    glCompileShader(shaders[stage]);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shaders[stage], GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
      if (logFailures) logMessage(kStages[stage].heading, paths[stage]);
      infoLog[0] = '\0';
      glGetShaderInfoLog(shaders[stage], kInfoLogBytes, nullptr, infoLog);
      if (logFailures) logMessage("%s", infoLog);
      failures += placeShaderMessage(locateShaderFile(paths[stage]).c_str(), infoLog);
    }
    glAttachShader(program, shaders[stage]);
  }

  glBindAttribLocation(program, 0, "vertex");
  glBindAttribLocation(program, 1, "coord");
  glBindAttribLocation(program, 2, "normal");
  glBindFragDataLocation(program, 0, "output");
  glBindFragDataLocation(program, 0, "output0");
  glBindFragDataLocation(program, 1, "output1");
  checkGlError(line);

  glLinkProgram(program);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) {
    if (logFailures) logMessage("\nProgramInfoLog: \n\n");
    infoLog[0] = '\0';
    glGetProgramInfoLog(program, kInfoLogBytes, nullptr, infoLog);
    if (logFailures) logMessage("%s", infoLog);
    // A stage that did not compile also fails the link: its own message says more.
    if (failures.empty()) {
      std::string located[kShaderStages];
      const char* files[kShaderStages] = {};
      for (int stage = 0; stage < kShaderStages; ++stage)
        if (paths[stage]) files[stage] = (located[stage] = locateShaderFile(paths[stage])).c_str();
      failures = placeLinkMessage(files, infoLog);
    }
  }
  for (int stage = 0; stage < kShaderStages; ++stage)
    if (paths[stage]) glDetachShader(program, shaders[stage]);
  for (int stage = 0; stage < kShaderStages; ++stage)
    if (paths[stage]) glDeleteShader(shaders[stage]);
  checkGlError(line);
  return program;
}

void buildProgram(ShaderProgram& out, const char* vertexPath, const char* geometryPath,
                  const char* fragmentPath, const ProgramSetup& setup, int line) {
  const char* paths[kShaderStages] = {vertexPath, geometryPath, fragmentPath};
  std::string failures;
  out.id = compileProgram(paths, line, true, failures);
  out.built = true;
  rememberProgram(out, paths, setup, failures);
  if (setup) setup(out);
}

void setTex0Unit(const ShaderProgram& program) { setUniform1i(program, "tex0", 0); }

void useProgram(const ShaderProgram& program) { glUseProgram(program.id); }

void deleteProgram(ShaderProgram& program) {
  // Deleting 0 is a no-op in OpenGL; skipping it also keeps scenes destroyable without a context.
  if (program.id != 0 && glDeleteProgram) glDeleteProgram(program.id);
  program.id = 0;
  forgetProgram(program);
}

void setUniform1i(const ShaderProgram& program, const char* name, int32_t value, int line) {
  glProgramUniform1i(program.id, glGetUniformLocation(program.id, name), value);
  checkGlError(line);
}

void setUniform1f(const ShaderProgram& program, const char* name, float value, int line) {
  glProgramUniform1f(program.id, glGetUniformLocation(program.id, name), value);
  checkGlError(line);
}

void setUniform2f(const ShaderProgram& program, const char* name, float x, float y, int line) {
  glProgramUniform2f(program.id, glGetUniformLocation(program.id, name), x, y);
  checkGlError(line);
}

void setUniform3f(const ShaderProgram& program, const char* name, float x, float y, float z, int line) {
  glProgramUniform3f(program.id, glGetUniformLocation(program.id, name), x, y, z);
  checkGlError(line);
}

void setUniform4f(const ShaderProgram& program, const char* name, float x, float y, float z, float w, int line) {
  glProgramUniform4f(program.id, glGetUniformLocation(program.id, name), x, y, z, w);
  checkGlError(line);
}

void setUniformMatrix4(const ShaderProgram& program, const char* name, int32_t count, bool transpose,
                       const float* values, int line) {
  glProgramUniformMatrix4fv(program.id, glGetUniformLocation(program.id, name), count,
                            transpose ? GL_TRUE : GL_FALSE, values);
  checkGlError(line);
}
