// The forest scene without a GPU: the lens value that puts the focus at the focus distance.
// Its pictures are checked against the reference frames.
#include "scenes/forest/forest_scene.h"

#include <gtest/gtest.h>

namespace {

TEST(ForestCamera, TheLensValueVanishesAtTheFocusDistance) {
  Mat4 p = forestProjection(1920, 1080);
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
}

}  // namespace
