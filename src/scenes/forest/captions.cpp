// Reading the caption records.
#include "scenes/forest/captions.h"

namespace {

// A little-endian uint32 at bytes.
uint32_t readLittleEndian32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

}  // namespace

CaptionImage readCaptionRecord(const uint8_t* record) {
  return {readLittleEndian32(record), readLittleEndian32(record + 4), record + kCaptionHeaderBytes};
}
