// Keyframe tracks: the Hermite rule, the search and the cache.
#include "render/track.h"

#include <gtest/gtest.h>

namespace {

void expectVec(Vec3 actual, Vec3 expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(KeyframeTrack, OneKeyHoldsEverywhere) {
  KeyframeTrack<float> track;
  track.addKey(3.5f, 1.0f, 500);
  track.finish();
  EXPECT_EQ(track.count, 1);
  EXPECT_EQ(track.evaluate(0), 3.5f);
  EXPECT_EQ(track.evaluate(500), 3.5f);
  EXPECT_EQ(track.evaluate(100000), 3.5f);
}

TEST(KeyframeTrack, HalfwayBetweenFlatKeys) {
  KeyframeTrack<float> track;
  track.addKey(0, 0, 0);
  track.addKey(1, 0, 400);
  track.finish();
  EXPECT_FLOAT_EQ(track.evaluate(200), 0.5f);
  EXPECT_FLOAT_EQ(track.evaluate(100), 0.15625f);  // 3u^2 - 2u^3 at u = 0.25
}

TEST(KeyframeTrack, UnscaledTangentsOvershoot) {
  KeyframeTrack<Vec3> track;
  track.addKey(Vec3(1, 1, 1), Vec3(0, 0.5f, 1), 400);
  track.addKey(Vec3(1, 1, 1), Vec3(0, -0.5f, -1), 1400);
  track.finish();
  expectVec(track.evaluate(900), Vec3(1, 1.125f, 1.25f));
}

TEST(KeyframeTrack, OutsideAndOnKeysReturnKeyValuesWithoutTouchingCache) {
  KeyframeTrack<float> track;
  track.addKey(2, 0, 100);
  track.addKey(4, 0, 200);
  track.addKey(8, 0, 300);
  track.finish();
  EXPECT_EQ(track.evaluate(0), 2.0f);
  EXPECT_EQ(track.evaluate(200), 4.0f);
  EXPECT_EQ(track.evaluate(300), 8.0f);
  EXPECT_EQ(track.evaluate(5000), 8.0f);
  EXPECT_FALSE(track.cacheValid);
  float mid = track.evaluate(250);
  EXPECT_TRUE(track.cacheValid);
  EXPECT_EQ(track.cachedTime, 250u);
  EXPECT_EQ(track.cachedValue, mid);
  // A key or out-of-range lookup leaves the cache as it was.
  track.evaluate(100);
  EXPECT_EQ(track.cachedTime, 250u);
}

TEST(KeyframeTrack, CacheAnswersRepeatedTimeWithoutSearching) {
  KeyframeTrack<float> track;
  track.addKey(0, 0, 0);
  track.addKey(10, 0, 100);
  track.finish();
  float first = track.evaluate(40);
  // Poison the keys: only the cache can still give the first answer.
  track.keys[1].value = -1000;
  EXPECT_EQ(track.evaluate(40), first);
  EXPECT_NE(track.evaluate(41), first);
}

TEST(KeyframeTrack, KeysAddedOutOfOrderAreSorted) {
  KeyframeTrack<float> ordered, shuffled;
  const float values[4] = {1, 5, -2, 7};
  const uint32_t times[4] = {0, 100, 250, 900};
  for (int i = 0; i < 4; ++i) ordered.addKey(values[i], values[i] * 0.5f, times[i]);
  for (int i : {2, 0, 3, 1}) shuffled.addKey(values[i], values[i] * 0.5f, times[i]);
  ordered.finish();
  shuffled.finish();
  for (uint32_t t = 0; t <= 1000; t += 7) EXPECT_EQ(ordered.evaluate(t), shuffled.evaluate(t)) << t;
}

TEST(KeyframeTrack, KeysOneCentisecondApartCut) {
  KeyframeTrack<float> track;
  track.addKey(0, 0, 0);
  track.addKey(0, 0, 1600);
  track.addKey(9, 0, 1601);
  track.finish();
  EXPECT_EQ(track.evaluate(1600), 0.0f);
  EXPECT_EQ(track.evaluate(1601), 9.0f);
}

}  // namespace
