// Command-line parsing for the capture tool.
#include "capture/options.h"

#include "base/command_line.h"
#include "render/shader_folder.h"
#include "render/target.h"
#include "render/track_source.h"
#include "show/show.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The value parsers the demo shares, with the capture tool's limits.
bool parseInt(const char* text, int low, int high, int& out) { return parseWholeNumber(text, low, high, out); }

bool parseSeconds(const char* text, double& out) { return ::parseSeconds(text, kShowSeconds, out); }

bool parseSize(const char* text, int& width, int& height) { return ::parseSize(text, kMaxCaptureSide, width, height); }

// Whether name is one of the encoder's presets.
bool isEncoderPreset(const char* name) {
  for (const char* preset : kEncoderPresets)
    if (std::strcmp(name, preset) == 0) return true;
  return false;
}

// Milliseconds as seconds with three decimals, for messages.
std::string secondsText(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", ms / 1000.0);
  return text;
}

// Whether path is a regular file this process can read; false with a reason in error.
bool checkReadableFile(const std::string& flag, const char* path, std::string& error) {
  struct stat info;
  if (*path == '\0') {
    error = flag + " needs a file";
    return false;
  }
  if (stat(path, &info) != 0 || access(path, R_OK) != 0) {
    error = flag + " " + path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISREG(info.st_mode)) return true;
  error = flag + " " + path + ": not a regular file";
  return false;
}

