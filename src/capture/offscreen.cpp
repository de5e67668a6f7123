// Headless OpenGL start-up; frames are read back by render/frame_readback.
#include "capture/offscreen.h"

#include "base/gl.h"
#include "capture/gl_debug.h"
#include "synth/audio.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kLimitProbeSide = 16;  // pixels: the surface of the context that asks for the limits

}  // namespace

bool startOffscreenOpenGl(EglContext& egl, int width, int height, const EglRequest& request) {
  std::string error;
  if (!createEglContext(egl, width, height, error, request)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    return false;
  }
  if (loadGlEntryPoints(eglLookup) != 0 || !isGlVersionSupported(4, 0)) {
    std::fprintf(stderr, "demo-capture: OpenGL 4.0 is not supported here (got %d.%d)\n", glMajorVersion,
                 glMinorVersion);
    return false;
  }
  if (const char* missing = findMissingGlEntryPoint()) {
    std::fprintf(stderr, "demo-capture: OpenGL function %s is not available.\n", missing);
    return false;
  }
  if (request.debug && !startGlDebugOutput()) return false;
  // The configuration promised the samples; the default framebuffer must really have them.
  GLint samples = 0;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glGetIntegerv(GL_SAMPLES, &samples);
  if (samples != request.samples) {
    std::fprintf(stderr, "demo-capture: the default framebuffer has %d samples per pixel, not the %d asked for\n",
                 samples, request.samples);
    return false;
  }
  checkGlError(__LINE__);
  return true;
}

bool startOffscreenShow(EglContext& egl, Show& show, int width, int height, const EglRequest& request) {
  if (!startOffscreenOpenGl(egl, width, height, request)) return false;
  // The music takes its random draws before the first scene, so the scenes get theirs.
  prepareMusic();
  buildDemoTimeline(show);
  show.width = width;
  show.height = height;
  return true;
}

EglRequest eglRequest(const CaptureOptions& options) {
  EglRequest request;
  request.samples = options.samples;
  request.debug = options.glDebug;
  return request;
}

bool sizeWithinDriverLimits(const CaptureOptions& options) {
  // A small context asks the driver, so that a size it cannot render is refused before the
  // full-size surface is allocated (gigabytes at the largest sizes).
  EglContext egl;
  if (!startOffscreenOpenGl(egl, kLimitProbeSide, kLimitProbeSide)) return true;  // the real start-up says why
  GLint texture = 0, renderbuffer = 0;
  GLint viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  checkGlError(__LINE__);
  destroyEglContext(egl);
  // The scenes' targets are textures and renderbuffers of the size they render at.
  const int width = renderWidth(options), height = renderHeight(options);
  const struct {
    const char* name;
    int limit, side;
  } limits[] = {{"GL_MAX_TEXTURE_SIZE", texture, std::max(width, height)},
                {"GL_MAX_RENDERBUFFER_SIZE", renderbuffer, std::max(width, height)},
                {"GL_MAX_VIEWPORT_DIMS width", viewport[0], width},
                {"GL_MAX_VIEWPORT_DIMS height", viewport[1], height}};
  for (const auto& limit : limits) {
    if (limit.side <= limit.limit) continue;
    std::string request = "--size " + std::to_string(options.width) + "x" + std::to_string(options.height);
    if (options.supersample > 1)
      request += " with --supersample " + std::to_string(options.supersample) + " renders " + std::to_string(width) +
                 "x" + std::to_string(height) + ", which";
    std::fprintf(stderr, "demo-capture: %s is larger than this OpenGL driver renders (%s is %d)\n", request.c_str(),
                 limit.name, limit.limit);
    return false;
  }
  return true;
}
