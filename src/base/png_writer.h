// PNG output of captured frames.
#pragma once

#include "base/output_file.h"

#include <cstdint>
#include <string>

// Writes an 8-bit RGB image, rows top first, to path through a temporary file that is
// renamed on success, so a failed write leaves no file that looks complete.
// With pending, the closed temporary waits there to be renamed with the capture's other outputs.
bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string& error,
              PendingOutputs* pending = nullptr);
