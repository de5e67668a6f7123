// Full-screen quad: passes the screen position on for the ray setup.
#version 400

in vec2 vertex;
in vec2 coord;

out vec2 screen;  // -1..1 across the viewport

void main() {
  screen = vertex;
  gl_Position = vec4(vertex, 0.0, 1.0);
}
