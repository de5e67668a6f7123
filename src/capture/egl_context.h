// A headless OpenGL compatibility context through EGL, with no X server: Mesa's
// surfaceless platform, or the device platform on drivers that offer it.
#pragma once

#include <cstdint>
#include <string>

struct EglContext {
  void* display = nullptr;  // EGLDisplay
  void* surface = nullptr;  // EGLSurface: a pbuffer of the capture size
  void* context = nullptr;  // EGLContext
};

// What the capture asks of the context beyond its size.
struct EglRequest {
  int samples = 0;     // samples per pixel of the pbuffer; 0 = not multisampled
  bool debug = false;  // an OpenGL debug context
};

// Creates a context with a width x height pbuffer as its default framebuffer and makes it
// current. Returns false with a reason in error when no such context can be had, a
// multisampled one included: the request is met exactly or refused.
bool createEglContext(EglContext& egl, int width, int height, std::string& error,
                      const EglRequest& request = EglRequest());
// Looks an OpenGL function up through EGL.
void* eglLookup(const char* name);
// Releases the context, the surface and the display.
void destroyEglContext(EglContext& egl);
