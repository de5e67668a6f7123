// The television scene without a GPU: its tracks, the snow table, the line picture's
// projection and motion, the tunnel's squares, the quarter sizes and the per-frame uniforms.
#include "scenes/tv/tv_scene.h"
#include "synth/process_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// The bits of a float, for constants that must be exact.
uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The scene's clock as the shell computes it from a tick count.
float secondsAt(uint32_t ms) { return static_cast<float>(ms * 0.001); }

// M * (x, y, z, w).
void apply(const Mat4& m, const float in[4], float out[4]) {
  for (int r = 0; r < 4; ++r) out[r] = m.m[r] * in[0] + m.m[4 + r] * in[1] + m.m[8 + r] * in[2] + m.m[12 + r] * in[3];
}

TEST(TVTracks, FadeScaleAndWhenTheCubeIsNear) {
  TVScene scene;
  fillTVTracks(scene);
  EXPECT_EQ(scene.fadeTrack.evaluate(0), 0.0f);
  EXPECT_EQ(scene.fadeTrack.evaluate(400), 1.0f);
  EXPECT_EQ(scene.fadeTrack.evaluate(4250), 1.0f);
  EXPECT_EQ(scene.fadeTrack.evaluate(4400), 0.0f);

  for (uint32_t t = 0; t <= 5000; t += 7) ASSERT_EQ(scene.scaleTrack.evaluate(t), 1.0f) << t;

  // The cube is drawn while the distance is above -30: one stretch of about 7.37 s to 24.63 s.
  uint32_t first = 0, last = 0;
  int stretches = 0;
  bool inside = false;
  for (uint32_t t = 0; t <= 4400; ++t) {
    bool near = scene.distanceTrack.evaluate(t) > kCubeVisibleAbove;
    if (near && !inside) {
      first = t;
      ++stretches;
    }
    if (near) last = t;
    inside = near;
  }
  EXPECT_EQ(stretches, 1);
  EXPECT_NEAR(first, 737, 1);
  EXPECT_NEAR(last, 2463, 1);
}

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

