// Frame and per-pass statistics: the CSV rows and the per-scene summaries, and the recorder
// run over scenes against a fake driver that counts every query and answers it from what it saw.
#include "base/noop_gl.h"
#include "capture/frame_stats.h"
#include "capture/pass_stats.h"
#include "capture/stats_recorder.h"
#include "fresh_scenes.h"
#include "render/pass_probe.h"
#include "show/scene_table.h"
#include "show/show.h"
#include "show/virtual_clock.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The parts of text between separators; a closing separator leaves an empty last part.
std::vector<std::string> splitBy(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.push_back("");
  return parts;
}

TEST(FrameStatsCsv, RowFieldsAndCounters) {
  // Records as {frame, show_ms, scene, scene_ms, cpu_ms, gpu_ms}.
  FrameRecord r{7, 110250, 3, 250, 1.23456, 12.5, {}};
  r.counters.add("instances", 4096);
  r.counters.add("grid_spacing", 0.125);
  EXPECT_EQ(formatFrameRow(r), "7,110250,cubes,250,1.235,12.500,instances=4096 grid_spacing=0.125\n");
  // No GPU time and no counters: both fields empty, the commas kept.
  EXPECT_EQ(formatFrameRow(FrameRecord{0, 34000, 1, 0, 0.5, -1, {}}), "0,34000,tv,0,0.500,,\n");

  // Figures past the whole-number range print in six digits; names that would break the
  // row's fields are made harmless; the fifth figure does not fit and is dropped.
  FrameRecord odd{0, 0, 4, 0, 0, -1, {}};
  for (const auto& [name, value] : std::vector<std::pair<const char*, double>>{
           {"camera_x", -1.0 / 3.0}, {"bad name,x=1", 2}, {"active_curves", 1e20}, {"camera_y", 123456789.5},
           {"dropped", 1}})
    odd.counters.add(name, value);
  EXPECT_EQ(formatFrameRow(odd), "0,0,curves,0,0.000,,camera_x=-0.333333 bad_name_x_1=2 active_curves=1e+20 "
                                 "camera_y=1.23457e+08\n");
}

TEST(FrameStatsSummary, NearestRankPercentileAndPerSceneInTimelineOrderThenAll) {
  std::vector<double> values, twenty;
  for (int i = 100; i >= 1; --i) values.push_back(i);  // unsorted on purpose
  TimeSummary t = summarizeTimes(values);
  EXPECT_EQ(std::vector<double>({1.0 * t.count, t.mean, t.p95, t.max}), std::vector<double>({100, 50.5, 95, 100}));
  // With 20 values the 95th percentile is the 19th smallest, with 21 the 20th.
  for (int i = 1; i <= 20; ++i) twenty.push_back(i * 10);
  EXPECT_EQ(summarizeTimes(twenty).p95, 190);
  twenty.push_back(1000);
  EXPECT_EQ(summarizeTimes(twenty).p95, 200);
  EXPECT_EQ(summarizeTimes({3.5}).p95, 3.5);
  EXPECT_EQ(summarizeTimes({}).count, 0);
  EXPECT_TRUE(summarizeFrames({}).empty());
  // The forest's slowest frame is GPU-bound, the curves have no GPU times, and the television
  // comes before them though later in the records.
  const char* const expected =
      "frame statistics (ms)   frames  cpu mean   cpu p95   cpu max  gpu mean   gpu p95   gpu max  slowest at\n"
      "  forest                     2     15.00     20.00     20.00     17.50     30.00     30.00  0.100 s (30.00 ms)\n"
      "  tv                         1     50.00     50.00     50.00      2.00      2.00      2.00  34.000 s (50.00 ms)\n"
      "  curves                     2      2.00      3.00      3.00         -         -         -  130.100 s (3.00 ms)\n"
      "  all                        5     16.80     50.00     50.00     12.33     30.00     30.00  34.000 s (50.00 ms)\n";
  EXPECT_EQ(formatSummary(summarizeFrames({{0, 100, 0, 0, 10, 30, {}}, {0, 200, 0, 0, 20, 5, {}},
                                           {0, 130000, 4, 0, 1, -1, {}}, {0, 130100, 4, 0, 3, -1, {}},
                                           {0, 34000, 1, 0, 50, 2, {}}})), expected);
}

