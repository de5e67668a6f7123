// Capturing a span of the show: every frame from --from to --to, either encoded to a video
// file with its music, or written as a PNG sequence with music.wav.
#pragma once

#include "base/output_file.h"
#include "capture/options.h"

#include <cstdint>
#include <string>

// Frames and music samples of the span [fromSeconds, toSeconds) at fps.
struct SpanPlan {
  uint32_t fromMs = 0;        // tick of frame 0
  uint32_t toMs = 0;          // end of the span, exclusive
  int64_t frameCount = 0;     // frames k with fromMs + floor(k * 1000 / fps) < toMs
  int64_t firstSample = 0;    // first stereo frame of music, round(fromMs * 44.1): frame 0's instant
  int64_t endSample = 0;      // end of the music, round(toMs * 44.1), exclusive
};

// Works out the frames and samples of the span the options ask for.
SpanPlan planSpan(const CaptureOptions& options);
// The helper programs a video capture runs, as found on PATH.
struct VideoTools {
  std::string ffmpeg;   // path of the encoder
  std::string ffprobe;  // path of the program that reads the finished video back
};

// Finds ffmpeg and ffprobe on PATH; false after saying on stderr which is missing.
bool findVideoTools(VideoTools& tools);
// Renders the span to options.out (a video file, made with tools) or options.frames (a
// folder); returns the process exit status.
int captureSpan(const CaptureOptions& options, const VideoTools& tools);
// Renders the music of the span to options.audio, when asked for, as one of the capture's
// outputs: a temporary in pending, or written in place (standard output, a FIFO). False with
// a reason in error.
bool addMusicOutput(const CaptureOptions& options, PendingOutputs& pending, std::string& error);
