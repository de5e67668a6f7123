// Reduction pass: a quad of given positions with texture coordinates into the source.
#version 400

in vec2 vertex;
in vec2 coord;

out vec2 uv;  // where the output pixel's centre lies in the source

void main() {
  uv = coord;
  gl_Position = vec4(vertex, 0.0, 1.0);
}
