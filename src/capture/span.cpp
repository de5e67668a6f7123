// Span capture: the virtual clock drives the show; each frame goes to ffmpeg or to a PNG.
#include "capture/span.h"

#include "capture/encoder.h"
#include "capture/music.h"
#include "capture/offscreen.h"
#include "capture/png_writer.h"
#include "capture/stats_recorder.h"
#include "capture/wav_writer.h"
#include "shell/log.h"
#include "shell/show.h"
#include "shell/virtual_clock.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSampleRate = kWavSampleRate;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string lowerExtension(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Hands each frame of the span to the encoder or to a numbered PNG, reporting progress.
class SpanHost : public VirtualClockHost {
 public:
  int width = 0, height = 0;
  VideoEncoder* encoder = nullptr;  // video output, or
  std::string folder;               // PNG sequence output
  int64_t total = 0;
  int64_t done = 0;
  bool failed = false;
  bool interactive = false;  // stderr is a terminal: keep a live progress line
  Clock::time_point started = Clock::now();
  Clock::time_point lastReport = Clock::now();
  std::vector<uint8_t> pixels;

  bool pollQuit() override { return failed || VirtualClockHost::pollQuit(); }

  void onFrame(int64_t frameIndex) override {
    readFrame(width, height, pixels);
    if (encoder) {
      if (!sendFrame(*encoder, pixels.data())) {
        std::fprintf(stderr, "\ndemo-capture: ffmpeg stopped taking frames\n");
        failed = true;
      }
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(frameIndex));
      std::string error;
      if (!writePng(folder + name, width, height, pixels.data(), error)) {
        std::fprintf(stderr, "\ndemo-capture: %s\n", error.c_str());
        failed = true;
      }
    }
    ++done;
    report(false);
  }

  // A progress line on a terminal: frames done and total, frames per second, time left.
  void report(bool last) {
    if (!interactive) return;
    if (!last && std::chrono::duration<double>(Clock::now() - lastReport).count() < 0.25) return;
    lastReport = Clock::now();
    double elapsed = secondsSince(started);
    double fps = elapsed > 0 ? done / elapsed : 0;
    double left = fps > 0 ? (total - done) / fps : 0;
    std::fprintf(stderr, "\rframe %lld/%lld  %.1f fps  %d:%02d left   ", static_cast<long long>(done),
                 static_cast<long long>(total), fps, static_cast<int>(left) / 60, static_cast<int>(left) % 60);
    if (last) std::fputc('\n', stderr);
    std::fflush(stderr);
  }
};

}  // namespace

SpanPlan planSpan(const CaptureOptions& options) {
  SpanPlan plan;
  double to = options.toSeconds < 0 ? kShowEndMs / 1000.0 : options.toSeconds;
  plan.fromMs = static_cast<uint32_t>(std::llround(options.fromSeconds * 1000.0));
  plan.toMs = static_cast<uint32_t>(std::llround(to * 1000.0));
  plan.frameCount = plan.toMs > plan.fromMs ? firstFrameAtOrAfter(plan.toMs, options.fps, plan.fromMs) : 0;
  plan.firstSample = std::llround(options.fromSeconds * kSampleRate);
  plan.endSample = std::llround(to * kSampleRate);
  return plan;
}

int captureSpan(const CaptureOptions& options) {
  SpanPlan plan = planSpan(options);
  if (plan.frameCount <= 0) {
    std::fprintf(stderr, "demo-capture: the span holds no frame\n");
    return 2;
  }
  FrameStatsRecorder stats;  // removes its temporary file on every early return
  std::string statsError;
  if (!options.stats.empty() && !stats.open(options.stats, statsError)) {
    std::fprintf(stderr, "demo-capture: %s\n", statsError.c_str());
    return 1;
  }
  bool video = options.frames.empty();
  std::string container;
  std::string ffmpeg;
  if (video) {
    std::string ext = lowerExtension(options.out);
    if (ext == "mp4") container = "mp4";
    if (ext == "mkv") container = "matroska";
    if (container.empty()) {
      std::fprintf(stderr, "demo-capture: %s: the video name must end in .mp4 or .mkv\n", options.out.c_str());
      return 2;
    }
    ffmpeg = findOnPath("ffmpeg");
    if (ffmpeg.empty()) {
      std::fprintf(stderr,
                   "demo-capture: the ffmpeg program was not found on PATH; install the Debian "
                   "package 'ffmpeg' (apt-get install ffmpeg)\n");
      return 1;
    }
  } else if (!ensureFolder(options.frames)) {
    return 1;
  }

  // The music of the span first: it is quick, and the encoder reads it as a file.
  std::vector<int16_t> music;
  renderMusicSlice(plan.firstSample, plan.endSample, music);
  std::string musicPath = video ? options.out + ".music.part.wav" : options.frames + "/music.wav";
  std::string error;
  if (!writeWav(musicPath, music.data(), static_cast<int64_t>(music.size() / 2), error)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    return 1;
  }

  EglContext egl;
  Show show;
  if (!startOffscreenShow(egl, show, options.width, options.height)) {
    if (video) std::remove(musicPath.c_str());
    return 1;
  }

  VideoEncoder encoder;
  std::string partial = options.out + ".part";
  if (video && !startEncoder(encoder, ffmpeg, options.width, options.height, options.fps, musicPath, partial,
                             container, error)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    std::remove(musicPath.c_str());
    return 1;
  }

  SpanHost host;
  host.width = options.width;
  host.height = options.height;
  host.encoder = video ? &encoder : nullptr;
  host.folder = options.frames;
  host.total = plan.frameCount;
  host.interactive = isatty(STDERR_FILENO);
  std::vector<int64_t> frames;
  for (int64_t k = 0; k < plan.frameCount; ++k) frames.push_back(k);
  host.begin(show, options.fps, frames, plan.fromMs);
  Clock::time_point started = Clock::now();
  host.started = started;
  runShow(show, stats.wrap(show, host));
  host.report(true);
  bool ok = !host.failed && host.done == plan.frameCount;

  if (video) {
    bool encoded = finishEncoder(encoder, error);
    if (ok && !encoded) std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    ok = ok && encoded;
    std::remove(musicPath.c_str());
    if (ok && std::rename(partial.c_str(), options.out.c_str()) != 0) {
      std::fprintf(stderr, "demo-capture: cannot write %s\n", options.out.c_str());
      ok = false;
    }
    if (!ok) std::remove(partial.c_str());
  }
  if (ok && !stats.commit(statsError)) {
    std::fprintf(stderr, "demo-capture: %s\n", statsError.c_str());
    ok = false;
  }
  double elapsed = secondsSince(started);
  std::fprintf(stderr, "captured %lld frames (%.3f s of show, %dx%d at %d fps) in %.1f s: %.2f frames per second%s\n",
               static_cast<long long>(host.done), (plan.toMs - plan.fromMs) / 1000.0, options.width,
               options.height, options.fps, elapsed, elapsed > 0 ? host.done / elapsed : 0.0,
               ok ? "" : " (failed)");
  if (ok) std::fprintf(stderr, "wrote %s\n", video ? options.out.c_str() : options.frames.c_str());
  destroyEglContext(egl);
  return ok ? 0 : 1;
}
