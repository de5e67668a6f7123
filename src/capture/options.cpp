// Command-line parsing for the capture tool.
#include "capture/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kShowSeconds = 192.0;

bool parseInt(const char* text, int low, int high, int& out) {
  if (!*text) return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (*end || errno || value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

bool parseSeconds(const char* text, double& out) {
  if (!*text) return false;
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text, &end);
  if (*end || errno || !std::isfinite(value) || value < 0 || value > kShowSeconds) return false;
  out = value;
  return true;
}

bool parseSize(const char* text, int& width, int& height) {
  const char* x = std::strchr(text, 'x');
  if (!x) return false;
  std::string w(text, x - text);
  return parseInt(w.c_str(), 1, kMaxCaptureSide, width) && parseInt(x + 1, 1, kMaxCaptureSide, height);
}

bool parseTimes(const char* text, std::vector<uint32_t>& out) {
  std::string list(text);
  size_t begin = 0;
  while (true) {
    size_t comma = list.find(',', begin);
    std::string item = list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    double seconds;
    if (!parseSeconds(item.c_str(), seconds) || seconds >= kShowSeconds) return false;
    out.push_back(static_cast<uint32_t>(std::llround(seconds * 1000.0)));
    if (comma == std::string::npos) return true;
    begin = comma + 1;
  }
}

}  // namespace

const char* captureUsage() {
  return "Usage: demo-capture [options]\n"
         "Renders the show headless with a virtual clock, frame-exact.\n"
         "\n"
         "  --at T1,T2,...   show times in seconds (0 <= T < 192) of single frames\n"
         "  --out PATH       with --at: folder for frame-<milliseconds>.png;\n"
         "                   otherwise a video file (.mp4 or .mkv)\n"
         "  --frames DIR     write the span as frame-<index>.png and music.wav\n"
         "  --audio FILE     write the music as a 16-bit stereo 44100 Hz WAV file\n"
         "  --size WxH       picture size in pixels (default 1920x1080)\n"
         "  --fps N          frames per second (default 60)\n"
         "  --from S         start of the span in seconds (default 0)\n"
         "  --to S           end of the span in seconds (default 192, the whole show)\n"
         "  --stats FILE     with frames: write each frame's CPU and GPU time and scene\n"
         "                   figures to a CSV file, and a per-scene summary to stderr\n"
         "  --help           this text\n";
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      options.help = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = flag.rfind("--", 0) == 0 ? flag + " needs a value" : "unknown argument " + flag;
      return false;
    }
    const char* value = argv[++i];
    bool ok = true;
    if (flag == "--size") {
      ok = parseSize(value, options.width, options.height);
    } else if (flag == "--fps") {
      ok = parseInt(value, 1, kMaxCaptureFps, options.fps);
    } else if (flag == "--at") {
      ok = parseTimes(value, options.atMs);
    } else if (flag == "--out") {
      options.out = value;
      ok = *value != '\0';
    } else if (flag == "--audio") {
      options.audio = value;
      ok = *value != '\0';
    } else if (flag == "--frames") {
      options.frames = value;
      ok = *value != '\0';
    } else if (flag == "--from") {
      ok = parseSeconds(value, options.fromSeconds);
    } else if (flag == "--to") {
      ok = parseSeconds(value, options.toSeconds);
    } else if (flag == "--stats") {
      options.stats = value;
      ok = *value != '\0';
    } else {
      error = "unknown option " + flag;
      return false;
    }
    if (!ok) {
      error = "bad value for " + flag + ": '" + value + "'";
      return false;
    }
  }
  if (options.help) return true;
  if (options.toSeconds >= 0 && options.toSeconds <= options.fromSeconds) {
    error = "--to must be after --from";
    return false;
  }
  if (!options.atMs.empty() && options.out.empty()) {
    error = "--at needs --out DIR";
    return false;
  }
  if (options.atMs.empty() && options.out.empty() && options.audio.empty() && options.frames.empty()) {
    error = "nothing to do: give --at with --out, --out FILE, --frames DIR or --audio FILE";
    return false;
  }
  // The music alone renders no frame to measure.
  if (!options.stats.empty() && options.atMs.empty() && options.out.empty() && options.frames.empty()) {
    error = "--stats needs frames to measure: give --at, --out or --frames";
    return false;
  }
  return true;
}
