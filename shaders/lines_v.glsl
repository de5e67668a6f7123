// Line drawing: each corner of the wire shapes into clip space; the geometry stage widens
// the segments.
#version 400

in vec3 vertex;

uniform mat4 projection;
uniform mat4 modelview;

void main() {
  gl_Position = projection * (modelview * vec4(vertex, 1.0));
}
