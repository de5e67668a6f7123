// A stroke of the line drawing in one flat colour, its ends rounded.
#version 400

noperspective in vec2 stroke;  // along (window units from the first end), across (-1..1)
flat in vec3 caps;             // segment length, radius at the first end, radius at the second
out vec4 output0;

uniform vec4 colour;  // brightness of this copy of the picture

void main() {
  float beyond = stroke.x < 0.0 ? -stroke.x / caps.y : max(stroke.x - caps.x, 0.0) / caps.z;
  if (beyond * beyond + stroke.y * stroke.y > 1.0) discard;
  output0 = colour;
}
