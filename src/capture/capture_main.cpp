// demo-capture: renders the show headless, frame-exact, with the same timeline, scenes
// and shaders as the demo, to still pictures, music and video.
#include "capture/egl_context.h"
#include "capture/options.h"
#include "capture/png_writer.h"
#include "capture/wav_writer.h"
#include "shell/gl.h"
#include "shell/log.h"
#include "shell/show.h"
#include "shell/virtual_clock.h"
#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/process_state.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Reads the finished default framebuffer back as upright 8-bit RGB.
void readFrame(int width, int height, std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 3);
  rgb.resize(bottomUp.size());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  checkGlError(__LINE__);
  size_t row = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y)
    std::copy_n(bottomUp.data() + (height - 1 - y) * row, row, rgb.data() + y * row);
}

// Writes each wanted frame as DIR/frame-<milliseconds>.png.
class StillsHost : public VirtualClockHost {
 public:
  std::string folder;
  int width = 0, height = 0;
  std::vector<uint32_t> atMs;     // requested times, ascending
  std::vector<int64_t> atFrames;  // their frames, same order
  bool failed = false;
  std::vector<uint8_t> pixels;

  void onFrame(int64_t frameIndex) override {
    readFrame(width, height, pixels);
    for (size_t i = 0; i < atFrames.size(); ++i) {
      if (atFrames[i] != frameIndex) continue;
      std::string path = folder + "/frame-" + std::to_string(atMs[i]) + ".png";
      std::string error;
      if (!writePng(path, width, height, pixels.data(), error)) {
        std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
        failed = true;
      }
    }
  }
};

// Brings up the headless context and the OpenGL entry points; false after a message.
bool startOpenGl(EglContext& egl, int width, int height) {
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
    std::fprintf(stderr, "demo-capture: OpenGL function %s is not available\n", missing);
    return false;
  }
  checkGlError(__LINE__);
  return true;
}

int captureStills(const CaptureOptions& options) {
  struct stat info;
  if (stat(options.out.c_str(), &info) != 0 && mkdir(options.out.c_str(), 0777) != 0) {
    std::fprintf(stderr, "demo-capture: cannot create folder %s\n", options.out.c_str());
    return 1;
  }
  EglContext egl;
  if (!startOpenGl(egl, options.width, options.height)) return 1;

  // The music is prepared exactly as the demo does before its first frame, so the scenes
  // draw the same random values.
  prepareMusic();
  Show show;
  buildDemoTimeline(show);
  show.width = options.width;
  show.height = options.height;

  StillsHost host;
  host.folder = options.out;
  host.width = options.width;
  host.height = options.height;
  host.atMs = options.atMs;
  for (uint32_t ms : options.atMs) host.atFrames.push_back(firstFrameAtOrAfter(ms, options.fps));
  host.begin(show, options.fps, host.atFrames);
  runShow(show, host);
  if (host.nextWanted < host.wanted.size()) {
    std::fprintf(stderr, "demo-capture: the show ended before every frame was captured\n");
    return 1;
  }
  return host.failed ? 1 : 0;
}

// Writes the music of [--from, --to) to options.audio exactly as the audio callback plays it
// from the start of playback. Its own synthesizer state keeps the scenes' random sequence intact.
int captureAudio(const CaptureOptions& options) {
  double endSeconds = options.toSeconds < 0 ? kShowEndMs / 1000.0 : options.toSeconds;
  int64_t first = std::llround(options.fromSeconds * kWavSampleRate);
  int64_t end = std::llround(endSeconds * kWavSampleRate);
  auto state = std::make_unique<ProcessState>();
  prepareMusic(*state);
  std::vector<int16_t> samples(static_cast<size_t>(end) * kWavChannels);
  renderFrames(state->synth, samples.data(), static_cast<int>(end));
  std::string error;
  if (!writeWav(options.audio, samples.data() + first * kWavChannels, end - first, error)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  if (!parseCaptureOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "demo-capture: %s\nTry 'demo-capture --help'.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(captureUsage(), stdout);
    return 0;
  }
  // Compiler logs and OpenGL errors go to the terminal rather than a file.
  logAttach(stderr);
  if (!options.audio.empty()) {
    int status = captureAudio(options);
    if (status != 0 || (options.atMs.empty() && options.out.empty() && options.frames.empty())) return status;
  }
  if (!options.atMs.empty()) return captureStills(options);
  std::fprintf(stderr, "demo-capture: only --at captures are available in this build\n");
  return 2;
}
