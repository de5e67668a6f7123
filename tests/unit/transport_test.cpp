// The maker's mode's clock and jumps: pausing keeps the time, steps and scene jumps land
// where the keys promise, frame steps stay on the capture tool's frame grid, and the scenes
// are rewound exactly when a jump cannot go on with the objects drawn so far.
#include "show/show.h"
#include "show/transport.h"
#include "show/virtual_clock.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using Command = TransportCommand;

// The show's timeline with no scene objects behind it (only the ticks and the end matter).
struct Timeline {
  Show show;
  Timeline() {
    Scene* scenes[kSceneCount];
    for (Scene*& scene : scenes) scene = reinterpret_cast<Scene*>(0x10);  // never called
    buildTimeline(show, scenes);
  }
};

// Applies command at tick and returns the show time then.
uint32_t after(Transport& t, const Timeline& line, Command command, uint32_t tick) {
  applyTransport(t, line.show.timeline, command, tick);
  return transportMs(t, tick);
}

TEST(TransportClock, PlaysWithTheTicksAndStandsStillWhilePaused) {
  Transport t;
  Timeline line;
  startTransport(t, 5000, 1000);
  EXPECT_EQ(transportMs(t, 3500), 7500u);
  // Pausing keeps the time it was at, and is not a jump; resuming goes on from the resume's tick.
  EXPECT_FALSE(applyTransport(t, line.show.timeline, Command::PauseResume, 3500));
  EXPECT_TRUE(t.paused);
  EXPECT_EQ(transportMs(t, 90000), 7500u);
  EXPECT_FALSE(applyTransport(t, line.show.timeline, Command::PauseResume, 90000));
  EXPECT_EQ(transportMs(t, 90250), 7750u);
  // The host's millisecond tick wraps after 49.7 days; the clock goes on through it.
  startTransport(t, 100, 0xFFFFFF00u);
  EXPECT_EQ(transportMs(t, 0x00000100u), 100u + 0x200u);
  // The clock never runs past the last millisecond of the show.
  startTransport(t, kLastShowMs - 10, 0);
  EXPECT_EQ(transportMs(t, 60000), kLastShowMs);
}

TEST(TransportJumps, StepsAndSceneJumpsLandWhereTheKeysSayAndAreJumps) {
  Transport t;
  Timeline line;
  startTransport(t, 40000, 0);
  EXPECT_EQ(after(t, line, Command::Forward, 500), 41500u);  // 40 s + 0.5 s played + 1 s
  // Scene starts: 0, 34, 78, 110, 126 s; the end at 192 s is no scene to go to.
  const std::tuple<uint32_t, Command, uint32_t> jumps[] = {
      {41500, Command::Back, 40500},          {40500, Command::ForwardLong, 50500},
      {50500, Command::BackLong, 40500},      {40500, Command::NextScene, 78000},
      {78000, Command::NextScene, 110000},    {110000, Command::PreviousScene, 78000},  // before the current one
      {78000, Command::PreviousScene, 34000}, {34000, Command::PreviousScene, 0},
      {0, Command::PreviousScene, 0},         {130000, Command::NextScene, 130000},  // nothing after the last
      {130000, Command::Home, 0},             {500, Command::BackLong, 0},  // steps stop at both ends
      {190000, Command::ForwardLong, kLastShowMs},
  };
  for (const auto& [from, command, to] : jumps) {
    seekTransport(t, from, 500);
    EXPECT_TRUE(applyTransport(t, line.show.timeline, command, 500));  // the scenes and music follow
    EXPECT_EQ(transportMs(t, 500), to) << from;
    EXPECT_FALSE(t.paused);  // a jump keeps playing
  }
}

TEST(TransportJumps, FrameStepsMoveOnTheCaptureToolsGridOnlyWhilePaused) {
  Transport t;
  Timeline line;
  startTransport(t, 1000, 0);
  EXPECT_FALSE(applyTransport(t, line.show.timeline, Command::FrameForward, 0));  // playing: nothing
  EXPECT_EQ(transportMs(t, 0), 1000u);
  applyTransport(t, line.show.timeline, Command::PauseResume, 10);      // paused at 1010, between frames
  EXPECT_EQ(after(t, line, Command::FrameForward, 20), 1016u);          // frame 61: floor(61000 / 60)
  EXPECT_EQ(after(t, line, Command::FrameForward, 30), 1033u);
  EXPECT_EQ(after(t, line, Command::FrameBack, 40), 1016u);
  EXPECT_TRUE(t.paused);
  seekTransport(t, 0, 50);
  EXPECT_EQ(after(t, line, Command::FrameBack, 60), 0u);
  seekTransport(t, kLastShowMs, 50);
  EXPECT_EQ(after(t, line, Command::FrameForward, 60), 191983u);  // the last frame before the end
  // The time drawn is the frame the capture tool renders for --at that time: floor(k * 1000 / 60).
  for (auto [ms, frameMs] : {std::pair{0u, 0u}, {1u, 0u}, {16u, 16u}, {17u, 16u}, {33u, 33u}, {34u, 33u},
                             {999u, 983u}, {1010u, 1000u}, {34000u, 34000u}, {191999u, 191983u}})
    EXPECT_EQ(frameOnScreenMs(ms), frameMs) << ms;
}

TEST(TransportJumps, ScenesAreRewoundForAnotherEntryOrAnEarlierTimeOfADependentScene) {
  Timeline line;
  const TimelineEntry* timeline = line.show.timeline;
  EXPECT_FALSE(jumpNeedsRewind(timeline, 1000, 1000, false));    // a paused frame drawn again
  EXPECT_FALSE(jumpNeedsRewind(timeline, 1000, 33999, false));   // on in the same scene
  EXPECT_TRUE(jumpNeedsRewind(timeline, 1016, 1000, false));     // a frame back
  EXPECT_FALSE(jumpNeedsRewind(timeline, 1016, 1000, true));     // where the frames do not depend on it
  EXPECT_TRUE(jumpNeedsRewind(timeline, 34000, 33999, true));    // the forest again
  EXPECT_TRUE(jumpNeedsRewind(timeline, 0, 150000, true));       // past scenes never to be seen
}

TEST(TransportDisplay, TimesReadAsMinutesSecondsMillisAndTheBarCoversTheShow) {
  EXPECT_EQ(formatShowTime(61005), "01:01.005");
  EXPECT_EQ(formatShowTime(kLastShowMs), "03:11.999");
  // The right edge is the last moment, not the end; a drag past either edge stays on the bar.
  for (auto [x, ms] : {std::pair{0.0f, 0u}, {300.0f, 96000u}, {600.0f, kLastShowMs}, {-20.0f, 0u}, {9000.0f, kLastShowMs}})
    EXPECT_EQ(timelineBarMs(x, 600), ms) << x;
  EXPECT_EQ(timelineBarMs(5, 0), 0u);
}

}  // namespace