// The figures as CSV rows of the forest's frame 0.
std::string rows(const std::vector<PassFigures>& figures) {
  std::string text;
  for (const PassFigures& f : figures) {
    PassRecord r;
    r.figures = f;
    text += formatPassRow(r);
  }
  return text;
}

// A driver's queries, answered from what was drawn: a timestamp is the number of draws so far
// in microseconds, a statistics query counts the vertices (index count times instances), the
// primitives (a third of them) and one fragment shader run per draw issued while it was active.
// A frame's elapsed time tells whose it is: ((scene clock % 1000) / 100 + 1) * 10 microseconds,
// but a scene's first frame gets a driver's nonsense, a thousand seconds.
namespace fakegl {
struct Query {
  GLenum target = 0;
  uint64_t result = 0;
  int64_t endedInFrame = -1;  // the frame its result was fixed in
};
struct State {
  std::map<GLuint, Query> queries;  // generated and not deleted
  GLuint nextName = 1;
  std::map<GLenum, GLuint> active;  // running query per target
  uint64_t draws = 0;
  int64_t frame = 0;               // frames presented so far
  int calls = 0;                   // every query entry point called, generation and reads included
  int misuse = 0;                  // nesting, unknown names, results read before they are fixed
  int64_t minFramesBeforeRead = 1 << 30;
  const Show* show = nullptr;      // the show being captured
} f;

bool isCount(GLenum target) { return std::count(kPassCountTargets, kPassCountTargets + kPassCounts, target) > 0; }
// Adds a draw of count vertices, instances times, to the running statistics queries.
void draw(GLsizei count, GLsizei instances) {
  ++f.draws;
  uint64_t vertices = static_cast<uint64_t>(count) * static_cast<uint64_t>(instances);
  const uint64_t added[kPassCounts] = {vertices, vertices / 3, 1};
  for (int k = 0; k < kPassCounts; ++k)
    if (f.active.count(kPassCountTargets[k])) f.queries[f.active[kPassCountTargets[k]]].result += added[k];
}

// Points the query and draw entries of the do-nothing table at the fakes.
void install() {
  f = State();
  glGetShaderiv = noopGlReportSuccess;  // the scenes' shaders compile and link
  glGetProgramiv = noopGlReportSuccess;
  glGenQueries = [](GLsizei n, GLuint* ids) {
    ++f.calls;
    for (GLsizei i = 0; i < n; ++i) f.queries[ids[i] = f.nextName++] = Query();
  };
  glDeleteQueries = [](GLsizei n, const GLuint* ids) {
    ++f.calls;
    for (GLsizei i = 0; i < n; ++i) f.misuse += f.queries.erase(ids[i]) == 0;
  };
  glBeginQuery = [](GLenum target, GLuint id) {
    ++f.calls;
    if (f.active.count(target) || !f.queries.count(id) || (!isCount(target) && target != GL_TIME_ELAPSED)) ++f.misuse;
    f.queries[id] = Query{target, 0, -1};
    f.active[target] = id;
  };
  glEndQuery = [](GLenum target) {
    ++f.calls;
    if (!f.active.count(target)) ++f.misuse;
    Query& query = f.queries[f.active[target]];
    query.endedInFrame = f.frame;
    uint32_t sceneMs = f.show ? f.show->current->milliseconds : 0;
    if (target == GL_TIME_ELAPSED)
      query.result = sceneMs == 0 ? 1000000000000ull : ((sceneMs % 1000) / 100 + 1) * 10000ull;
    f.active.erase(target);
  };
  glQueryCounter = [](GLuint id, GLenum target) {
    ++f.calls;
    if (target != GL_TIMESTAMP || !f.queries.count(id)) ++f.misuse;
    f.queries[id] = Query{GL_TIMESTAMP, f.draws * 1000, f.frame};
  };
  glGetQueryiv = [](GLenum, GLenum pname, GLint* value) {
    ++f.calls;
    if (pname != GL_QUERY_COUNTER_BITS) ++f.misuse;
    *value = 64;
  };
  glGetQueryObjectui64v = [](GLuint id, GLenum pname, GLuint64* value) {
    ++f.calls;
    auto q = f.queries.find(id);
    bool fixed = pname == GL_QUERY_RESULT && q != f.queries.end() && q->second.endedInFrame >= 0;
    f.misuse += !fixed;
    if (fixed) f.minFramesBeforeRead = std::min(f.minFramesBeforeRead, f.frame - q->second.endedInFrame);
    *value = fixed ? q->second.result : 0;
  };
  glDrawArrays = [](GLenum, GLint, GLsizei count) { draw(count, 1); };
  glDrawElements = [](GLenum, GLsizei count, GLenum, const void*) { draw(count, 1); };
  glDrawRangeElements = [](GLenum, GLuint, GLuint, GLsizei count, GLenum, const void*) { draw(count, 1); };
  glDrawElementsInstanced = [](GLenum, GLsizei count, GLenum, const void*, GLsizei n) { draw(count, n); };
}
}  // namespace fakegl

