// The WAV writer: header fields, little-endian samples, and no file left after a failure.
#include "capture/wav_writer.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WavWriter, HeaderAndLittleEndianSamples) {
  TempFolder folder;
  const std::string path = folder.at("music.wav");
  const int16_t samples[6] = {0, -1, 32767, -32767, 0x1234, -0x1234};
  std::string error;
  ASSERT_TRUE(writeWav(path, samples, 3, error)) << error;
  const uint8_t expected[56] = {'R', 'I',  'F',  'F', 48,   0,    0,    0,    'W', 'A',  'V',  'E', 'f', 'm',
                                't', ' ',  16,   0,   0,    0,    1,    0,    2,   0,    0x44, 0xAC, 0,   0,
                                0x10, 0xB1, 2,   0,   4,    0,    16,   0,    'd', 'a',  't',  'a', 12,  0,
                                0,   0,    0,    0,   0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x80, 0x34, 0x12, 0xCC, 0xED};
  EXPECT_EQ(readFile(path), std::string(expected, expected + 56));
  EXPECT_FALSE(exists(path + ".part"));
}

TEST(WavWriter, FailureLeavesNoFile) {
  TempFolder folder;
  const int16_t samples[2] = {1, 2};
  std::string error;
  const std::string missing = folder.at("no/such/folder/music.wav");
  EXPECT_FALSE(writeWav(missing, samples, 1, error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_FALSE(exists(missing) || exists(missing + ".part"));
  // A folder in the way: the temporary file is written but cannot replace it.
  EXPECT_FALSE(writeWav(folder.path, samples, 1, error));
  EXPECT_FALSE(exists(std::string(folder.path) + ".part"));
  EXPECT_FALSE(writeWav(folder.at("music.wav"), samples, kMaxWavFrames + 1, error));
  EXPECT_FALSE(exists(folder.at("music.wav")));
}

}  // namespace
