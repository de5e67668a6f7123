// Span capture: the virtual clock drives the show; each frame goes to ffmpeg or to a PNG.
#include "capture/span.h"

#include "base/log.h"
#include "base/output_file.h"
#include "base/png_writer.h"
#include "capture/cleanup.h"
#include "capture/encoder.h"
#include "capture/folders.h"
#include "capture/offscreen.h"
#include "capture/render_workers.h"
#include "capture/stats_recorder.h"
#include "capture/supersample.h"
#include "capture/video_probe.h"
#include "capture/wav_writer.h"
#include "show/show.h"
#include "show/virtual_clock.h"
#include "synth/music_slice.h"
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
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kProbeSeconds = 300;  // for ffprobe to read a finished video back

// A file the encoder reads, made in TMPDIR and tracked for clean-up while it exists.
struct EncoderInput {
  std::string path;  // empty when none
  int slot = -1;     // clean-up slot of path

  // Removes the file, if it exists.
  void drop() {
    if (path.empty()) return;
    unlink(path.c_str());  // made by mkostemps, so ours
    forgetTemporaryFile(slot);
    slot = -1;
    path.clear();
  }
};

// Writes what (named in messages) through write into a tracked temporary file of TMPDIR named
// demo-capture-NAME-XXXXXX.EXT (name holds "NAME-XXXXXX.EXT"); false after a message.
bool writeEncoderInput(std::string name, const char* what, const std::function<bool(FILE*)>& write,
                       EncoderInput& input) {
  const char* folder = std::getenv("TMPDIR");
  name = std::string(folder && *folder ? folder : "/tmp") + "/demo-capture-" + name;
  int fd;
  {
    CleanupScope scope;  // created and tracked as one step
    fd = mkostemps(&name[0], 4, O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) input.slot = trackTemporaryFile(name);
  }
  if (fd < 0) {
    std::fprintf(stderr, "demo-capture: cannot write %s for the encoder in %s: %s\n", what,
                 folder && *folder ? folder : "/tmp", std::strerror(errno));
    return false;
  }
  input.path = name;
  FILE* file = fdopen(fd, "wb");
  bool ok = file && write(file);
  int saved = errno;
  if (file ? std::fclose(file) != 0 : close(fd) != 0) {
    if (ok) saved = errno;
    ok = false;
  }
  if (!ok) {
    std::fprintf(stderr, "demo-capture: cannot write %s for the encoder: %s\n", what, std::strerror(saved));
    input.drop();
  }
  return ok;
}

// What a span capture has made before it can finish, undone by whichever return leaves
// first: the music and chapters written for the encoder, the checked outputs waiting for
// their names (whose destructor removes them) and the capture mark.
class SpanScratch {
 public:
  PendingOutputs pending;     // outputs finished and checked, renamed together at the end
  OutputFile video;           // the video's output: its temporary is removed unless handed to pending
  EncoderInput music;         // the span's music for the encoder
  EncoderInput chapters;      // the span's chapters for the encoder
  bool capturing = false;     // between beginCapture and endCapture