// Captures the frames it is given, counting each frame for the fake driver.
class CountingCaptureHost : public VirtualClockHost {
 public:
  void onFrame(int64_t) override {}
  void present() override {
    ++fakegl::f.frame;
    VirtualClockHost::present();
  }
};

// What a capture left for the checks.
struct Capture {
  bool ok = false;
  std::string error;
  int64_t readLate = 0;          // fewest frames between a query's end and its read, before the end
  size_t live = 0, running = 0;  // queries alive when the show had run, and of them those running
};

// Runs the wanted frames at 10 fps from fromMs over fresh scenes through a recorder writing the
// given files; a capture that failed after its frames only releases the recorder's GL objects.
Capture capture(const std::string& statsPath, const std::string& passesPath, const std::vector<int64_t>& frames,
                uint32_t fromMs, bool failed = false) {
  Show show;
  makeFreshScenes();
  buildDemoTimeline(show);
  show.width = 64;
  show.height = 36;
  CountingCaptureHost host;
  FrameStatsRecorder recorder;
  Capture c;
  c.ok = recorder.open(statsPath, passesPath, c.error);
  if (c.ok) {
    host.begin(show, 10, frames, fromMs);
    fakegl::f.show = &show;
    runShow(show, recorder.wrap(show, host));
    c.readLate = fakegl::f.minFramesBeforeRead;  // the end reads the last frames at once
    c.live = fakegl::f.queries.size();
    c.running = fakegl::f.active.size();
    fakegl::f.show = nullptr;
    PendingOutputs pending;
    if (failed)
      recorder.releaseGl();
    else
      c.ok = host.nextWanted == frames.size() && recorder.finish(pending, c.error) && pending.commitAll(c.error);
  }
  // The scenes the show never made current are still owned here; the table's are gone.
  for (int i = show.position; i < kStatsScenes; ++i) delete show.timeline[i].scene;
  delete show.current;
  for (const SceneRow& row : kSceneTable) *row.object = nullptr;
  return c;
}

