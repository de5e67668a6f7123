// The maker's mode's clock and jumps: pausing keeps the time, steps and scene jumps land
// where the keys promise, frame steps stay on the capture tool's frame grid, and the scenes
// are rewound exactly when a jump cannot go on with the objects drawn so far.
#include "show/show.h"
#include "show/transport.h"
#include "show/virtual_clock.h"

#include <gtest/gtest.h>

namespace {

// The show's timeline with no scene objects behind it (only the ticks and the end matter).
struct Timeline {
  Show show;
  Scene* marker = reinterpret_cast<Scene*>(0x10);  // never called: only told apart from the end's null
  Timeline() {
    Scene* scenes[kSceneCount];
    for (Scene*& scene : scenes) scene = marker;
    buildTimeline(show, scenes);
  }
};

// Applies command at tick and returns the show time then.
uint32_t after(Transport& t, const Timeline& line, TransportCommand command, uint32_t tick) {
  applyTransport(t, line.show.timeline, command, tick);
  return transportMs(t, tick);
}

TEST(TransportClock, PlaysWithTheTicksAndStandsStillWhilePaused) {
  Transport t;
  Timeline line;
  startTransport(t, 5000, 1000);
  EXPECT_EQ(transportMs(t, 1000), 5000u);
  EXPECT_EQ(transportMs(t, 3500), 7500u);
  // Pausing keeps the time it was at, and is not a jump.
  EXPECT_FALSE(applyTransport(t, line.show.timeline, TransportCommand::PauseResume, 3500));
  EXPECT_TRUE(t.paused);
  EXPECT_EQ(transportMs(t, 90000), 7500u);
  // Resuming goes on from there, counted from the resume's tick.
  EXPECT_FALSE(applyTransport(t, line.show.timeline, TransportCommand::PauseResume, 90000));
  EXPECT_EQ(transportMs(t, 90000), 7500u);
  EXPECT_EQ(transportMs(t, 90250), 7750u);
  // The host's millisecond tick wraps after 49.7 days; the clock goes on through it.
  startTransport(t, 100, 0xFFFFFF00u);
  EXPECT_EQ(transportMs(t, 0x00000100u), 100u + 0x200u);
  // The clock never runs past the last millisecond of the show.
  startTransport(t, kLastShowMs - 10, 0);
  EXPECT_EQ(transportMs(t, 60000), kLastShowMs);
}

TEST(TransportJumps, StepsAndSceneJumpsLandWhereTheKeysSay) {
  Transport t;
  Timeline line;
  startTransport(t, 40000, 0);
  EXPECT_EQ(after(t, line, TransportCommand::Forward, 500), 41500u);  // 40 s + 0.5 s played + 1 s
  EXPECT_FALSE(t.paused);                                             // a jump keeps playing
  EXPECT_EQ(after(t, line, TransportCommand::Back, 500), 40500u);
  EXPECT_EQ(after(t, line, TransportCommand::ForwardLong, 500), 50500u);
  EXPECT_EQ(after(t, line, TransportCommand::BackLong, 500), 40500u);
  // Scene starts: 0, 34, 78, 110, 126 s; the end at 192 s is no scene to go to.
  EXPECT_EQ(after(t, line, TransportCommand::NextScene, 500), 78000u);
  EXPECT_EQ(after(t, line, TransportCommand::NextScene, 500), 110000u);
  EXPECT_EQ(after(t, line, TransportCommand::PreviousScene, 500), 78000u);  // the scene before the current one
  EXPECT_EQ(after(t, line, TransportCommand::PreviousScene, 500), 34000u);
  EXPECT_EQ(after(t, line, TransportCommand::PreviousScene, 500), 0u);
  EXPECT_EQ(after(t, line, TransportCommand::PreviousScene, 500), 0u);  // the first scene has none before it
  seekTransport(t, 130000, 500);
  EXPECT_EQ(after(t, line, TransportCommand::NextScene, 500), 130000u);  // nothing after the last
  EXPECT_EQ(after(t, line, TransportCommand::Home, 500), 0u);
  // Steps stop at both ends of the show.
  EXPECT_EQ(after(t, line, TransportCommand::BackLong, 500), 0u);
  seekTransport(t, 190000, 500);
  EXPECT_EQ(after(t, line, TransportCommand::ForwardLong, 500), kLastShowMs);
  // Every one of them reports a jump, so the scenes and the music follow.
  for (TransportCommand c : {TransportCommand::Back, TransportCommand::Forward, TransportCommand::Home,
                             TransportCommand::NextScene, TransportCommand::PreviousScene})
    EXPECT_TRUE(applyTransport(t, line.show.timeline, c, 500));
}

TEST(TransportJumps, FrameStepsMoveOnTheCaptureToolsGridOnlyWhilePaused) {
  Transport t;
  Timeline line;
  startTransport(t, 1000, 0);
  EXPECT_FALSE(applyTransport(t, line.show.timeline, TransportCommand::FrameForward, 0));  // playing: nothing
  EXPECT_EQ(transportMs(t, 0), 1000u);
  applyTransport(t, line.show.timeline, TransportCommand::PauseResume, 10);  // paused at 1010, between frames
  EXPECT_EQ(frameOnScreenMs(1010), 1000u);                                   // frame 60 is on screen
  EXPECT_EQ(after(t, line, TransportCommand::FrameForward, 20), 1016u);      // frame 61: floor(61000 / 60)
  EXPECT_EQ(after(t, line, TransportCommand::FrameForward, 30), 1033u);
  EXPECT_EQ(after(t, line, TransportCommand::FrameBack, 40), 1016u);
  EXPECT_TRUE(t.paused);
  seekTransport(t, 0, 50);
  EXPECT_EQ(after(t, line, TransportCommand::FrameBack, 60), 0u);
  seekTransport(t, kLastShowMs, 50);
  EXPECT_EQ(after(t, line, TransportCommand::FrameForward, 60), frameOnScreenMs(kLastShowMs));
  // Every time drawn is a frame the capture tool renders for --at that time.
  for (uint32_t ms : {0u, 1u, 16u, 17u, 33u, 34u, 999u, 34000u, 191999u}) {
    uint32_t frameMs = frameOnScreenMs(ms);
    EXPECT_LE(frameMs, ms);
    EXPECT_EQ(frameMs, frameTick(lastFrameAtOrBefore(ms, kFrameGridFps), kFrameGridFps)) << ms;
    EXPECT_EQ(frameOnScreenMs(frameMs), frameMs) << ms;  // a frame's own tick shows that frame
  }
}

TEST(TransportJumps, ScenesAreRewoundForAnEarlierTimeOrAnotherEntry) {
  Timeline line;
  const TimelineEntry* timeline = line.show.timeline;
  EXPECT_FALSE(jumpNeedsRewind(timeline, 1000, 1000));    // a paused frame drawn again
  EXPECT_FALSE(jumpNeedsRewind(timeline, 1000, 33999));   // on in the same scene
  EXPECT_TRUE(jumpNeedsRewind(timeline, 1016, 1000));     // a frame back
  EXPECT_TRUE(jumpNeedsRewind(timeline, 33999, 34000));   // the television starts
  EXPECT_TRUE(jumpNeedsRewind(timeline, 130000, 126000)); // back to the curves' start
  EXPECT_TRUE(jumpNeedsRewind(timeline, 0, 150000));      // past scenes never to be seen
}

TEST(TransportDisplay, TimesReadAsMinutesSecondsMillisAndTheBarCoversTheShow) {
  EXPECT_EQ(formatShowTime(0), "00:00.000");
  EXPECT_EQ(formatShowTime(61005), "01:01.005");
  EXPECT_EQ(formatShowTime(kLastShowMs), "03:11.999");
  EXPECT_EQ(timelineBarMs(0, 600), 0u);
  EXPECT_EQ(timelineBarMs(300, 600), 96000u);
  EXPECT_EQ(timelineBarMs(600, 600), kLastShowMs);  // the right edge is the last moment, not the end
  EXPECT_EQ(timelineBarMs(-20, 600), 0u);           // a drag past either edge stays on the bar
  EXPECT_EQ(timelineBarMs(9000, 600), kLastShowMs);
  EXPECT_EQ(timelineBarMs(5, 0), 0u);
}

}  // namespace
