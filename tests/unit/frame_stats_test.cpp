// Frame statistics: CSV rows, the per-scene summary, and the recorder run over fake scenes with
// a scripted stand-in for the driver's timer queries.
#include "base/gl.h"
#include "capture/frame_stats.h"
#include "capture/stats_recorder.h"
#include "show/show.h"
#include "show/virtual_clock.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> splitBy(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

FrameRecord makeRecord(int scene, uint32_t showMs, double cpu, double gpu) {
  FrameRecord r;
  r.scene = scene;
  r.showMs = showMs;
  r.cpuMs = cpu;
  r.gpuMs = gpu;
  return r;
}

TEST(FrameStatsCsv, RowFieldsAndCounters) {
  FrameRecord r = makeRecord(3, 110250, 1.23456, 12.5);
  r.frame = 7;
  r.sceneMs = 250;
  r.counters.add("instances", 4096);
  r.counters.add("grid_spacing", 0.125);
  EXPECT_EQ(formatFrameRow(r), "7,110250,cubes,250,1.235,12.500,instances=4096 grid_spacing=0.125\n");
  // No GPU time and no counters: both fields empty, the commas kept.
  EXPECT_EQ(formatFrameRow(makeRecord(1, 34000, 0.5, -1)), "0,34000,tv,0,0.500,,\n");

  // Figures past the whole-number range print in six digits; names that would break the
  // row's fields are made harmless; the fifth figure does not fit and is dropped.
  FrameRecord odd = makeRecord(4, 0, 0, -1);
  odd.counters.add("camera_x", -1.0 / 3.0);
  odd.counters.add("bad name,x=1", 2);
  odd.counters.add("active_curves", 1e20);
  odd.counters.add("camera_y", 123456789.5);
  odd.counters.add("dropped", 1);
  EXPECT_EQ(formatFrameRow(odd), "0,0,curves,0,0.000,,camera_x=-0.333333 bad_name_x_1=2 active_curves=1e+20 "
                                 "camera_y=1.23457e+08\n");
}

TEST(FrameStatsSummary, NearestRankPercentileAndPerSceneInTimelineOrderThenAll) {
  std::vector<double> values, twenty;
  for (int i = 100; i >= 1; --i) values.push_back(i);  // unsorted on purpose
  TimeSummary t = summarizeTimes(values);
  EXPECT_EQ(t.count, 100);
  EXPECT_DOUBLE_EQ(t.mean, 50.5);
  EXPECT_EQ(t.p95, 95);
  EXPECT_EQ(t.max, 100);
  // With 20 values the 95th percentile is the 19th smallest, with 21 the 20th.
  for (int i = 1; i <= 20; ++i) twenty.push_back(i * 10);
  EXPECT_EQ(summarizeTimes(twenty).p95, 190);
  twenty.push_back(1000);
  EXPECT_EQ(summarizeTimes(twenty).p95, 200);
  EXPECT_EQ(summarizeTimes({3.5}).p95, 3.5);
  EXPECT_EQ(summarizeTimes({}).count, 0);

  std::vector<SceneSummary> s = summarizeFrames({
      makeRecord(0, 100, 10, 30),  // forest: its slowest frame is GPU-bound
      makeRecord(0, 200, 20, 5),
      makeRecord(4, 130000, 1, -1),  // curves without GPU times
      makeRecord(4, 130100, 3, -1),
      makeRecord(1, 34000, 50, 2),  // tv, listed before curves though later in the records
  });
  ASSERT_EQ(s.size(), 4u);
  const int scenes[4] = {0, 1, 4, -1}, frames[4] = {2, 1, 2, 5}, gpuCounts[4] = {2, 1, 0, 3};
  const uint32_t slowest[4] = {100, 34000, 130100, 34000};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s[i].scene, scenes[i]);
    EXPECT_EQ(s[i].frames, frames[i]) << i;
    EXPECT_EQ(s[i].gpu.count, gpuCounts[i]) << i;
    EXPECT_EQ(s[i].slowestShowMs, slowest[i]) << i;
  }
  EXPECT_DOUBLE_EQ(s[0].cpu.mean, 15);
  EXPECT_DOUBLE_EQ(s[0].slowestMs, 30);
  EXPECT_DOUBLE_EQ(s[3].cpu.max, 50);

  // The scene lines themselves are checked on a capture's stderr by capture_stats.sh.
  std::vector<std::string> lines = splitBy(formatSummary(s), '\n');
  ASSERT_EQ(lines.size(), 6u);  // header, four rows, the empty rest after the last newline
  EXPECT_NE(lines[3].find("curves"), std::string::npos);
  EXPECT_NE(lines[3].find(" - "), std::string::npos);  // no GPU time measured
  EXPECT_NE(lines[4].find("34.000 s (50.00 ms)"), std::string::npos);
  EXPECT_TRUE(summarizeFrames({}).empty());
}

