// The television scene without a GPU: the snow table and the shared random sequence, and
// which tunnel squares are drawn when. Its pictures are checked against the reference frames.
#include "scenes/tv/tv_scene.h"
#include "synth/process_state.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(TVNoise, FirstValuesOfTheGeneratorFromSeedOne) {
  const uint8_t firstEight[8] = {41, 35, 190, 132, 225, 108, 214, 174};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(kTVNoise.bytes[i], firstEight[i]) << i;

  // The program's own generator from a fresh state, byte by byte: so texel (x, y) of the
  // 32 x 32 RGBA texture, at byte 4 (32 y + x), has value number 4 (32 y + x) as its red.
  RandomGenerator fresh;
  for (int i = 0; i < kTVNoiseBytes; ++i) ASSERT_EQ(kTVNoise.bytes[i], nextRandom(fresh) & 0xFF) << i;
  EXPECT_EQ(kTVNoiseBytes, 4 * kNoiseTextureSide * kNoiseTextureSide);
}

TEST(TVNoise, TheSharedSequenceIsLeftAlone) {
  process = ProcessState();
  for (int i = 0; i < 1000; ++i) demoRand();
  uint32_t before = process.random.state;
  {
    TVScene scene;
    fillTVTracks(scene);
    TunnelSquare squares[kTunnelSlots];
    tunnelSquares(35.0f, squares);
  }
  EXPECT_EQ(process.random.state, before);
}

TEST(TVLines, TunnelSlotsNumbersAndDepths) {
  TunnelSquare squares[kTunnelSlots];
  EXPECT_EQ(tunnelSquares(26.0f, squares), 0);  // the test is strict
  for (int k = 0; k < 300; ++k) ASSERT_EQ(tunnelSquares(26.0f + 0.01f * k, squares), 0) << k;

  // At 29 s square 30 enters in the farthest slot.
  ASSERT_EQ(tunnelSquares(29.0f, squares), 1);
  EXPECT_EQ(squares[0].number, 30.0f);
  EXPECT_EQ(squares[0].depth, 9.0f);

  // s = 63 is whole: slot 0 holds square 63 on the camera plane and all ten slots are drawn;
  // a little later the nearest slot lies behind the camera and is skipped.
  ASSERT_EQ(tunnelSquares(35.0f, squares), kTunnelSlots);
  for (int i = 0; i < kTunnelSlots; ++i) {
    EXPECT_EQ(squares[i].number, 63.0f + i);
    EXPECT_EQ(squares[i].depth, static_cast<float>(i));
  }
  float t = 35.05f;
  float s = 7.0f * (t - 26.0f);
  ASSERT_EQ(tunnelSquares(t, squares), kTunnelSlots - 1);
  for (int i = 0; i < kTunnelSlots - 1; ++i) {
    EXPECT_GT(squares[i].depth, 0.0f);
    EXPECT_NEAR(squares[i].depth, squares[i].number - s, 1e-4f);  // square n reaches the camera at s = n
    EXPECT_EQ(squares[i].number, std::floor(s) + 1 + i);
  }

  // Styles in runs of 30, square 120 starting the first again. Half a slot before square n
  // reaches the camera it is the nearest one drawn.
  const struct {
    float number;
    int style;
  } runs[] = {{30, 0}, {59, 0}, {60, 1}, {89, 1}, {90, 2}, {119, 2}, {120, 0}};
  for (const auto& run : runs) {
    ASSERT_GT(tunnelSquares(26.0f + (run.number - 0.5f) / 7.0f, squares), 0) << run.number;
    EXPECT_EQ(squares[0].number, run.number);
    EXPECT_NEAR(squares[0].depth, 0.5f, 1e-4f);
    EXPECT_EQ(squares[0].style, run.style) << run.number;
  }

  // The last square: still there at 43.1 s, gone once it passed the camera at about 43.14 s.
  ASSERT_EQ(tunnelSquares(43.1f, squares), 1);
  EXPECT_EQ(squares[0].number, 120.0f);
  EXPECT_EQ(squares[0].style, 0);
  EXPECT_EQ(tunnelSquares(43.15f, squares), 0);
}

}  // namespace
