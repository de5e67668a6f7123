// Starting the show part-way (--from): only the scene in force is started, and its clock
// reads as if the show had run from 0; later scenes switch as in a show from the start.
#include "shell/show.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> events;

class LoggingScene : public Scene {
 public:
  std::string name;
  explicit LoggingScene(std::string n) : name(std::move(n)) {}
  ~LoggingScene() override { events.push_back("destroy " + name); }
  void start() override { events.push_back("start " + name); }
  void render() override {
    events.push_back("render " + name + " " + std::to_string(seconds) + " " + std::to_string(centiseconds));
  }
  void release() override {}
};

class TicksHost : public ShowHost {
 public:
  std::vector<uint32_t> ticksByFrame;
  size_t frame = 0;
  bool pollQuit() override { return frame >= ticksByFrame.size(); }
  uint32_t ticks() override { return frame < ticksByFrame.size() ? ticksByFrame[frame++] : ticksByFrame.back(); }
  void present() override {}
};

TEST(Seek, TheSceneInForceStartsWithTheClockOfAShowFromZero) {
  struct Case {
    uint32_t fromMs;
    std::vector<uint32_t> ticks;
    std::vector<std::string> events;
  } cases[] = {
      // Cubes at 110 s, its first frame 0.25 s later (its start took that long); then the
      // curves switch counts from its own frame, as always.
      {110000, {110250, 111500, 126040, 126540},
       {"start cubes", "render cubes 0.250000 25", "render cubes 1.500000 150", "destroy cubes", "start curves",
        "render curves 0.000000 0", "render curves 0.500000 50"}},
      // Exactly on an entry's tick.
      {34000, {34000, 34010}, {"start tv", "render tv 0.000000 0", "render tv 0.010000 1"}},
      // Inside the forest: nothing is skipped, the clock is the show time.
      {5000, {5120}, {"start forest", "render forest 5.120000 512"}},
      // A first frame late enough to miss the next entry runs the stall rule from there.
      {125990, {126100}, {"start cubes", "destroy cubes", "start curves", "render curves 0.100000 10"}},
  };
  for (const Case& c : cases) {
    events.clear();
    const char* names[5] = {"forest", "tv", "pacman", "cubes", "curves"};
    LoggingScene* scenes[5];
    for (int i = 0; i < 5; ++i) scenes[i] = new LoggingScene(names[i]);
    Show show;
    buildTimeline(show, scenes[0], scenes[1], scenes[2], scenes[3], scenes[4]);
    seekShow(show, c.fromMs);
    int first = show.position;
    TicksHost host;
    host.ticksByFrame = c.ticks;
    runShow(show, host);
    EXPECT_EQ(events, c.events) << c.fromMs;
    delete show.current;
    for (int i = 0; i < first; ++i) delete scenes[i];  // never made current
    for (int i = show.position; i < 5; ++i) delete scenes[i];
  }
}

}  // namespace
