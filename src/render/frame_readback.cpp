// Frame read-back.
#include "render/frame_readback.h"

#include "base/gl.h"

#include <algorithm>

void readFrame(int width, int height, std::vector<uint8_t>& rgb) {
  static std::vector<uint8_t> bottomUp;  // reused: frames come one after another
  size_t row = static_cast<size_t>(width) * 3;
  bottomUp.resize(row * height);
  rgb.resize(bottomUp.size());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  // sdl12-compat may stand a framebuffer object of its own in for the window's (its OpenGL
  // scaling) and bind it for 0; that one is read through its own colour attachment.
  GLint bound = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &bound);
  if (bound == 0) glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  checkGlError(__LINE__);
  for (int y = 0; y < height; ++y)
    std::copy_n(bottomUp.data() + (height - 1 - y) * row, row, rgb.data() + y * row);
}
