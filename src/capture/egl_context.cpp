// Headless EGL context creation.
#include "capture/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

namespace {

constexpr EGLint kMaxConfigs = 64;  // configurations looked at for an exact sample count

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

bool createEglContext(EglContext& egl, int width, int height, std::string& error, const EglRequest& request) {
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
  const EGLint sampleBuffers = request.samples > 0 ? 1 : 0;
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                     EGL_DEPTH_SIZE, 24, EGL_SAMPLE_BUFFERS, sampleBuffers,
                                     EGL_SAMPLES, request.samples, EGL_NONE};
  // At least the samples asked for, fewest first: take the first with exactly that many.
  EGLConfig configs[kMaxConfigs];
  EGLint configCount = 0;
  if (!eglChooseConfig(display, configAttributes, configs, kMaxConfigs, &configCount)) configCount = 0;
  EGLConfig config = nullptr;
  for (EGLint i = 0; i < configCount && !config; ++i) {
    EGLint samples = -1;
    if (eglGetConfigAttrib(display, configs[i], EGL_SAMPLES, &samples) && samples == request.samples) config = configs[i];
  }
  if (!config) {
    error = "no EGL configuration with 8-bit RGBA, 24-bit depth and pbuffers";
    if (request.samples > 0) error += " with " + std::to_string(request.samples) + " samples per pixel";
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
  // The debug attribute only when asked for, so that a plain request stays plain everywhere.
  const EGLint debugName = request.debug ? EGL_CONTEXT_OPENGL_DEBUG : EGL_NONE;
  const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 0,
                                      EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                      EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, debugName, EGL_TRUE, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (context == EGL_NO_CONTEXT) {
    error = request.debug ? "no OpenGL 4.0 compatibility debug context" : "no OpenGL 4.0 compatibility context";
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
