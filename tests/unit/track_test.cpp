// Keyframe tracks: the Hermite rule and the search over keys added in any order.
#include "render/track.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyframeTrack, HermiteBetweenKeysHoldsOutsideAndCutsOneCentisecondApart) {
  KeyframeTrack<float> one;
  one.addKey(3.5f, 1.0f, 500);
  one.finish();
  for (uint32_t t : {0u, 500u, 100000u}) EXPECT_EQ(one.evaluate(t), 3.5f) << t;

  KeyframeTrack<float> flat;
  flat.addKey(0, 0, 0);
  flat.addKey(1, 0, 400);
  flat.addKey(1, 0, 1600);
  flat.addKey(9, 0, 1601);
  flat.finish();
  EXPECT_FLOAT_EQ(flat.evaluate(200), 0.5f);
  EXPECT_FLOAT_EQ(flat.evaluate(100), 0.15625f);  // 3u^2 - 2u^3 at u = 0.25
  EXPECT_EQ(flat.evaluate(1600), 1.0f);
  EXPECT_EQ(flat.evaluate(1601), 9.0f);

  // Tangents are not scaled by the span: they overshoot.
  KeyframeTrack<Vec3> curved;
  curved.addKey(Vec3(1, 1, 1), Vec3(0, 0.5f, 1), 400);
  curved.addKey(Vec3(1, 1, 1), Vec3(0, -0.5f, -1), 1400);
  curved.finish();
  expectVec(curved.evaluate(900), Vec3(1, 1.125f, 1.25f));
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

}  // namespace
