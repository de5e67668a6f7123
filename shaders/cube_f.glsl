// Lit cubes, one light direction of 64: a key light from this pass's light, blocked where
// the shadow map says so (filtered depth compare), over a soft ambient term. Each pass adds
// 1/64 of that colour, dithered so that the 64 roundings to 8 bits average out in the sum.
#version 400

in vec3 worldPosition;
flat in float passNumber;  // 0 to 63, from the light's two angles (the vertex stage works these three out)
flat in vec3 cameraEye;    // the camera's position
flat in vec3 lightEye;     // this pass's light's position

uniform vec4 colour;             // base colour of the cubes being drawn
uniform mat4 shadow_modelview;   // this pass's light
uniform mat4 shadow_projection;  // light clip space to shadow-map texture space
uniform sampler2DShadow shadow_map;  // unit 0

out vec4 output0;

const float kPasses = 64.0;
const float kGolden = 0.61803399;  // steps the threshold evenly through [0, 1) in any run of passes
const float kLevels = 255.0;       // steps of the 8-bit screen
const float kAmbient = 0.22;       // light that reaches every face
const float kSky = 0.12;           // extra ambient on faces turned up
const float kKey = 1.15;           // the key light at full strength
const float kNormalOffset = 0.006; // shadow lookup moved off the face, per unit of light distance

// A value in [0, 1) per pixel, fixed from pass to pass, with no pattern across the screen.
float pixelNoise(vec2 p) {
  uvec2 q = uvec2(p);
  uint h = q.x * 1664525u + q.y * 22695477u;
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  h ^= h >> 16;
  return float(h >> 8) / 16777216.0;
}

void main() {
  vec3 n = normalize(cross(dFdx(worldPosition), dFdy(worldPosition)));
  vec3 toEye = cameraEye - worldPosition;
  if (dot(n, toEye) < 0.0) n = -n;

  vec3 toLight = lightEye - worldPosition;
  float lightDistance = length(toLight);
  float facing = max(dot(n, toLight / lightDistance), 0.0);

  // A face turned away from the light gets none of it, blocked or not: its shadow lookup,
  // the dearest part here, is left out (the sum below is the same either way).
  float lit = 1.0;
  if (facing > 0.0) {
    vec4 s = shadow_projection * (shadow_modelview * vec4(worldPosition + n * (kNormalOffset * lightDistance), 1.0));
    vec3 inMap = s.xyz / s.w;
    // Outside the light's frustum nothing is known to block it.
    if (s.w > 0.0 && all(greaterThan(inMap, vec3(0.0))) && all(lessThan(inMap, vec3(1.0))))
      lit = textureProj(shadow_map, s);
  }

  vec3 shade = colour.rgb * (kAmbient + kSky * (0.5 + 0.5 * n.y) + kKey * facing * lit);

  // The pass number (recovered by the vertex stage from the light's two angles): each pass
  // moves the rounding threshold on by the golden ratio, so the thresholds of the 64 passes
  // spread evenly over a step and the rounded parts add up to close to the exact sum. Each
  // part is rounded here, to a whole step plus a quarter, so that the screen's own
  // conversion (to nearest or truncating) keeps it as it is.
  float threshold = fract(pixelNoise(gl_FragCoord.xy) + passNumber * kGolden);
  vec4 part = vec4(shade, 1.0) * (kLevels / kPasses);
  output0 = (floor(part + threshold) + 0.25) / kLevels;
}
