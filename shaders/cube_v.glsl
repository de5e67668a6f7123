// Lit cubes: each corner of the unit cube scaled to half the edge ("scale") around the
// instance point ("coord"), turned by "world", seen through "modelview" and "projection".
#version 400

in vec3 vertex;  // corner of the unit cube, +-1
in vec3 coord;   // the instance's grid point

uniform vec3 scale;  // half the cube's edge
uniform mat4 world;
uniform mat4 modelview;
uniform mat4 projection;

out vec3 worldPosition;  // after "world": the space both the camera and the light look at

void main() {
  vec4 p = world * vec4(coord + vertex * scale, 1.0);
  worldPosition = p.xyz;
  gl_Position = projection * (modelview * p);
}
