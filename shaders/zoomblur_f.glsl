// A zoom blur: every pixel averages the image along the line towards the centre, as if the
// picture rushed at the viewer.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;  // the image to blur

const int kTaps = 16;
const float kReach = 0.15;  // share of the way to the centre the last tap lies

void main() {
  vec2 toCentre = vec2(0.5) - uv;
  vec4 sum = vec4(0.0);
  for (int i = 0; i < kTaps; ++i) sum += texture(tex0, uv + toCentre * (kReach * float(i) / float(kTaps - 1)));
  output0 = sum / float(kTaps);
}
