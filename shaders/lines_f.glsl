// A stroke of the line drawing: a capsule around its segment in one flat colour.
#version 400

in vec2 stroke;
flat in float strokeLength;
out vec4 output0;

uniform vec4 colour;  // brightness of this copy of the picture

void main() {
  float beyond = max(max(-stroke.x, stroke.x - strokeLength), 0.0);
  if (beyond * beyond + stroke.y * stroke.y > 1.0) discard;
  output0 = colour;
}
