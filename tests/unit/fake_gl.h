// A driver-free OpenGL for unit tests: every entry point becomes a typed function that does
// nothing and returns zero; a test then points the entries it watches at its own fakes.
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