// A scene that notes its clock for the fake queries; each render takes a millisecond, so the
// GPU times below it are plausible.
uint32_t renderedSceneMs = 0;
class ClockScene : public Scene {
 public:
  void start() override {}
  void render() override {
    renderedSceneMs = milliseconds;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void release() override {}
};

// Captures the span it is given and does nothing with the pictures.
class NullCaptureHost : public VirtualClockHost {
 public:
  void onFrame(int64_t) override {}
};

// A scripted stand-in for a driver's timer queries. A query's result tells whose time it is:
// ((scene clock % 1000) / 100 + 1) * 10 microseconds, below the millisecond each frame takes;
// the television's first frame gets a driver's nonsense, a thousand seconds.
namespace fakegl {
struct State {
  std::map<GLuint, uint64_t> resultNs;  // by query name
  std::map<GLuint, int> endedAt;        // ends counted when the query ended
  GLuint active = 0;                    // query running; 0 when none
  int ends = 0;                         // queries ended so far
  int reads = 0;                        // results read
  int minFramesBeforeRead = 1 << 30;    // fewest frames between a query's end and its read
  int misuse = 0;                       // nested or unmatched begin/end, bad pnames
  int live = 0;                         // query names generated and not deleted
  GLuint nextName = 1;
} f;

void genQueries(GLsizei n, GLuint* ids) {
  for (int i = 0; i < n; ++i) ids[i] = f.nextName++;
  f.live += n;
}
void deleteQueries(GLsizei n, const GLuint*) { f.live -= n; }
void beginQuery(GLenum target, GLuint id) {
  if (target != GL_TIME_ELAPSED || f.active != 0 || id == 0) ++f.misuse;
  f.active = id;
}
void endQuery(GLenum target) {
  if (target != GL_TIME_ELAPSED || f.active == 0) ++f.misuse;
  f.resultNs[f.active] = renderedSceneMs == 0 ? 1000000000000ull : ((renderedSceneMs % 1000) / 100 + 1) * 10000ull;
  f.endedAt[f.active] = ++f.ends;
  f.active = 0;
}
void getQueryiv(GLenum target, GLenum pname, GLint* value) {
  if (target != GL_TIME_ELAPSED || pname != GL_QUERY_COUNTER_BITS) ++f.misuse;
  *value = 64;
}
void getQueryObjectui64v(GLuint id, GLenum pname, GLuint64* value) {
  if (pname != GL_QUERY_RESULT || !f.endedAt.count(id)) ++f.misuse;
  ++f.reads;
  f.minFramesBeforeRead = std::min(f.minFramesBeforeRead, f.ends - f.endedAt[id]);
  *value = f.resultNs[id];
}
GLenum getError() { return GL_NO_ERROR; }

void install() {
  f = State();
  clearGlEntryPoints();
  glGenQueries = genQueries;
  glDeleteQueries = deleteQueries;
  glBeginQuery = beginQuery;
  glEndQuery = endQuery;
  glGetQueryiv = getQueryiv;
  glGetQueryObjectui64v = getQueryObjectui64v;
  glGetError = getError;
}
}  // namespace fakegl

TEST(FrameStatsRecorder, GpuTimesReadBackLateAndMatchedToTheirFrames) {
  fakegl::install();
  EXPECT_TRUE(timerQueriesOffered());
  TempFolder folder;
  std::string path = folder.at("gpu.csv"), error;
  Show show;
  NullCaptureHost host;
  std::vector<int64_t> frames;
  for (int k = 0; k < 12; ++k) frames.push_back(k);  // 1.2 s at 10 fps from 33.9 s, longer than the ring
  // Runs the span through a fresh show of clock scenes.
  auto run = [&](FrameStatsRecorder& recorder) {
    Scene* scenes[kSceneCount];
    for (Scene*& scene : scenes) scene = new ClockScene;
    show = Show();
    buildTimeline(show, scenes);
    show.width = 64;
    show.height = 36;
    ASSERT_TRUE(recorder.open(path, "", error)) << error;
    host.begin(show, 10, frames, 33900);
    runShow(show, recorder.wrap(show, host));
  };
  // A capture that fails after its frames never reaches finish: its queries, the one the
  // end of the show left running among them, must still go before the context does.
  {
    FrameStatsRecorder failed;
    run(failed);
    EXPECT_NE(fakegl::f.active, 0u);
    failed.releaseGl();
    EXPECT_EQ(fakegl::f.live, 0);
    EXPECT_EQ(fakegl::f.active, 0u);
    for (int i = show.position; i < kStatsScenes; ++i) delete show.timeline[i].scene;
    delete show.current;
  }
  fakegl::install();
  FrameStatsRecorder recorder;
  run(recorder);
  EXPECT_EQ(fakegl::f.live, kTimerRing);
  // While the show ran, no result was asked for sooner than the ring allows.
  EXPECT_GT(fakegl::f.reads, 0);
  EXPECT_GE(fakegl::f.minFramesBeforeRead, kTimerRing - 1);
  PendingOutputs pending;
  ASSERT_TRUE(recorder.finish(pending, error) && pending.commitAll(error)) << error;
  EXPECT_EQ(fakegl::f.misuse, 0);
  EXPECT_EQ(fakegl::f.live, 0);
  EXPECT_EQ(fakegl::f.active, 0u);

  std::vector<std::string> lines = splitBy(readFile(path), '\n');
  ASSERT_EQ(lines.size(), 14u);
  for (int k = 0; k < 12; ++k) {
    std::vector<std::string> f = splitBy(lines[k + 1], ',');
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[0] + "," + f[1], std::to_string(k) + "," + std::to_string(33900 + 100 * k));
    uint32_t sceneMs = static_cast<uint32_t>(std::stoul(f[3]));
    EXPECT_EQ(sceneMs, k == 0 ? 33900u : 100u * (k - 1));  // the capture's clocks count from the entries
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.3f", ((sceneMs % 1000) / 100 + 1) * 0.01);
    if (k == 1) expected[0] = '\0';  // the impossible figure is left out
    EXPECT_EQ(f[5], expected) << lines[k + 1];
  }
  // Scenes the show never made current are still owned here.
  for (int i = show.position; i < kStatsScenes; ++i) delete show.timeline[i].scene;
  delete show.current;
  clearGlEntryPoints();
}

}  // namespace
