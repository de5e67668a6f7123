// The forest scene without a GPU: its tracks, the terrain and cube-string recipes on the
// program's random sequence, the projection and lens constants, and the caption records.
#include "scenes/forest/captions.h"
#include "scenes/forest/forest_scene.h"
#include "synth/process_state.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

constexpr int kAudioDraws = 131072;  // taken by the music before the forest starts

// The random sequence as the forest's start finds it: unseeded, after the music's draws.
void startOfForestSequence() {
  process = ProcessState();
  for (int i = 0; i < kAudioDraws; ++i) demoRand();
}

TEST(ForestTracks, RepeatedFadeTangentsAndCuts) {
  ForrestScene scene;
  fillForestTracks(scene);
  KeyframeTrack<Vec3>& tint = scene.tintTrack;
  ASSERT_EQ(tint.count, 8);  // the four keys up to 1600 copied once, not again
  expectVec(tint.evaluate(900), Vec3(1, 1.125f, 1.25f));  // the tangents overshoot green and blue
  expectVec(tint.evaluate(2600), Vec3(1, 1.125f, 1.25f));  // the second fade, 17 s later
  expectVec(tint.evaluate(1650), Vec3(0, 0, 0));           // dark between the fades

  // A cut between two centiseconds, and a hold before the first key.
  EXPECT_FLOAT_EQ(scene.heightTrack.evaluate(1600), -4.0f);
  EXPECT_FLOAT_EQ(scene.heightTrack.evaluate(1601), 0.0f);
  EXPECT_FLOAT_EQ(scene.heightTrack.evaluate(500), 0.0f);

  // Both keys hold 8, but the tangent at 1700 lifts the distance in between.
  EXPECT_NEAR(scene.distanceTrack.evaluate(1667), 8.148137f, 1e-4f);
  for (uint32_t t = 1601; t < 1700; ++t) EXPECT_GT(scene.distanceTrack.evaluate(t), 8.0f) << t;
}

TEST(ForestRecipes, NoiseTakesTheNextValuesAfterTheMusic) {
  startOfForestSequence();
  Lcg expected{process.random.state};
  uint8_t bytes[kNoiseBytes];
  fillNoiseBytes(bytes);
  for (int i = 0; i < kNoiseBytes; ++i) ASSERT_EQ(bytes[i], expected.next() & 0xFF) << i;
  EXPECT_EQ(process.random.state, expected.state);
}

TEST(ForestRecipes, TerrainTrunksAndSubdivision) {
  startOfForestSequence();
  uint8_t bytes[kNoiseBytes];
  fillNoiseBytes(bytes);  // the forest's start draws its noise first; the seed then resets it
  Mesh terrain(kTerrainVertexCapacity, kTerrainTriangleCapacity);
  shapeTerrain(terrain);
  EXPECT_EQ(terrain.triangleCount, 3074u);  // 1922 + 96 extrusions of 12
  EXPECT_EQ(terrain.vertexCount, 1600u);    // 1024 + 96 of 6

  // The first value after the seed picks the first trunk: that face now stands 10 up,
  // leaning by (cos 0, sin 0) * 0.02 per unit of height.
  Lcg lcg{kForestSeed};
  uint32_t first = static_cast<uint32_t>(lcg.next()) % 1922u;
  Mesh grid(1024, 1922);
  grid.makeGrid(32, 32);
  for (uint32_t k = 0; k < 3; ++k) {
    Vec3 before = grid.position(grid.indices[3 * first + k]);
    expectVec(terrain.position(terrain.indices[3 * first + k]), before + Vec3(0.2f, 10.0f, 0.0f));
  }
  // Every trunk is picked among the grid's own 1922 faces: the count is read once, before
  // the extrusions add theirs, so each picked face stands at least 10 up (9.9 if a dent
  // later hit it).
  Lcg picks{kForestSeed};
  for (int i = 0; i < 80; ++i) {
    uint32_t t = static_cast<uint32_t>(picks.next()) % 1922u;
    for (uint32_t k = 0; k < 3; ++k)
      ASSERT_GE(terrain.position(terrain.indices[3 * t + k]).y, 9.89f) << "trunk " << i << " on face " << t;
  }

  smoothTerrain(terrain);
  EXPECT_EQ(terrain.triangleCount, 196736u);
  EXPECT_LE(terrain.vertexCount, kTerrainVertexCapacity);
  for (uint32_t i = 0; i < terrain.vertexCount; ++i)
    ASSERT_NEAR(length(terrain.normal(i)), 1.0f, 1e-4f) << "vertex " << i;
  EXPECT_TRUE(terrain.dirty);  // the first draw uploads it
}

