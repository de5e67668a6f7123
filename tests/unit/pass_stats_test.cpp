// Per-pass statistics: the show's real scenes run against a fake driver that counts every
// query and answers them from the draws it saw, with and without --pass-stats; the CSV rows
// and the per-scene summary.
#include "capture/pass_stats.h"
#include "capture/stats_recorder.h"
#include "fresh_scenes.h"
#include "render/pass_probe.h"
#include "base/noop_gl.h"
#include "show/scene_table.h"
#include "show/show.h"
#include "show/virtual_clock.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A driver's queries, answered from what was drawn: a timestamp is the number of draws so far
// in microseconds, a statistics query counts the vertices (index count times instances), the
// primitives (a third of them) and one fragment shader run per draw issued while it was active.
namespace fakegl {
struct Query {
  GLenum target = 0;
  uint64_t result = 0;
  int64_t endedInFrame = -1;  // the frame its result was fixed in
};
struct State {
  std::map<GLuint, Query> queries;
  GLuint nextName = 1;
  std::map<GLenum, GLuint> active;  // running query per target
  uint64_t draws = 0;
  int64_t frame = 0;               // frames presented so far
  int calls = 0;                   // every query entry point called, generation and reads included
  int misuse = 0;                  // nesting, unknown names, results read before they are fixed
  int64_t minFramesBeforeRead = 1 << 30;
} f;

bool isCount(GLenum target) {
  for (GLenum t : kPassCountTargets)
    if (t == target) return true;
  return false;
}
void APIENTRY genQueries(GLsizei n, GLuint* ids) {
  ++f.calls;
  for (GLsizei i = 0; i < n; ++i) f.queries[ids[i] = f.nextName++] = Query();
}
void APIENTRY deleteQueries(GLsizei n, const GLuint* ids) {
  ++f.calls;
  for (GLsizei i = 0; i < n; ++i)
    if (f.queries.erase(ids[i]) == 0) ++f.misuse;
}
void APIENTRY beginQuery(GLenum target, GLuint id) {
  ++f.calls;
  if (f.active.count(target) || !f.queries.count(id) || (!isCount(target) && target != GL_TIME_ELAPSED)) ++f.misuse;
  f.queries[id] = Query{target, 0, -1};
  f.active[target] = id;
}
void APIENTRY endQuery(GLenum target) {
  ++f.calls;
  if (!f.active.count(target)) ++f.misuse;
  f.queries[f.active[target]].endedInFrame = f.frame;
  f.active.erase(target);
}
void APIENTRY queryCounter(GLuint id, GLenum target) {
  ++f.calls;
  if (target != GL_TIMESTAMP || !f.queries.count(id)) ++f.misuse;
  f.queries[id] = Query{GL_TIMESTAMP, f.draws * 1000, f.frame};
}
void APIENTRY getQueryiv(GLenum, GLenum, GLint* value) {
  ++f.calls;
  *value = 64;
}
void APIENTRY getQueryObjectui64v(GLuint id, GLenum pname, GLuint64* value) {
  ++f.calls;
  auto q = f.queries.find(id);
  if (pname != GL_QUERY_RESULT || q == f.queries.end() || q->second.endedInFrame < 0) {
    ++f.misuse;
    *value = 0;
    return;
  }
  f.minFramesBeforeRead = std::min(f.minFramesBeforeRead, f.frame - q->second.endedInFrame);
  *value = q->second.result;
}
// Adds a draw of count vertices, instances times, to the running statistics queries.
void draw(GLsizei count, GLsizei instances) {
  ++f.draws;
  uint64_t vertices = static_cast<uint64_t>(count) * static_cast<uint64_t>(instances);
  const uint64_t added[kPassCounts] = {vertices, vertices / 3, 1};
  for (int k = 0; k < kPassCounts; ++k) {
    auto running = f.active.find(kPassCountTargets[k]);
    if (running != f.active.end()) f.queries[running->second].result += added[k];
  }
}
void APIENTRY drawArrays(GLenum, GLint, GLsizei count) { draw(count, 1); }
void APIENTRY drawElements(GLenum, GLsizei count, GLenum, const void*) { draw(count, 1); }
void APIENTRY drawRangeElements(GLenum, GLuint, GLuint, GLsizei count, GLenum, const void*) { draw(count, 1); }
void APIENTRY drawElementsInstanced(GLenum, GLsizei count, GLenum, const void*, GLsizei n) { draw(count, n); }

// Points the query and draw entries of the do-nothing table at the fakes.
void install() {
  f = State();
  glGenQueries = genQueries;
  glDeleteQueries = deleteQueries;
  glBeginQuery = beginQuery;
  glEndQuery = endQuery;
  glQueryCounter = queryCounter;
  glGetQueryiv = getQueryiv;
  glGetQueryObjectui64v = getQueryObjectui64v;
  glDrawArrays = drawArrays;
  glDrawElements = drawElements;
  glDrawRangeElements = drawRangeElements;
  glDrawElementsInstanced = drawElementsInstanced;
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

// Fresh scene objects on the show's timeline, as the capture tool makes them.
void freshScenes(Show& show) {
  makeFreshScenes();
  buildDemoTimeline(show);
  show.width = 64;
  show.height = 36;
}

// Deletes what the show holds and the scenes it never reached.
void dropScenes(Show& show) {
  for (int i = show.position; i < kStatsScenes; ++i) delete show.timeline[i].scene;
  delete show.current;
  for (const SceneRow& row : kSceneTable) *row.object = nullptr;
}

// Two captured frames at 10 fps in each scene, stills-like: 5 s, 40 s, 85 s, 112 s and 130 s.
const std::vector<int64_t> kFramesOfEveryScene = {50, 51, 400, 401, 850, 851, 1120, 1121, 1300, 1301};

int64_t readLateWhileRunning = 0;  // fewest frames between a query's end and its read, before the end

// Runs the whole show's wanted frames through a recorder opened with the given files.
void capture(const std::string& statsPath, const std::string& passesPath, std::string& error, bool& ok) {
  Show show;
  freshScenes(show);
  CountingCaptureHost host;
  FrameStatsRecorder recorder;
  ok = recorder.open(statsPath, passesPath, error);
  if (!ok) return dropScenes(show);
  host.begin(show, 10, kFramesOfEveryScene);
  runShow(show, recorder.wrap(show, host));
  readLateWhileRunning = fakegl::f.minFramesBeforeRead;  // the end reads the last frames at once
  PendingOutputs pending;
  ok = host.nextWanted == kFramesOfEveryScene.size() && recorder.finish(pending, error) && pending.commitAll(error);
  dropScenes(show);
}

std::vector<std::string> splitBy(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

TEST(PassStatistics, PlainCaptureIssuesNoQueryAndPassStatsNameEveryPassOncePerFrame) {
  NoopGlScope noop;
  glGetShaderiv = noopGlReportSuccess;
  glGetProgramiv = noopGlReportSuccess;
  fakegl::install();
  std::string error;
  bool ok = false;
  // Without the option: the same scenes and frames, and not one query call.
  capture("", "", error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_GT(fakegl::f.draws, 0u);
  EXPECT_EQ(fakegl::f.calls, 0);
  EXPECT_EQ(activePassProbe, nullptr);

  fakegl::install();
  TempFolder folder;
  const std::string path = folder.at("passes.csv");
  capture("", path, error, ok);
  ASSERT_TRUE(ok) << error;
  EXPECT_GT(fakegl::f.calls, 0);
  EXPECT_EQ(fakegl::f.misuse, 0);
  EXPECT_TRUE(fakegl::f.queries.empty());  // every query deleted at the end
  EXPECT_TRUE(fakegl::f.active.empty());
  // Read back no sooner than the ring allows: the frame never waits for the GPU.
  EXPECT_GE(readLateWhileRunning, kTimerRing - 1);
  EXPECT_EQ(activePassProbe, nullptr);

  const std::map<std::string, std::vector<std::string>> passes = {
      {"forest", {"geometryPass", "occlusionPass", "depthOfFieldPass", "glowPass", "compositePass"}},
      {"tv", {"snowPass", "linesPass", "glowPass", "copyPass", "compositePass"}},
      {"pacman", {"worldPass"}},
      {"cubes", {"prepareInstances", "setUpCubeDrawing", "shadowPass", "lightPass", "tearDownCubeDrawing"}},
      {"curves", {"advanceSimulation", "placeStrokes", "strokePass", "smoothingPass", "greetingsPass", "finalPass"}},
  };
  std::vector<std::string> lines = splitBy(readFile(path), '\n');
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0] + "\n", kPassStatsHeader);
  std::map<std::string, std::vector<std::string>> namesByFrame;  // "frame,show_ms,scene" -> passes in order
  std::map<std::string, int64_t> vertices;                       // pass -> summed over the capture
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> f = splitBy(lines[i], ',');
    ASSERT_EQ(f.size(), 8u) << lines[i];
    namesByFrame[f[0] + "," + f[1] + "," + f[2]].push_back(f[3]);
    // Every figure known: the fake driver offers them all.
    for (int k = 4; k < 8; ++k) EXPECT_FALSE(f[k].empty()) << lines[i];
    vertices[f[2] + " " + f[3]] += std::stoll(f[5]);
  }
  ASSERT_EQ(namesByFrame.size(), kFramesOfEveryScene.size());
  for (const auto& frame : namesByFrame) {
    std::string scene = frame.first.substr(frame.first.rfind(',') + 1);
    ASSERT_TRUE(passes.count(scene)) << frame.first;
    EXPECT_EQ(frame.second, passes.at(scene)) << frame.first;
  }
  // Steps that draw nothing still get their rows, with zero work; drawing passes have work.
  EXPECT_EQ(vertices["curves advanceSimulation"], 0);
  EXPECT_EQ(vertices["cubes setUpCubeDrawing"], 0);
  EXPECT_GT(vertices["cubes shadowPass"], 0);
  EXPECT_GT(vertices["forest geometryPass"], 0);
}

TEST(PassStatistics, PassTimesAddUpToTheFrameAndRepeatedRunsAreSummed) {
  NoopGlScope noop;
  fakegl::install();
  PassProbe probe;
  ASSERT_TRUE(probe.start(2));
  EXPECT_TRUE(probe.timestamps && probe.statistics);
  activePassProbe = &probe;
  probe.beginFrame(1);
  MEASURED_PASS(fakegl::drawArrays(GL_TRIANGLES, 0, 6));
  for (int i = 0; i < 3; ++i) {
    MEASURED_PASS(fakegl::drawElementsInstanced(GL_TRIANGLES, 36, GL_UNSIGNED_INT, nullptr, 2));
    MEASURED_PASS(fakegl::drawArrays(GL_TRIANGLES, 0, 3));
  }
  MEASURED_PASS(static_cast<void>(0));  // draws nothing
  probe.endFrame();
  activePassProbe = nullptr;
  ++fakegl::f.frame;
  std::vector<PassFigures> figures = probe.collect(1);
  ASSERT_EQ(figures.size(), 3u);
  // Passes by their function's name, in the order they first ran; the same function's runs in
  // a frame add up.
  EXPECT_EQ(figures[0].name, "fakegl::drawArrays");
  EXPECT_EQ(figures[1].name, "fakegl::drawElementsInstanced");
  EXPECT_EQ(figures[2].name, "static_cast<void>");
  EXPECT_EQ(figures[0].counts[0], 6 + 3 * 3);
  EXPECT_EQ(figures[0].counts[1], 2 + 3);
  EXPECT_EQ(figures[0].counts[2], 4);
  EXPECT_EQ(figures[1].counts[0], 3 * 72);
  EXPECT_DOUBLE_EQ(figures[0].gpuMs, 0.004);
  EXPECT_DOUBLE_EQ(figures[1].gpuMs, 0.003);
  EXPECT_DOUBLE_EQ(figures[2].gpuMs, 0.0);
  for (int k = 0; k < kPassCounts; ++k) EXPECT_EQ(figures[2].counts[k], 0);
  // Once collected the slot holds nothing; an unknown slot neither.
  EXPECT_TRUE(probe.collect(1).empty());
  EXPECT_TRUE(probe.collect(5).empty());
  probe.stop();
  EXPECT_TRUE(fakegl::f.queries.empty());
  EXPECT_EQ(fakegl::f.misuse, 0);

  // A driver with neither timestamps nor statistics: the passes are still named, figures unknown.
  clearGlEntryPoints();
  PassProbe bare;
  EXPECT_FALSE(bare.start(1));
  activePassProbe = &bare;
  bare.beginFrame(0);
  MEASURED_PASS(passName("x"));
  bare.endFrame();
  activePassProbe = nullptr;
  figures = bare.collect(0);
  ASSERT_EQ(figures.size(), 1u);
  EXPECT_EQ(figures[0].name, "passName");
  EXPECT_LT(figures[0].gpuMs, 0);
  EXPECT_LT(figures[0].counts[2], 0);
}

TEST(PassStatistics, RowsLeaveUnknownFiguresEmptyAndTheSummaryGivesSharesOfTheScene) {
  PassRecord known;
  known.frame = 7;
  known.showMs = 112700;
  known.scene = 3;
  known.figures.name = "shadowPass";
  known.figures.gpuMs = 1.5;
  known.figures.counts[0] = 36;
  known.figures.counts[1] = 12;
  known.figures.counts[2] = 0;
  EXPECT_EQ(formatPassRow(known), "7,112700,cubes,shadowPass,1.500,36,12,0\n");
  PassRecord unknown = known;
  unknown.figures.gpuMs = -1;
  for (int64_t& c : unknown.figures.counts) c = -1;
  EXPECT_EQ(formatPassRow(unknown), "7,112700,cubes,shadowPass,,,,\n");

  // Two frames of two passes in the cubes, one frame of the forest.
  std::vector<PassRecord> records;
  auto add = [&](int64_t frame, int scene, const char* pass, double ms, int64_t vertices) {
    PassRecord r;
    r.frame = frame;
    r.scene = scene;
    r.figures.name = pass;
    r.figures.gpuMs = ms;
    r.figures.counts[0] = vertices;
    records.push_back(r);
  };
  add(0, 3, "shadowPass", 1.0, 100);
  add(0, 3, "lightPass", 3.0, 100);
  add(1, 3, "shadowPass", 2.0, 300);
  add(1, 3, "lightPass", -1, 300);  // no time for this one
  add(2, 0, "geometryPass", 5.0, 10);
  std::vector<PassSummary> s = summarizePasses(records);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].scene, 0);  // timeline order, whatever the rows' order
  EXPECT_EQ(s[0].pass, "geometryPass");
  EXPECT_DOUBLE_EQ(s[0].share, 1.0);
  EXPECT_EQ(s[1].pass, "shadowPass");
  EXPECT_EQ(s[1].frames, 2);
  EXPECT_DOUBLE_EQ(s[1].gpu.mean, 1.5);
  EXPECT_DOUBLE_EQ(s[1].gpu.max, 2.0);
  EXPECT_DOUBLE_EQ(s[1].share, 0.5);  // 3 of the 6 ms measured in the cubes
  EXPECT_DOUBLE_EQ(s[1].counts[0].mean, 200);
  EXPECT_DOUBLE_EQ(s[1].counts[0].max, 300);
  EXPECT_EQ(s[1].counts[1].count, 0);  // never known
  EXPECT_EQ(s[2].gpu.count, 1);
  EXPECT_DOUBLE_EQ(s[2].share, 0.5);
  std::vector<std::string> lines = splitBy(formatPassSummary(s), '\n');
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[2].find("cubes shadowPass"), std::string::npos);
  EXPECT_NE(lines[2].find("50.0%"), std::string::npos);
  EXPECT_NE(lines[2].find("200/300"), std::string::npos);
  EXPECT_NE(lines[2].find(" -/-"), std::string::npos);
  EXPECT_TRUE(summarizePasses({}).empty());
}

}  // namespace
