// The timeline and main loop, driven by fake scenes and a scripted clock.
#include "shell/show.h"
#include "shell/virtual_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> events;  // what the fake scenes were asked to do, in order

class FakeScene : public Scene {
 public:
  std::string name;
  explicit FakeScene(std::string n, bool independent = false) : name(std::move(n)) {
    framesIndependent = independent;
  }
  ~FakeScene() override { events.push_back("destroy " + name); }
  void start() override { events.push_back("start " + name + " " + std::to_string(width) + "x" + std::to_string(height)); }
  void render() override {
    events.push_back("render " + name + " " + std::to_string(seconds) + " " + std::to_string(centiseconds));
  }
  void release() override { events.push_back("release " + name); }
};

// Plays back a list of ticks; quits at a chosen frame.
class ScriptedHost : public ShowHost {
 public:
  std::vector<uint32_t> ticksByFrame;
  int quitAtFrame = -1;
  int frame = 0;
  int presented = 0;
  bool pollQuit() override { return frame == quitAtFrame; }
  uint32_t ticks() override { return ticksByFrame[frame++]; }
  void present() override { ++presented; }
};

struct Fakes {
  FakeScene* scenes[5];
  Fakes() {
    const char* names[5] = {"forest", "tv", "pacman", "cubes", "curves"};
    for (int i = 0; i < 5; ++i) scenes[i] = new FakeScene(names[i]);
  }
  void timeline(Show& show) {
    buildTimeline(show, scenes[0], scenes[1], scenes[2], scenes[3], scenes[4]);
    show.width = 640;
    show.height = 360;
  }
};

TEST(MainLoop, ClockCountsFromTheFrameTheSceneBecameCurrent) {
  events.clear();
  Fakes fakes;
  Show show;
  fakes.timeline(show);
  ScriptedHost host;
  host.ticksByFrame = {250, 1484, 34010, 35244};
  host.quitAtFrame = 4;
  host.ticksByFrame.push_back(35300);
  EXPECT_EQ(runShow(show, host), FrameResult::Quit);
  std::vector<std::string> expected = {
      "start forest 640x360",
      "render forest 0.000000 0",
      "render forest 1.234000 123",  // 1234 ms after the scene's first frame
      "destroy forest",
      "start tv 640x360",
      "render tv 0.000000 0",
      "render tv 1.234000 123",
  };
  EXPECT_EQ(events, expected);
  EXPECT_EQ(host.presented, 4);
  delete show.current;
  for (int i = 2; i < 5; ++i) delete fakes.scenes[i];
}

TEST(MainLoop, StallSkipsTheTelevisionScene) {
  events.clear();
  Fakes fakes;
  Show show;
  fakes.timeline(show);
  ScriptedHost host;
  host.ticksByFrame = {0, 78500, 79000};
  host.quitAtFrame = 2;
  host.ticksByFrame.push_back(0);
  runShow(show, host);
  std::vector<std::string> expected = {
      "start forest 640x360", "render forest 0.000000 0",
      "destroy forest",       "start tv 640x360",
      "destroy tv",           "start pacman 640x360",
      "render pacman 0.000000 0",  // the clock starts in the frame of the switch, not at 78000
  };
  EXPECT_EQ(events, expected);
  EXPECT_EQ(show.current, fakes.scenes[2]);
  delete show.current;
  for (int i = 3; i < 5; ++i) delete fakes.scenes[i];
}

TEST(MainLoop, EscapeInTheFirstFrameStartsButDoesNotRender) {
  events.clear();
  Fakes fakes;
  Show show;
  fakes.timeline(show);
  ScriptedHost host;
  host.ticksByFrame = {5};
  host.quitAtFrame = 0;
  EXPECT_EQ(runShow(show, host), FrameResult::Quit);
  EXPECT_EQ(events, std::vector<std::string>{"start forest 640x360"});
  EXPECT_EQ(host.presented, 0);
  for (FakeScene* s : fakes.scenes) delete s;
}

TEST(MainLoop, EndsAt192000WithoutRenderingOrDestroyingTheLastScene) {
  events.clear();
  Fakes fakes;
  Show show;
  fakes.timeline(show);
  ScriptedHost host;
  host.ticksByFrame = {0, 130000, 191999, 192000};
  EXPECT_EQ(runShow(show, host), FrameResult::Ended);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), "render curves 61.999001 6199");
  EXPECT_EQ(show.current, fakes.scenes[4]);
  EXPECT_EQ(host.presented, 3);
  // No scene is released by the shell.
  for (const std::string& e : events) EXPECT_EQ(e.find("release"), std::string::npos);
  delete show.current;
}

