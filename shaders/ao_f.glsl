// Screen-space ambient occlusion from the inverse depth the geometry pass leaves: points
// around each pixel are lifted back into view space, and those standing above its surface
// (towards its normal, within reach) darken it. Written as a factor the scene is
// multiplied by: 1 leaves a pixel as it is.
#version 400

in vec2 uv;
out vec4 output0;

uniform sampler2D depth_tex;  // 1 / view depth, 0 where only sky was drawn
uniform vec4 ao_settings;     // x: radius * width / height, y: radius (share of the height), z: strength

const int kSamples = 12;
const float kReach = 1.5;          // view units beyond which a neighbour no longer occludes
const float kReferenceDepth = 12.0; // the radius applies at twice its size at half this depth
const float kGoldenAngle = 2.39996;
const float kNormalBaseline = 3.0;  // pixels between the points a normal is taken from
const float kAngleBias = 0.2;       // cosine a neighbour must rise above the surface plane
const float kGain = 1.6;

// View-space position of the surface seen at texture coordinate p (90 degrees across).
vec3 viewPositionAt(vec2 p, float aspect) {
  float inverseDepth = texture(depth_tex, p).r;
  float depth = inverseDepth > 0.0 ? 1.0 / inverseDepth : 1.0e4;
  return vec3((p.x * 2.0 - 1.0) * depth, (p.y * 2.0 - 1.0) * depth / aspect, -depth);
}

// The smaller of the two one-sided differences, so a depth edge does not bend the normal.
vec3 flatterStep(vec3 forward, vec3 backward) {
  return abs(forward.z) < abs(backward.z) ? forward : backward;
}

void main() {
  if (texture(depth_tex, uv).r <= 0.0) {
    output0 = vec4(1.0);
    return;
  }
  float aspect = ao_settings.x / ao_settings.y;
  vec3 centre = viewPositionAt(uv, aspect);
  // The surface normal from neighbours a few pixels away: the half-float depth is too coarse
  // for neighbouring pixels at grazing angles.
  vec2 baseline = kNormalBaseline / vec2(textureSize(depth_tex, 0));
  vec3 dx = flatterStep(viewPositionAt(uv + vec2(baseline.x, 0.0), aspect) - centre,
                        centre - viewPositionAt(uv - vec2(baseline.x, 0.0), aspect));
  vec3 dy = flatterStep(viewPositionAt(uv + vec2(0.0, baseline.y), aspect) - centre,
                        centre - viewPositionAt(uv - vec2(0.0, baseline.y), aspect));
  vec3 normal = normalize(cross(dx, dy));
  if (dot(normal, centre) > 0.0) normal = -normal;

  // A radius that shrinks with distance covers a similar patch of ground everywhere.
  float scale = clamp(kReferenceDepth / -centre.z, 0.3, 2.5);
  vec2 radius = vec2(ao_settings.y / aspect, ao_settings.y) * scale;
  // Per-pixel rotation of the spiral; the later blur passes smooth the pattern.
  float rotation = 6.2831853 * fract(52.9829189 * fract(dot(gl_FragCoord.xy, vec2(0.06711056, 0.00583715))));

  float occlusion = 0.0;
  for (int i = 0; i < kSamples; ++i) {
    float r = sqrt((float(i) + 0.5) / float(kSamples));
    float angle = rotation + float(i) * kGoldenAngle;
    vec3 p = viewPositionAt(uv + vec2(cos(angle), sin(angle)) * r * radius, aspect);
    vec3 v = p - centre;
    float distance2 = dot(v, v);
    // Only points clearly above the surface plane count, which keeps flat ground clean.
    float above = max(dot(v, normal) - kAngleBias * sqrt(distance2), 0.0);
    float reach = 1.0 - smoothstep(0.0, kReach * kReach, distance2);
    occlusion += above / (distance2 + 0.01) * reach;
  }
  occlusion = min(occlusion * kGain / float(kSamples), 1.0);
  output0 = vec4(vec3(1.0 - ao_settings.z * occlusion), 1.0);
}
