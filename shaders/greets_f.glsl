// One greeting patch: the letters in warm gold, their ink in alpha.
#version 400

in vec2 patchUv;
out vec4 output0;

uniform sampler2D tex0;  // greetings image, one channel, 1/255 on the background

const vec3 kGold = vec3(1.0, 0.78, 0.32);

void main() {
  float ink = clamp((texture(tex0, patchUv).r - 1.0 / 255.0) * 255.0 / 254.0, 0.0, 1.0);
  output0 = vec4(kGold, ink);
}
