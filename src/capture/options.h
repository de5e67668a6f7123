// The capture tool's command line.
#pragma once

#include "show/virtual_clock.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxCaptureSide = 65536;  // pixels, either side: a sanity bound; the driver's own limits decide
constexpr int kMaxCaptureFps = 1000;
constexpr int kDefaultEncoderTimeout = 60;    // seconds ffmpeg may take no data before it is given up
constexpr int kMaxEncoderTimeout = 86400;     // seconds
constexpr int kMaxAtTimes = 64;               // --at times in one run: their pictures are committed together
constexpr int kMaxCaptureSamples = 32;        // --samples: more than any driver offers
constexpr int kMaxCaptureJobs = 16;           // --jobs: rendering processes of one span capture
constexpr int kMinSupersample = 2;            // --supersample: rendered pixels a side per output pixel
constexpr int kMaxSupersample = 4;
constexpr int kDefaultCrf = 18;               // --crf: x264's quality level; visually lossless for most pictures
constexpr int kMaxCrf = 51;                   // x264's worst quality level
constexpr const char* kDefaultEncoderPreset = "medium";  // x264's own default: small files, good pictures

// The encoder's speed presets, fastest first: a faster one makes a larger file of the same
// quality level with less work, which suits a preview that is played once.
constexpr const char* kEncoderPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                           "medium",    "slow",      "slower",   "veryslow"};

struct CaptureOptions {
  int width = 1920;                // pixels
  int height = 1080;               // pixels
  int fps = kFrameGridFps;         // frames per second of the virtual clock
  std::vector<uint32_t> atMs;      // --at: show times of single frames, milliseconds
  std::string out;                 // --out: folder for --at frames, or a video file
  std::string audio;               // --audio: WAV file of the music
  std::string frames;              // --frames: folder for a PNG sequence and music.wav
  double fromSeconds = 0.0;        // --from: start of the span
  double toSeconds = -1.0;         // --to: end of the span; negative = the whole show
  int encoderTimeout = kDefaultEncoderTimeout;  // --encoder-timeout: seconds
  std::string encoderPreset = kDefaultEncoderPreset;  // --encoder-preset: one of kEncoderPresets
  std::string stats;               // --stats: CSV of per-frame times and scene figures
  std::string passStats;           // --pass-stats: CSV of each frame's passes: GPU time and pipeline counts
  int samples = 0;                 // --samples: samples per pixel of the default framebuffer; 0 = not multisampled
  bool glDebug = false;            // --gl-debug: a debug context whose messages go to stderr
  std::string shaders;             // --shaders: the folder to read shaders from; "" = shaders/ or the installed copy
  std::string tracks;              // --tracks: the folder to read track files from; "" = tracks/ or the installed copy
  int jobs = 1;                    // --jobs: processes rendering a span's frames; 1 = this one alone
  int supersample = 1;             // --supersample: rendered pixels a side per output pixel; 1 = none
  int crf = kDefaultCrf;           // --crf: the H.264 encoder's quality level, 0 (best) to kMaxCrf
  bool master = false;             // --master: a lossless video (FFV1 and FLAC in Matroska)
  std::string encodeMaster;        // --encode-master: a span's --master file to encode instead of rendering
  bool listScenes = false;         // --list-scenes: print the scene table and exit
  bool help = false;               // --help
};

// Parses argv into options. Returns false with a message in error on bad input, and on any
// request that cannot be met or would be partly ignored, so it is refused before any work.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);
// The span [--from, --to) in whole milliseconds, as the frames and the music both count it.
void spanMilliseconds(const CaptureOptions& options, uint32_t& fromMs, uint32_t& toMs);
// True when the options ask for a video file (--out without --at).
bool wantsVideo(const CaptureOptions& options);
// The size the scenes render at: the output size times --supersample.
int renderWidth(const CaptureOptions& options);
int renderHeight(const CaptureOptions& options);
// The container a video name asks for: "mp4" for .mp4, "matroska" for .mkv (any case), else "".
std::string videoContainer(const std::string& path);
// The usage text printed by --help.
const char* captureUsage();
