// The timeline, the main loop and --from's seek, driven by fake scenes and a scripted clock.
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

// The five fakes on a timeline; with skipping, all but the television and curves (which
// depend on earlier frames) say their frames are independent.
struct FakeShow {
  Show show;
  FakeScene* scenes[5];
  explicit FakeShow(bool skipping = false) {
    events.clear();
    const char* names[5] = {"forest", "tv", "pacman", "cubes", "curves"};
    for (int i = 0; i < 5; ++i) scenes[i] = new FakeScene(names[i], skipping && i != 1 && i != 4);
    buildTimeline(show, scenes[0], scenes[1], scenes[2], scenes[3], scenes[4]);
    show.width = 640;
    show.height = 360;
  }
  // Starts part-way; the scenes before the one in force are never started.
  void seek(uint32_t ms) {
    seekShow(show, ms);
    for (int i = 0; i < show.position; ++i) delete scenes[i];
    events.clear();
  }
  ~FakeShow() {
    // Scenes the show never made current are still owned here.
    for (int i = show.position; i < 5; ++i) delete scenes[i];
    delete show.current;
  }
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

// Each case plays the ticks (the last frame's Escape at quitAt) after a --from seek.
TEST(MainLoop, StallsQuitAndSeeks) {
  struct Case {
    int64_t fromMs;  // -1: no seek
    std::vector<uint32_t> ticks;
    int quitAt, presented;
    std::vector<std::string> events;
  } cases[] = {
      // A stall skips the television; the clock starts in the frame of the switch, not at 78000.
      {-1, {0, 78500, 79000, 0}, 2, 2,
       {"start forest 640x360", "render forest 0.000000 0", "destroy forest", "start tv 640x360", "destroy tv",
        "start pacman 640x360", "render pacman 0.000000 0"}},
      // Escape in the first frame: started but not rendered.
      {-1, {5}, 0, 0, {"start forest 640x360"}},
      // --from: only the scene in force starts, its clock as if the show had run from 0 (the
      // cubes' first frame is 0.25 s late); the next switch counts from its own frame.
      {110000, {110250, 111500, 126040, 126540, 0}, 4, 4,
       {"start cubes 640x360", "render cubes 0.250000 25", "render cubes 1.500000 150", "destroy cubes",
        "start curves 640x360", "render curves 0.000000 0", "render curves 0.500000 50"}},
      {34000, {34000, 34010, 0}, 2, 2, {"start tv 640x360", "render tv 0.000000 0", "render tv 0.010000 1"}},
      {5000, {5120, 0}, 1, 1, {"start forest 640x360", "render forest 5.120000 512"}},
      // A first frame late enough to miss the next entry runs the stall rule from there.
      {125990, {126100, 0}, 1, 1,
       {"start cubes 640x360", "destroy cubes", "start curves 640x360", "render curves 0.100000 10"}},
  };
  for (const Case& c : cases) {
    FakeShow fake;
    if (c.fromMs >= 0) fake.seek(static_cast<uint32_t>(c.fromMs));
    ScriptedHost host;
    host.ticksByFrame = c.ticks;
    host.quitAtFrame = c.quitAt;
    EXPECT_EQ(runShow(fake.show, host), FrameResult::Quit);
    EXPECT_EQ(events, c.events) << c.fromMs;
    EXPECT_EQ(host.presented, c.presented);
  }
}

TEST(MainLoop, ScenesSwitchOnTheMusicsClockWhateverTheStartUpTook) {
  // The music starts when the host's tick is `startup`; the television belongs 34 s and
  // Pacman 78 s after that, not after the host's tick 0.
  for (uint32_t startup : {0u, 452u, 5000u}) {
    FakeShow fake;
    ScriptedHost host;
    // The first tick is read by startShowClock; Escape arrives in the frame of the last one.
    host.ticksByFrame = {startup,         startup + 18,    startup + 33999, startup + 34000, startup + 35234,
                         startup + 77999, startup + 78000, startup + 78010, startup + 78020};
    host.quitAtFrame = 8;
    startShowClock(fake.show, host);
    EXPECT_EQ(fake.show.startTick, startup);
    EXPECT_EQ(runShow(fake.show, host), FrameResult::Quit);
    // The forest's clock starts at its own first frame, 18 ms into the music.
    EXPECT_EQ(events, (std::vector<std::string>{
                          "start forest 640x360", "render forest 0.000000 0", "render forest 33.980999 3398",
                          "destroy forest", "start tv 640x360", "render tv 0.000000 0", "render tv 1.234000 123",
                          "render tv 43.999001 4399", "destroy tv", "start pacman 640x360",
                          "render pacman 0.000000 0", "render pacman 0.010000 1"}))
        << "start-up " << startup;
  }
}

TEST(MainLoop, EndsAt192000WithoutRenderingOrDestroyingTheLastScene) {
  FakeShow fake;
  ScriptedHost host;
  host.ticksByFrame = {0, 130000, 191999, 192000};
  EXPECT_EQ(runShow(fake.show, host), FrameResult::Ended);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), "render curves 61.999001 6199");
  EXPECT_EQ(fake.show.current, fake.scenes[4]);
  EXPECT_EQ(host.presented, 3);
  for (const std::string& e : events) EXPECT_EQ(e.find("release"), std::string::npos);  // the shell releases none

  // A first frame after the end: each scene is started and destroyed, the last one left alive.
  FakeShow late;
  ScriptedHost lateHost;
  lateHost.ticksByFrame = {200000};
  EXPECT_EQ(runShow(late.show, lateHost), FrameResult::Ended);
  EXPECT_EQ(events.size(), 9u);
  EXPECT_EQ(events.back(), "start curves 640x360");
  EXPECT_EQ(lateHost.presented, 0);
}

