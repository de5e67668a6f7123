// The timeline of scenes and the main loop, run over a small host seam (clock, events,
// presenting) so that the demo, the capture tool and the tests share one loop.
#pragma once

#include "render/scene.h"
#include "show/scene_table.h"

#include <cstdint>

constexpr int kTimelineEntries = kSceneCount + 1;  // the scenes, then the end
constexpr uint32_t kShowEndMs = 192000;
constexpr double kShowSeconds = kShowEndMs / 1000.0;  // the show's length, as options take times

// Where the scene of kSceneTable's row ends, milliseconds: the next row's start, or the end of
// the show.
constexpr uint32_t sceneEndMs(int row) { return row + 1 < kSceneCount ? kSceneTable[row + 1].startMs : kShowEndMs; }

struct TimelineEntry {
  Scene* scene;      // becomes current; null marks the end of the show
  uint32_t startMs;  // tick from which the entry applies
};

// What the loop needs from its surroundings.
class ShowHost {
 public:
  virtual ~ShowHost() = default;
  // Drains pending input; true when the show must end (Escape, window closed, signal).
  virtual bool pollQuit() = 0;
  // The millisecond tick of this frame.
  virtual uint32_t ticks() = 0;
  // Shows the finished frame (swap buffers, or read it back).
  virtual void present() = 0;
  // The tick from which a scene that became current in the frame at tick now counts its
  // clock; entryMs is its timeline entry's tick. Counting from the frame keeps a late switch
  // from skipping the scene's opening; an off-line host may count from the entry instead.
  virtual uint32_t sceneClockStart(uint32_t /*entryMs*/, uint32_t now) { return now; }
  // Called with the current scene, its clock set, just before it renders: the maker's mode
  // refills and steers its tracks here. The show and the capture tool do nothing.
  virtual void beforeRender(Scene& /*scene*/) {}
};

// The show's own state besides the log.
struct Show {
  TimelineEntry timeline[kTimelineEntries] = {};
  int position = 0;             // next timeline entry to apply
  Scene* current = nullptr;     // scene being rendered; null before the first frame
  uint32_t sceneStartTick = 0;  // tick of the frame in which current became current
  // The host's tick at which the show's time is zero: the tick at which the music started.
  // The timeline and every scene clock count from it, so pictures keep step with the music
  // however long the start-up took.
  uint32_t startTick = 0;
  int32_t width = 0;            // video surface, pixels, handed to each scene
  int32_t height = 0;
  // The next scene switch's clock counts from its entry's tick (set by seekShow): the scene
  // a show started part-way in runs as if the show had run from 0.
  bool nextClockFromEntryTick = false;
};

enum class FrameResult { Rendered, Quit, Ended };

// Fills the timeline with scenes[i] at kSceneTable[i]'s tick for each row, and the end at kShowEndMs.
void buildTimeline(Show& show, Scene* const (&scenes)[kSceneCount]);
// The scene objects of the show (kSceneTable's), created before main.
void buildDemoTimeline(Show& show);
// Makes the host's tick now show time fromMs (0: the show's zero); called the moment the
// music starts from the same point.
void startShowClock(Show& show, ShowHost& host, uint32_t fromMs = 0);
// Makes the entry in force at show time fromMs (< kShowEndMs) the next to apply, its clock
// counting from its own tick; the scenes before it are never started.
void seekShow(Show& show, uint32_t fromMs);
// The timeline entry in force at show time ms.
int entryAt(const TimelineEntry* timeline, uint32_t ms);
// Runs one frame: events, tick, scene switch, quit check, clock, the host's beforeRender,
// render, present.
FrameResult stepFrame(Show& show, ShowHost& host);
// Runs frames until the timeline ends or the host asks to quit.
FrameResult runShow(Show& show, ShowHost& host);
