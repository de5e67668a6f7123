// Headless OpenGL start-up and frame read-back.
#include "capture/offscreen.h"

#include "render/shader_folder.h"
#include "shell/gl.h"
#include "synth/audio.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

bool startOffscreenOpenGl(EglContext& egl, int width, int height) {
  std::string error;
  if (!createEglContext(egl, width, height, error)) {
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
  checkGlError(__LINE__);
  return true;
}

bool startOffscreenShow(EglContext& egl, Show& show, int width, int height) {
  if (!startOffscreenOpenGl(egl, width, height)) return false;
  // The music takes its random draws before the first scene, so the scenes get theirs.
  prepareMusic();
  buildDemoTimeline(show);
  show.width = width;
  show.height = height;
  return true;
}

bool ensureFolder(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    std::fprintf(stderr, "demo-capture: cannot use %s as a folder: it is a file\n", folder.c_str());
    return false;
  }
  if (mkdir(folder.c_str(), 0777) == 0) return true;
  std::fprintf(stderr, "demo-capture: cannot create folder %s: %s\n", folder.c_str(), std::strerror(errno));
  return false;
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
  std::fprintf(stderr, "demo-capture: no %s/ folder in %s: run it from the folder that holds the show's %s/ (the repository root), or install it\n",
               kShaderFolder, getcwd(here, sizeof here) ? here : ".", kShaderFolder);
  return false;
}

void readFrame(int width, int height, std::vector<uint8_t>& rgb) {
  static std::vector<uint8_t> bottomUp;  // reused: frames come one after another
  size_t row = static_cast<size_t>(width) * 3;
  bottomUp.resize(row * height);
  rgb.resize(bottomUp.size());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  checkGlError(__LINE__);
  for (int y = 0; y < height; ++y)
    std::copy_n(bottomUp.data() + (height - 1 - y) * row, row, rgb.data() + y * row);
}
