// Full-screen pass: the quad's corners with their texture coordinates.
#version 400

in vec2 vertex;
in vec2 coord;

out vec2 uv;  // 0..1 across the target

void main() {
  uv = coord;
  gl_Position = vec4(vertex, 0.0, 1.0);
}
