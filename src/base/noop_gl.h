// A driver-free OpenGL: every entry point becomes a typed function that does nothing and
// returns zero. Unit tests point the entries they watch at their own fakes; the benchmarks
// time a scene's own CPU work per frame with no driver behind the calls.
#pragma once

#include "base/gl.h"

// The do-nothing function of one entry point's exact type.
template <typename F>
struct GlNoop;
template <typename R, typename... Args>
struct GlNoop<R(APIENTRYP)(Args...)> {
  static R APIENTRY call(Args...) { return R(); }
};

// Fills the whole table with do-nothing functions and reports OpenGL 4.5.
inline void installNoopGl() {
#define GL_ENTRY(name, type) glapi::name = &GlNoop<type>::call;
#include "base/gl_entry_points.inc"
#undef GL_ENTRY
  glMajorVersion = 4;
  glMinorVersion = 5;
}

// Answers a shader's or a program's status query with GL_TRUE: compiled, linked.
inline void APIENTRY noopGlReportSuccess(GLuint, GLenum, GLint* params) { *params = GL_TRUE; }

// The whole table and the version as they were when the copy was made.
struct SavedGlTable {
#define GL_ENTRY(name, type) type name = glapi::name;
#include "base/gl_entry_points.inc"
#undef GL_ENTRY
  int32_t majorVersion = glMajorVersion;
  int32_t minorVersion = glMinorVersion;

  // Puts the copied table and version back.
  void restore() const {
#define GL_ENTRY(name, type) glapi::name = name;
#include "base/gl_entry_points.inc"
#undef GL_ENTRY
    glMajorVersion = majorVersion;
    glMinorVersion = minorVersion;
  }
};

// The do-nothing table for the object's lifetime, then the table it replaced. Shader builds
// report success, so start() takes the path it takes on a working driver and logs nothing.
// Contract: objects made under it (scenes) are destroyed before it, in the same scope.
struct NoopGlScope {
  SavedGlTable saved;  // what was installed before

  NoopGlScope() {
    installNoopGl();
    glGetShaderiv = &noopGlReportSuccess;
    glGetProgramiv = &noopGlReportSuccess;
  }
  ~NoopGlScope() { saved.restore(); }
  NoopGlScope(const NoopGlScope&) = delete;
  NoopGlScope& operator=(const NoopGlScope&) = delete;
};