TEST(MainLoop, FirstFrameAfterTheEndRunsNoScene) {
  events.clear();
  Fakes fakes;
  Show show;
  fakes.timeline(show);
  ScriptedHost host;
  host.ticksByFrame = {200000};
  EXPECT_EQ(runShow(show, host), FrameResult::Ended);
  // Every slot was missed: each scene is started and destroyed, the last one left alive.
  EXPECT_EQ(events.size(), 9u);
  EXPECT_EQ(events.back(), "start curves 640x360");
  EXPECT_EQ(host.presented, 0);
  delete show.current;
}

// Records the clock of every rendered frame for the virtual clock tests.
class RecordingHost : public VirtualClockHost {
 public:
  std::vector<std::pair<int64_t, std::string>> captured;
  void onFrame(int64_t frameIndex) override { captured.push_back({frameIndex, events.back()}); }
};

TEST(VirtualClock, FrameTicks) {
  EXPECT_EQ(frameTick(1, 60), 16u);  // floor, not rounding
  EXPECT_EQ(frameTick(2, 60), 33u);
  EXPECT_EQ(firstFrameAtOrAfter(17, 60), 2);  // frame 1 is at 16 ms
  EXPECT_EQ(firstFrameAtOrAfter(34000, 7), 238);
  EXPECT_EQ(frameTick(238, 7), 34000u);
  EXPECT_LT(frameTick(237, 7), 34000u);
}

// A capture that skips frames must hand over the same frames, with the same scene clocks,
// as a run over every frame from the start of the show.
TEST(VirtualClock, SkippingMatchesRenderingEveryFrame) {
  const int fps = 7;
  const std::vector<int64_t> wanted = {firstFrameAtOrAfter(1000, fps), firstFrameAtOrAfter(35500, fps),
                                       firstFrameAtOrAfter(80000, fps), firstFrameAtOrAfter(127000, fps),
                                       firstFrameAtOrAfter(127100, fps)};
  std::vector<std::pair<int64_t, std::string>> results[2];
  int64_t rendered[2];
  for (int skipping = 0; skipping < 2; ++skipping) {
    events.clear();
    FakeScene* scenes[5];
    const char* names[5] = {"forest", "tv", "pacman", "cubes", "curves"};
    // The television and curves fakes depend on earlier frames, the others do not.
    for (int i = 0; i < 5; ++i) scenes[i] = new FakeScene(names[i], skipping && i != 1 && i != 4);
    Show show;
    buildTimeline(show, scenes[0], scenes[1], scenes[2], scenes[3], scenes[4]);
    RecordingHost host;
    if (skipping) {
      host.begin(show, fps, wanted);
    } else {
      std::vector<int64_t> all;
      for (int64_t k = 0; k <= wanted.back(); ++k) all.push_back(k);
      host.begin(show, fps, all);
    }
    runShow(show, host);
    rendered[skipping] = host.framesRendered;
    for (auto& c : host.captured)
      if (std::find(wanted.begin(), wanted.end(), c.first) != wanted.end()) results[skipping].push_back(c);
    delete show.current;
  }
  EXPECT_EQ(results[0], results[1]);
  ASSERT_EQ(results[1].size(), wanted.size());
  EXPECT_EQ(results[1][2].second.rfind("render pacman 2.0", 0), 0u) << results[1][2].second;
  // The dependent television scene is rendered from its start; the others are skipped.
  EXPECT_LT(rendered[1], rendered[0] / 4);
  EXPECT_GT(rendered[1], (35500 - 34000) * fps / 1000);
}

}  // namespace

namespace {

TEST(VirtualClock, OriginShiftsTheGridAndAllowsEarlierFrames) {
  EXPECT_EQ(frameTick(0, 60, 100000), 100000u);
  EXPECT_EQ(frameTick(1, 60, 100000), 100016u);
  EXPECT_EQ(frameTick(-1, 60, 100000), 99983u);  // floor, not truncation
  EXPECT_EQ(firstFrameAtOrAfter(100000, 60, 100000), 0);
  EXPECT_EQ(firstFrameAtOrAfter(99983, 60, 100000), -1);
  EXPECT_EQ(firstFrameAtOrAfter(99984, 60, 100000), 0);
  EXPECT_EQ(firstFrameAtOrAfter(78000, 60, 100000), -1320);
  for (int64_t k = -500; k < 500; ++k) {
    uint32_t tick = frameTick(k, 24, 50005);
    EXPECT_EQ(firstFrameAtOrAfter(tick, 24, 50005), k) << k;
  }
}

}  // namespace

