// Halves the image in each direction: every output pixel is the mean of the 2 x 2 source
// texels around its centre. The source is sampled nearest, so the averaging is done here.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;  // the larger image

void main() {
  vec2 halfTexel = 0.5 / vec2(textureSize(tex0, 0));
  output0 = 0.25 * (texture(tex0, uv + vec2(-halfTexel.x, -halfTexel.y)) +
                    texture(tex0, uv + vec2(halfTexel.x, -halfTexel.y)) +
                    texture(tex0, uv + vec2(-halfTexel.x, halfTexel.y)) +
                    texture(tex0, uv + vec2(halfTexel.x, halfTexel.y)));
}
