// One greeting patch: the quad scaled and moved into place. Its height is "scale".y; its
// width keeps the letters' shape whatever the window's shape, and narrows the patch only
// where it would not fit across the picture.
#version 400

in vec2 vertex;
in vec2 coord;

uniform sampler2D tex0;   // greetings image
uniform vec4 tex_patch;   // uMin, vMin, uMax, vMax
uniform vec2 translation; // normalised device units
uniform vec2 scale;       // half size: x = share of width * 0.4 * aspect, y = share of height * 0.4

out vec2 patchUv;

const float kWidest = 0.92;  // the most of the picture's width one patch may take

void main() {
  vec2 share = tex_patch.zw - tex_patch.xy;
  vec2 imageSize = vec2(textureSize(tex0, 0));
  // The window's aspect, recovered from how "scale" was built.
  float aspect = scale.x * share.y / (scale.y * share.x);
  float patchAspect = share.x * imageSize.x / (share.y * imageSize.y);
  vec2 halfSize = vec2(scale.y * patchAspect / aspect, scale.y);
  halfSize *= min(1.0, kWidest / halfSize.x);
  patchUv = mix(tex_patch.xy, tex_patch.zw, coord);
  gl_Position = vec4(vertex * halfSize + translation, 0.0, 1.0);
}
