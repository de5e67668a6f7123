// The video encoder: the ffmpeg program in a child process, fed raw RGB frames through a
// pipe so that encoding runs beside rendering.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

struct VideoEncoder {
  pid_t pid = -1;   // the ffmpeg process; -1 when not running
  int input = -1;   // write end of its standard input
  size_t frameBytes = 0;
  int64_t framesSent = 0;
};

// Finds a program on PATH; returns its path, or an empty string.
std::string findOnPath(const char* program);
// Starts ffmpeg encoding width x height RGB frames at fps together with the WAV at
// audioPath into outputPath (H.264 yuv420p and AAC stereo 44100 Hz, in the container the
// name's extension picks: .mp4 or .mkv). False with a reason in error.
bool startEncoder(VideoEncoder& encoder, const std::string& ffmpeg, int width, int height, int fps,
                  const std::string& audioPath, const std::string& outputPath, const std::string& container,
                  std::string& error);
// Sends one upright RGB frame; false when the encoder has gone away.
bool sendFrame(VideoEncoder& encoder, const uint8_t* rgb);
// Closes the pipe and waits for ffmpeg; true when it finished without error.
bool finishEncoder(VideoEncoder& encoder, std::string& error);