// The refusals of the video's kind: what the lossless master and the H.264 encoder each take,
// and what encoding a finished master leaves out; empty when they fit.
std::string checkVideoKind(const CaptureOptions& options, const OptionsSeen& given, bool video) {
  if (!video && given.has("--crf")) return "--crf applies only to a video --out";
  if (!video && (options.master || given.has("--encode-master")))
    return "--master and --encode-master apply only to a video --out";
  if (options.master && (given.has("--crf") || given.has("--encoder-preset")))
    return "--master is lossless: --crf and --encoder-preset set the H.264 encoder, which it does not use";
  if (options.master && videoContainer(options.out) != "matroska")
    return "--master writes FFV1 and FLAC, which need Matroska: name the video .mkv";
  if (!given.has("--encode-master")) return "";
  if (options.master) return "--encode-master encodes a master to H.264: it does not go with --master";
  struct stat in, out;  // the video is renamed onto its name only at the end, over the master
  if (stat(options.encodeMaster.c_str(), &in) == 0 && stat(options.out.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
      in.st_ino == out.st_ino)
    return "--out and --encode-master name the same file";
  const char* rendering[] = {"--jobs", "--supersample", "--samples", "--gl-debug", "--shaders", "--stats", "--pass-stats"};
  for (const char* flag : rendering)
    if (given.has(flag))
      return "--encode-master renders nothing: it does not go with --jobs, --supersample, --samples, --gl-debug, "
             "--shaders, --stats or --pass-stats";
  return "";
}

// The refusals that need the whole command line; empty when the request can be met.
std::string checkRequest(const CaptureOptions& options, const OptionsSeen& given) {
  bool fromGiven = given.has("--from"), toGiven = given.has("--to");
  bool stills = !options.atMs.empty();
  bool video = wantsVideo(options);
  bool frames = stills || video || !options.frames.empty();
  if (!frames && (given.has("--size") || given.has("--fps")))
    return "--size and --fps shape frames, and the music alone has none: give --at, --out or --frames";
  if (!frames && (given.has("--samples") || given.has("--supersample") || given.has("--gl-debug")))
    return "--samples, --supersample and --gl-debug shape the rendering, and the music alone renders nothing: "
           "give --at, --out or --frames";
  if (!frames && given.has("--shaders"))
    return "--shaders serves the pictures, and the music alone has none: give --at, --out or --frames";
  if (!frames && given.has("--tracks"))
    return "--tracks serves the pictures, and the music alone has none: give --at, --out or --frames";
  if (!video && given.has("--encoder-timeout")) return "--encoder-timeout applies only to a video --out";
  if (!video && given.has("--encoder-preset")) return "--encoder-preset applies only to a video --out";
  std::string kind = checkVideoKind(options, given, video);
  if (!kind.empty()) return kind;
  if (given.has("--jobs")) {
    if (stills) return "--jobs shares out the frames of a span: it does not go with --at";
    if (!frames) return "--jobs shares out frames, and the music alone has none: give --out FILE or --frames";
    // Each process would measure only its own share of the frames, beside the others.
    if (given.has("--stats") || given.has("--pass-stats"))
      return "--jobs does not go with --stats or --pass-stats: figures per frame need one rendering process";
    if (options.glDebug) return "--jobs does not go with --gl-debug: the driver's messages need one rendering process";
  }
  if (options.atMs.size() > static_cast<size_t>(kMaxAtTimes))
    return "--at takes at most " + std::to_string(kMaxAtTimes) + " times";
  int toStdout = (options.audio == "-") + (options.stats == "-") + (options.passStats == "-");
  if (toStdout > 1) return "only one of --audio, --stats and --pass-stats can use standard output (-)";
  if (!options.passStats.empty() && (options.passStats == options.stats || options.passStats == options.audio))
    return "--pass-stats needs a file of its own";
  if (stills && (!options.frames.empty() || fromGiven || toGiven))
    return "--at captures single frames: it does not go with --frames, --from or --to";
  if (video && !options.frames.empty()) return "--frames and a video --out cannot be made in one run";
  if ((stills || video || !options.frames.empty()) &&
      (options.width < kMinFrameSide || options.height < kMinFrameSide))
    return "--size " + std::to_string(options.width) + "x" + std::to_string(options.height) +
           " is too small: the scenes' quarter-size passes need at least " + std::to_string(kMinFrameSide) +
           " pixels a side";
  if (renderWidth(options) > kMaxCaptureSide || renderHeight(options) > kMaxCaptureSide)
    return "--supersample " + std::to_string(options.supersample) + " renders " + std::to_string(renderWidth(options)) +
           "x" + std::to_string(renderHeight(options)) + ", more than " + std::to_string(kMaxCaptureSide) +
           " pixels a side";
  if (video) {
    if (videoContainer(options.out).empty()) return options.out + ": the video name must end in .mp4 or .mkv";
    if (options.width % 2 || options.height % 2)
      return "--size " + std::to_string(options.width) + "x" + std::to_string(options.height) +
             (options.master ? ": a master is for H.264 in yuv420p, which needs an even width and height"
                             : ": H.264 in yuv420p needs an even width and height");
  }
  if (video || !options.frames.empty() || !options.audio.empty()) {
    uint32_t fromMs, toMs;
    spanMilliseconds(options, fromMs, toMs);
    if (toMs <= fromMs)
      return "the span from " + secondsText(fromMs) + " s to " + secondsText(toMs) +
             " s is empty (the show ends at 192 s)";
  }
  return "";
}

bool parseTimes(const char* text, std::vector<uint32_t>& out) {
  std::string list(text);
  size_t begin = 0;
  while (true) {
    size_t comma = list.find(',', begin);
    std::string item = list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    double seconds;
    if (!parseSeconds(item.c_str(), seconds)) return false;
    uint32_t ms = static_cast<uint32_t>(std::llround(seconds * 1000.0));
    if (ms >= kShowEndMs) return false;  // the show has ended
    out.push_back(ms);
    if (comma == std::string::npos) return true;
    begin = comma + 1;
  }
}

// Takes one option that has a value into options; false with error set when the option is
// unknown or its value is refused with a reason of its own; valid is false when the value is
// refused otherwise.
bool takeValueOption(const std::string& flag, const char* value, CaptureOptions& options, bool& valid,
                     std::string& error) {
  if (flag == "--size") {
    valid = parseSize(value, options.width, options.height);
  } else if (flag == "--fps") {
    valid = parseInt(value, 1, kMaxCaptureFps, options.fps);
  } else if (flag == "--at") {
    valid = parseTimes(value, options.atMs);
  } else if (flag == "--out") {
    options.out = value;
    valid = *value != '\0';
  } else if (flag == "--audio") {
    options.audio = value;
    valid = *value != '\0';
  } else if (flag == "--frames") {
    options.frames = value;
    valid = *value != '\0';
  } else if (flag == "--encoder-timeout") {
    valid = parseInt(value, 1, kMaxEncoderTimeout, options.encoderTimeout);
  } else if (flag == "--encoder-preset") {
    options.encoderPreset = value;
    valid = isEncoderPreset(value);
  } else if (flag == "--from") {
    valid = parseSeconds(value, options.fromSeconds);
  } else if (flag == "--to") {
    valid = parseSeconds(value, options.toSeconds);
  } else if (flag == "--stats") {
    options.stats = value;
    valid = *value != '\0';
  } else if (flag == "--pass-stats") {
    options.passStats = value;
    valid = *value != '\0';
  } else if (flag == "--samples") {
    valid = parseInt(value, 0, kMaxCaptureSamples, options.samples);
  } else if (flag == "--jobs") {
    if (!parseInt(value, 1, kMaxCaptureJobs, options.jobs)) {
      error = "bad value for --jobs: '" + std::string(value) + "' (a whole number from 1 to " +
              std::to_string(kMaxCaptureJobs) + ")";
      return false;
    }
  } else if (flag == "--supersample") {
    if (!parseInt(value, kMinSupersample, kMaxSupersample, options.supersample)) {
      error = "bad value for --supersample: '" + std::string(value) + "' (a whole number from " +
              std::to_string(kMinSupersample) + " to " + std::to_string(kMaxSupersample) + ")";
      return false;
    }
  } else if (flag == "--crf") {
    valid = parseInt(value, 0, kMaxCrf, options.crf);
  } else if (flag == "--encode-master") {
    options.encodeMaster = value;
    // Checked here, as --shaders is: a master that cannot be read is refused before any work.
    if (!checkReadableFile(flag, value, error)) return false;
  } else if (flag == "--shaders") {
    options.shaders = value;
    // Checked here, so that a folder that cannot serve is refused before any work.
    if (!checkShaderFolder(value, error)) return false;
  } else if (flag == "--tracks") {
    options.tracks = value;
    if (!checkTrackFolder(value, error)) return false;
  } else {
    error = "unknown option " + flag;
    return false;
  }
  return true;
}

// Notes flag as given; false with error set when it was given before.
bool noteGiven(OptionsSeen& given, const std::string& flag, std::string& error) {
  if (given.first(flag)) return true;
  error = flag + " is given more than once";
  return false;
}

// Reads the arguments into options and given; false with error set at the first bad one.
bool readArguments(int argc, char** argv, CaptureOptions& options, OptionsSeen& given, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      options.help = true;
      continue;
    }
    if (flag == "--gl-debug" || flag == "--master") {
      (flag == "--master" ? options.master : options.glDebug) = true;
      if (!noteGiven(given, flag, error)) return false;
      continue;
    }
    if (flag == "--list-scenes") {
      options.listScenes = true;
      if (!noteGiven(given, flag, error)) return false;
      continue;
    }
    if (i + 1 >= argc) {
      error = flag.rfind("--", 0) == 0 ? flag + " needs a value" : "unknown argument " + flag;
      return false;
    }
    const char* value = argv[++i];
    bool valid = true;
    if (!takeValueOption(flag, value, options, valid, error) || !noteGiven(given, flag, error)) return false;
    if (!valid) {
      error = "bad value for " + flag + ": '" + value + "'";
      return false;
    }
  }
  return true;
}

