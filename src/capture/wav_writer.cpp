// RIFF WAV writing: a 44-byte header and the samples, all little-endian whatever the host.
#include "capture/wav_writer.h"

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
  putLittleEndian(header + 24, kWavSampleRate, 4);
  putLittleEndian(header + 28, kWavSampleRate * blockAlign, 4);
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

bool writeWav(const std::string& path, const int16_t* samples, int64_t frames, std::string& error) {
  if (frames < 0 || frames > kMaxWavFrames) {
    error = "cannot write " + path + ": too many frames for a WAV file";
    return false;
  }
  std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = writeContents(file, samples, frames);
  int savedErrno = errno;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    std::remove(temporary.c_str());
    error = "cannot write " + path + ": " + std::strerror(savedErrno);
  }
  return ok;
}
