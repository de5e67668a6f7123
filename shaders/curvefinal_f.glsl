// The finished picture: the softened strokes and greetings as glowing coloured lines (a
// sharp core from the full-size level, halos from the smaller mip levels) on a dark ground,
// with film grain fixed to the scrolling world.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D tex0;     // strokes and greetings, 3 mip levels; rgb weighted by alpha
uniform sampler2D tex1;     // 32 x 32 grain, repeating
uniform vec2 noise_offset;  // pixels from the picture to the world
uniform vec2 u_scale;       // (width / height, 1)

const float kGrainTexels = 2.0;  // picture pixels per grain texel
const float kGrain = 0.03;  // strongest on the dark ground, as on film
const float kExposure = 1.6;

void main() {
  vec4 sharp = textureLod(tex0, uv, 0.0);
  vec3 halo = textureLod(tex0, uv, 1.0).rgb * 0.55 + textureLod(tex0, uv, 2.0).rgb * 0.75;
  // A hot centre where the coverage is full, brighter but of the same hue.
  vec3 light = sharp.rgb * (1.0 + 0.6 * sharp.a * sharp.a) + halo;

  vec2 p = (uv - 0.5) * 2.0 * u_scale;
  float vignette = 1.0 - 0.3 * dot(p, p) / dot(u_scale, u_scale);
  vec3 ground = mix(vec3(0.012, 0.010, 0.040), vec3(0.030, 0.018, 0.075), uv.y) * vignette;

  vec2 grainAt = (gl_FragCoord.xy + noise_offset) / (kGrainTexels * 32.0);
  float grain = texture(tex1, grainAt).r - 0.5;
  vec3 colour = 1.0 - exp(-(ground + light) * kExposure);
  colour += grain * kGrain * (1.0 - 0.6 * colour);
  output0 = vec4(colour, 1.0);
}