// The refusals of options that do nothing or need one another; empty when they fit together.
std::string checkCombination(const CaptureOptions& options) {
  if (options.toSeconds >= 0 && options.toSeconds <= options.fromSeconds) return "--to must be after --from";
  if (!options.atMs.empty() && options.out.empty()) return "--at needs --out DIR";
  if (options.atMs.empty() && options.out.empty() && options.audio.empty() && options.frames.empty())
    return "nothing to do: give --at with --out, --out FILE, --frames DIR or --audio FILE";
  // The music alone renders no frame to measure.
  bool frames = !options.atMs.empty() || !options.out.empty() || !options.frames.empty();
  if (!options.stats.empty() && !frames) return "--stats needs frames to measure: give --at, --out or --frames";
  if (!options.passStats.empty() && !frames)
    return "--pass-stats needs frames to measure: give --at, --out or --frames";
  return "";
}

}  // namespace

const char* captureUsage() {
  return "Usage: demo-capture [options]\n"
         "Renders the show headless with a virtual clock, frame-exact.\n"
         "\n"
         "  --at T1,T2,...   the frames on screen at these show times in seconds\n"
         "                   (0 <= T < 192, at most 64 times)\n"
         "  --out PATH       with --at: folder for frame-<milliseconds>.png;\n"
         "                   otherwise a video file (.mp4 or .mkv)\n"
         "  --frames DIR     write the span as frame-<index>.png and music.wav\n"
         "  --audio FILE     write the music as a 16-bit stereo 44100 Hz WAV file\n"
         "                   (- for standard output)\n"
         "  --size WxH       picture size in pixels (default 1920x1080)\n"
         "  --fps N          frames per second (default 60)\n"
         "  --encoder-timeout S  with a video: give ffmpeg (or ffprobe) up when it makes\n"
         "                   no progress for S seconds (default 60)\n"
         "  --encoder-preset P  with a video: the H.264 encoder's speed, ultrafast,\n"
         "                   superfast, veryfast, faster, fast, medium (default), slow,\n"
         "                   slower or veryslow: faster ones make larger files\n"
         "  --from S         start of the span in seconds (default 0)\n"
         "  --to S           end of the span in seconds (default 192, the whole show)\n"
         "  --stats FILE     with frames: write each frame's CPU and GPU time and scene\n"
         "                   figures to a CSV file (- for standard output), and a\n"
         "                   per-scene summary to stderr\n"
         "  --pass-stats FILE  with frames: write each frame's passes (GPU time, vertices,\n"
         "                   primitives, fragment shader runs) to a CSV file (- for\n"
         "                   standard output), and a per-scene, per-pass summary to stderr\n"
         "  --samples N      a multisampled default framebuffer of N samples per pixel,\n"
         "                   as a driver that forces antialiasing gives (default: none)\n"
         "  --gl-debug       an OpenGL debug context: each distinct driver message goes\n"
         "                   to stderr once, with its count at the end\n"
         "  --shaders DIR    read the shaders from DIR instead of shaders/ here or the\n"
         "                   installed copy\n"
         "  --tracks DIR     read the scenes' track files from DIR instead of tracks/\n"
         "                   here or the installed copy\n"
         "  --jobs N         with --out FILE or --frames: render the span's frames in N\n"
         "                   processes at once (1 to 16, default 1); the pictures are the\n"
         "                   same, frame for frame\n"
         "  --supersample N  render N times the width and height (2 to 4) and average\n"
         "                   each N x N block in linear light down to --size\n"
         "  --crf N          with an H.264 video: the quality level, 0 (best) to 51\n"
         "                   (default 18)\n"
         "  --master         with a .mkv video: lossless FFV1 and FLAC, frames and music\n"
         "                   exactly as rendered, to encode later (--encode-master)\n"
         "  --encode-master FILE  with a video: encode the frames of FILE, a --master of\n"
         "                   this very span and size (joined from several machines, say),\n"
         "                   with the span's music, instead of rendering them\n"
         "  --list-scenes    print the show's scenes, one line each: the name, the start\n"
         "                   and the end in seconds (three decimals), separated by tabs;\n"
         "                   it takes no other option\n"
         "  --help           this text\n"
         "\n"
         "Refused with status 2 before any work: an unknown option, one given twice, one\n"
         "the request would ignore (--size or --fps with the music alone, an encoder option\n"
         "without a video, --from or --to with --at, --stats or --pass-stats without frames,\n"
         "--jobs with --at, the music alone, statistics or --gl-debug), numbers that are not\n"
         "plain decimals (5, 2.5; not ' 5', '+5', '0x10' or '1e1'), an odd video size, a side\n"
         "under 4 pixels or beyond the driver's largest texture, renderbuffer or viewport,\n"
         "an empty span, more than 64 --at times, a --shaders or --tracks folder that is not\n"
         "one. Refused with status 1 before any rendering: an output that cannot be written\n"
         "(a folder named as the file, a link to nothing, a missing or read-only folder), no\n"
         "shaders/ to read, a track file that does not read.\n"
         "Exit status: 0 when every output is written and checked; 1 when the capture\n"
         "failed (nothing left that looks finished); 2 when refused; 129, 130 or 143 when\n"
         "interrupted by SIGHUP, SIGINT or SIGTERM (the encoder stopped, temporaries gone).\n";
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
  OptionsSeen given;  // each option once: a second value would silently win
  if (!readArguments(argc, argv, options, given, error)) return false;
  if (options.help) return true;
  if (options.listScenes) {
    // The listing renders and writes nothing: any other option would be ignored.
    if (argc > 2) error = "--list-scenes takes no other option";
    return error.empty();
  }
  error = checkCombination(options);
  if (error.empty()) error = checkRequest(options, given);
  return error.empty();
}

void spanMilliseconds(const CaptureOptions& options, uint32_t& fromMs, uint32_t& toMs) {
  double to = options.toSeconds < 0 ? kShowSeconds : options.toSeconds;
  fromMs = static_cast<uint32_t>(std::llround(options.fromSeconds * 1000.0));
  toMs = static_cast<uint32_t>(std::llround(to * 1000.0));
}

int renderWidth(const CaptureOptions& options) { return options.width * options.supersample; }

int renderHeight(const CaptureOptions& options) { return options.height * options.supersample; }

bool wantsVideo(const CaptureOptions& options) { return !options.out.empty() && options.atMs.empty(); }

std::string videoContainer(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "mp4") return "mp4";
  if (ext == "mkv") return "matroska";
  return "";
}
