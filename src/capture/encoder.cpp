// Running ffmpeg as a child process fed through a non-blocking pipe, with a time limit on
// every wait.
#include "capture/encoder.h"

#include "base/output_file.h"
#include "show/scene_table.h"
#include "show/show.h"
#include "synth/sample_rate.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr int kPollMilliseconds = 200;       // longest sleep between looks at ffmpeg
constexpr int kLastWordsMilliseconds = 2000;  // for ffmpeg's stderr to close once it has exited

using Clock = std::chrono::steady_clock;

// Seconds from start until now.
double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Waits up to milliseconds for stderr text and appends it; true when some arrived.
bool collectMessages(VideoEncoder& encoder, int milliseconds) {
  if (encoder.process.errors < 0) {
    if (milliseconds > 0) poll(nullptr, 0, milliseconds);
    return false;
  }
  pollfd watch = {encoder.process.errors, POLLIN, 0};
  if (poll(&watch, 1, milliseconds) <= 0) return false;
  size_t before = encoder.messages.size();
  if (!drainPipe(encoder.process.errors, encoder.messages, kMaxEncoderMessageBytes)) {
    close(encoder.process.errors);
    encoder.process.errors = -1;
  }
  return encoder.messages.size() > before || encoder.process.errors < 0;
}

}  // namespace

