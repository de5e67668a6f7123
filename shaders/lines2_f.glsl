// Curve strokes: the stroke's colour, and in alpha one minus its coverage, so that the MIN
// blend of overlapping segments leaves a clean mask (0 on a stroke, 1 on empty ground).
#version 400

in vec2 local;
flat in vec2 halfWidths;
flat in float segmentLength;

uniform vec4 colour;

out vec4 output0;

void main() {
  float t = segmentLength > 0.0 ? clamp(local.x / segmentLength, 0.0, 1.0) : 0.0;
  float halfWidth = mix(halfWidths.x, halfWidths.y, t);
  // Distance to the segment itself: beyond its ends, to the nearer end point.
  float beyond = local.x - clamp(local.x, 0.0, segmentLength);
  float dist = length(vec2(beyond, local.y));
  float pixel = max(fwidth(local.y), 1e-6);
  // A stroke is at least a pixel wide; a thinner one is drawn fainter instead.
  float shown = max(halfWidth, 0.75 * pixel);
  float coverage = 1.0 - smoothstep(shown - 0.5 * pixel, shown + 0.5 * pixel, dist);
  coverage *= halfWidth / shown;
  // Brightest along the middle, so the softened copy reads as a lit tube.
  coverage *= 0.7 + 0.3 * (1.0 - clamp(dist / shown, 0.0, 1.0));
  if (coverage <= 0.0) discard;
  output0 = vec4(colour.rgb, 1.0 - coverage);
}
