// The scene table's timeline, the main loop and --from's seek, the loop driven by fake scenes
// and a scripted clock.
#include "base/noop_gl.h"
#include "show/show.h"
#include "show/virtual_clock.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

// The demo's timeline holds the table's objects (the names and times of the rows the main
// loop's cases below check), and each row makes objects of its own scene's class.
TEST(SceneTable, TheDemosTimelineHoldsTheRowsObjectsAndEachRowMakesItsOwnClass) {
  NoopGlScope noop;  // a scene's destructor releases its GL objects
  Show show;
  buildDemoTimeline(show);
  EXPECT_EQ(show.position, 0);
  EXPECT_EQ(show.timeline[kSceneCount].scene, nullptr);
  std::set<std::string> classes;
  for (int i = 0; i < kSceneCount; ++i) {
    const SceneRow& row = kSceneTable[i];
    ASSERT_NE(*row.object, nullptr) << row.shortName;
    EXPECT_EQ(show.timeline[i].scene, *row.object) << i;
    Scene* made = row.make();
    EXPECT_NE(made, *row.object) << row.shortName;
    EXPECT_EQ(typeid(*made), typeid(**row.object)) << row.shortName;
    classes.insert(typeid(*made).name());
    delete made;
  }
  EXPECT_EQ(classes.size(), static_cast<size_t>(kSceneCount));
}

std::vector<std::string> events;  // what the fake scenes were asked to do, in order

class FakeScene : public Scene {
 public:
  std::string name;
  explicit FakeScene(std::string n) : name(std::move(n)) {}
  ~FakeScene() override { events.push_back("destroy " + name); }
  void start() override { events.push_back("start " + name + " " + std::to_string(width) + "x" + std::to_string(height)); }
  void render() override {
    events.push_back("render " + name + " " + std::to_string(seconds) + " " + std::to_string(centiseconds));
  }
  void release() override { events.push_back("release " + name); }
};

// A fake for each scene of the table, named as its row, on the show's timeline.
struct FakeShow {
  Show show;
  Scene* scenes[kSceneCount];
  FakeShow() {
    events.clear();
    for (int i = 0; i < kSceneCount; ++i) scenes[i] = new FakeScene(kSceneTable[i].shortName);
    buildTimeline(show, scenes);
    show.width = 640, show.height = 360;
  }
  ~FakeShow() {
    // Scenes the show never made current are still owned here.
    for (int i = show.position; i < kSceneCount; ++i) delete scenes[i];
    delete show.current;
  }
};

// Plays back a list of ticks; quits at a chosen frame.
class ScriptedHost : public ShowHost {
 public:
  std::vector<uint32_t> ticksByFrame;
  int quitAtFrame = -1, frame = 0;
  bool pollQuit() override { return frame == quitAtFrame; }
  uint32_t ticks() override { return ticksByFrame[frame++]; }
  void present() override {}
};

// Each case plays the ticks (Escape in frame quitAt) after a --from seek, or from a start-up
// that took 0, 452 or 5000 ms: scenes switch on the music's clock, not the host's tick 0.
TEST(MainLoop, StallsQuitSeeksStartUpsAndTheEnd) {
  struct Case {
    int64_t fromMs;  // -1: no seek
    std::vector<uint32_t> ticks;
    int quitAt;
    std::vector<std::string> events;
    FrameResult result = FrameResult::Quit;
  } cases[] = {
      // The end at 192000 renders nothing; the last scene is neither released nor destroyed.
      {-1, {0, 130000, 191999, 192000}, -1,
       {"start forest 640x360", "render forest 0.000000 0", "destroy forest", "start tv 640x360", "destroy tv",
        "start pacman 640x360", "destroy pacman", "start cubes 640x360", "destroy cubes", "start curves 640x360",
        "render curves 0.000000 0", "render curves 61.999001 6199"},
       FrameResult::Ended},
      // A stall skips the television; the clock starts in the frame of the switch, not at 78000.
      {-1, {0, 78500, 79000, 0}, 2,
       {"start forest 640x360", "render forest 0.000000 0", "destroy forest", "start tv 640x360", "destroy tv",
        "start pacman 640x360", "render pacman 0.000000 0"}},
      // Escape in the first frame: started but not rendered.
      {-1, {5}, 0, {"start forest 640x360"}},
      // The forest's clock starts at its own first frame, 18 ms into the music.
      {-1, {18, 33999, 34000, 35234, 77999, 78000, 78010, 78020}, 7,
       {"start forest 640x360", "render forest 0.000000 0", "render forest 33.980999 3398", "destroy forest",
        "start tv 640x360", "render tv 0.000000 0", "render tv 1.234000 123", "render tv 43.999001 4399",
        "destroy tv", "start pacman 640x360", "render pacman 0.000000 0", "render pacman 0.010000 1"}},
      // --from: only the scene in force starts, its clock as if the show had run from 0 (the
      // cubes' first frame is 0.25 s late); the next switch counts from its own frame.
      {110000, {110250, 111500, 126040, 126540, 0}, 4,
       {"start cubes 640x360", "render cubes 0.250000 25", "render cubes 1.500000 150", "destroy cubes",
        "start curves 640x360", "render curves 0.000000 0", "render curves 0.500000 50"}},
      {34000, {34000, 34010, 0}, 2, {"start tv 640x360", "render tv 0.000000 0", "render tv 0.010000 1"}},
      {5000, {5120, 0}, 1, {"start forest 640x360", "render forest 5.120000 512"}},
      // A first frame late enough to miss the next entry runs the stall rule from there.
      {125990, {126100, 0}, 1,
       {"start cubes 640x360", "destroy cubes", "start curves 640x360", "render curves 0.100000 10"}},
  };
  for (uint32_t startup : {0u, 452u, 5000u})
    for (const Case& c : cases) {
      if (c.fromMs >= 0 && startup > 0) continue;
      FakeShow fake;
      ScriptedHost host;
      host.quitAtFrame = c.quitAt;
      if (c.fromMs >= 0) {
        // Starts part-way; the scenes before the one in force are never started.
        seekShow(fake.show, static_cast<uint32_t>(c.fromMs));
        for (int i = 0; i < fake.show.position; ++i) delete fake.scenes[i];
        events.clear();
      } else {
        host.ticksByFrame = {startup};  // read by startShowClock
        startShowClock(fake.show, host);
        EXPECT_EQ(fake.show.startTick, startup);
        host.quitAtFrame += c.quitAt >= 0;
      }
      for (uint32_t t : c.ticks) host.ticksByFrame.push_back(t + startup);
      EXPECT_EQ(runShow(fake.show, host), c.result);
      EXPECT_EQ(events, c.events) << c.fromMs << ", start-up " << startup;
    }
}

TEST(VirtualClock, FrameTicksOnAGridFromAnOrigin) {
  EXPECT_EQ(frameTick(1, 60), 16u);                 // floor, not rounding
  EXPECT_EQ(frameTick(-1, 60, 100000), 99983u);    // floor, not truncation
  EXPECT_EQ(firstFrameAtOrAfter(99984, 60, 100000), 0);
  for (int64_t k = -500; k < 500; ++k) EXPECT_EQ(firstFrameAtOrAfter(frameTick(k, 24, 50005), 24, 50005), k) << k;
}

}  // namespace
