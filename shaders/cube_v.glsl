// Lit cubes: each corner of the unit cube scaled to half the edge ("scale") around the
// instance point ("coord"), turned by "world", seen through "modelview" and "projection".
#version 400

in vec3 vertex;  // corner of the unit cube, +-1
in vec3 coord;   // the instance's grid point

uniform vec3 scale;  // half the cube's edge
uniform mat4 world;
uniform mat4 modelview;
uniform mat4 projection;
uniform mat4 shadow_modelview;  // this pass's light (the lit program only)

out vec3 worldPosition;  // after "world": the space both the camera and the light look at
flat out float passNumber;  // 0 to 63, from the light's two angles (1/8 radian steps)
flat out vec3 cameraEye;    // where the camera ("modelview") stands, in world space
flat out vec3 lightEye;     // where this pass's light stands, in world space

// The origin of a rigid view matrix's eye space, in the space it transforms from.
vec3 eyePosition(mat4 m) {
  return -(transpose(mat3(m)) * m[3].xyz);
}

void main() {
  vec4 p = world * vec4(coord + vertex * scale, 1.0);
  worldPosition = p.xyz;
  gl_Position = projection * (modelview * p);
  // The same for every vertex of the draw: worked out here, not for each of its many fragments.
  cameraEye = eyePosition(modelview);
  lightEye = eyePosition(shadow_modelview);
  float a1 = atan(shadow_modelview[1][2], shadow_modelview[1][1]);
  float a2 = atan(shadow_modelview[2][0], shadow_modelview[0][0]);
  passNumber = round(a1 * 8.0) * 8.0 + round(a2 * 8.0);
}
