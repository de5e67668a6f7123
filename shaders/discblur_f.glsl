// A disc blur: the mean of taps spread evenly over a disc a few texels wide.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;

const int kTaps = 16;
const float kRadius = 4.0;          // texels
const float kGoldenAngle = 2.3999632;

void main() {
  vec2 texel = 1.0 / vec2(textureSize(tex0, 0));
  vec4 sum = vec4(0.0);
  for (int i = 0; i < kTaps; ++i) {
    // A sunflower spiral covers the disc evenly.
    float r = kRadius * sqrt((float(i) + 0.5) / float(kTaps));
    float a = float(i) * kGoldenAngle;
    sum += texture(tex0, uv + vec2(cos(a), sin(a)) * r * texel);
  }
  output0 = sum / float(kTaps);
}
