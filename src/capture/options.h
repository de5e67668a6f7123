// The capture tool's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxCaptureSide = 16384;  // pixels, either side
constexpr int kMaxCaptureFps = 1000;

struct CaptureOptions {
  int width = 1920;                // pixels
  int height = 1080;               // pixels
  int fps = 60;                    // frames per second of the virtual clock
  std::vector<uint32_t> atMs;      // --at: show times of single frames, milliseconds
  std::string out;                 // --out: folder for --at frames, or a video file
  std::string audio;               // --audio: WAV file of the music
  std::string frames;              // --frames: folder for a PNG sequence and music.wav
  double fromSeconds = 0.0;        // --from: start of the span
  double toSeconds = -1.0;         // --to: end of the span; negative = the whole show
  std::string stats;               // --stats: CSV of per-frame times and scene figures
  bool help = false;               // --help
};

// Parses argv into options. Returns false with a message in error on bad input.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);
// The usage text printed by --help.
const char* captureUsage();
