// Reading a finished frame back from the default framebuffer, as the capture tool's pictures
// and the maker's mode's screenshots both do.
#pragma once

#include <cstdint>
#include <vector>

// Reads the finished default framebuffer's back buffer as upright 8-bit RGB, rows top first.
void readFrame(int width, int height, std::vector<uint8_t>& rgb);
