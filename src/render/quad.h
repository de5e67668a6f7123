// Quads drawn from client memory: the full-screen quad every full-screen pass uses, and
// quads of other positions drawn the same way.
#pragma once

constexpr int kQuadFloats = 8;  // two floats for each of a quad's four corners

// Positions (-1,-1), (1,-1), (1,1), (-1,1) on "vertex", texture coordinates 0..1 on "coord".
extern const float kFullscreenQuadPositions[kQuadFloats];  // x, y per vertex
extern const float kFullscreenQuadCoords[kQuadFloats];     // u, v per vertex
extern const unsigned char kQuadIndices[4];      // 3, 0, 2, 1 as one triangle strip

// Draws four vertices as a strip from client arrays on attributes 0 and 1, enabling the
// arrays just before the draw and disabling them after. No buffer may be bound.
void drawQuad(const float* positions, const float* coords);
// Draws the full-screen quad.
void drawFullscreenQuad();
// Full-screen passes write no depth and ignore the depth test.
void disableDepth();