namespace {

// The frame on screen at a time is the last one whose tick is not after it: asking for
// 33.99 s at 60 fps gets the forest's last frame, not the television's first.
TEST(VirtualClock, FrameOnScreenAtATime) {
  EXPECT_EQ(lastFrameAtOrBefore(33990, 60), 2039);
  EXPECT_EQ(frameTick(2039, 60), 33983u);
  EXPECT_EQ(lastFrameAtOrBefore(34000, 60), 2040);  // a tick on the grid is its own frame
  EXPECT_LT(frameTick(lastFrameAtOrBefore(191990, 60), 60), kShowEndMs);
  EXPECT_EQ(lastFrameAtOrBefore(80049, 10, 80050), -1);
  for (int fps : {7, 24, 60, 1000}) {
    for (uint32_t ms = 33900; ms < 34100; ++ms) {
      int64_t k = lastFrameAtOrBefore(ms, fps, 50);
      EXPECT_LE(frameTick(k, fps, 50), ms) << fps << " " << ms;
      EXPECT_GT(frameTick(k + 1, fps, 50), ms) << fps << " " << ms;
    }
  }
}

// Runs the fakes over the given frames of a grid from origin and returns the clock each
// wanted frame was rendered with; frames from an earlier one are run but not kept.
std::vector<std::pair<int64_t, std::string>> renderFrames(const std::vector<int64_t>& frames,
                                                          const std::vector<int64_t>& keep, int fps,
                                                          uint32_t origin, bool skipping, int64_t* rendered) {
  events.clear();
  FakeScene* scenes[5];
  const char* names[5] = {"forest", "tv", "pacman", "cubes", "curves"};
  for (int i = 0; i < 5; ++i) scenes[i] = new FakeScene(names[i], skipping && i != 1 && i != 4);
  Show show;
  buildTimeline(show, scenes[0], scenes[1], scenes[2], scenes[3], scenes[4]);
  RecordingHost host;
  host.begin(show, fps, frames, origin);
  runShow(show, host);
  if (rendered) *rendered = host.framesRendered;
  std::vector<std::pair<int64_t, std::string>> kept;
  for (auto& c : host.captured)
    if (std::find(keep.begin(), keep.end(), c.first) != keep.end()) kept.push_back(c);
  delete show.current;
  return kept;
}

// A span whose start is off the frame grid: each scene's clock still counts from its own
// tick, so frame k shows show time origin + k / fps, the music's instant, exactly.
TEST(VirtualClock, OffGridOriginStartsEachSceneOnItsOwnTick) {
  const int fps = 10;
  const uint32_t origin = 77950;  // frames at 77950, 78050, ...: none at the switch to Pacman
  std::vector<int64_t> wanted = {0, 1, 2};
  auto captured = renderFrames(wanted, wanted, fps, origin, true, nullptr);
  std::vector<std::pair<int64_t, std::string>> expected = {
      {0, "render tv 43.950001 4395"},
      {1, "render pacman 0.050000 5"},  // 50 ms after 78000, not 0 at the first frame seen
      {2, "render pacman 0.150000 15"},
  };
  EXPECT_EQ(captured, expected);
}

// However the frames are reached (every frame from the show's start, or skipping ahead),
// an off-grid span hands over the same clocks.
TEST(VirtualClock, OffGridSkippingMatchesRenderingEveryFrame) {
  const int fps = 7;
  const uint32_t origin = 80050;
  const std::vector<int64_t> wanted = {0, 3, firstFrameAtOrAfter(110020, fps, origin),
                                       firstFrameAtOrAfter(127000, fps, origin)};
  std::vector<int64_t> all;
  for (int64_t k = firstFrameAtOrAfter(0, fps, origin); k <= wanted.back(); ++k) all.push_back(k);
  int64_t renderedAll = 0, renderedSkipping = 0;
  auto everyFrame = renderFrames(all, wanted, fps, origin, false, &renderedAll);
  auto skipping = renderFrames(wanted, wanted, fps, origin, true, &renderedSkipping);
  EXPECT_EQ(everyFrame, skipping);
  ASSERT_EQ(skipping.size(), wanted.size());
  EXPECT_EQ(skipping[0].second.rfind("render pacman 2.05", 0), 0u) << skipping[0].second;
  EXPECT_LT(renderedSkipping, renderedAll / 4);
}

}  // namespace
