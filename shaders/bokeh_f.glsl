// Depth of field, first of two passes. Each pixel's lens value (alpha) sets the radius of
// its blur; a hexagonal aperture is built from three one-sided line blurs at 120 degrees
// (two here, one in the second pass). Out: the blur upwards, and that plus the blur down
// to the right, each with the pixel's lens value in alpha for the next pass.
#version 400

in vec2 uv;
out vec4 output0;
out vec4 output1;

uniform sampler2D tex0;  // colour with the lens value in alpha
uniform sampler2D tex1;  // unused here
uniform sampler2D tex2;  // unused here

const int kTaps = 10;
const float kLensToRadius = 0.7;  // blur radius per lens value, as a share of the picture height
const float kMaxRadius = 0.018;   // share of the picture height

// Blur radius, as a share of the picture height.
float radiusOf(float lens) {
  return min(abs(lens) * kLensToRadius, kMaxRadius);
}

// Averages the samples from this pixel along dir whose own blur reaches this pixel. A sample
// behind this pixel reaches no further than this pixel's blur, so sharp edges keep in front.
vec3 lineBlur(sampler2D tex, vec2 dir) {
  vec4 centre = texture(tex, uv);
  float centreRadius = radiusOf(centre.a);
  vec2 texel = 1.0 / vec2(textureSize(tex, 0));
  vec2 toUv = dir * vec2(texel.x / texel.y, 1.0);  // height shares to texture coordinates
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
  float lens = texture(tex0, uv).a;
  vec3 up = lineBlur(tex0, vec2(0.0, 1.0));
  vec3 downRight = lineBlur(tex0, vec2(0.8660254, -0.5));
  output0 = vec4(up, lens);
  output1 = vec4(up + downRight, lens);
}
