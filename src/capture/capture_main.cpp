// demo-capture: renders the show headless, frame-exact, with the same timeline, scenes
// and shaders as the demo, to still pictures, music and video.
#include "base/gl.h"
#include "base/log.h"
#include "base/output_file.h"
#include "base/png_writer.h"
#include "capture/cleanup.h"
#include "capture/folders.h"
#include "capture/gl_debug.h"
#include "capture/offscreen.h"
#include "capture/options.h"
#include "capture/span.h"
#include "capture/stats_recorder.h"
#include "capture/supersample.h"
#include "capture/wav_writer.h"
#include "render/shader_folder.h"
#include "render/track_source.h"
#include "show/scene_table.h"
#include "show/show.h"
#include "show/virtual_clock.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Writes each wanted frame as DIR/frame-<milliseconds>.png, under a temporary name until the
// capture has finished.
class StillsHost : public VirtualClockHost {
 public:
  std::string folder;
  FrameReader reader;             // reads each frame at the output size
  std::vector<uint32_t> atMs;     // requested times, ascending
  std::vector<int64_t> atFrames;  // their frames, same order
  bool failed = false;
  std::vector<uint8_t> pixels;
  PendingOutputs* pending = nullptr;  // where the written pictures wait

  void onFrame(int64_t frameIndex) override {
    if (failed) return;
    reader.read(pixels);
    for (size_t i = 0; i < atFrames.size(); ++i) {
      if (atFrames[i] != frameIndex) continue;
      std::string path = folder + "/" + stillFileName(atMs[i]);
      std::string error;
      if (!writePng(path, reader.width, reader.height, pixels.data(), error, pending)) {
        std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
        failed = true;
        return;
      }
    }
  }
};

int captureStills(const CaptureOptions& options) {
  if (!ensureFolder(options.out)) return 1;
  beginCapture(options.out);
  std::string error;
  PendingOutputs pending;    // removes what is not committed on every return
  FrameStatsRecorder stats;  // removes its temporary file unless finished
  if (!stats.open(options.stats, options.passStats, error)) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    endCapture();
    return 1;
  }
  EglContext egl;
  Show show;
  if (!startOffscreenShow(egl, show, renderWidth(options), renderHeight(options), eglRequest(options))) {
    endCapture();
    return 1;
  }

  StillsHost host;
  host.folder = options.out;
  host.reader.width = options.width;
  host.reader.height = options.height;
  host.reader.factor = options.supersample;
  host.atMs = options.atMs;
  host.pending = &pending;
  // The frame on screen at each time: the last one whose tick is not after it.
  for (uint32_t ms : options.atMs) host.atFrames.push_back(lastFrameAtOrBefore(ms, options.fps));
  host.begin(show, options.fps, host.atFrames);
  runShow(show, stats.wrap(show, host));
  bool complete = host.nextWanted == host.wanted.size();
  bool ok = !host.failed && complete;
  // Everything finished and checked, then committed together.
  if (ok && !(stats.finish(pending, error) && addMusicOutput(options, pending, error) && pending.commitAll(error))) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    ok = false;
  }
  pending.discard();
  endCapture();
  stats.releaseGl();
  destroyEglContext(egl);
  if (!complete) {
    std::fprintf(stderr, "demo-capture: the show ended before every frame was captured\n");
    return 1;
  }
  if (ok) stats.report();
  return ok ? 0 : 1;
}

// Writes the music of [--from, --to) alone to options.audio exactly as the audio callback
// plays it from the start of playback. Its own synthesizer state keeps the scenes' random
// sequence intact.
int captureAudio(const CaptureOptions& options) {
  beginCapture(options.audio == "-" ? "standard output" : options.audio);
  PendingOutputs pending;
  std::string error;
  bool ok = addMusicOutput(options, pending, error) && pending.commitAll(error);
  endCapture();
  if (!ok) {
    std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

// Checks every file and folder the capture will write, before any work; false after a message.
// The capture's folder is made here when missing, as files may be asked for inside it, and
// removed again (empty, as made) when a file is refused.
bool checkOutputs(const CaptureOptions& options) {
  std::string error;
  std::string folder = !options.frames.empty() ? options.frames : !options.atMs.empty() ? options.out : "";
  bool ok = folder.empty() || checkFolder(folder, error);
  if (ok && wantsVideo(options)) ok = checkOutput(planOutput(options.out, false), error);
  struct stat info;
  bool made = ok && !folder.empty() && stat(folder.c_str(), &info) != 0;
  if (made && mkdir(folder.c_str(), 0777) != 0) {
    error = "cannot create folder " + folder + ": " + std::strerror(errno);
    ok = made = false;
  }
  if (ok && !options.audio.empty()) ok = checkOutput(planOutput(options.audio, true), error);
  if (ok && !options.stats.empty()) ok = checkOutput(planOutput(options.stats, true), error);
  if (ok && !options.passStats.empty()) ok = checkOutput(planOutput(options.passStats, true), error);
  if (ok) return true;
  if (made) rmdir(folder.c_str());
  std::fprintf(stderr, "demo-capture: %s\n", error.c_str());
  return false;
}

// Prints the scene table for scripts, one line per scene: its name, start and end in seconds,
// tab-separated. Returns the exit status: 1 after a message when standard output took not all of it.
int listScenes() {
  for (int i = 0; i < kSceneCount; ++i) {
    std::printf("%s\t%.3f\t%.3f\n", kSceneTable[i].shortName, kSceneTable[i].startMs / 1000.0, sceneEndMs(i) / 1000.0);
  }
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
  std::fprintf(stderr, "demo-capture: cannot write standard output: %s\n", std::strerror(errno));
  return 1;
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
  if (options.listScenes) return listScenes();
  if (!options.shaders.empty()) useShaderFolder(options.shaders);
  if (!options.tracks.empty()) useTrackFolder(options.tracks);
  // Before anything else: a capture without its shaders would only fail later, obscurely.
  // Encoding a master renders nothing.
  bool renders = (!options.atMs.empty() || !options.out.empty() || !options.frames.empty()) &&
                 options.encodeMaster.empty();
  if (renders && !shadersPresent()) return 1;
  // Every scene's tracks, also those of scenes before --from or between --at times, read
  // once before the rendering processes are forked, so that every process draws the same keys.
  if (renders && !loadShowTracks(error)) {
    logMessage("%s\n", error.c_str());
    return 1;
  }
  VideoTools tools;  // found before any output is written
  if (wantsVideo(options) && !findVideoTools(tools)) return 1;
  installCaptureCleanup();
  // Compiler logs and OpenGL errors go to the terminal rather than a file.
  logAttach(stderr);
  // A size the driver cannot render is a request that cannot be met.
  if (renders && !sizeWithinDriverLimits(options)) return 2;
  if (!checkOutputs(options)) return 1;
  if (!renders && !wantsVideo(options)) return captureAudio(options);
  int status = !options.atMs.empty() ? captureStills(options) : captureSpan(options, tools);
  finishGlDebugOutput();
  return status;
}
