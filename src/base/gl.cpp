// Entry-point loading, the version test and the fatal OpenGL error check.
#include "base/gl.h"

#include "base/log.h"

#include <cstdlib>
#include <cstring>
#include <set>

namespace glapi {
#define GL_ENTRY(name, type) type name = nullptr;
#include "base/gl_entry_points.inc"
#undef GL_ENTRY
}  // namespace glapi

int32_t glMajorVersion = 0;
int32_t glMinorVersion = 0;

namespace {

bool glErrorsFatal = true;             // see setGlErrorsFatal
std::set<uint64_t> glErrorsLogged;     // line << 32 | code, while errors are not fatal

struct EntrySlot {
  const char* name;  // OpenGL function name
  void** pointer;    // the table entry it fills
};

const EntrySlot kEntrySlots[kGlEntryPointCount] = {
#define GL_ENTRY(name, type) {#name, reinterpret_cast<void**>(&glapi::name)},
#include "base/gl_entry_points.inc"
#undef GL_ENTRY
};

// Every function the program calls; a driver lacking one of them cannot run the show.
// Each is core in OpenGL 4.0 or earlier unless kNewerEntryPoints says otherwise; a unit test
// scans src/ so that a call missing here fails the build's tests.
const char* const kCalledEntryPoints[] = {
    "glGetIntegerv", "glGetStringi", "glGetString",
    // state and clearing
    "glEnable", "glDisable", "glBlendFunc", "glBlendFuncSeparate", "glBlendEquationSeparate",
    "glDepthFunc", "glDepthMask", "glColorMask", "glPolygonMode", "glViewport", "glClear",
    "glClearColor", "glClearDepth", "glGetError", "glHint",
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
    // sampler objects
    "glGenSamplers", "glDeleteSamplers", "glBindSampler", "glSamplerParameteri",
    // shaders
    "glCreateShader", "glShaderSource", "glCompileShader", "glGetShaderiv", "glGetShaderInfoLog",
    "glDeleteShader", "glCreateProgram", "glAttachShader", "glDetachShader",
    "glBindAttribLocation", "glBindFragDataLocation", "glLinkProgram", "glGetProgramiv",
    "glGetProgramInfoLog", "glUseProgram", "glDeleteProgram", "glGetUniformLocation",
    "glProgramUniform1i", "glProgramUniform1f", "glProgramUniform2f", "glProgramUniform3f",
    "glProgramUniform4f", "glProgramUniformMatrix4fv",
    // read-back of finished frames by the capture tool and the maker's mode's screenshots
    "glReadPixels", "glPixelStorei", "glReadBuffer",
};

// Functions called only where the place of use has checked that they work; a driver
// without them still plays the show.
const char* const kOptionalEntryPoints[] = {
    // timer queries for the capture tool's frame statistics and the maker's mode's overlay
    "glGenQueries", "glDeleteQueries", "glBeginQuery", "glEndQuery", "glGetQueryObjectui64v", "glGetQueryiv",
    "glGetQueryObjectuiv",
    // timestamps between a scene's passes for the capture tool's per-pass statistics
    "glQueryCounter",
    // the capture tool's --gl-debug, after it found a debug context with debug output
    "glDebugMessageCallbackARB", "glDebugMessageControlARB", "glDebugMessageInsertARB",
};

// What a function newer than OpenGL 4.0 needs: the core version that has it, or the
// extension that provides it under the same name.
struct NewerEntryPoint {
  const char* name;
  int coreVersion;        // major * 10 + minor
  const char* extension;  // as listed by GL_EXTENSIONS
};

const NewerEntryPoint kNewerEntryPoints[] = {
    {"glProgramUniform1i", 41, "GL_ARB_separate_shader_objects"},
    {"glProgramUniform1f", 41, "GL_ARB_separate_shader_objects"},
    {"glProgramUniform2f", 41, "GL_ARB_separate_shader_objects"},
    {"glProgramUniform3f", 41, "GL_ARB_separate_shader_objects"},
    {"glProgramUniform4f", 41, "GL_ARB_separate_shader_objects"},
    {"glProgramUniformMatrix4fv", 41, "GL_ARB_separate_shader_objects"},
    {"glTexStorage2D", 42, "GL_ARB_texture_storage"},
    {"glGetQueryObjectui64v", 33, "GL_ARB_timer_query"},
    {"glQueryCounter", 33, "GL_ARB_timer_query"},
};

// True when the context's extension list names extension (OpenGL 3.0 query by index).
bool hasGlExtension(const char* extension) {
  if (!glGetStringi) return false;
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const GLubyte* name = glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
    if (name && std::strcmp(reinterpret_cast<const char*>(name), extension) == 0) return true;
  }
  return false;
}

