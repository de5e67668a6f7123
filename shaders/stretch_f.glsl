// A smaller image stretched over the whole target: each pixel takes the source at its own
// centre through the bound sampler (linear, clamped to the edge), as a scaled linear blit
// would, and writes all four channels.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;  // the smaller image

void main() {
  output0 = texture(tex0, uv);
}
