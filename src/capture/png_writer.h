// PNG output of captured frames.
#pragma once

#include <cstdint>
#include <string>

// Writes an 8-bit RGB image, rows top first, to path through a temporary file that is
// renamed on success, so a failed write leaves no file that looks complete.
bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string& error);