TEST(TVProjection, ExactConstantsAndTheVerticalScale) {
  Mat4 p = tvProjection(1920, 1080);
  EXPECT_EQ(bitsOf(p.m[0]), 0x3F7FFFFFu);
  EXPECT_EQ(bitsOf(p.m[10]), 0xBF8295FBu);
  EXPECT_EQ(bitsOf(p.m[14]), 0xC0014AFDu);
  EXPECT_EQ(p.m[11], -1.0f);
  for (int k : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(p.m[k], 0.0f) << k;
  EXPECT_NEAR(p.m[5], 1.7777777f, 2e-7f);

  EXPECT_EQ(bitsOf(tvProjection(700, 700).m[5]), bitsOf(tvProjection(700, 700).m[0]));
  EXPECT_NEAR(tvProjection(360, 640).m[5], 0.5625f, 1e-7f);

  // Near 1 and far 100: points on the axis at those distances land on depth -1 and +1.
  const float atNear[4] = {0, 0, -1, 1}, atFar[4] = {0, 0, -100, 1};
  float clip[4];
  apply(p, atNear, clip);
  EXPECT_NEAR(clip[2] / clip[3], -1.0f, 1e-6f);
  apply(p, atFar, clip);
  EXPECT_NEAR(clip[2] / clip[3], 1.0f, 1e-5f);
}

TEST(TVFrame, QuarterSizesSnowStepsAndGlowTint) {
  const int quarters[][2] = {{1366, 341}, {768, 192}, {1080, 270}, {3, 0}};
  for (const auto& q : quarters) EXPECT_EQ(quarterSide(q[0]), q[1]) << q[0];

  EXPECT_FLOAT_EQ(snowTime(secondsAt(70)), 0.05f);
  EXPECT_FLOAT_EQ(snowTime(secondsAt(100)), 0.1f);
  EXPECT_EQ(snowTime(secondsAt(49)), 0.0f);
  // Constant within each 1/20 s and never ahead of the clock.
  for (uint32_t ms = 0; ms < 44000; ms += 3) {
    float s = secondsAt(ms);
    float stepped = snowTime(s);
    ASSERT_LE(stepped, s + 1e-5f) << ms;  // the float product may land an ulp above
    ASSERT_GT(stepped, s - 0.05f - 1e-4f) << ms;
    ASSERT_NEAR(stepped * 20.0f, std::round(stepped * 20.0f), 1e-3f) << ms;
  }

  float lowest[4] = {9, 9, 9, 9}, highest[4] = {-9, -9, -9, -9};
  for (uint32_t ms = 0; ms < 44000; ++ms) {
    float tint[4];
    glowTint(secondsAt(ms), tint);
    for (int c = 0; c < 4; ++c) {
      lowest[c] = std::fmin(lowest[c], tint[c]);
      highest[c] = std::fmax(highest[c], tint[c]);
    }
  }
  const float low[4] = {1.261f, 1.164f, 0.97f, 1.0f}, high[4] = {1.339f, 1.236f, 1.03f, 1.0f};
  for (int c = 0; c < 4; ++c) {
    EXPECT_NEAR(lowest[c], low[c], 1e-4f) << c;
    EXPECT_NEAR(highest[c], high[c], 1e-4f) << c;
  }
  // A full swing takes 2 pi / 30 s: at half of it the tint is at the other extreme.
  float a[4], b[4];
  glowTint(0.0f, a);
  glowTint(3.14159265f / 30.0f, b);
  EXPECT_NEAR(a[0], 1.339f, 1e-4f);
  EXPECT_NEAR(b[0], 1.261f, 1e-4f);
}

TEST(TVLines, CubeMotion) {
  const float t = 1.7f, d = -3.0f;
  Mat4 m = cubeModelview(t, d);
  const float origin[4] = {0, 0, 0, 1}, xAxis[4] = {1, 0, 0, 0}, yAxis[4] = {0, 1, 0, 0};
  float out[4];
  apply(m, origin, out);
  EXPECT_NEAR(out[0], 2.0f * std::cos(t), 1e-6f);
  EXPECT_NEAR(out[1], std::fabs(std::cos(3.0f * t)) - 0.2f, 1e-6f);
  EXPECT_EQ(out[2], d);
  // Rx(t) Ry(0.33 t): the yaw acts first. x goes to (cos a, sin a sin t, -sin a cos t).
  double a = 0.33 * t;
  apply(m, xAxis, out);
  EXPECT_NEAR(out[0], std::cos(a), 1e-6);
  EXPECT_NEAR(out[1], std::sin(a) * std::sin(t), 1e-6);
  EXPECT_NEAR(out[2], -std::sin(a) * std::cos(t), 1e-6);
  apply(m, yAxis, out);  // the yaw leaves y alone, the roll turns it towards +z
  EXPECT_NEAR(out[0], 0.0f, 1e-6f);
  EXPECT_NEAR(out[1], std::cos(t), 1e-6f);
  EXPECT_NEAR(out[2], std::sin(t), 1e-6f);
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

TEST(TVLines, TunnelSquarePlacement) {
  TunnelSquare squares[kTunnelSlots];
  const float t = 33.3f;
  int count = tunnelSquares(t, squares);
  ASSERT_GT(count, 0);
  for (int i = 0; i < count; ++i) {
    const TunnelSquare& q = squares[i];
    double n = q.number, x, y, w;
    if (q.style == 0) {
      x = 0.2 * std::cos(n), y = 0.2 * std::sin(0.8 * n), w = 0.1 * n + t;
    } else if (q.style == 1) {
      x = 0.1 * std::cos(0.01 * n), y = 0.1 * std::sin(0.01 * n), w = t - 0.2 * n;
    } else {
      x = 0.4 * std::cos(3 * n), y = 0.1 * std::sin(2 * n), w = 0.1 * n + t;
    }
    // The corner (1, 0) turned by the spin about +z, then moved to the square's place.
    Mat4 m = tunnelModelview(q);
    const float corner[4] = {1, 0, 0, 1};
    float out[4];
    apply(m, corner, out);
    EXPECT_NEAR(out[0], x + std::cos(w), 1e-5) << n;
    EXPECT_NEAR(out[1], y + std::sin(w), 1e-5) << n;
    EXPECT_EQ(out[2], -q.depth) << n;
  }
}

}  // namespace