bool startEncoder(VideoEncoder& encoder, const std::string& ffmpeg, int width, int height, int fps,
                  const std::string& audioPath, const std::string& outputPath, const std::string& container,
                  bool seekable, std::string& error) {
  std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::string rate = std::to_string(fps);
  // Errors only, and -xerror: an error ffmpeg would shrug off (a full disk while writing the
  // trailer) must end it with a failure status.
  // Paths go as file: URLs, so that no name is taken for a protocol or an option; bitexact
  // leaves out what would differ between two identical runs (random IDs, version strings).
  std::vector<std::string> args = {ffmpeg,  "-hide_banner", "-nostats",  "-loglevel",
                                   "error", "-xerror",      "-nostdin", "-y"};
  if (encoder.source.empty())
    args.insert(args.end(), {"-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size, "-r", rate, "-i", "pipe:0"});
  else
    args.insert(args.end(), {"-i", toolPath(encoder.source)});
  args.insert(args.end(), {"-i", toolPath(audioPath)});
  if (!encoder.chaptersPath.empty())
    args.insert(args.end(), {"-i", toolPath(encoder.chaptersPath), "-map_metadata", "2", "-map_chapters", "2"});
  args.insert(args.end(), {"-map", "0:v", "-map", "1:a"});
  if (encoder.master) {
    // Lossless and intra-only, so that spans join without re-encoding; the slices fixed, so
    // that every machine writes the same stream. The pixels stay RGB, tagged as sRGB.
    args.insert(args.end(), {"-c:v", "ffv1", "-level", "3", "-g", "1", "-slices", "4", "-slicecrc", "1", "-pix_fmt",
                             "bgr0", "-color_primaries", "bt709", "-color_trc", "iec61966-2-1", "-colorspace", "rgb",
                             "-color_range", "pc", "-c:a", "flac", "-frame_size", std::to_string(kFlacFrameSamples)});
  } else {
    // The profile video sites expect: H.264 in yuv420p with AAC stereo. HD video without tags
    // is read as BT.709, so the frames are converted with that matrix (limited range) and the
    // stream says so: players that read the tags and those that guess show the same colours.
    // A master's frames are made the very RGB frames the pipe brings, on the same clock, so
    // that they encode to the same stream.
    if (!encoder.source.empty()) args.insert(args.end(), {"-r", rate});
    args.insert(args.end(), {"-vf", "format=rgb24,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
                             "-c:v", "libx264", "-preset", encoder.preset, "-crf", std::to_string(encoder.crf), "-pix_fmt", "yuv420p",
                             "-color_primaries", "bt709", "-color_trc", "bt709", "-colorspace", "bt709",
                             "-color_range", "tv", "-c:a", "aac", "-b:a", "192k"});
  }
  args.insert(args.end(), {"-ar", std::to_string(kSampleRate), "-ac", "2", "-fflags", "+bitexact", "-flags:v",
                           "+bitexact", "-flags:a", "+bitexact"});
  if (container == "mp4") {
    // Moving the index to the front reads the file back, which a device or FIFO cannot do.
    args.insert(args.end(), {"-movflags", seekable ? "+faststart" : "+frag_keyframe+empty_moov"});
  }
  args.insert(args.end(), {"-f", container, toolPath(outputPath)});
  encoder.messages.clear();
  // A dead encoder shows up as a failed write, not a killed capture: installCaptureCleanup
  // ignores SIGPIPE before any output is written.
  if (!startChild(encoder.process, args, encoder.source.empty(), false, error)) return false;
  encoder.frameBytes = static_cast<size_t>(width) * height * 3;
  encoder.framesSent = 0;
  return true;
}

bool sendFrame(VideoEncoder& encoder, const uint8_t* rgb, std::string& error) {
  size_t done = 0;
  ProgressWatch watch;
  startWatch(watch, encoder.process.pid, encoder.watchedFile);
  while (done < encoder.frameBytes) {
    ssize_t n = write(encoder.process.input, rgb + done, encoder.frameBytes - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      lookForProgress(watch, true);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd watched[2] = {{encoder.process.input, POLLOUT, 0}, {encoder.process.errors, POLLIN, 0}};
      poll(watched, encoder.process.errors >= 0 ? 2 : 1, kPollMilliseconds);
      bool said = watched[1].revents && collectMessages(encoder, 0);
      if (lookForProgress(watch, said) > encoder.stallSeconds) {
        killChild(encoder.process);
        error = "ffmpeg took no frame data for " + std::to_string(static_cast<int>(encoder.stallSeconds)) +
                " s; stopped it";
        return false;
      }
      continue;
    }
    error = std::string("ffmpeg stopped taking frames: ") + std::strerror(n < 0 ? errno : EPIPE);
    return false;
  }
  collectMessages(encoder, 0);  // keep its stderr pipe from filling up
  ++encoder.framesSent;
  return true;
}

bool finishEncoder(VideoEncoder& encoder, std::string& error) {
  if (encoder.process.pid < 0) {
    closePipes(encoder.process);
    error = "ffmpeg is not running";
    return false;
  }
  // The descriptor is gone either way; none was open when ffmpeg reads a master itself.
  bool closed = encoder.process.input < 0 || close(encoder.process.input) == 0 || errno == EINTR;
  int closeErrno = errno;
  encoder.process.input = -1;
  // ffmpeg flushes its encoder and writes the index now: progress is what it reads and
  // writes, messages, and its output changing (an mp4's index is moved by rewriting in place).
  ProgressWatch watch;
  startWatch(watch, encoder.process.pid, encoder.watchedFile);
  int status = 0;
  while (true) {
    int reaped = reapChild(encoder.process, status, error);
    if (reaped < 0) {
      killChild(encoder.process);
      return false;
    }
    if (reaped > 0) break;
    bool said = collectMessages(encoder, kPollMilliseconds);
    if (lookForProgress(watch, said) > encoder.stallSeconds) {
      killChild(encoder.process);
      error = "ffmpeg made no progress for " + std::to_string(static_cast<int>(encoder.stallSeconds)) +
              " s after the last frame; stopped it";
      return false;
    }
  }
  // Its last words; a child it left behind may hold the pipe, so only for a while.
  Clock::time_point exited = Clock::now();
  while (encoder.process.errors >= 0 && secondsSince(exited) * 1000 < kLastWordsMilliseconds)
    collectMessages(encoder, kPollMilliseconds);
  closePipes(encoder.process);

  std::string messages = trimmed(encoder.messages);
  std::string failure = describeExit("ffmpeg", status);
  if (failure.empty() && !messages.empty()) failure = "ffmpeg reported an error";
  if (failure.empty() && !closed) failure = std::string("cannot close the pipe to ffmpeg: ") + std::strerror(closeErrno);
  if (failure.empty()) return true;
  error = failure + (messages.empty() ? "" : ":\n  " + replaceAll(messages, "\n", "\n  "));
  return false;
}

namespace {

// Calls take(start, end, name) for each scene shown in [fromMs, toMs), times clipped to it.
template <class Take>
void forEachChapter(uint32_t fromMs, uint32_t toMs, Take take) {
  for (int i = 0; i < kSceneCount; ++i) {
    uint32_t start = std::max(kSceneTable[i].startMs, fromMs);
    uint32_t end = std::min(sceneEndMs(i), toMs);
    if (start < end) take(start - fromMs, end - fromMs, kSceneTable[i].shortName);
  }
}

}  // namespace

std::string chapterMetadata(uint32_t fromMs, uint32_t toMs) {
  std::string text = ";FFMETADATA1\n";
  forEachChapter(fromMs, toMs, [&](uint32_t start, uint32_t end, const char* name) {
    text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + std::to_string(start) + "\nEND=" + std::to_string(end) +
            "\ntitle=" + name + "\n";
  });
  return text;
}

int chapterCount(uint32_t fromMs, uint32_t toMs) {
  int count = 0;
  forEachChapter(fromMs, toMs, [&](uint32_t, uint32_t, const char*) { ++count; });
  return count;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}
