// Forest geometry: sky cube, terrain tiles, cubes and the caption quad through the camera.
// Passes view-space and object-space position and normal on for lighting and texturing.
#version 400

in vec3 vertex;   // the caption gives two components; z is then 0
in vec2 coord;    // caption texture coordinates
in vec3 normal;

uniform mat4 projection;
uniform mat4 modelview;

out vec3 viewPosition;
out vec3 viewNormal;
out vec3 objectPosition;
out vec3 objectNormal;
out vec2 uv;

void main() {
  vec4 p = modelview * vec4(vertex, 1.0);
  viewPosition = p.xyz;
  viewNormal = mat3(modelview) * normal;
  objectPosition = vertex;
  objectNormal = normal;
  uv = coord;
  gl_Position = projection * p;
}