TEST(ForestRecipes, CubeStringAnglesAndSizes) {
  startOfForestSequence();
  uint8_t bytes[kNoiseBytes];
  fillNoiseBytes(bytes);
  Mesh terrain(kTerrainVertexCapacity, kTerrainTriangleCapacity);
  shapeTerrain(terrain);
  Mesh cubeString(kCubeStringVertexCapacity, kCubeStringTriangleCapacity);
  buildCubeString(cubeString);
  EXPECT_EQ(cubeString.vertexCount, 576u);
  EXPECT_EQ(cubeString.triangleCount, 192u);

  // After the seed, 96 values go to the terrain; the 97th and 98th turn the first cube.
  Lcg lcg{kForestSeed};
  for (int i = 0; i < 96; ++i) lcg.next();
  const float pi = 3.14159265358979f;
  float a1 = static_cast<float>(lcg.next()) / 32767.0f * pi;
  float a2 = static_cast<float>(lcg.next()) / 32767.0f * pi;
  for (int i = 0; i < 30; ++i) lcg.next();
  EXPECT_EQ(process.random.state, lcg.state);  // 128 values in all

  Mat4 first = translationMatrix(-1, 10, 0) * rotationXMatrix(a2) * rotationYMatrix(a1);
  Mesh cube(8, 12);
  cube.makeCube();
  for (uint32_t v = 0; v < 36; ++v) {
    Vec3 corner = cube.position(cube.indices[v]) * 0.5f;
    expectVec(cubeString.position(v), transformPoint(first, corner));
  }
  // The last cube sits at the curve's end, P3.
  Vec3 centre;
  for (uint32_t v = 540; v < 576; ++v) centre = centre + cubeString.position(v) * (1.0f / 36.0f);
  expectVec(centre, Vec3(-6, 0.3f, -5), 1e-4f);
  for (uint32_t i = 0; i < cubeString.vertexCount; ++i) EXPECT_NEAR(length(cubeString.normal(i)), 1.0f, 1e-5f);
}

TEST(ForestCamera, ProjectionLensAndView) {
  Mat4 p = forestProjection(1920, 1080);
  // Points at the near and far distances land on the depth range's ends.
  for (float distance : {1.0f, 200.0f}) {
    Vec3 clip = transformPoint(p, Vec3(0, 0, -distance));
    EXPECT_NEAR(clip.z, distance == 1.0f ? -1.0f : 1.0f, 1e-5f) << distance;
  }
  // 90 degrees across: a point at 45 degrees sits at the edge; y keeps the pixels square.
  EXPECT_NEAR(transformPoint(p, Vec3(5, 0, -5)).x, 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(p.m[5], 1.7777777f);
  // A tall window keeps 90 degrees across; the vertical field grows.
  EXPECT_FLOAT_EQ(forestProjection(1080, 1920).m[5], 0.5625f);

  // The lens value the geometry shader forms, (window depth)^2 * scale + bias, vanishes at
  // the focus distance and changes sign across it.
  for (float f : {6.0f, 2.5f}) {
    float scale, bias;
    depthOfFieldScaleAndBias(f, scale, bias);
    auto lens = [&](float distance) {
      float ndc = (-p.m[10] * distance + p.m[14]) / distance;
      float window = 0.5f * ndc + 0.5f;
      return window * window * scale + bias;
    };
    EXPECT_NEAR(lens(f), 0.0f, 2e-4f) << f;
    EXPECT_LT(lens(f * 0.5f), 0.0f);
    EXPECT_GT(lens(f * 3.0f), 0.0f);
  }

  // The camera looks down -z from 3 + distance away and 1 - height up.
  Mat4 view = forestCamera(0.0f, 0.0f, 4.0f, 0.0f);
  expectVec(transformPoint(view, Vec3(0, 0, 0)), Vec3(0, -1, -7));
  Mat4 turned = forestCamera(0.0f, -4.0f, 2.0f, 1.5707963f);
  expectVec(transformPoint(turned, Vec3(0, 0, -1)), Vec3(-1, -5, -5));
}

// Sum of the pixels in rows [rowFrom, rowTo) and columns [colFrom, colTo) of a caption.
long inkIn(const CaptionImage& image, uint32_t rowFrom, uint32_t rowTo, uint32_t colFrom, uint32_t colTo) {
  long sum = 0;
  for (uint32_t row = rowFrom; row < rowTo; ++row)
    for (uint32_t col = colFrom; col < colTo; ++col) sum += image.pixels[row * image.width + col];
  return sum;
}

TEST(ForestCaptions, RecordsHoldUprightSoftWords) {
  CaptionImage small = readCaptionRecord(kSmallCaptionRecord);
  CaptionImage large = readCaptionRecord(kLargeCaptionRecord);
  EXPECT_EQ(small.width * small.height, kSmallCaptionWidth * kSmallCaptionHeight);
  EXPECT_EQ(large.width * large.height, kLargeCaptionWidth * kLargeCaptionHeight);
  for (const CaptionImage& image : {small, large}) {
    std::set<int> levels;
    for (uint32_t i = 0; i < image.width * image.height; ++i)
      if (image.pixels[i]) levels.insert(image.pixels[i]);
    EXPECT_LE(levels.size(), 28u);  // soft edges in a few grey steps
    EXPECT_GE(levels.size(), 20u);
    EXPECT_EQ(*levels.begin(), 1);
    EXPECT_EQ(*levels.rbegin(), 255);
    // Black frame around the word.
    EXPECT_EQ(inkIn(image, 0, 2, 0, image.width), 0);
    EXPECT_EQ(inkIn(image, image.height - 2, image.height, 0, image.width), 0);
  }
  // Rows are stored bottom first: the bowl of the last letter of "DEEP" and the arms of
  // the "F" of "FOREST" are in the upper half, that is in the later rows.
  EXPECT_GT(inkIn(small, 32, 64, 96, 128), inkIn(small, 0, 32, 96, 128) * 3 / 2);
  EXPECT_GT(inkIn(large, 64, 128, 0, 64), inkIn(large, 0, 64, 0, 64));
}

}  // namespace
