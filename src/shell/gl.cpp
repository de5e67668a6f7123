// Entry-point loading, the version test and the fatal OpenGL error check.
#include "shell/gl.h"

#include "shell/log.h"

#include <cstdlib>
#include <cstring>

namespace glapi {
#define GL_ENTRY(name, type) type name = nullptr;
#include "shell/gl_entry_points.inc"
#undef GL_ENTRY
}  // namespace glapi

int32_t glMajorVersion = 0;
int32_t glMinorVersion = 0;

namespace {

struct EntrySlot {
  const char* name;  // OpenGL function name
  void** pointer;    // the table entry it fills
};

const EntrySlot kEntrySlots[kGlEntryPointCount] = {
#define GL_ENTRY(name, type) {#name, reinterpret_cast<void**>(&glapi::name)},
#include "shell/gl_entry_points.inc"
#undef GL_ENTRY
};

// Every function the program calls; a driver lacking one of them cannot run the show.
const char* const kCalledEntryPoints[] = {
    "glGetIntegerv",
    // state and clearing
    "glEnable", "glDisable", "glBlendFunc", "glBlendFuncSeparate", "glBlendEquationSeparate",
    "glDepthFunc", "glDepthMask", "glColorMask", "glPolygonMode", "glViewport", "glClear",
    "glClearColor", "glClearDepth", "glGetError",
    // textures
    "glGenTextures", "glDeleteTextures", "glBindTexture", "glActiveTexture", "glTexParameteri",
    "glTexImage1D", "glTexImage2D", "glTexImage3D", "glTexStorage2D", "glGenerateMipmap",
    // framebuffers
    "glGenFramebuffers", "glDeleteFramebuffers", "glBindFramebuffer", "glFramebufferTexture2D",
    "glFramebufferRenderbuffer", "glGenRenderbuffers", "glDeleteRenderbuffers",
    "glBindRenderbuffer", "glRenderbufferStorage", "glDrawBuffer", "glDrawBuffers",
    "glBlitFramebuffer",
    // buffers and drawing
    "glGenBuffers", "glDeleteBuffers", "glBindBuffer", "glBufferData", "glBufferSubData",
    "glEnableVertexAttribArray", "glDisableVertexAttribArray", "glVertexAttribPointer",
    "glVertexAttribDivisor", "glDrawArrays", "glDrawElements", "glDrawRangeElements",
    "glDrawElementsInstanced",
    // shaders
    "glCreateShader", "glShaderSource", "glCompileShader", "glGetShaderiv", "glGetShaderInfoLog",
    "glDeleteShader", "glCreateProgram", "glAttachShader", "glDetachShader",
    "glBindAttribLocation", "glBindFragDataLocation", "glLinkProgram", "glGetProgramiv",
    "glGetProgramInfoLog", "glUseProgram", "glDeleteProgram", "glGetUniformLocation",
    "glProgramUniform1i", "glProgramUniform1f", "glProgramUniform2f", "glProgramUniform3f",
    "glProgramUniform4f", "glProgramUniformMatrix4fv",
    // read-back of finished frames by the capture tool
    "glReadPixels", "glPixelStorei", "glReadBuffer", "glFinish",
};

void** findSlot(const char* name) {
  for (const EntrySlot& slot : kEntrySlots)
    if (std::strcmp(slot.name, name) == 0) return slot.pointer;
  return nullptr;
}

}  // namespace

int loadGlEntryPoints(GlProcLookup lookup) {
  for (const EntrySlot& slot : kEntrySlots) *slot.pointer = lookup(slot.name);
  if (!glGetIntegerv) return -1;
  glGetIntegerv(GL_MAJOR_VERSION, &glMajorVersion);
  glGetIntegerv(GL_MINOR_VERSION, &glMinorVersion);
  // A driver that does not know these queries leaves major at 0.
  if (glMajorVersion < 3) return -1;
  return 0;
}

const char* findMissingGlEntryPoint() {
  for (const char* name : kCalledEntryPoints) {
    void** slot = findSlot(name);
    if (!slot || !*slot) return name;
  }
  return nullptr;
}

void clearGlEntryPoints() {
  for (const EntrySlot& slot : kEntrySlots) *slot.pointer = nullptr;
  glMajorVersion = 0;
  glMinorVersion = 0;
}

bool isGlVersionSupported(int major, int minor) {
  if (major < 3) return false;
  if (major == glMajorVersion) return glMinorVersion >= minor;
  return glMajorVersion > major;
}

void checkGlError(int line) {
  GLenum code = glGetError();
  if (code == GL_NO_ERROR) return;
  logMessage("*** Line %05d: OpenGL Error Code 0x%08x ***\n", line, code);
  logClose();
  // A failure must not look like success to whoever started the show.
  std::exit(1);
}
