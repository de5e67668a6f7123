// Widens each line segment into a stroke: a quad around the segment, reaching one radius
// past both ends, that the fragment stage trims to round caps so strokes meeting at a corner
// join without a gap. "radii" is the stroke's half-width in view-space units, so strokes thin
// with distance like the shapes they outline; it never falls below a texel of the target.
// Widths are kept round on the window the picture is stretched over (its shape is read from
// the projection's two scales).
#version 400

layout(lines) in;
layout(triangle_strip, max_vertices = 4) out;

uniform mat4 projection;
uniform vec2 radii;  // stroke half-width in view units, across x and y

noperspective out vec2 stroke;  // along the segment (window units from the first end) and across it (-1..1)
flat out vec3 caps;             // segment length, radius at the first end, radius at the second

const float kThinnest = 1.0 / 512.0;  // half a texel of the 512-texel target, in picture units

void main() {
  vec4 a = gl_in[0].gl_Position;
  vec4 b = gl_in[1].gl_Position;
  // Keep only the part in front of the near plane (z >= -w), so nothing divides by w <= 0.
  float da = a.z + a.w;
  float db = b.z + b.w;
  if (da < 0.0 && db < 0.0) return;
  if (da < 0.0) a = mix(a, b, da / (da - db));
  if (db < 0.0) b = mix(a, b, da / (da - db));

  // Window-proportional space: x as in the picture, y divided by width / height.
  float aspect = projection[1][1] / projection[0][0];
  vec2 toWindow = vec2(1.0, 1.0 / aspect);
  vec2 fromWindow = vec2(1.0, aspect);
  vec2 pa = a.xy / a.w * toWindow;
  vec2 pb = b.xy / b.w * toWindow;
  float za = clamp(a.z / a.w, -1.0, 1.0);
  float zb = clamp(b.z / b.w, -1.0, 1.0);
  // The projection's x scale turns view units at distance w into picture units.
  vec2 ra = max(radii * projection[0][0] / a.w, vec2(kThinnest));
  vec2 rb = max(radii * projection[0][0] / b.w, vec2(kThinnest));

  vec2 d = pb - pa;
  float len = length(d);
  vec2 along = len > 1e-6 ? d / len : vec2(1.0, 0.0);
  vec2 across = vec2(-along.y, along.x);
  vec3 ends = vec3(len, ra.x, rb.x);

  // Counter-clockwise on the window whatever face culling the scene before left enabled.
  caps = ends;
  stroke = vec2(-ra.x, -1.0);
  gl_Position = vec4((pa - (along + across) * ra) * fromWindow, za, 1.0);
  EmitVertex();
  caps = ends;
  stroke = vec2(len + rb.x, -1.0);
  gl_Position = vec4((pb + (along - across) * rb) * fromWindow, zb, 1.0);
  EmitVertex();
  caps = ends;
  stroke = vec2(-ra.x, 1.0);
  gl_Position = vec4((pa + (across - along) * ra) * fromWindow, za, 1.0);
  EmitVertex();
  caps = ends;
  stroke = vec2(len + rb.x, 1.0);
  gl_Position = vec4((pb + (along + across) * rb) * fromWindow, zb, 1.0);
  EmitVertex();
  EndPrimitive();
}
