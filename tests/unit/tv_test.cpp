// The television scene without a GPU: it leaves the shared random sequence alone. Its
// pictures are checked against the reference frames.
#include "scenes/tv/tv_scene.h"
#include "synth/process_state.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
