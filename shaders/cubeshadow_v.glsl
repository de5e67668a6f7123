// Cubes into the shadow map: the same cube placement as the main pass, seen from the
// pass's light ("modelview") through the camera's projection.
#version 400

in vec3 vertex;  // corner of the unit cube, +-1
in vec3 coord;   // the instance's grid point

uniform vec3 scale;  // half the cube's edge
uniform mat4 world;
uniform mat4 modelview;
uniform mat4 projection;

void main() {
  gl_Position = projection * (modelview * (world * vec4(coord + vertex * scale, 1.0)));
}