TEST(FrameStatsRecorder, GpuTimesReadBackLateAndMatchedToTheirFrames) {
  NoopGlScope noop;
  fakegl::install();
  TempFolder folder;
  const std::string path = folder.at("gpu.csv");
  std::vector<int64_t> frames;
  for (int k = 0; k < 12; ++k) frames.push_back(k);  // 1.2 s at 10 fps from 33.9 s, longer than the ring
  // A capture that fails after its frames never reaches finish: its queries, the one the end of
  // the show left running among them, must still go before the context does.
  Capture failed = capture(path, "", frames, 33900, true);
  ASSERT_TRUE(failed.ok) << failed.error;
  EXPECT_EQ(failed.running, 1u);
  EXPECT_TRUE(fakegl::f.queries.empty() && fakegl::f.active.empty());

  fakegl::install();
  Capture c = capture(path, "", frames, 33900);
  ASSERT_TRUE(c.ok) << c.error;
  EXPECT_EQ(c.live, static_cast<size_t>(kTimerRing));
  // While the show ran, no result was asked for sooner than the ring allows.
  EXPECT_EQ(c.readLate, kTimerRing);
  EXPECT_TRUE(fakegl::f.misuse == 0 && fakegl::f.queries.empty() && fakegl::f.active.empty());
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
}

TEST(PassStatistics, PlainCaptureIssuesNoQueryAndPassStatsNameEveryPassOncePerFrame) {
  NoopGlScope noop;
  fakegl::install();
  // Two captured frames at 10 fps in each scene, stills-like: 5 s, 40 s, 85 s, 112 s and 130 s.
  const std::vector<int64_t> frames = {50, 51, 400, 401, 850, 851, 1120, 1121, 1300, 1301};
  // Without the option: the same scenes and frames, and not one query call. (That steps which
  // draw nothing get rows of zero work, and drawing passes work, capture_pass_stats.sh checks.)
  Capture plain = capture("", "", frames, 0);
  EXPECT_TRUE(plain.ok && fakegl::f.draws > 0 && fakegl::f.calls == 0 && activePassProbe == nullptr) << plain.error;

  fakegl::install();
  TempFolder folder;
  const std::string path = folder.at("passes.csv");
  Capture c = capture("", path, frames, 0);
  ASSERT_TRUE(c.ok) << c.error;
  // No misuse, and every query deleted at the end.
  EXPECT_TRUE(fakegl::f.misuse == 0 && fakegl::f.queries.empty() && fakegl::f.active.empty());
  // Read back no sooner than the ring allows: the frame never waits for the GPU.
  EXPECT_EQ(c.readLate, kTimerRing);
  EXPECT_EQ(activePassProbe, nullptr);

  const std::map<std::string, std::vector<std::string>> passes = {
      {"forest", {"geometryPass", "occlusionPass", "depthOfFieldPass", "glowPass", "compositePass"}},
      {"tv", {"snowPass", "linesPass", "glowPass", "copyPass", "compositePass"}},
      {"pacman", {"worldPass"}},
      {"cubes", {"prepareInstances", "setUpCubeDrawing", "shadowPass", "lightPass", "tearDownCubeDrawing"}},
      {"curves", {"advanceSimulation", "placeStrokes", "strokePass", "smoothingPass", "greetingsPass", "finalPass"}},
  };
  std::vector<std::string> lines = splitBy(readFile(path), '\n');
  EXPECT_EQ(lines.at(0) + "\n", kPassStatsHeader);
  std::map<std::string, std::vector<std::string>> namesByFrame;  // "frame,show_ms,scene" -> passes in order
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    std::vector<std::string> f = splitBy(lines[i], ',');
    ASSERT_EQ(f.size(), 8u) << lines[i];
    namesByFrame[f[0] + "," + f[1] + "," + f[2]].push_back(f[3]);
    // Every figure known: the fake driver offers them all.
    for (int k = 4; k < 8; ++k) EXPECT_FALSE(f[k].empty()) << lines[i];
  }
  ASSERT_EQ(namesByFrame.size(), frames.size());
  for (const auto& frame : namesByFrame) {
    std::string scene = frame.first.substr(frame.first.rfind(',') + 1);
    EXPECT_EQ(frame.second, passes.at(scene)) << frame.first;
  }
}

