// Headless OpenGL start-up and the capture's folders; frames are read back by render/frame_readback.
#include "capture/offscreen.h"

#include "base/gl.h"
#include "base/output_file.h"
#include "capture/gl_debug.h"
#include "render/shader_folder.h"
#include "synth/audio.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

bool checkFolder(const std::string& folder, std::string& error) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) {
      error = "cannot use " + folder + " as a folder: it is a file";
      return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
      error = "cannot write into folder " + folder + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }
  int failure = errno;
  struct stat link;
  if (lstat(folder.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    error = "cannot use " + folder + " as a folder: it is a symbolic link that cannot be followed (" +
            std::strerror(failure) + ")";
    return false;
  }
  if (failure == ENOENT) {
    // Not there yet: made by the capture, so the folder above must take it.
    size_t last = folder.find_last_not_of('/');
    size_t slash = last == std::string::npos ? std::string::npos : folder.rfind('/', last);
    std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    failure = folderWriteError(parent);
    if (failure == 0) return true;
  }
  error = "cannot create folder " + folder + ": " + std::strerror(failure);
  return false;
}

bool ensureFolder(const std::string& folder) {
  std::string error;
  struct stat info;
  if (stat(folder.c_str(), &info) != 0 && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "demo-capture: cannot create folder %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
  }
  if (checkFolder(folder, error)) return true;
  std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
  return false;
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

bool isSequenceFile(const char* name) {
  if (std::strcmp(name, "music.wav") == 0) return true;
  if (std::strncmp(name, "frame-", 6) != 0) return false;
  const char* p = name + 6;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') ++p;
  return p > digits && std::strcmp(p, ".png") == 0;
}

bool clearEarlierSequence(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    std::fprintf(stderr, "demo-capture: cannot read folder %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = true;
  while (dirent* entry = readdir(dir)) {
    if (!isSequenceFile(entry->d_name)) continue;
    std::string path = folder + "/" + entry->d_name;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
      std::fprintf(stderr, "demo-capture: cannot remove the earlier capture's %s: %s\n", path.c_str(),
                   std::strerror(errno));
      ok = false;
    }
  }
  closedir(dir);
  return ok;
}

bool shadersPresent() {
  if (shaderFolderFound()) return true;  // here, or installed beside the program
  char here[4096];
  std::fprintf(stderr, "demo-capture: no %s/ folder in %s: run it from the folder that holds the show's %s/ (the repository root), install it, or name one with --shaders\n",
               kShaderFolderName, getcwd(here, sizeof here) ? here : ".", kShaderFolderName);
  return false;
}
