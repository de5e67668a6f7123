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
  int chapters = 0;           // chapters the file lists; -1 = any number
  bool exactAudio = true;     // false: any length of audioCodec (a master joined from spans)
  int chapterTracks = 0;      // data streams holding them (mp4 keeps its chapters in a text track)
  std::string videoCodec = "h264";     // as ffprobe names them
  std::string pixelFormat = "yuv420p";
  std::string colorSpace = "bt709";    // the matrix the stream is tagged with
  std::string audioCodec = "aac";
  int audioPacketFrames = kAacFrameSamples;  // sample frames per audio packet
};

// Checks ffprobe's flat report (-show_entries stream=...:format=duration:chapter=id
// -count_packets -of flat) against what was sent; false with the first mismatch in error.
bool checkProbeReport(const std::string& report, const VideoExpectation& expected, std::string& error);
// Runs ffprobe on path and checks the report; anything ffprobe says on stderr, or a failure
// status, is a failure too, and so is ffprobe making no progress for stallSeconds. False
// with a reason in error.
bool probeVideo(const std::string& ffprobe, const std::string& path, const VideoExpectation& expected,
                double stallSeconds, std::string& error);
