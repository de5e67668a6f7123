// Curve strokes: every segment of the strip becomes a quad whose half width follows the
// stroke weight at its two ends, reaching past them so that joints close with round caps.
#version 400

layout(lines) in;
layout(triangle_strip, max_vertices = 4) out;

in float weight[];

out vec2 local;              // along and across the segment, normalised device units
flat out vec2 halfWidths;    // at the first and the second point
flat out float segmentLength;

const float kWidthPerWeight = 0.22;  // half width per unit of stroke weight
// Extra rim so that strokes thinner than a pixel still cover pixel centres; the fragment
// stage fades such strokes instead of dropping them.
const float kRim = 0.012;

// Outputs are undefined after each EmitVertex, so every corner sets all of them.
void corner(vec2 p, vec2 l, vec2 widths, float len) {
  local = l;
  halfWidths = widths;
  segmentLength = len;
  gl_Position = vec4(p, 0.0, 1.0);
  EmitVertex();
}

void main() {
  vec2 p0 = gl_in[0].gl_Position.xy;
  vec2 p1 = gl_in[1].gl_Position.xy;
  vec2 d = p1 - p0;
  float len = length(d);
  vec2 along = len > 1e-7 ? d / len : vec2(1.0, 0.0);
  vec2 across = vec2(-along.y, along.x);
  float w0 = max(weight[0], 0.0) * kWidthPerWeight;
  float w1 = max(weight[1], 0.0) * kWidthPerWeight;
  float r0 = w0 + kRim, r1 = w1 + kRim;
  vec2 widths = vec2(w0, w1);
  corner(p0 - along * r0 + across * r0, vec2(-r0, r0), widths, len);
  corner(p0 - along * r0 - across * r0, vec2(-r0, -r0), widths, len);
  corner(p1 + along * r1 + across * r1, vec2(len + r1, r1), widths, len);
  corner(p1 + along * r1 - across * r1, vec2(len + r1, -r1), widths, len);
  EndPrimitive();
}
