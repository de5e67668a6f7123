// Supersampling: each frame rendered at a multiple of the output size and reduced to it by
// averaging each block of rendered pixels in linear light, as a larger screen seen from
// further away would mix them.
#pragma once

#include <cstdint>
#include <vector>

// Reduces the upright RGB picture big, (width * factor) x (height * factor), to width x
// height in out: each pixel the mean of its factor x factor block, sRGB decoded to linear
// light, averaged and encoded again with rounding to the nearest level.
void reduceInLinearLight(const uint8_t* big, int width, int height, int factor, uint8_t* out);

// Reads finished frames at the output size: as rendered, or rendered factor times larger a
// side and reduced.
class FrameReader {
 public:
  int width = 0;                 // output pixels
  int height = 0;                // output pixels
  int factor = 1;                // rendered pixels a side per output pixel; 1 = read as rendered
  std::vector<uint8_t> rendered; // the rendered picture, reused from frame to frame

  // Reads the default framebuffer's finished frame into rgb, upright, rows top first.
  void read(std::vector<uint8_t>& rgb);
};
