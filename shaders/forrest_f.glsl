// Forest surfaces at night: moss and leaf litter on what faces up, bark on everything else,
// both detailed and bumped from the 3D noise texture, lit by a cold moon from behind and a
// warm lantern at the camera, fading into mist and dark. Material 1 is the caption, a
// bright relief lifted from its picture. Alpha carries the lens value for the depth of
// field, and the second output the inverse depth for the ambient occlusion (0 = sky).
#version 400

in vec3 viewPosition;
in vec3 viewNormal;
in vec3 objectPosition;
in vec3 objectNormal;
in vec2 uv;

out vec4 output0;   // colour, lens value in alpha
out float output1;  // 1 / view depth

uniform sampler3D noiseTex;     // 16^3 random RGB, repeating
uniform sampler2D colour_tex;   // caption picture, white on black
uniform vec2 CoCScaleAndBias;   // lens constants for the focus distance
uniform float time;             // seconds since the scene began
uniform float material;         // 0 forest, 1 caption
uniform float bump_scale;       // strength of the relief
uniform mat4 modelview;

const vec3 kMoonDirection = vec3(-0.35, 0.75, -0.55);  // towards the moon, world space
const vec3 kMoonColour = vec3(0.30, 0.38, 0.62);
const vec3 kLanternColour = vec3(1.15, 0.82, 0.52);
const vec3 kLanternOffset = vec3(0.4, 0.6, 0.0);       // above and right of the eye, view space
const vec3 kSkyAmbient = vec3(0.025, 0.035, 0.06);
const vec3 kGroundAmbient = vec3(0.018, 0.014, 0.01);
const vec3 kMistColour = vec3(0.045, 0.055, 0.075);
const float kFogDensity = 0.045;

// Smooth noise in 0..1 per channel; p in texels of the noise texture.
vec3 noise3(vec3 p) {
  return texture(noiseTex, p / 16.0).rgb;
}

// The lens value: zero at the focus distance, growing in front of it (negative) and behind it.
// The squared window depth makes scale and bias cancel just at the focus distance.
float lensValue() {
  float z = gl_FragCoord.z;
  return clamp(z * z * CoCScaleAndBias.x + CoCScaleAndBias.y, -1.0, 1.0);
}

// Diffuse and a little sheen from the moon and the lantern, hemisphere ambient, and a moonlit
// rim where rimWeight allows.
vec3 light(vec3 albedo, vec3 n, vec3 position, float shininess, float wrap, float rimWeight) {
  vec3 toEye = normalize(-position);
  vec3 moon = normalize(mat3(modelview) * kMoonDirection);
  vec3 lanternVector = kLanternOffset - position;
  float lanternDistance = length(lanternVector);
  vec3 toLantern = lanternVector / lanternDistance;
  float lanternFalloff = 1.0 / (1.0 + 0.09 * lanternDistance * lanternDistance);

  float moonDiffuse = max((dot(n, moon) + wrap) / (1.0 + wrap), 0.0);
  float lanternDiffuse = max((dot(n, toLantern) + wrap) / (1.0 + wrap), 0.0);
  // Moonlight grazing past the surface towards the eye: a cold rim on trunk edges.
  float rim = pow(1.0 - max(dot(n, toEye), 0.0), 3.0) * max(dot(-toEye, moon) + 0.4, 0.0);
  float sheen = pow(max(dot(n, normalize(toLantern + toEye)), 0.0), shininess);

  float up = dot(n, normalize(mat3(modelview) * vec3(0.0, 1.0, 0.0))) * 0.5 + 0.5;
  vec3 ambient = mix(kGroundAmbient, kSkyAmbient, up);
  vec3 diffuse = kMoonColour * moonDiffuse + kLanternColour * lanternDiffuse * lanternFalloff;
  return albedo * (ambient + diffuse) + kMoonColour * rim * 0.35 * rimWeight +
         kLanternColour * sheen * lanternFalloff * 0.15;
}

// Furrowed bark: ridges running up the trunk with finer cracks, 0 in the furrows.
float barkHeight(vec3 p) {
  float ridge = 1.0 - abs(2.0 * noise3(p * vec3(28.0, 1.8, 28.0)).r - 1.0);
  return ridge * 0.7 + noise3(p * vec3(70.0, 7.0, 70.0)).g * 0.3;
}

// Leaf litter and moss cushions on the ground.
float groundHeight(vec3 p) {
  return noise3(vec3(p.x, 0.0, p.z) * 9.0).b * 0.6 + noise3(vec3(p.x, 4.0, p.z) * 26.0).r * 0.4;
}

// The normal n (object space) tilted by the slope of the height h across the pixel, from
// screen-space derivatives: no tangents needed, and no extra noise lookups.
vec3 bumped(vec3 n, float h, float amplitude) {
  vec3 dpdx = dFdx(objectPosition);
  vec3 dpdy = dFdy(objectPosition);
  vec3 r1 = cross(dpdy, n);
  vec3 r2 = cross(n, dpdx);
  float det = dot(dpdx, r1);
  vec3 gradient = sign(det) * (dFdx(h) * r1 + dFdy(h) * r2);
  return normalize(abs(det) * n - amplitude * gradient);
}

