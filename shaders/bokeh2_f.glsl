// Depth of field, second pass: blurs the upward blur down to the right and the sum of both
// first-pass blurs down to the left; together the three rhombi make a hexagonal aperture.
// Reads only units 1 and 2, as unit 0 is also the target of this pass.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;  // the pass's own target: never read
uniform sampler2D tex1;  // upward blur, lens value in alpha
uniform sampler2D tex2;  // upward plus down-right blur, lens value in alpha

const int kTaps = 10;
const float kLensToRadius = 0.7;  // as in the first pass
const float kMaxRadius = 0.018;

// Blur radius, as a share of the picture height.
float radiusOf(float lens) {
  return min(abs(lens) * kLensToRadius, kMaxRadius);
}

// The first pass's line blur, on another image and axis.
vec3 lineBlur(sampler2D tex, vec2 dir) {
  vec4 centre = texture(tex, uv);
  float centreRadius = radiusOf(centre.a);
  vec2 texel = 1.0 / vec2(textureSize(tex, 0));
  vec2 toUv = dir * vec2(texel.x / texel.y, 1.0);
  float spacing = kMaxRadius / float(kTaps - 1);
  vec3 sum = centre.rgb;
  float weights = 1.0;
  for (int i = 1; i < kTaps; ++i) {
    float s = float(i) * spacing;
    vec4 sampled = texture(tex, uv + toUv * s);
    float reach = radiusOf(sampled.a);
    if (sampled.a > centre.a) reach = min(reach, centreRadius);
    float w = clamp((reach - s) / spacing + 1.0, 0.0, 1.0);
    sum += sampled.rgb * w;
    weights += w;
  }
  return sum / weights;
}

void main() {
  vec3 a = lineBlur(tex1, vec2(0.8660254, -0.5));
  vec3 b = lineBlur(tex2, vec2(-0.8660254, -0.5));
  output0 = vec4((a + b) / 3.0, 1.0);
}
