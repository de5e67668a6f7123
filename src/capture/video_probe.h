// Checking a finished video before it takes the user's name: ffprobe reads the container
// back and counts its packets, and the streams must be exactly what the capture sent.
#pragma once

#include <cstdint>
#include <string>

constexpr int kAacFrameSamples = 1024;  // sample frames per AAC packet

// What a capture put into its video.
struct VideoExpectation {
  int width = 0;              // pixels
  int height = 0;             // pixels
  int64_t frames = 0;         // video frames sent to the encoder
  int64_t audioFrames = 0;    // stereo sample frames of music
  double seconds = 0;         // the longer of the two streams, in seconds
};

// Checks ffprobe's flat report (-show_entries stream=...:format=duration -count_packets -of
// flat) against what was sent; false with the first mismatch in error.
bool checkProbeReport(const std::string& report, const VideoExpectation& expected, std::string& error);
// Runs ffprobe on path and checks the report; anything ffprobe says on stderr, or a failure
// status, is a failure too, and so is ffprobe making no progress for stallSeconds. False
// with a reason in error.
bool probeVideo(const std::string& ffprobe, const std::string& path, const VideoExpectation& expected,
                double stallSeconds, std::string& error);
