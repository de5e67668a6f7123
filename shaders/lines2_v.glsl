// Curve strokes: each point of the line strip placed in the scrolling world; its stroke
// weight travels on to the geometry stage.
#version 400

in vec3 vertex;  // x, y in world units; z the stroke weight

uniform vec2 scale;        // world to normalised device units
uniform vec2 translation;  // camera shift, normalised device units

out float weight;

void main() {
  weight = vertex.z;
  gl_Position = vec4(vertex.xy * scale + translation, 0.0, 1.0);
}
