// Command-line parsing for the demo.
#include "demo/demo_options.h"

#include "base/command_line.h"
#include "render/shader_folder.h"
#include "render/target.h"
#include "render/track_source.h"
#include "show/show.h"

#include <cmath>

namespace {

// True when argv[i] exists and is a value rather than the next option.
bool valueFollows(int argc, char** argv, int i) { return i + 1 < argc && argv[i + 1][0] != '-'; }

// Takes --window and its size, if one follows at argv[i + 1] (i then moves past it); false
// with error set for a bad size.
bool takeWindow(int argc, char** argv, int& i, DemoOptions& options, std::string& error) {
  options.window = true;
  if (!valueFollows(argc, argv, i)) return true;
  const char* value = argv[++i];
  if (!parseSize(value, kMaxWindowSide, options.width, options.height)) {
    error = "bad value for --window: '" + std::string(value) + "' (expected WxH, such as 1280x720)";
    return false;
  }
  if (options.width < kMinFrameSide || options.height < kMinFrameSide) {
    error = "--window " + std::string(value) + " is too small: the scenes need at least " +
            std::to_string(kMinFrameSide) + " pixels a side";
    return false;
  }
  return true;
}

// Takes --from and its seconds at argv[i + 1] (i then moves past it); false with error set
// when the value is missing or outside the show.
bool takeFrom(int argc, char** argv, int& i, DemoOptions& options, std::string& error) {
  if (i + 1 >= argc) {
    error = "--from needs a value in seconds";
    return false;
  }
  const char* value = argv[++i];
  double seconds;
  uint32_t ms = 0;
  bool ok = parseSeconds(value, kShowSeconds, seconds);
  if (ok) ms = static_cast<uint32_t>(std::llround(seconds * 1000.0));
  if (!ok || ms >= kShowEndMs) {
    error = "bad value for --from: '" + std::string(value) + "' (seconds, 0 <= S < 192)";
    return false;
  }
  options.seek = true;
  options.fromMs = ms;
  return true;
}

// Takes the folder given to flag at argv[i + 1] into folder (i then moves past it); false with
// error set when none follows or check refuses it.
bool takeFolder(const std::string& flag, int argc, char** argv, int& i, std::string& folder,
                bool (*check)(const char*, std::string&), std::string& error) {
  if (i + 1 >= argc) {
    error = flag + " needs a folder";
    return false;
  }
  folder = argv[++i];
  return check(folder.c_str(), error);
}

// Takes the option flag found at argv[i] (and its value, moving i past it); false with error
// set for an unknown option or a bad value.
bool takeOption(const std::string& flag, int argc, char** argv, int& i, DemoOptions& options, std::string& error) {
  if (flag == "--help") {
    options.help = true;
  } else if (flag == "--window") {
    return takeWindow(argc, argv, i, options, error);
  } else if (flag == "--from") {
    return takeFrom(argc, argv, i, options, error);
  } else if (flag == "--loop") {
    options.loop = true;
  } else if (flag == "--mute") {
    options.mute = true;
  } else if (flag == "--gl-info") {
    options.glInfo = true;
  } else if (flag == "--dev") {
    options.dev = true;
  } else if (flag == "--shaders") {
    return takeFolder(flag, argc, argv, i, options.shaders, checkShaderFolder, error);
  } else if (flag == "--tracks") {
    return takeFolder(flag, argc, argv, i, options.tracks, checkTrackFolder, error);
  } else {
    error = "unknown option " + flag;
    return false;
  }
  return true;
}

}  // namespace

const char* demoUsage() {
  return "Usage: demo [options]\n"
         "Plays the show full screen at the desktop's resolution, with its music.\n"
         "Escape ends it.\n"
         "\n"
         "  --window [WxH]  play in a window of W x H pixels (default 1280x720)\n"
         "  --from S        start at show time S seconds (0 <= S < 192), music included\n"
         "  --loop          when the show ends, play it again from the start\n"
         "  --mute          open no audio device; the pictures run on the clock alone\n"
         "  --gl-info       print the OpenGL renderer, version and profile, and exit\n"
         "  --dev           the maker's mode, in a window (1280x720 unless --window\n"
         "                  gives a size): Space pauses, Left/Right step 1 s (Shift:\n"
         "                  10 s), Page Up/Down go to a scene's start, Home to 0 s,\n"
         "                  ',' and '.' step a frame while paused, F1 shows the\n"
         "                  overlay, F2 the track panel, F12 saves the frame as\n"
         "                  frame-<ms>.png; Tab selects a track, K keys it at the\n"
         "                  frame's time, Delete removes its key there, Ctrl+Z\n"
         "                  undoes, a mouse button held on the picture turns the\n"
         "                  camera and the wheel moves it; a saved shader or track\n"
         "                  file is read again at once\n"
         "  --shaders DIR   read (with --dev, and watch) the shaders from DIR instead\n"
         "  --tracks DIR    read (with --dev, watch and write) the scenes' track files\n"
         "                  from DIR instead\n"
         "  --help          this text\n"
         "\n"
         "Shaders and tracks are read from the --shaders and --tracks folders, else from\n"
         "shaders/ and tracks/ in the working folder, else from the installed copy;\n"
         "error_log.txt is written in the working folder.\n"
         "\n"
         "Refused with status 2 before anything opens: an unknown option, one given twice,\n"
         "a value that is not a plain decimal or out of range, a window side under 4\n"
         "pixels, --gl-info with --from, --loop, --mute, --dev, --shaders or --tracks,\n"
         "--dev with --loop, a --shaders or --tracks folder that is not one.\n"
         "Exit status: 0 after the show, Escape or a fatal OpenGL error (logged); 255\n"
         "after a start-up failure (logged in error_log.txt).\n";
}

bool parseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error) {
  OptionsSeen seen;
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag.rfind("--", 0) != 0 && flag != "-h") {
      error = "unknown argument '" + flag + "'";
      return false;
    }
    if (flag == "-h") flag = "--help";
    if (!seen.first(flag)) {
      error = flag + " is given twice";
      return false;
    }
    if (!takeOption(flag, argc, argv, i, options, error)) return false;
  }
  if (options.help) return true;
  if (options.glInfo && (options.seek || options.loop || options.mute || options.dev)) {
    error = "--gl-info plays nothing: it does not go with --from, --loop, --mute or --dev";
    return false;
  }
  if (options.dev && options.loop) {
    error = "--dev holds the last frame at the end of the show: it does not go with --loop";
    return false;
  }
  if (options.dev) options.window = true;
  if (options.glInfo && !options.shaders.empty()) {
    error = "--gl-info reads no shaders: it does not go with --shaders";
    return false;
  }
  if (options.glInfo && !options.tracks.empty()) {
    error = "--gl-info reads no tracks: it does not go with --tracks";
    return false;
  }
  return true;
}
