// Keyframe tracks: the Hermite rule and the search over keys added in any order.
#include "render/track.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyframeTrack, HermiteBetweenKeysHoldsOutsideAndCutsOneCentisecondApart) {
  KeyframeTrack<float> one, flat;
  one.addKey(3.5f, 1.0f, 500);
  one.finish();
  for (uint32_t t : {0u, 500u, 100000u}) EXPECT_EQ(one.evaluate(t), 3.5f) << t;
  // Added out of order: the keys are sorted by time.
  flat.addKey(1, 0, 1600);
  flat.addKey(0, 0, 0);
  flat.addKey(9, 0, 1601);
  flat.addKey(1, 0, 400);
  flat.finish();
  const uint32_t times[5] = {100, 200, 1000, 1600, 1601};
  const float values[5] = {0.15625f, 0.5f, 1.0f, 1.0f, 9.0f};  // 3u^2 - 2u^3 at u = 0.25
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(flat.evaluate(times[i]), values[i]) << times[i];

  // Tangents are not scaled by the span: they overshoot.
  KeyframeTrack<Vec3> curved;
  curved.addKey(Vec3(1, 1, 1), Vec3(0, -0.5f, -1), 1400);
  curved.addKey(Vec3(1, 1, 1), Vec3(0, 0.5f, 1), 400);
  curved.finish();
  expectVec(curved.evaluate(900), Vec3(1, 1.125f, 1.25f));
}

}  // namespace
