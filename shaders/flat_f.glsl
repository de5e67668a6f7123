// Unlit geometry in one colour, for debugging shapes and placements.
#version 400

out vec4 output0;

uniform vec4 colour;  // RGBA written as is

void main() {
  output0 = colour;
}