TEST(VirtualClock, FrameTicksOnAGridFromAnOrigin) {
  EXPECT_EQ(frameTick(1, 60), 16u);                 // floor, not rounding
  EXPECT_EQ(frameTick(-1, 60, 100000), 99983u);    // floor, not truncation
  EXPECT_EQ(firstFrameAtOrAfter(99984, 60, 100000), 0);
  for (int64_t k = -500; k < 500; ++k) EXPECT_EQ(firstFrameAtOrAfter(frameTick(k, 24, 50005), 24, 50005), k) << k;
}

// Records the clock of every rendered frame.
class RecordingHost : public VirtualClockHost {
 public:
  std::vector<std::pair<int64_t, std::string>> captured;
  void onFrame(int64_t frameIndex) override { captured.push_back({frameIndex, events.back()}); }
};

// Runs the fakes over the given frames of a grid from origin and returns the clock each
// kept frame was rendered with.
std::vector<std::pair<int64_t, std::string>> renderFrames(const std::vector<int64_t>& frames,
                                                          const std::vector<int64_t>& keep, int fps,
                                                          uint32_t origin, bool skipping, int64_t* rendered) {
  FakeShow fake(skipping);
  RecordingHost host;
  host.begin(fake.show, fps, frames, origin);
  runShow(fake.show, host);
  if (rendered) *rendered = host.framesRendered;
  std::vector<std::pair<int64_t, std::string>> kept;
  for (auto& c : host.captured)
    if (std::find(keep.begin(), keep.end(), c.first) != keep.end()) kept.push_back(c);
  return kept;
}

// A capture that skips frames must hand over the same frames, with the same scene clocks,
// as a run over every frame from the start of the show, on the grid or off it.
TEST(VirtualClock, SkippingMatchesRenderingEveryFrame) {
  const int fps = 7;
  for (uint32_t origin : {0u, 80050u}) {
    std::vector<int64_t> wanted = {firstFrameAtOrAfter(1000, fps, origin), firstFrameAtOrAfter(35500, fps, origin),
                                   firstFrameAtOrAfter(80000, fps, origin), firstFrameAtOrAfter(110020, fps, origin),
                                   firstFrameAtOrAfter(127000, fps, origin), firstFrameAtOrAfter(127100, fps, origin)};
    std::vector<int64_t> all;
    for (int64_t k = firstFrameAtOrAfter(0, fps, origin); k <= wanted.back(); ++k) all.push_back(k);
    int64_t renderedAll = 0, renderedSkipping = 0;
    auto everyFrame = renderFrames(all, wanted, fps, origin, false, &renderedAll);
    auto skipping = renderFrames(wanted, wanted, fps, origin, true, &renderedSkipping);
    EXPECT_EQ(everyFrame, skipping) << origin;
    ASSERT_EQ(skipping.size(), wanted.size());
    EXPECT_EQ(skipping[2].second.rfind("render pacman 2.0", 0), 0u) << skipping[2].second;
    // The dependent television scene is rendered from its start; the others are skipped.
    EXPECT_LT(renderedSkipping, renderedAll / 4) << origin;
  }
}

}  // namespace
