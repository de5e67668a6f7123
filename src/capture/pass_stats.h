// Per-pass statistics of a capture: one record per captured frame and named pass (its GPU
// time and pipeline counts), the CSV row it becomes, and the per-scene, per-pass summary.
#pragma once

#include "capture/frame_stats.h"
#include "render/pass_probe.h"

#include <cstdint>
#include <string>
#include <vector>

// The header line of the per-pass CSV, newline included.
extern const char* const kPassStatsHeader;

// What one named pass cost in one captured frame.
struct PassRecord {
  int64_t frame = 0;     // frame index on the capture's virtual clock
  uint32_t showMs = 0;   // the frame's tick, milliseconds of show time
  int scene = 0;         // timeline entry of the rendered scene, 0 .. kStatsScenes - 1
  PassFigures figures;   // the pass's name, GPU time and counts (negative: unknown)
};

// The CSV row, newline included: frame,show_ms,scene,pass,gpu_ms,vertices,primitives,fragments,
// with an empty field for each unknown figure.
std::string formatPassRow(const PassRecord& record);

// Mean and maximum of one figure over the frames that have it.
struct FigureSummary {
  int count = 0;     // frames that carry the figure
  double mean = 0;
  double max = 0;
};

// The summary of one pass of one scene.
struct PassSummary {
  int scene = 0;                       // timeline entry
  std::string pass;                    // the pass's name
  int frames = 0;                      // rows of it
  FigureSummary gpu;                   // of gpu_ms
  double share = -1;                   // of the scene's summed pass GPU time, 0 to 1; negative when unknown
  FigureSummary counts[kPassCounts];   // of vertices, primitives, fragments
};

// One summary per scene and pass, scenes in timeline order and passes in the order they first ran.
std::vector<PassSummary> summarizePasses(const std::vector<PassRecord>& records);
// The summary as a text table for the terminal.
std::string formatPassSummary(const std::vector<PassSummary>& summaries);
