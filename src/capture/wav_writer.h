// WAV output of the captured music: 16-bit PCM, little-endian, stereo, 44100 Hz.
#pragma once

#include "base/output_file.h"
#include "synth/sample_rate.h"

#include <cstdint>
#include <cstdio>
#include <string>

constexpr int kWavChannels = 2;        // interleaved, left first
constexpr int kWavBytesPerSample = 2;  // signed 16-bit
constexpr int kWavHeaderBytes = 44;
constexpr int64_t kMaxWavFrames = (0xFFFFFFFFll - (kWavHeaderBytes - 8)) / (kWavChannels * kWavBytesPerSample);

// Writes frames stereo frames of interleaved samples to path through a temporary file that
// is renamed on success, so a failed write leaves no file that looks complete. "-" is
// standard output; a device or FIFO is written in place.
bool writeWav(const std::string& path, const int16_t* samples, int64_t frames, std::string& error);
// Writes the WAV to out (see planOutput) and closes it, checking every write; a temporary then
// waits in pending to be renamed with the capture's other outputs. False with a reason.
bool writeWavOutput(OutputFile out, const int16_t* samples, int64_t frames, PendingOutputs& pending,
                    std::string& error);
// Writes the header and samples to an open file; false on a short write or too many frames.
bool writeWavStream(FILE* file, const int16_t* samples, int64_t frames);