void** findSlot(const char* name) {
  for (const EntrySlot& slot : kEntrySlots)
    if (std::strcmp(slot.name, name) == 0) return slot.pointer;
  return nullptr;
}

}  // namespace

int loadGlEntryPoints(GlProcLookup lookup) {
  for (const EntrySlot& slot : kEntrySlots) *slot.pointer = lookup(slot.name);
  glMajorVersion = 0;
  glMinorVersion = 0;
  if (!glGetIntegerv) return -1;
  glGetIntegerv(GL_MAJOR_VERSION, &glMajorVersion);
  glGetIntegerv(GL_MINOR_VERSION, &glMinorVersion);
  // A driver that does not know these queries leaves major at the 0 set above.
  if (glMajorVersion < 3) return -1;
  return 0;
}

bool glEntryPointAvailable(const char* name) {
  // A lookup by name answers for any name, even one the driver lacks: only the version
  // and the extension list say whether the function behind the pointer exists.
  void** slot = findSlot(name);
  if (!slot || !*slot) return false;
  for (const NewerEntryPoint& newer : kNewerEntryPoints) {
    if (std::strcmp(newer.name, name) != 0) continue;
    return glMajorVersion * 10 + glMinorVersion >= newer.coreVersion || hasGlExtension(newer.extension);
  }
  return isGlVersionSupported(4, 0);
}

const char* findMissingGlEntryPoint() {
  for (const char* name : kCalledEntryPoints)
    if (!glEntryPointAvailable(name)) return name;
  return nullptr;
}

int calledGlEntryPointCount() { return static_cast<int>(sizeof kCalledEntryPoints / sizeof kCalledEntryPoints[0]); }
const char* calledGlEntryPoint(int i) { return kCalledEntryPoints[i]; }
int optionalGlEntryPointCount() {
  return static_cast<int>(sizeof kOptionalEntryPoints / sizeof kOptionalEntryPoints[0]);
}
const char* optionalGlEntryPoint(int i) { return kOptionalEntryPoints[i]; }
bool isGlEntryPointName(const char* name) { return findSlot(name) != nullptr; }

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

void deleteGlNames(void(APIENTRYP deleter)(GLsizei, const GLuint*), uint32_t* names, int count) {
  bool any = false;
  for (int i = 0; i < count; ++i) any = any || names[i] != 0;
  // A scene that never started holds no names and may have no context to talk to.
  if (!any) return;
  deleter(count, names);
  for (int i = 0; i < count; ++i) names[i] = 0;
}

void checkGlError(int line) {
  GLenum code = glGetError();
  if (code == GL_NO_ERROR) return;
  if (!glErrorsFatal) {
    // Once per place and code: the same draw fails again every frame.
    if (glErrorsLogged.insert((static_cast<uint64_t>(static_cast<uint32_t>(line)) << 32) | code).second)
      logMessage("*** Line %05d: OpenGL Error Code 0x%08x *** (the show goes on)\n", line, code);
    return;
  }
  logMessage("*** Line %05d: OpenGL Error Code 0x%08x ***\n", line, code);
  logClose();
  // A failure must not look like success to whoever started the show.
  std::exit(1);
}

void setGlErrorsFatal(bool fatal) {
  glErrorsFatal = fatal;
  glErrorsLogged.clear();
}
