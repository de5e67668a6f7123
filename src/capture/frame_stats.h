// Frame statistics of a capture: one record per captured frame (its tick, scene, CPU and GPU
// time and the scene's own figures), the CSV row it becomes, and the per-scene summary.
#pragma once

#include "render/scene.h"
#include "show/show.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kStatsScenes = kTimelineEntries - 1;  // timeline entries that hold a scene (kSceneTable's rows)

// The header line of the statistics CSV, newline included.
extern const char* const kFrameStatsHeader;

// What was measured for one captured frame.
struct FrameRecord {
  int64_t frame = 0;        // frame index on the capture's virtual clock
  uint32_t showMs = 0;      // the frame's tick, milliseconds of show time
  int scene = 0;            // timeline entry of the rendered scene, 0 .. kStatsScenes - 1
  uint32_t sceneMs = 0;     // the scene's clock, milliseconds since it became current
  double cpuMs = 0;         // wall time from the frame's start to the end of render()
  double gpuMs = -1;        // GPU time from a timer query; negative when unknown
  SceneCounters counters;   // the scene's figures for this frame
};

// The CSV row of a record, newline included: frame,show_ms,scene,scene_ms,cpu_ms,gpu_ms,counters.
std::string formatFrameRow(const FrameRecord& record);

// Mean, 95th percentile and maximum of one kind of time.
struct TimeSummary {
  int count = 0;      // frames that carry this time
  double mean = 0;    // milliseconds
  double p95 = 0;     // milliseconds, nearest rank: the smallest value at or above 95 % of them
  double max = 0;     // milliseconds
};

// The summary of one scene (or of the whole capture).
struct SceneSummary {
  int scene = -1;             // timeline entry; -1 for all frames together
  int frames = 0;             // frames captured in it
  TimeSummary cpu;            // of cpu_ms
  TimeSummary gpu;            // of gpu_ms, over the frames that have one
  uint32_t slowestShowMs = 0; // tick of the frame with the largest of its CPU and GPU times
  double slowestMs = 0;       // that largest time, milliseconds
};

// Mean, 95th percentile (nearest rank) and maximum of values; all zero when empty.
TimeSummary summarizeTimes(std::vector<double> values);
// One summary per scene that has frames, in timeline order, then one for all frames
// (absent when there are no frames).
std::vector<SceneSummary> summarizeFrames(const std::vector<FrameRecord>& records);
// The summary as a small text table for the terminal.
std::string formatSummary(const std::vector<SceneSummary>& summaries);
