// The reduction in linear light: sRGB levels decoded through a table, summed in floats, and
// encoded back by finding the level whose interval holds the mean.
#include "capture/supersample.h"

#include "render/frame_readback.h"

#include <cmath>

namespace {

constexpr int kLevels = 256;          // 8-bit channel levels
constexpr int kCoarseBins = 4096;     // linear-light bins of the encoder's first guess
// Where a mean falls halfway between two levels (two levels of the sRGB curve's linear foot
// average to exactly that), it rounds up; float sums are off by some 1e-7 of their value,
// so each edge is lowered by more than that.
constexpr double kTieMargin = 1e-6;

// Linear light of an sRGB value in [0, 1] (IEC 61966-2-1).
double srgbToLinear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

// The tables of the conversion, made once: each level's linear light, the linear light where
// the nearest level turns from k to k + 1 (halfway rounding up), and for each coarse bin the
// level at its bottom.
struct LinearTables {
  float linear[kLevels];
  float upperEdge[kLevels];  // the last one above any mean, so the search stops there
  uint8_t coarse[kCoarseBins];

  LinearTables() {
    for (int k = 0; k < kLevels; ++k) {
      linear[k] = static_cast<float>(srgbToLinear(k / 255.0));
      upperEdge[k] = k + 1 < kLevels ? static_cast<float>(srgbToLinear((k + 0.5) / 255.0) * (1 - kTieMargin)) : 2.0f;
    }
    int level = 0;
    for (int bin = 0; bin < kCoarseBins; ++bin) {
      while (upperEdge[level] <= static_cast<float>(bin) / kCoarseBins) ++level;
      coarse[bin] = static_cast<uint8_t>(level);
    }
  }

  // The level nearest to the linear value v in sRGB terms.
  uint8_t encode(float v) const {
    int bin = static_cast<int>(v * kCoarseBins);
    int level = coarse[bin < 0 ? 0 : bin >= kCoarseBins ? kCoarseBins - 1 : bin];
    while (v >= upperEdge[level]) ++level;
    return static_cast<uint8_t>(level);
  }
};

const LinearTables& tables() {
  static const LinearTables made;
  return made;
}

}  // namespace

void reduceInLinearLight(const uint8_t* big, int width, int height, int factor, uint8_t* out) {
  const LinearTables& t = tables();
  const size_t bigRow = static_cast<size_t>(width) * factor * 3;
  const float scale = 1.0f / static_cast<float>(factor * factor);
  for (int y = 0; y < height; ++y) {
    const uint8_t* top = big + static_cast<size_t>(y) * factor * bigRow;
    for (int x = 0; x < width; ++x) {
      float sum[3] = {0, 0, 0};
      for (int dy = 0; dy < factor; ++dy) {
        const uint8_t* p = top + dy * bigRow + static_cast<size_t>(x) * factor * 3;
        for (int dx = 0; dx < factor * 3; dx += 3) {
          sum[0] += t.linear[p[dx]];
          sum[1] += t.linear[p[dx + 1]];
          sum[2] += t.linear[p[dx + 2]];
        }
      }
      for (int c = 0; c < 3; ++c) *out++ = t.encode(sum[c] * scale);
    }
  }
}

void FrameReader::read(std::vector<uint8_t>& rgb) {
  if (factor <= 1) {
    readFrame(width, height, rgb);
    return;
  }
  readFrame(width * factor, height * factor, rendered);
  rgb.resize(static_cast<size_t>(width) * height * 3);
  reduceInLinearLight(rendered.data(), width, height, factor, rgb.data());
}