vec3 forestSurface(vec3 position, float depth) {
  vec3 p = objectPosition;
  vec3 objectN = normalize(objectNormal);
  // Up-facing ground grows moss and leaves; steep faces and anything up in the air are bark.
  float ground = smoothstep(0.45, 0.8, objectN.y) * (1.0 - smoothstep(0.5, 1.5, p.y));

  // Only the materials present at this pixel are evaluated (the noise has no mip levels, so
  // looking it up under a branch is safe).
  float barkH = 0.0, groundH = 0.0;
  vec3 bark = vec3(0.0), soil = vec3(0.0);
  if (ground < 0.999) {
    barkH = barkHeight(p);
    vec3 tone = noise3(p * vec3(6.0, 0.6, 6.0));
    bark = mix(vec3(0.05, 0.038, 0.03), vec3(0.16, 0.125, 0.095), smoothstep(0.3, 0.7, tone.r));
    bark *= mix(0.3, 1.15, barkH);
    bark = mix(bark, vec3(0.07, 0.10, 0.04), smoothstep(0.55, 0.72, tone.g) * 0.75);  // lichen
  }
  if (ground > 0.001) {
    groundH = groundHeight(p);
    vec3 tone = noise3(vec3(p.x * 4.0, 0.5, p.z * 4.0));
    float leafPatch = smoothstep(0.35, 0.65, noise3(vec3(p.x * 1.2, 3.0, p.z * 1.2)).g);
    vec3 moss = mix(vec3(0.02, 0.04, 0.01), vec3(0.07, 0.11, 0.025), tone.r);
    vec3 leaves = mix(vec3(0.08, 0.04, 0.018), vec3(0.20, 0.105, 0.04), tone.b);
    soil = mix(moss, leaves, leafPatch) * mix(0.45, 1.2, groundH);
  }
  float h = mix(barkH, groundH, ground);
  vec3 albedo = mix(bark, soil, ground);

  // Relief, fading with distance where the pixels grow coarser than the noise.
  float amplitude = bump_scale * mix(0.045, 0.03, ground) / (1.0 + depth * 0.08);
  vec3 viewN = normalize(mat3(modelview) * bumped(objectN, h, amplitude));
  if (dot(viewN, -position) < 0.0) viewN = normalize(viewNormal);

  // Crevices at the trunk feet and in the dents stay darker.
  float cavity = mix(0.5, 1.0, smoothstep(-0.12, 0.3, p.y));
  vec3 lit = light(albedo * cavity, viewN, position, 24.0, 0.25, 1.0 - ground);
  // The canopy swallows the trunks as they rise into the dark.
  lit *= 1.0 - 0.92 * smoothstep(2.0, 7.5, p.y);

  // Low mist drifting over the ground, strongest at middle distance, gone in the far dark.
  float mistNoise = noise3(vec3(p.x * 0.5 + time * 0.25, p.y * 1.2, p.z * 0.5 - time * 0.08)).r;
  float mistHeight = exp(-max(p.y, 0.0) * 0.45);
  float mist = (1.0 - exp(-depth * 0.07)) * mistHeight * (0.4 + 1.1 * mistNoise);
  vec3 colour = mix(lit, kMistColour, clamp(mist, 0.0, 0.55));
  return colour * exp(-depth * kFogDensity);
}

vec3 captionSurface(vec3 position) {
  vec2 texel = 1.0 / vec2(textureSize(colour_tex, 0));
  float h = texture(colour_tex, uv).r;
  if (h < 0.3) discard;  // only the letters stand in the forest
  float dx = texture(colour_tex, uv + vec2(texel.x, 0.0)).r - texture(colour_tex, uv - vec2(texel.x, 0.0)).r;
  float dy = texture(colour_tex, uv + vec2(0.0, texel.y)).r - texture(colour_tex, uv - vec2(0.0, texel.y)).r;
  vec3 grain = noise3(vec3(uv * vec2(48.0, 24.0), 5.0)) - 0.5;
  vec3 tangentNormal = normalize(vec3(-dx * bump_scale * 30.0, -dy * bump_scale * 30.0, 1.0) + grain * bump_scale);
  vec3 t = normalize(mat3(modelview) * vec3(1.0, 0.0, 0.0));
  vec3 b = normalize(mat3(modelview) * vec3(0.0, 1.0, 0.0));
  vec3 nz = normalize(viewNormal);
  vec3 n = normalize(t * tangentNormal.x + b * tangentNormal.y + nz * tangentNormal.z);

  vec3 toEye = normalize(-position);
  vec3 key = normalize(vec3(-0.5, 0.7, 0.6));  // from upper left, in front of the letters
  float diffuse = max(dot(n, key), 0.0);
  float specular = pow(max(dot(n, normalize(key + toEye)), 0.0), 40.0);
  // The letters glow from within; the relief adds light and shade on their bevels.
  vec3 inner = vec3(1.05, 0.98, 0.88);
  return inner * (0.55 + 0.75 * diffuse) * smoothstep(0.3, 0.7, h) + vec3(1.0, 0.95, 0.85) * specular * 0.6;
}

void main() {
  float depth = -viewPosition.z;
  vec3 colour = material > 0.5 ? captionSurface(viewPosition) : forestSurface(viewPosition, depth);
  // Display gamma here, so the passes after this one work on what the eye sees.
  output0 = vec4(pow(max(colour, 0.0), vec3(1.0 / 2.2)), lensValue());
  output1 = 1.0 / max(depth, 1e-3);
}
