// Cubes into the shadow map: only depth is kept (the colour mask is off).
#version 400

uniform vec4 colour;  // set with the groups; nothing to colour here

out vec4 output0;

void main() {
  output0 = colour;
}
