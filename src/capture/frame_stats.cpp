// CSV rows and the per-scene summary of frame statistics.
#include "capture/frame_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

const char* const kFrameStatsHeader = "frame,show_ms,scene,scene_ms,cpu_ms,gpu_ms,counters\n";

namespace {

constexpr double kLargestExactInteger = 9007199254740992.0;  // 2^53: integers print in full below it

// Appends a counter name, with anything but letters, digits and '_' made '_' so that a
// careless name cannot break the row's fields.
void appendName(std::string& row, const char* name) {
  if (!name || !*name) name = "unnamed";
  for (const char* c = name; *c; ++c) {
    bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '_';
    row += plain ? *c : '_';
  }
}

// Appends a counter value: whole numbers in full ("4096"), others to six significant digits.
void appendValue(std::string& row, double value) {
  char text[48];
  if (!std::isfinite(value))
    std::snprintf(text, sizeof text, "%s", std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf"));
  else if (value == std::floor(value) && std::fabs(value) < kLargestExactInteger)
    std::snprintf(text, sizeof text, "%.0f", value);
  else
    std::snprintf(text, sizeof text, "%.6g", value);
  row += text;
}

// A time cell of the summary: "-" where nothing was measured.
std::string cell(double ms, bool known) {
  if (!known) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", ms);
  return text;
}

}  // namespace

std::string formatFrameRow(const FrameRecord& record) {
  char head[160];
  const char* scene = record.scene >= 0 && record.scene < kStatsScenes ? kSceneTable[record.scene].shortName : "none";
  std::snprintf(head, sizeof head, "%lld,%u,%s,%u,%.3f,", static_cast<long long>(record.frame), record.showMs, scene,
                record.sceneMs, record.cpuMs);
  std::string row = head;
  if (record.gpuMs >= 0) {
    char gpu[32];
    std::snprintf(gpu, sizeof gpu, "%.3f", record.gpuMs);
    row += gpu;
  }
  row += ',';
  int count = std::min(std::max(record.counters.count, 0), kMaxSceneCounters);
  for (int i = 0; i < count; ++i) {
    if (i > 0) row += ' ';
    appendName(row, record.counters.names[i]);
    row += '=';
    appendValue(row, record.counters.values[i]);
  }
  row += '\n';
  return row;
}

TimeSummary summarizeTimes(std::vector<double> values) {
  TimeSummary summary;
  if (values.empty()) return summary;
  std::sort(values.begin(), values.end());
  double sum = 0;
  for (double v : values) sum += v;
  size_t n = values.size();
  size_t rank = (95 * n + 99) / 100;  // ceil(0.95 n) in integers, 1-based
  summary.count = static_cast<int>(n);
  summary.mean = sum / n;
  summary.p95 = values[rank - 1];
  summary.max = values.back();
  return summary;
}

std::vector<SceneSummary> summarizeFrames(const std::vector<FrameRecord>& records) {
  std::vector<SceneSummary> summaries;
  // Entries 0 .. kStatsScenes - 1 are the scenes; kStatsScenes stands for all frames.
  for (int group = 0; group <= kStatsScenes; ++group) {
    SceneSummary summary;
    summary.scene = group < kStatsScenes ? group : -1;
    std::vector<double> cpu, gpu;
    for (const FrameRecord& r : records) {
      if (group < kStatsScenes && r.scene != group) continue;
      ++summary.frames;
      cpu.push_back(r.cpuMs);
      if (r.gpuMs >= 0) gpu.push_back(r.gpuMs);
      double cost = std::max(r.cpuMs, r.gpuMs);
      if (summary.frames == 1 || cost > summary.slowestMs) {
        summary.slowestMs = cost;
        summary.slowestShowMs = r.showMs;
      }
    }
    if (summary.frames == 0) continue;
    summary.cpu = summarizeTimes(cpu);
    summary.gpu = summarizeTimes(gpu);
    summaries.push_back(summary);
  }
  return summaries;
}

std::string formatSummary(const std::vector<SceneSummary>& summaries) {
  std::string text =
      "frame statistics (ms)   frames  cpu mean   cpu p95   cpu max  gpu mean   gpu p95   gpu max  slowest at\n";
  for (const SceneSummary& s : summaries) {
    const char* name = s.scene >= 0 && s.scene < kStatsScenes ? kSceneTable[s.scene].shortName : "all";
    bool gpu = s.gpu.count > 0;
    char line[256];
    std::snprintf(line, sizeof line, "  %-20s %7d %9s %9s %9s %9s %9s %9s  %.3f s (%.2f ms)\n", name, s.frames,
                  cell(s.cpu.mean, true).c_str(), cell(s.cpu.p95, true).c_str(), cell(s.cpu.max, true).c_str(),
                  cell(s.gpu.mean, gpu).c_str(), cell(s.gpu.p95, gpu).c_str(), cell(s.gpu.max, gpu).c_str(),
                  s.slowestShowMs / 1000.0, s.slowestMs);
    text += line;
  }
  return text;
}
