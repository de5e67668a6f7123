// RIFF WAV writing: a 44-byte header and the samples, all little-endian whatever the host.
#include "capture/wav_writer.h"

#include "base/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kChunkSamples = 8192;  // samples converted to bytes per write

// Stores value as count little-endian bytes at out.
void putLittleEndian(uint8_t* out, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The header of a PCM WAV file holding dataBytes of samples.
void buildHeader(uint8_t (&header)[kWavHeaderBytes], uint32_t dataBytes) {
  const int blockAlign = kWavChannels * kWavBytesPerSample;
  std::memcpy(header, "RIFF", 4);
  putLittleEndian(header + 4, dataBytes + (kWavHeaderBytes - 8), 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  putLittleEndian(header + 16, 16, 4);  // size of the format chunk
  putLittleEndian(header + 20, 1, 2);   // PCM
  putLittleEndian(header + 22, kWavChannels, 2);
  putLittleEndian(header + 24, kSampleRate, 4);
  putLittleEndian(header + 28, kSampleRate * blockAlign, 4);
  putLittleEndian(header + 32, blockAlign, 2);
  putLittleEndian(header + 34, 8 * kWavBytesPerSample, 2);
  std::memcpy(header + 36, "data", 4);
  putLittleEndian(header + 40, dataBytes, 4);
}

// Writes the header and samples to an open file; false on any short write.
bool writeContents(FILE* file, const int16_t* samples, int64_t frames) {
  uint8_t header[kWavHeaderBytes];
  buildHeader(header, static_cast<uint32_t>(frames * kWavChannels * kWavBytesPerSample));
  if (std::fwrite(header, 1, sizeof header, file) != sizeof header) return false;
  uint8_t bytes[kChunkSamples * kWavBytesPerSample];
  int64_t total = frames * kWavChannels;
  for (int64_t done = 0; done < total;) {
    int count = static_cast<int>(total - done < kChunkSamples ? total - done : kChunkSamples);
    for (int i = 0; i < count; ++i) putLittleEndian(bytes + 2 * i, static_cast<uint16_t>(samples[done + i]), 2);
    if (std::fwrite(bytes, kWavBytesPerSample, count, file) != static_cast<size_t>(count)) return false;
    done += count;
  }
  return true;
}

}  // namespace

bool writeWavStream(FILE* file, const int16_t* samples, int64_t frames) {
  return frames >= 0 && frames <= kMaxWavFrames && writeContents(file, samples, frames);
}

bool writeWavOutput(OutputFile out, const int16_t* samples, int64_t frames, PendingOutputs& pending,
                    std::string& error) {
  if (frames < 0 || frames > kMaxWavFrames) {
    error = "cannot write " + outputName(out) + ": too many frames for a WAV file";
    return false;
  }
  FILE* file = openOutput(out, error);
  if (!file) return false;
  bool ok = writeContents(file, samples, frames);
  if (!closeOutput(out, file, ok, errno, error)) return false;
  pending.files.push_back(out);
  return true;
}

bool writeWav(const std::string& path, const int16_t* samples, int64_t frames, std::string& error) {
  PendingOutputs pending;
  return writeWavOutput(planOutput(path, true), samples, frames, pending, error) && pending.commitAll(error);
}