  SpanScratch() = default;
  SpanScratch(const SpanScratch&) = delete;
  SpanScratch& operator=(const SpanScratch&) = delete;
  ~SpanScratch() {
    music.drop();
    chapters.drop();
    std::string ignored;
    commitOutput(video, false, ignored);  // nothing to do once handed over, or when in place
    pending.discard();
    end();
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

// Hands each frame of the span to the encoder or to a numbered PNG, in frame order, reporting
// progress: its own frames as they are rendered, the workers' as they arrive.
class SpanHost : public VirtualClockHost {
 public:
  int width = 0, height = 0;
  VideoEncoder* encoder = nullptr;  // video output, or
  std::string folder;               // PNG sequence output
  RenderWorkers* workers = nullptr; // the processes rendering the frames this one does not
  FrameReader reader;               // reads each frame at the output size
  int64_t total = 0;
  int64_t done = 0;
  int64_t nextDelivered = 0;  // the frame that goes to the output next
  bool failed = false;
  std::string error;         // why the capture failed on this side
  bool interactive = false;  // stderr is a terminal: keep a live progress line
  Clock::time_point started = Clock::now();
  Clock::time_point lastReport = Clock::now();
  std::vector<uint8_t> pixels;

  bool pollQuit() override { return failed || VirtualClockHost::pollQuit(); }

  void onFrame(int64_t frameIndex) override {
    if (!takeWorkerFrames(frameIndex)) return;
    reader.read(pixels);
    deliver(frameIndex);
  }

  // Takes every frame before end from the worker that rendered it, in order; false once the
  // capture has failed.
  bool takeWorkerFrames(int64_t end) {
    size_t frameBytes = static_cast<size_t>(width) * height * 3;
    while (!failed && nextDelivered < end) {
      if (receiveWorkerFrame(*workers, nextDelivered, frameBytes, pixels, error))
        deliver(nextDelivered);
      else
        failed = true;
    }
    return !failed;
  }

  // Sends the frame in pixels to the output.
  void deliver(int64_t frameIndex) {
    if (encoder) {
      if (!sendFrame(*encoder, pixels.data(), error)) failed = true;
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(frameIndex));
      if (!writePng(folder + name, width, height, pixels.data(), error)) failed = true;
    }
    if (failed) return;  // a frame that did not arrive is not counted
    ++done;
    nextDelivered = frameIndex + 1;
    report(false);
  }

  // A progress line on a terminal: frames done and total, frames per second, time left.
  void report(bool last) {
    if (!interactive) return;
    if (!last && std::chrono::duration<double>(Clock::now() - lastReport).count() < 0.25) return;
    lastReport = Clock::now();
    double elapsed = secondsSince(started);
    double rate = elapsed > 0 ? done / elapsed : 0;
    double left = rate > 0 ? (total - done) / rate : 0;
    std::fprintf(stderr, "\rframe %lld/%lld  %.1f fps  %d:%02d left   ", static_cast<long long>(done),
                 static_cast<long long>(total), rate, static_cast<int>(left) / 60, static_cast<int>(left) % 60);
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

namespace {

// Makes sure the output can be written before any rendering: the video file (a tracked
// placeholder that ffmpeg writes over) or the frames folder, cleared of an earlier sequence.
// Marks the capture as running; false after a message.
bool prepareSpanOutput(const CaptureOptions& options, bool video, SpanScratch& scratch) {
  if (!video) {
    if (!ensureFolder(options.frames) || !clearEarlierSequence(options.frames)) return false;
    scratch.begin(options.frames, "the frames written so far stay, without music.wav, which only a finished capture writes");
    return true;
  }
  OutputFile& out = scratch.video;
  out = planOutput(options.out, false);
  scratch.begin(options.out);
  if (out.inPlace) return true;
  std::string error;
  int placeholder = createOutput(out, error);  // created and tracked; ffmpeg writes over it
  if (placeholder < 0) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    return false;
  }
  close(placeholder);
  return true;
}

// Starts ffmpeg on the span's frames and the music written for it; false after a message.
bool startSpanEncoder(VideoEncoder& encoder, const CaptureOptions& options, const VideoTools& tools,
                      const SpanScratch& scratch) {
  const OutputFile& out = scratch.video;
  encoder.stallSeconds = options.encoderTimeout;
  encoder.preset = options.encoderPreset;
  encoder.crf = options.crf;
  encoder.master = options.master;
  encoder.source = options.encodeMaster;
  encoder.chaptersPath = scratch.chapters.path;
  encoder.watchedFile = out.inPlace ? "" : out.writePath;
  std::string error;
  if (startEncoder(encoder, tools.ffmpeg, options.width, options.height, options.fps, scratch.music.path, out.writePath,
                   videoContainer(options.out), !out.inPlace, error))
    return true;
  std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
  return false;
}

// Sets the host up to render its share of the span and hand every frame of it to the encoder,
// or to PNGs when there is none.
void setUpSpanHost(SpanHost& host, Show& show, const CaptureOptions& options, const SpanPlan& plan,
                   VideoEncoder* encoder, RenderWorkers& workers) {
  host.width = options.width;
  host.height = options.height;
  host.reader.width = options.width;
  host.reader.height = options.height;
  host.reader.factor = options.supersample;
  host.encoder = encoder;
  host.workers = &workers;
  host.folder = options.frames;
  host.total = plan.frameCount;
  host.interactive = isatty(STDERR_FILENO);
  host.begin(show, options.fps, framesOfProcess(plan.frameCount, workers.jobs, 0), plan.fromMs);
  host.started = Clock::now();
}

// What the span's video holds once finished: a master (FFV1 RGB and FLAC) or H.264 and AAC,
// with the chapters of the span.
VideoExpectation expectedVideo(const CaptureOptions& options, const SpanPlan& plan, bool master) {
  VideoExpectation expected;
  expected.width = options.width;
  expected.height = options.height;
  expected.frames = plan.frameCount;
  expected.audioFrames = plan.endSample - plan.firstSample;
  expected.seconds = std::max(static_cast<double>(plan.frameCount) / options.fps,
                              static_cast<double>(expected.audioFrames) / kSampleRate);
  expected.chapters = chapterCount(plan.fromMs, plan.toMs);
  expected.chapterTracks = videoContainer(options.out) == "mp4" && expected.chapters > 0 ? 1 : 0;
  if (master) {
    expected.videoCodec = "ffv1";
    expected.pixelFormat = "bgr0";
    expected.colorSpace = "gbr";
    expected.audioCodec = "flac";
    expected.audioPacketFrames = kFlacFrameSamples;
    expected.chapterTracks = 0;  // always Matroska
  }
  return expected;
}

// Replaces the temporary names of the encoder's files in a message by those the user knows.
std::string userNames(std::string text, const CaptureOptions& options, const SpanScratch& scratch) {
  const OutputFile& out = scratch.video;
  const std::pair<std::string, std::string> names[] = {{out.writePath, options.out},
                                                        {scratch.music.path, "the music of the span"},
                                                        {scratch.chapters.path, "the chapters of the span"}};
  for (const auto& name : names)
    if (!name.first.empty())
      text = replaceAll(replaceAll(text, toolPath(name.first), name.second), name.first, name.second);
  return text;
}

// Waits for ffmpeg (even after a failed run: its own account says more than a closed pipe)
// and reads a finished video back; returns whether all went well so far, with the reason in
// error under the names the user knows. The files written for the encoder go.
bool finishSpanVideo(bool ok, VideoEncoder& encoder, const CaptureOptions& options, const VideoTools& tools,
                     const SpanPlan& plan, SpanScratch& scratch, std::string& error) {
  const OutputFile& out = scratch.video;
  std::string finishError;
  if (encoder.process.pid > 0 && !finishEncoder(encoder, finishError)) {
    ok = false;
    error = finishError;
  }
  // A device or FIFO cannot be read back; there ffmpeg's status and messages decide.
  if (ok && !out.inPlace &&
      !probeVideo(tools.ffprobe, out.writePath, expectedVideo(options, plan, options.master), options.encoderTimeout,
                  error))
    ok = false;
  error = userNames(error, options, scratch);
  scratch.music.drop();
  scratch.chapters.drop();
  return ok;
}

// Finishes and checks the remaining outputs, then renames them all together: the statistics,
// --audio's music, a sequence's music.wav, and last the video (the last marks a finished
// capture). False with the reason in error.
bool commitSpanOutputs(FrameStatsRecorder& stats, const CaptureOptions& options, const SpanPlan& plan, bool video,
                       SpanScratch& scratch, std::string& error) {
  if (!stats.finish(scratch.pending, error)) return false;
  if (!addMusicOutput(options, scratch.pending, error)) return false;
  if (!video) {
    std::vector<int16_t> music;
    renderMusicSlice(plan.firstSample, plan.endSample, music);
    if (!writeWavOutput(planOutput(options.frames + "/music.wav", false), music.data(),
                        static_cast<int64_t>(music.size() / 2), scratch.pending, error))
      return false;
  } else {
    scratch.pending.files.push_back(scratch.video);
    scratch.video = OutputFile();
  }
  return scratch.pending.commitAll(error);
}

// Prints the capture's summary line and, after success, the statistics and what was written.
void reportSpan(const SpanHost& host, const FrameStatsRecorder& stats, const CaptureOptions& options,
                const SpanPlan& plan, bool video, bool ok) {
  double elapsed = secondsSince(host.started);
  std::fprintf(stderr, "captured %lld frame%s (%.3f s of show, %dx%d at %d fps) in %.1f s: %.2f frames per second%s\n",
               static_cast<long long>(host.done), host.done == 1 ? "" : "s", (plan.toMs - plan.fromMs) / 1000.0,
               options.width, options.height, options.fps, elapsed, elapsed > 0 ? host.done / elapsed : 0.0,
               ok ? "" : " (failed)");
  if (!ok) return;
  stats.report();
  if (!options.audio.empty())
    std::fprintf(stderr, "wrote %s\n", options.audio == "-" ? "the music to standard output" : options.audio.c_str());
  std::fprintf(stderr, "wrote %s\n", video ? options.out.c_str() : options.frames.c_str());
}

// Encodes the frames of the span's master (--encode-master) with the span's music and
// chapters: ffmpeg reads the master itself once ffprobe has found it to hold this span's
// frames. Returns the process exit status.
int encodeMaster(const CaptureOptions& options, const VideoTools& tools, const SpanPlan& plan,
                 FrameStatsRecorder& stats, SpanScratch& scratch) {
  Clock::time_point started = Clock::now();
  // Its frames are what matters; chapters and the music's packets are not kept by a join.
  VideoExpectation master = expectedVideo(options, plan, true);
  master.chapters = -1;
  master.exactAudio = false;
  std::string error;
  bool ok = probeVideo(tools.ffprobe, options.encodeMaster, master, options.encoderTimeout, error);
  if (!ok) error = options.encodeMaster + " is not a master of this span: " + error;
  VideoEncoder encoder;
  if (ok && !startSpanEncoder(encoder, options, tools, scratch)) return 1;
  ok = finishSpanVideo(ok, encoder, options, tools, plan, scratch, error);
  if (ok) ok = commitSpanOutputs(stats, options, plan, true, scratch, error);
  scratch.end();
  if (!ok) std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
  std::fprintf(stderr, "encoded %lld frame%s of %s (%dx%d at %d fps) in %.1f s%s\n",
               static_cast<long long>(plan.frameCount), plan.frameCount == 1 ? "" : "s", options.encodeMaster.c_str(),
               options.width, options.height, options.fps, secondsSince(started), ok ? "" : " (failed)");
  if (ok) std::fprintf(stderr, "wrote %s\n", options.out.c_str());
  return ok ? 0 : 1;
}

}  // namespace

int captureSpan(const CaptureOptions& options, const VideoTools& tools) {
  SpanPlan plan = planSpan(options);
  if (plan.frameCount <= 0) {
    std::fprintf(stderr, "demo-capture: the span holds no frame\n");
    return 2;
  }
  bool video = options.frames.empty();
  SpanScratch scratch;  // undoes what is unfinished on every return
  if (!prepareSpanOutput(options, video, scratch)) return 1;
  // Opened once the folders exist, still before any rendering.
  FrameStatsRecorder stats;  // removes its temporary file on every early return
  std::string error;
  if (!stats.open(options.stats, options.passStats, error)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    return 1;
  }
  // The music and chapters of the span: the encoder reads them as files; a sequence gets its
  // music last, so a folder with music.wav holds a finished capture.
  if (video) {
    std::vector<int16_t> music;
    renderMusicSlice(plan.firstSample, plan.endSample, music);
    std::string chapters = chapterMetadata(plan.fromMs, plan.toMs);
    auto writeMusic = [&](FILE* file) {
      return writeWavStream(file, music.data(), static_cast<int64_t>(music.size() / 2));
    };
    auto writeChapters = [&](FILE* file) { return std::fputs(chapters.c_str(), file) >= 0; };
    if (!writeEncoderInput("music-XXXXXX.wav", "the music", writeMusic, scratch.music) ||
        !writeEncoderInput("chapters-XXXXXX.txt", "the chapters", writeChapters, scratch.chapters))
      return 1;
  }
  if (!options.encodeMaster.empty()) return encodeMaster(options, tools, plan, stats, scratch);

  // Forked before this process has a context of its own; stopped on every early return.
  RenderWorkers workers;
  shareRasterizerThreads(options.jobs);
  if (!startRenderWorkers(workers, options, plan.frameCount, plan.fromMs)) return 1;
  EglContext egl;
  Show show;
  if (!startOffscreenShow(egl, show, renderWidth(options), renderHeight(options), eglRequest(options))) return 1;
  VideoEncoder encoder;
  if (video && !startSpanEncoder(encoder, options, tools, scratch)) {
    destroyEglContext(egl);
    return 1;
  }
  SpanHost host;
  setUpSpanHost(host, show, options, plan, video ? &encoder : nullptr, workers);
  runShow(show, stats.wrap(show, host));
  host.takeWorkerFrames(plan.frameCount);  // those after this process's last
  host.report(true);
  bool ok = !host.failed && host.done == plan.frameCount;
  error = host.error;
  if (ok && !finishRenderWorkers(workers, error)) ok = false;
  stopRenderWorkers(workers);

  // Everything is finished and checked first; only then does anything take its name.
  if (video) ok = finishSpanVideo(ok, encoder, options, tools, plan, scratch, error);
  if (ok) ok = commitSpanOutputs(stats, options, plan, video, scratch, error);
  scratch.end();
  if (!ok && !error.empty()) std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
  reportSpan(host, stats, options, plan, video, ok);
  stats.releaseGl();
  destroyEglContext(egl);
  return ok ? 0 : 1;
}
