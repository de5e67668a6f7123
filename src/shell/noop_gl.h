// A driver-free OpenGL: every entry point becomes a typed function that does nothing and
// returns zero. Unit tests point the entries they watch at their own fakes; the benchmarks
// time a scene's own CPU work per frame with no driver behind the calls.
#pragma once

#include "shell/gl.h"

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
#include "shell/gl_entry_points.inc"
#undef GL_ENTRY
  glMajorVersion = 4;
  glMinorVersion = 5;
}
