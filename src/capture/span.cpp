// Span capture: the virtual clock drives the show; each frame goes to ffmpeg or to a PNG.
#include "capture/span.h"

#include "capture/cleanup.h"
#include "capture/encoder.h"
#include "capture/music.h"
#include "capture/offscreen.h"
#include "capture/output_file.h"
#include "capture/png_writer.h"
#include "capture/stats_recorder.h"
#include "capture/video_probe.h"
#include "capture/wav_writer.h"
#include "shell/log.h"
#include "shell/show.h"
#include "shell/virtual_clock.h"
#include "synth/sample_rate.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kProbeSeconds = 300;  // for ffprobe to read a finished video back

// Writes the span's music to a tracked temporary WAV for the encoder to read; false after a
// message.
bool writeMusicForEncoder(const std::vector<int16_t>& music, std::string& path, int& slot) {
  const char* folder = std::getenv("TMPDIR");
  std::string name = std::string(folder && *folder ? folder : "/tmp") + "/demo-capture-music-XXXXXX.wav";
  int fd;
  {
    CleanupScope scope;  // created and tracked as one step
    fd = mkostemps(&name[0], 4, O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) slot = trackTemporaryFile(name);
  }
  if (fd < 0) {
    std::fprintf(stderr, "demo-capture: cannot write the music for the encoder in %s: %s\n",
                 folder && *folder ? folder : "/tmp", std::strerror(errno));
    return false;
  }
  path = name;
  FILE* file = fdopen(fd, "wb");
  bool ok = file && writeWavStream(file, music.data(), static_cast<int64_t>(music.size() / 2));
  int saved = errno;
  if (file ? std::fclose(file) != 0 : close(fd) != 0) {
    if (ok) saved = errno;
    ok = false;
  }
  if (!ok) {
    std::fprintf(stderr, "demo-capture: cannot write the music for the encoder: %s\n", std::strerror(saved));
    unlink(path.c_str());
    forgetTemporaryFile(slot);
    slot = -1;
    path.clear();
  }
  return ok;
}

// What a span capture has made before it can finish, undone by whichever return leaves
// first: the music written for the encoder, the checked outputs waiting for their names
// (whose destructor removes them) and the capture mark.
class SpanScratch {
 public:
  PendingOutputs pending;     // outputs finished and checked, renamed together at the end
  OutputFile video;           // the video's output: its temporary is removed unless handed to pending
  std::string musicPath;      // the music for the encoder; empty when none
  int musicSlot = -1;         // clean-up slot of musicPath
  bool capturing = false;     // between beginCapture and endCapture

  SpanScratch() = default;
  SpanScratch(const SpanScratch&) = delete;
  SpanScratch& operator=(const SpanScratch&) = delete;
  ~SpanScratch() {
    dropMusic();
    std::string ignored;
    commitOutput(video, false, ignored);  // nothing to do once handed over, or when in place
    pending.discard();
    end();
  }

  // Removes the music for the encoder, if it exists.
  void dropMusic() {
    if (musicPath.empty()) return;
    unlink(musicPath.c_str());  // made by mkostemps, so ours
    forgetTemporaryFile(musicSlot);
    musicSlot = -1;
    musicPath.clear();
  }
  // Marks the capture as running (see beginCapture).
  void begin(const std::string& what, const std::string& note = "") {
    beginCapture(what, note);
    capturing = true;
  }
  // Marks the capture ended.
  void end() {
    if (capturing) endCapture();
    capturing = false;
  }
};

// Hands each frame of the span to the encoder or to a numbered PNG, reporting progress.
class SpanHost : public VirtualClockHost {
 public:
  int width = 0, height = 0;
  VideoEncoder* encoder = nullptr;  // video output, or
  std::string folder;               // PNG sequence output
  int64_t total = 0;
  int64_t done = 0;
  bool failed = false;
  std::string error;         // why the capture failed on this side
  bool interactive = false;  // stderr is a terminal: keep a live progress line
  Clock::time_point started = Clock::now();
  Clock::time_point lastReport = Clock::now();
  std::vector<uint8_t> pixels;

  bool pollQuit() override { return failed || VirtualClockHost::pollQuit(); }

  void onFrame(int64_t frameIndex) override {
    if (failed) return;
    readFrame(width, height, pixels);
    if (encoder) {
      if (!sendFrame(*encoder, pixels.data(), error)) failed = true;
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(frameIndex));
      if (!writePng(folder + name, width, height, pixels.data(), error)) failed = true;
    }
    if (failed) return;  // a frame that did not arrive is not counted
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
  spanMilliseconds(options, plan.fromMs, plan.toMs);
  plan.frameCount = plan.toMs > plan.fromMs ? firstFrameAtOrAfter(plan.toMs, options.fps, plan.fromMs) : 0;
  plan.firstSample = sampleFrameAt(plan.fromMs);
  plan.endSample = sampleFrameAt(plan.toMs);
  return plan;
}

bool findVideoTools(VideoTools& tools) {
  tools.ffmpeg = findOnPath("ffmpeg");
  tools.ffprobe = findOnPath("ffprobe");
  const char* missing = tools.ffmpeg.empty() ? "ffmpeg" : tools.ffprobe.empty() ? "ffprobe" : nullptr;
  if (!missing) return true;
  std::fprintf(stderr,
               "demo-capture: the %s program was not found on PATH; install the Debian "
               "package 'ffmpeg' (apt-get install ffmpeg)\n",
               missing);
  return false;
}

