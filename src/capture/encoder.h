// The video encoder: the ffmpeg program in a child process, fed raw RGB frames through a
// pipe so that encoding runs beside rendering. Any error ffmpeg reports fails the encode, and
// an ffmpeg that stops taking data is given up after a time limit.
#pragma once

#include "capture/child_process.h"
#include "capture/options.h"

#include <cstdint>
#include <string>

constexpr size_t kMaxEncoderMessageBytes = 8192;  // of ffmpeg's stderr kept for the report
constexpr int kFlacFrameSamples = 4608;            // sample frames per FLAC packet of a master (ffmpeg's choice at 44100 Hz)

struct VideoEncoder {
  ChildProcess process;              // ffmpeg
  size_t frameBytes = 0;             // one RGB frame
  int64_t framesSent = 0;
  double stallSeconds = kDefaultEncoderTimeout;  // --encoder-timeout
  std::string preset = kDefaultEncoderPreset;    // --encoder-preset: the H.264 encoder's speed
  int crf = kDefaultCrf;                         // --crf: the H.264 encoder's quality level
  bool master = false;                           // --master: FFV1 and FLAC instead of H.264 and AAC
  std::string chaptersPath;          // ffmpeg metadata file of the video's chapters; empty for none
  std::string source;                // a master file ffmpeg reads the frames from; empty: they come through the pipe
  std::string watchedFile;           // the file ffmpeg writes, whose changes count as progress; may be empty
  std::string messages;              // what ffmpeg wrote on stderr, at most kMaxEncoderMessageBytes
};

// Starts ffmpeg encoding width x height RGB frames at fps (from the pipe, or from the
// encoder's source) together with the WAV at audioPath into outputPath (H.264 yuv420p in
// BT.709 and AAC stereo 44100 Hz, or for a master FFV1 RGB and FLAC, in container, "mp4" or
// "matroska"), with the encoder's chapters. seekable is false for an output written in place
// (a device or FIFO), where MP4 is written as fragments. False with a reason in error.
bool startEncoder(VideoEncoder& encoder, const std::string& ffmpeg, int width, int height, int fps,
                  const std::string& audioPath, const std::string& outputPath, const std::string& container,
                  bool seekable, std::string& error);
// Sends one upright RGB frame; false with a reason in error when ffmpeg has gone away or has
// made no progress (see ProgressWatch) for stallSeconds (it is then killed).
bool sendFrame(VideoEncoder& encoder, const uint8_t* rgb, std::string& error);
// Closes the pipe and waits for ffmpeg to finish, killing it when it makes no progress for
// stallSeconds; true when it exited with status 0 and reported no error.
bool finishEncoder(VideoEncoder& encoder, std::string& error);
// The chapters of the span [fromMs, toMs): one per scene shown in it, named as the scene,
// from its start (the span's start for the scene in force there) to the next one's, in
// milliseconds from the span's start, as an ffmpeg metadata file.
std::string chapterMetadata(uint32_t fromMs, uint32_t toMs);
// The number of chapters chapterMetadata gives for the span.
int chapterCount(uint32_t fromMs, uint32_t toMs);
// Returns text with every occurrence of from replaced by to (temporary names in ffmpeg's
// messages become the names the user knows).
std::string replaceAll(std::string text, const std::string& from, const std::string& to);
