// Per-pass CSV rows and their per-scene summary.
#include "capture/pass_stats.h"

#include <algorithm>
#include <cstdio>

const char* const kPassStatsHeader = "frame,show_ms,scene,pass,gpu_ms,vertices,primitives,fragments\n";

namespace {

// Folds one value into a running summary (mean holds the sum until finished).
void addFigure(FigureSummary& summary, double value) {
  if (value < 0) return;
  summary.max = summary.count == 0 ? value : std::max(summary.max, value);
  summary.mean += value;
  ++summary.count;
}

// Turns the sum into the mean.
void finishFigure(FigureSummary& summary) {
  if (summary.count > 0) summary.mean /= summary.count;
}

// A summary cell: "-" where nothing was measured.
std::string cell(const FigureSummary& figure, double value, const char* format) {
  if (figure.count == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string formatPassRow(const PassRecord& record) {
  const char* scene = record.scene >= 0 && record.scene < kStatsScenes ? kSceneTable[record.scene].shortName : "none";
  char text[256];
  std::snprintf(text, sizeof text, "%lld,%u,%s,%s,", static_cast<long long>(record.frame), record.showMs, scene,
                record.figures.name.c_str());
  std::string row = text;
  if (record.figures.gpuMs >= 0) {
    std::snprintf(text, sizeof text, "%.3f", record.figures.gpuMs);
    row += text;
  }
  for (int64_t count : record.figures.counts) {
    row += ',';
    if (count >= 0) row += std::to_string(count);
  }
  row += '\n';
  return row;
}

std::vector<PassSummary> summarizePasses(const std::vector<PassRecord>& records) {
  std::vector<PassSummary> summaries;
  for (int scene = 0; scene < kStatsScenes; ++scene) {
    size_t first = summaries.size();
    for (const PassRecord& r : records) {
      if (r.scene != scene) continue;
      auto same = [&](const PassSummary& s) { return s.pass == r.figures.name; };
      auto found = std::find_if(summaries.begin() + static_cast<std::ptrdiff_t>(first), summaries.end(), same);
      if (found == summaries.end()) {
        PassSummary fresh;
        fresh.scene = scene;
        fresh.pass = r.figures.name;
        summaries.push_back(fresh);
        found = summaries.end() - 1;
      }
      ++found->frames;
      addFigure(found->gpu, r.figures.gpuMs);
      for (int k = 0; k < kPassCounts; ++k) addFigure(found->counts[k], static_cast<double>(r.figures.counts[k]));
    }
    // Each pass's share of the time all the scene's passes took, from the sums.
    double total = 0;
    for (size_t i = first; i < summaries.size(); ++i) total += summaries[i].gpu.mean;
    for (size_t i = first; i < summaries.size(); ++i) {
      PassSummary& s = summaries[i];
      if (s.gpu.count > 0 && total > 0) s.share = s.gpu.mean / total;
      finishFigure(s.gpu);
      for (FigureSummary& c : s.counts) finishFigure(c);
    }
  }
  return summaries;
}

std::string formatPassSummary(const std::vector<PassSummary>& summaries) {
  std::string text =
      "pass statistics                  frames  gpu mean   gpu max  share  vertices mean/max      primitives mean/max"
      "     fragments mean/max\n";
  for (const PassSummary& s : summaries) {
    std::string name = std::string(kSceneTable[s.scene].shortName) + " " + s.pass;
    char line[512];
    std::string share = s.share < 0 ? "-" : cell(s.gpu, s.share * 100, "%.1f%%");
    std::snprintf(line, sizeof line, "  %-30s %6d %9s %9s %6s", name.c_str(), s.frames,
                  cell(s.gpu, s.gpu.mean, "%.3f").c_str(), cell(s.gpu, s.gpu.max, "%.3f").c_str(), share.c_str());
    text += line;
    for (const FigureSummary& c : s.counts) {
      std::snprintf(line, sizeof line, " %11s/%-11s", cell(c, c.mean, "%.0f").c_str(), cell(c, c.max, "%.0f").c_str());
      text += line;
    }
    text += '\n';
  }
  return text;
}
