// The line picture on the television: its five grey levels (background and four copies,
// the latest brightest) coloured through the 5-colour palette, seen through the same curved
// tube as the snow, with a slow bright bar rolling up the screen, faded by "tint". Added
// onto the snow.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D display;  // the line picture, grey levels 0, 0.25, 0.5, 0.75, 1
uniform sampler1D pal;      // 5 colours, one per level
uniform float time;         // seconds
uniform float tint;         // fade of the layer
uniform float aspect_ratio;

const float kBulge = 0.06;  // as in the snow, so both layers line up
const float kGain = 1.8;    // the palette's top entry is mid grey; lift it to near white
const float kRollSpeed = 0.23;  // tube heights per second of the rolling bar

vec2 tube(vec2 coord) {
  vec2 p = coord * 2.0 - 1.0;
  return p * (1.0 + kBulge * dot(p, p));
}

float rim(vec2 p) {
  vec2 edge = smoothstep(vec2(0.0), vec2(0.08, 0.08 * aspect_ratio), 1.0 - abs(p));
  return edge.x * edge.y;
}

void main() {
  vec2 p = tube(uv);
  float level = texture(display, p * 0.5 + 0.5).r;
  vec3 colour = texture(pal, level * 0.8 + 0.1).rgb;
  float bar = fract(p.y * 0.5 + 0.5 - time * kRollSpeed);
  float roll = 0.85 + 0.15 * smoothstep(0.0, 0.3, bar) * smoothstep(0.6, 0.3, bar);
  output0 = vec4(colour * kGain * roll * rim(p) * tint, 1.0);
}