TEST(PassStatistics, PassTimesAddUpToTheFrameAndRepeatedRunsAreSummed) {
  NoopGlScope noop;
  fakegl::install();
  // Measures one frame of passes into the probe's slot, as a scene's render() does.
  auto measure = [](PassProbe& probe, int slot, void (*passes)()) {
    activePassProbe = &probe;
    probe.beginFrame(slot);
    passes();
    probe.endFrame();
    activePassProbe = nullptr;
    ++fakegl::f.frame;
  };
  PassProbe probe;
  ASSERT_TRUE(probe.start(2));
  measure(probe, 1, [] {
    MEASURED_PASS(glDrawArrays(GL_TRIANGLES, 0, 6));
    for (int i = 0; i < 3; ++i) {
      MEASURED_PASS(glDrawElementsInstanced(GL_TRIANGLES, 36, GL_UNSIGNED_INT, nullptr, 2));
      MEASURED_PASS(glDrawArrays(GL_TRIANGLES, 0, 3));
    }
    MEASURED_PASS(static_cast<void>(0));  // draws nothing
  });
  // Passes by their function's name, in the order they first ran; the same function's runs in
  // a frame add up.
  EXPECT_EQ(rows(probe.collect(1)), "0,0,forest,glDrawArrays,0.004,15,5,4\n"
                                    "0,0,forest,glDrawElementsInstanced,0.003,216,72,3\n"
                                    "0,0,forest,static_cast<void>,0.000,0,0,0\n");
  // Once collected the slot holds nothing; an unknown slot neither.
  EXPECT_TRUE(probe.collect(1).empty());
  EXPECT_TRUE(probe.collect(5).empty());
  probe.stop();
  EXPECT_TRUE(fakegl::f.queries.empty() && fakegl::f.misuse == 0);

  // A driver with neither timestamps nor statistics: the passes are still named, figures unknown.
  clearGlEntryPoints();
  PassProbe bare;
  EXPECT_FALSE(bare.start(1));
  measure(bare, 0, [] { MEASURED_PASS(passName("x")); });
  EXPECT_EQ(rows(bare.collect(0)), "0,0,forest,passName,,,,\n");
}

TEST(PassStatistics, RowsLeaveUnknownFiguresEmptyAndTheSummaryGivesSharesOfTheScene) {
  EXPECT_EQ(formatPassRow(PassRecord{7, 112700, 3, {"shadowPass", 1.5, {36, 12, 0}}}),
            "7,112700,cubes,shadowPass,1.500,36,12,0\n");
  // Two frames of two passes in the cubes, one frame of the forest: timeline order whatever the
  // rows' order, a share of the time measured in the scene, "-" for what was never known.
  const std::vector<PassRecord> records = {
      {0, 0, 3, {"shadowPass", 1.0, {100, -1, -1}}}, {0, 0, 3, {"lightPass", 3.0, {100, -1, -1}}},
      {1, 0, 3, {"shadowPass", 2.0, {300, -1, -1}}}, {1, 0, 3, {"lightPass", -1, {300, -1, -1}}},  // no time
      {2, 0, 0, {"geometryPass", 5.0, {10, -1, -1}}}};
  EXPECT_EQ(formatPassSummary(summarizePasses(records)),
            "pass statistics                  frames  gpu mean   gpu max  share  vertices mean/max      "
            "primitives mean/max     fragments mean/max\n"
            "  forest geometryPass                 1     5.000     5.000 100.0%          10/10                    -/-"
            "                     -/-          \n"
            "  cubes shadowPass                    2     1.500     2.000  50.0%         200/300                   -/-"
            "                     -/-          \n"
            "  cubes lightPass                     2     3.000     3.000  50.0%         200/300                   -/-"
            "                     -/-          \n");
  EXPECT_TRUE(summarizePasses({}).empty());
}

}  // namespace
