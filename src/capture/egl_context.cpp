// Headless EGL context creation.
#include "capture/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

namespace {

EGLDisplay openDisplay() {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    // Drivers without the surfaceless platform (NVIDIA) render through a device.
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (queryDevices) {
      EGLDeviceEXT devices[8];
      EGLint count = 0;
      if (queryDevices(8, devices, &count)) {
        for (EGLint i = 0; i < count; ++i) {
          display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
          if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
        }
      }
    }
  }
  return EGL_NO_DISPLAY;
}

}  // namespace

bool createEglContext(EglContext& egl, int width, int height, std::string& error) {
  EGLDisplay display = openDisplay();
  if (display == EGL_NO_DISPLAY) {
    error = "no headless EGL display (surfaceless or device platform)";
    return false;
  }
  egl.display = display;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    error = "EGL cannot bind desktop OpenGL";
    return false;
  }
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                     EGL_DEPTH_SIZE, 24, EGL_NONE};
  EGLConfig config;
  EGLint configCount = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &configCount) || configCount < 1) {
    error = "no EGL configuration with 8-bit RGBA, 24-bit depth and pbuffers";
    return false;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
  if (surface == EGL_NO_SURFACE) {
    error = "cannot create a " + std::to_string(width) + "x" + std::to_string(height) + " pbuffer";
    return false;
  }
  egl.surface = surface;
  // The scenes draw from client-side arrays, which only a compatibility context allows.
  const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 0,
                                      EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                      EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (context == EGL_NO_CONTEXT) {
    error = "no OpenGL 4.0 compatibility context";
    return false;
  }
  egl.context = context;
  if (!eglMakeCurrent(display, surface, surface, context)) {
    error = "cannot make the EGL context current";
    return false;
  }
  return true;
}

void* eglLookup(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

void destroyEglContext(EglContext& egl) {
  if (!egl.display) return;
  eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (egl.context) eglDestroyContext(egl.display, egl.context);
  if (egl.surface) eglDestroySurface(egl.display, egl.surface);
  eglTerminate(egl.display);
  egl = EglContext();
}
