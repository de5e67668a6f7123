// demo-capture: renders the show headless, frame-exact, with the same timeline, scenes
// and shaders as the demo, to still pictures, music and video.
#include "capture/cleanup.h"
#include "capture/gl_debug.h"
#include "capture/offscreen.h"
#include "capture/options.h"
#include "capture/music.h"
#include "capture/png_writer.h"
#include "capture/span.h"
#include "capture/stats_recorder.h"
#include "capture/wav_writer.h"
#include "shell/gl.h"
#include "shell/log.h"
#include "shell/show.h"
#include "shell/virtual_clock.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

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

int captureStills(const CaptureOptions& options) {
  if (!ensureFolder(options.out)) return 1;
  beginCapture(options.out);
  std::string error;
  FrameStatsRecorder stats;  // removes its temporary file unless committed
  if (!options.stats.empty() && !stats.open(options.stats, error)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    endCapture();
    return 1;
  }
  EglContext egl;
  Show show;
  if (!startOffscreenShow(egl, show, options.width, options.height, eglRequest(options))) {
    endCapture();
    return 1;
  }

  StillsHost host;
  host.folder = options.out;
  host.width = options.width;
  host.height = options.height;
  host.atMs = options.atMs;
  // The frame on screen at each time: the last one whose tick is not after it.
  for (uint32_t ms : options.atMs) host.atFrames.push_back(lastFrameAtOrBefore(ms, options.fps));
  host.begin(show, options.fps, host.atFrames);
  runShow(show, stats.wrap(show, host));
  bool ok = !host.failed && host.nextWanted == host.wanted.size();
  if (ok && !stats.commit(error)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    ok = false;
  }
  endCapture();
  destroyEglContext(egl);
  if (host.nextWanted < host.wanted.size()) {
    std::fprintf(stderr, "demo-capture: the show ended before every frame was captured\n");
    return 1;
  }
  return ok ? 0 : 1;
}

// Writes the music of [--from, --to) to options.audio exactly as the audio callback plays it
// from the start of playback. Its own synthesizer state keeps the scenes' random sequence intact.
int captureAudio(const CaptureOptions& options) {
  SpanPlan plan = planSpan(options);
  beginCapture(options.audio == "-" ? "standard output" : options.audio);
  std::vector<int16_t> samples;
  renderMusicSlice(plan.firstSample, plan.endSample, samples);
  std::string error;
  bool ok = writeWav(options.audio, samples.data(), plan.endSample - plan.firstSample, error);
  endCapture();
  if (!ok) {
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
  // Before anything else: a capture without its shaders would only fail later, obscurely.
  bool renders = !options.atMs.empty() || !options.out.empty() || !options.frames.empty();
  if (renders && !shadersPresent()) return 1;
  VideoTools tools;  // found before any output is written
  if (wantsVideo(options) && !findVideoTools(tools)) return 1;
  installCaptureCleanup();
  // Compiler logs and OpenGL errors go to the terminal rather than a file.
  logAttach(stderr);
  if (!options.audio.empty()) {
    int status = captureAudio(options);
    if (status != 0 || (options.atMs.empty() && options.out.empty() && options.frames.empty())) return status;
  }
  int status = !options.atMs.empty() ? captureStills(options) : captureSpan(options, tools);
  finishGlDebugOutput();
  return status;
}
