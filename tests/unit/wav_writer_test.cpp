// The WAV writer: header fields, little-endian samples, and no file left after a failure.
#include "capture/wav_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A fresh folder under the temporary directory, removed with its files afterwards.
struct TempFolder {
  std::string path;
  TempFolder() {
    char name[] = "/tmp/wav_writer_test.XXXXXX";
    path = mkdtemp(name) ? name : "";
  }
  ~TempFolder() {
    std::remove((path + "/music.wav").c_str());
    rmdir(path.c_str());
  }
};

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t readLittleEndian(const std::vector<uint8_t>& bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

TEST(WavWriter, HeaderAndLittleEndianSamples) {
  TempFolder folder;
  ASSERT_FALSE(folder.path.empty());
  const std::string path = folder.path + "/music.wav";
  const int16_t samples[6] = {0, -1, 32767, -32767, 0x1234, -0x1234};
  std::string error;
  ASSERT_TRUE(writeWav(path, samples, 3, error)) << error;
  std::vector<uint8_t> bytes = readFile(path);
  ASSERT_EQ(bytes.size(), 44u + 12u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(readLittleEndian(bytes, 4, 4), 36u + 12u);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(readLittleEndian(bytes, 16, 4), 16u);
  EXPECT_EQ(readLittleEndian(bytes, 20, 2), 1u);  // PCM
  EXPECT_EQ(readLittleEndian(bytes, 22, 2), 2u);  // channels
  EXPECT_EQ(readLittleEndian(bytes, 24, 4), 44100u);
  EXPECT_EQ(readLittleEndian(bytes, 28, 4), 44100u * 4);
  EXPECT_EQ(readLittleEndian(bytes, 32, 2), 4u);
  EXPECT_EQ(readLittleEndian(bytes, 34, 2), 16u);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(readLittleEndian(bytes, 40, 4), 12u);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(static_cast<int16_t>(readLittleEndian(bytes, 44 + 2 * i, 2)), samples[i]) << i;
  EXPECT_FALSE(exists(path + ".part"));
}

TEST(WavWriter, FailureLeavesNoFile) {
  TempFolder folder;
  ASSERT_FALSE(folder.path.empty());
  const int16_t samples[2] = {1, 2};
  std::string error;
  const std::string missing = folder.path + "/no/such/folder/music.wav";
  EXPECT_FALSE(writeWav(missing, samples, 1, error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_FALSE(exists(missing));
  EXPECT_FALSE(exists(missing + ".part"));
  // A folder in the way: the temporary file is written, then cannot replace it.
  error.clear();
  EXPECT_FALSE(writeWav(folder.path, samples, 1, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(exists(folder.path + ".part"));
  EXPECT_FALSE(writeWav(folder.path + "/music.wav", samples, kMaxWavFrames + 1, error));
  EXPECT_FALSE(exists(folder.path + "/music.wav"));
}

}  // namespace
