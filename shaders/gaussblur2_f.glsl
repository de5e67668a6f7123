// One direction of a separable Gaussian blur whose reach is given in texture units: run
// across, then up, it spreads the television picture into a soft glow.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;  // the image to blur
uniform vec2 direction;  // axis and reach: the outermost taps lie this far either side

const int kTaps = 12;      // either side of the centre
const float kSigma = 0.4;  // of the Gaussian, in units of the reach
const float kGain = 0.75;  // per pass: the glow keeps a little over half of the picture's light

void main() {
  vec4 sum = vec4(0.0);
  float weights = 0.0;
  for (int i = -kTaps; i <= kTaps; ++i) {
    float x = float(i) / float(kTaps);
    float w = exp(-x * x / (2.0 * kSigma * kSigma));
    sum += w * texture(tex0, uv + x * direction);
    weights += w;
  }
  output0 = sum / weights * kGain;
}
