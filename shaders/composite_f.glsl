// Final layer: an image lowered by "darken" and coloured by "tint", added onto what the back
// buffer already holds (the glow). The tint carries the scene's fades.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;  // the image to add
uniform float darken;    // subtracted before tinting, so near-black stays black under the glow
uniform vec4 tint;       // RGBA multiplier

void main() {
  vec4 c = texture(tex0, uv);
  output0 = vec4(max(c.rgb - darken, 0.0), 1.0) * tint;
}
