// The softened copy of one system's strokes: the sharp stroke plus a soft glow around it,
// coloured like the nearest strokes, with the strength in alpha for the blend.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;  // strokes: colour, and one minus coverage in alpha

const int kDirections = 12;
const float kInnerRadius = 1.5;   // texels of a 270-line picture
const float kOuterRadius = 4.0;
const float kGlow = 0.55;         // strength of the glow next to the sharp stroke

// Coverage-weighted colour and coverage of one tap.
void tap(vec2 at, float weight, inout vec3 colourSum, inout float coverSum) {
  vec4 s = texture(tex0, at);
  float c = (1.0 - s.a) * weight;
  colourSum += s.rgb * c;
  coverSum += c;
}

void main() {
  vec2 size = vec2(textureSize(tex0, 0));
  vec2 texel = max(1.0, size.y / 270.0) / size;
  vec3 colourSum = vec3(0.0);
  float coverSum = 0.0;
  tap(uv, 1.0, colourSum, coverSum);
  float core = coverSum;
  float weights = 1.0;
  for (int i = 0; i < kDirections; ++i) {
    float angle = 6.2831853 * (float(i) + 0.5 * float(i & 1)) / float(kDirections);
    vec2 dir = vec2(cos(angle), sin(angle)) * texel;
    tap(uv + dir * kInnerRadius, 0.6, colourSum, coverSum);
    tap(uv + dir * kOuterRadius, 0.3, colourSum, coverSum);
    weights += 0.9;
  }
  vec3 colour = coverSum > 0.0 ? colourSum / coverSum : vec3(0.0);
  float glow = coverSum / weights;
  output0 = vec4(colour, clamp(max(core, glow * kGlow * 3.0), 0.0, 1.0));
}
