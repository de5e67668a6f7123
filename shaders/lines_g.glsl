// Widens each line segment into a stroke: a quad around the segment, one radius wider at both
// ends, that the fragment stage trims to a capsule so strokes meeting at a corner join
// without a gap. Radii are measured in the picture's x units and kept round on the window the
// picture is stretched over (its shape is read from the projection's two scales).
#version 400

layout(lines) in;
layout(triangle_strip, max_vertices = 4) out;

uniform mat4 projection;
uniform vec2 radii;  // stroke half-width across x and y

out vec2 stroke;             // along the segment (x) and across it (y), in radii; 0 at the first end
flat out float strokeLength; // segment length in radii

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
  vec2 pa = a.xy / a.w * toWindow;
  vec2 pb = b.xy / b.w * toWindow;
  float za = clamp(a.z / a.w, -1.0, 1.0);
  float zb = clamp(b.z / b.w, -1.0, 1.0);

  vec2 d = pb - pa;
  float len = length(d);
  vec2 along = len > 1e-6 ? d / len : vec2(1.0, 0.0);
  vec2 across = vec2(-along.y, along.x);
  vec2 fromWindow = vec2(1.0, aspect);
  vec2 extend = along * radii;
  vec2 side = across * radii;
  float lengthInRadii = len / max(radii.x, 1e-6);

  // Counter-clockwise on the window whatever the face culling left enabled.
  strokeLength = lengthInRadii;
  stroke = vec2(-1.0, -1.0);
  gl_Position = vec4((pa - extend - side) * fromWindow, za, 1.0);
  EmitVertex();
  strokeLength = lengthInRadii;
  stroke = vec2(lengthInRadii + 1.0, -1.0);
  gl_Position = vec4((pb + extend - side) * fromWindow, zb, 1.0);
  EmitVertex();
  strokeLength = lengthInRadii;
  stroke = vec2(-1.0, 1.0);
  gl_Position = vec4((pa - extend + side) * fromWindow, za, 1.0);
  EmitVertex();
  strokeLength = lengthInRadii;
  stroke = vec2(lengthInRadii + 1.0, 1.0);
  gl_Position = vec4((pb + extend + side) * fromWindow, zb, 1.0);
  EmitVertex();
  EndPrimitive();
}
