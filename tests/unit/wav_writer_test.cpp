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

// A fresh folder under /tmp, removed with its file afterwards.
struct TempFolder {
  char path[32] = "/tmp/wav_writer_test.XXXXXX";
  TempFolder() { EXPECT_NE(mkdtemp(path), nullptr); }
  ~TempFolder() {
    std::remove((std::string(path) + "/music.wav").c_str());
    rmdir(path);
  }
};

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

TEST(WavWriter, HeaderAndLittleEndianSamples) {
  TempFolder folder;
  const std::string path = std::string(folder.path) + "/music.wav";
  const int16_t samples[6] = {0, -1, 32767, -32767, 0x1234, -0x1234};
  std::string error;
  ASSERT_TRUE(writeWav(path, samples, 3, error)) << error;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const uint8_t header[44] = {'R', 'I', 'F', 'F', 48, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                              16,  0,   0,   0,   1,  0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                              4,   0,   16,  0,   'd', 'a', 't', 'a', 12, 0, 0, 0};
  const uint8_t data[12] = {0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x80, 0x34, 0x12, 0xCC, 0xED};
  ASSERT_EQ(bytes.size(), 56u);
  EXPECT_TRUE(std::equal(header, header + 44, bytes.begin()));
  EXPECT_TRUE(std::equal(data, data + 12, bytes.begin() + 44));
  EXPECT_FALSE(exists(path + ".part"));
}

TEST(WavWriter, FailureLeavesNoFile) {
  TempFolder folder;
  const int16_t samples[2] = {1, 2};
  std::string error;
  const std::string missing = std::string(folder.path) + "/no/such/folder/music.wav";
  EXPECT_FALSE(writeWav(missing, samples, 1, error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_FALSE(exists(missing) || exists(missing + ".part"));
  // A folder in the way: the temporary file is written but cannot replace it.
  EXPECT_FALSE(writeWav(folder.path, samples, 1, error));
  EXPECT_FALSE(exists(std::string(folder.path) + ".part"));
  EXPECT_FALSE(writeWav(std::string(folder.path) + "/music.wav", samples, kMaxWavFrames + 1, error));
  EXPECT_FALSE(exists(std::string(folder.path) + "/music.wav"));
}

}  // namespace
