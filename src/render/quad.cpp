// Client-memory quad drawing shared by the full-screen passes.
#include "render/quad.h"

#include "base/gl.h"

const float kFullscreenQuadPositions[kQuadFloats] = {-1, -1, 1, -1, 1, 1, -1, 1};
const float kFullscreenQuadCoords[kQuadFloats] = {0, 0, 1, 0, 1, 1, 0, 1};
const unsigned char kQuadIndices[4] = {3, 0, 2, 1};

void drawQuad(const float* positions, const float* coords) {
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, positions);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0, coords);
  glDrawRangeElements(GL_TRIANGLE_STRIP, 0, 3, 4, GL_UNSIGNED_BYTE, kQuadIndices);
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
}

void drawFullscreenQuad() { drawQuad(kFullscreenQuadPositions, kFullscreenQuadCoords); }

void disableDepth() {
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
}
