// Television snow: grains picked from the small repeating random texture, coloured through
// the 8-colour palette, with a new pattern and new colours every 1/20 s, scan lines and a
// bulging picture tube with dark corners. Faded by "tint".
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D reveal;  // 32 x 32 random bytes, repeating
uniform sampler1D pal;     // 8 colours
uniform float time;        // seconds, in 1/20 s steps
uniform float tint;        // fade of the layer
uniform float aspect_ratio;

const float kGrainRows = 150.0;  // snow grains from the bottom of the picture to the top
const float kBulge = 0.06;       // how far the tube's glass curves the picture outwards
const float kSide = 32.0;        // texels per side of the random texture

// The picture position seen through the curved glass, -1..1 inside the tube.
vec2 tube(vec2 coord) {
  vec2 p = coord * 2.0 - 1.0;
  return p * (1.0 + kBulge * dot(p, p));
}

// Darkens towards the rim of the tube; 0 outside it.
float rim(vec2 p) {
  vec2 edge = smoothstep(vec2(0.0), vec2(0.08, 0.08 * aspect_ratio), 1.0 - abs(p));
  return edge.x * edge.y;
}

// The random texel at integer position cell, wrapped.
vec4 randomAt(ivec2 cell) {
  return texelFetch(reveal, cell & ivec2(int(kSide) - 1), 0);
}

void main() {
  vec2 p = tube(uv);
  int tick = int(floor(time * 20.0 + 0.5));
  // Each step of the clock moves the whole pattern somewhere else in the texture.
  vec4 jump = randomAt(ivec2(tick, tick / int(kSide) + 7));
  ivec2 shift = ivec2(jump.rg * 255.0);

  vec2 grid = (p * 0.5 + 0.5) * vec2(kGrainRows * aspect_ratio, kGrainRows);
  ivec2 cell = ivec2(floor(grid));
  // Every 32 x 32 block of grains reads the texture from its own place, so the texture's
  // period never shows.
  vec4 block = randomAt((cell >> 5) * ivec2(3, 5) + shift.yx);
  ivec2 blockShift = ivec2(block.rg * 255.0);
  vec4 grain = randomAt(cell + shift + blockShift);
  vec4 other = randomAt(cell.yx * ivec2(5, 3) + shift.yx);

  int entry = (int(grain.b * 255.0) + int(jump.b * 255.0)) & 7;
  vec3 colour = texelFetch(pal, entry, 0).rgb;
  float level = 0.35 + 1.3 * grain.a * other.r;
  // Scan lines: each row of grains is brightest in its middle.
  float line = 0.8 + 0.2 * sin(3.14159265 * fract(grid.y));
  output0 = vec4(colour * level * line * rim(p) * tint, 1.0);
}
