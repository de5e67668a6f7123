// One direction of a separable Gaussian blur, scaled by a tint: run across, then up, it
// turns the quarter-size picture into a soft glow.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;   // quarter-size image
uniform vec2 direction;   // blur axis; each unit spreads the taps kSpread texels apart
uniform vec4 tint;        // RGBA multiplier

const int kTaps = 7;          // either side of the centre
const float kSpread = 5.0;    // texels between taps per unit of direction
const float kSigma = 3.2;     // in taps
const float kGain = 0.6;      // per pass: the glow keeps about a third of the picture's energy

void main() {
  vec2 stepUv = direction * kSpread / vec2(textureSize(tex0, 0));
  vec4 sum = vec4(0.0);
  float weights = 0.0;
  for (int i = -kTaps; i <= kTaps; ++i) {
    float w = exp(-float(i * i) / (2.0 * kSigma * kSigma));
    sum += w * texture(tex0, uv + float(i) * stepUv);
    weights += w;
  }
  output0 = sum / weights * tint * kGain;
}