bool addMusicOutput(const CaptureOptions& options, PendingOutputs& pending, std::string& error) {
  if (options.audio.empty()) return true;
  SpanPlan plan = planSpan(options);
  std::vector<int16_t> samples;
  renderMusicSlice(plan.firstSample, plan.endSample, samples);
  return writeWavOutput(planOutput(options.audio, true), samples.data(), plan.endSample - plan.firstSample, pending,
                        error);
}

int captureSpan(const CaptureOptions& options, const VideoTools& tools) {
  SpanPlan plan = planSpan(options);
  if (plan.frameCount <= 0) {
    std::fprintf(stderr, "demo-capture: the span holds no frame\n");
    return 2;
  }
  bool video = options.frames.empty();
  std::string container = videoContainer(options.out);
  SpanScratch scratch;  // undoes what is unfinished on every return
  OutputFile& out = scratch.video;
  std::string error;
  if (video) {
    out = planOutput(options.out, false);
    scratch.begin(options.out);
    // Whether the output can be written at all is known before any rendering.
    if (!out.inPlace) {
      int placeholder = createOutput(out, error);  // created and tracked; ffmpeg writes over it
      if (placeholder < 0) {
        std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
        return 1;
      }
      close(placeholder);
    }
  } else {
    if (!ensureFolder(options.frames) || !clearEarlierSequence(options.frames)) return 1;
    scratch.begin(options.frames, "the frames written so far stay, without music.wav, which only a finished capture writes");
  }
  // Opened once the folders exist, still before any rendering.
  FrameStatsRecorder stats;  // removes its temporary file on every early return
  std::string statsError;
  if (!options.stats.empty() && !stats.open(options.stats, statsError)) {
    std::fprintf(stderr, "demo-capture: %s\n", statsError.c_str());
    return 1;
  }

  // The music of the span: the encoder reads it as a file; a sequence gets it last, so a
  // folder with music.wav holds a finished capture.
  std::vector<int16_t> music;
  if (video) {
    renderMusicSlice(plan.firstSample, plan.endSample, music);
    if (!writeMusicForEncoder(music, scratch.musicPath, scratch.musicSlot)) return 1;
  }

  EglContext egl;
  Show show;
  if (!startOffscreenShow(egl, show, options.width, options.height, eglRequest(options))) return 1;

  VideoEncoder encoder;
  if (video) {
    encoder.stallSeconds = options.encoderTimeout;
    encoder.watchedFile = out.inPlace ? "" : out.writePath;
    if (!startEncoder(encoder, tools.ffmpeg, options.width, options.height, options.fps, scratch.musicPath, out.writePath,
                      container, !out.inPlace, error)) {
      std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
      destroyEglContext(egl);
      return 1;
    }
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
  error = host.error;

  // Everything is finished and checked first; only then does anything take its name.
  if (video) {
    // ffmpeg's own account of a failure says more than a closed pipe.
    std::string finishError;
    if (encoder.process.pid > 0 && !finishEncoder(encoder, finishError)) {
      ok = false;
      error = finishError;
    }
    if (ok) {
      VideoExpectation expected;
      expected.width = options.width;
      expected.height = options.height;
      expected.frames = plan.frameCount;
      expected.audioFrames = plan.endSample - plan.firstSample;
      expected.seconds = std::max(static_cast<double>(plan.frameCount) / options.fps,
                                  static_cast<double>(expected.audioFrames) / kSampleRate);
      // A device or FIFO cannot be read back; there ffmpeg's status and messages decide.
      if (!out.inPlace && !probeVideo(tools.ffprobe, out.writePath, expected, options.encoderTimeout, error))
        ok = false;
    }
    error = replaceAll(error, toolPath(out.writePath), options.out);
    error = replaceAll(error, toolPath(scratch.musicPath), "the music of the span");
    error = replaceAll(replaceAll(error, out.writePath, options.out), scratch.musicPath, "the music of the span");
    scratch.dropMusic();
  }
  if (ok && !stats.finish(scratch.pending, error)) ok = false;
  if (ok) ok = addMusicOutput(options, scratch.pending, error);
  if (ok && !video) {
    renderMusicSlice(plan.firstSample, plan.endSample, music);
    ok = writeWavOutput(planOutput(options.frames + "/music.wav", false), music.data(),
                        static_cast<int64_t>(music.size() / 2), scratch.pending, error);
  }
  if (ok && video) {
    scratch.pending.files.push_back(out);  // last: the video (or music.wav) marks a finished capture
    out = OutputFile();
  }
  if (ok && !scratch.pending.commitAll(error)) ok = false;
  scratch.end();
  if (!ok && !error.empty()) std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
  double elapsed = secondsSince(started);
  std::fprintf(stderr, "captured %lld frame%s (%.3f s of show, %dx%d at %d fps) in %.1f s: %.2f frames per second%s\n",
               static_cast<long long>(host.done), host.done == 1 ? "" : "s", (plan.toMs - plan.fromMs) / 1000.0,
               options.width, options.height, options.fps, elapsed, elapsed > 0 ? host.done / elapsed : 0.0,
               ok ? "" : " (failed)");
  if (ok) {
    stats.report();
    if (!options.audio.empty())
      std::fprintf(stderr, "wrote %s\n", options.audio == "-" ? "the music to standard output" : options.audio.c_str());
    std::fprintf(stderr, "wrote %s\n", video ? options.out.c_str() : options.frames.c_str());
  }
  destroyEglContext(egl);
  return ok ? 0 : 1;
}
