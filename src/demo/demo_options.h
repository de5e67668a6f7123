// The demo's command line. With no option it plays the show full screen from 0 s.
#pragma once

#include <cstdint>
#include <string>

constexpr int kDefaultWindowWidth = 1280;  // --window without a size
constexpr int kDefaultWindowHeight = 720;
constexpr int kMaxWindowSide = 16384;  // pixels, either side

struct DemoOptions {
  bool help = false;      // --help
  bool window = false;    // --window: a window instead of full screen
  int width = kDefaultWindowWidth;    // --window WxH, pixels
  int height = kDefaultWindowHeight;
  bool seek = false;      // --from given
  uint32_t fromMs = 0;    // --from: show time to start at, milliseconds
  bool loop = false;      // --loop: start again from 0 when the show ends
  bool mute = false;      // --mute: no audio device; the timeline runs on the clock
  bool glInfo = false;    // --gl-info: print what OpenGL the demo gets, and exit
  bool dev = false;       // --dev: the maker's mode (windowed; transport keys, overlay, screenshots)
  std::string shaders;    // --shaders: the folder to read shaders from; "" = shaders/ or the installed copy
};

// Parses argv into options. Returns false with a one-line reason in error on an unknown or
// repeated option, a bad value, or options that would be ignored together.
bool parseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error);
// The usage text printed by --help.
const char* demoUsage();
