// The maker's mode's clock: show time that plays or stands still, and the jumps the keys
// make (steps of a second or a frame, scene starts, the start). Pure arithmetic on
// milliseconds and host ticks, so the demo and the tests share it.
#pragma once

#include "show/show.h"

#include <cstdint>
#include <string>

constexpr uint32_t kLastShowMs = kShowEndMs - 1;  // the latest time a jump or the clock reaches
constexpr int32_t kShortStepMs = 1000;          // Left / Right
constexpr int32_t kLongStepMs = 10000;          // Shift with Left / Right

struct Transport {
  bool paused = false;      // the show time stands at anchorMs
  uint32_t anchorMs = 0;    // show time at anchorTick (paused: the time that stands)
  uint32_t anchorTick = 0;  // host tick at which anchorMs held
};

// What a transport key asks for.
enum class TransportCommand {
  PauseResume,
  Back,            // a short step back
  Forward,
  BackLong,        // a long step back
  ForwardLong,
  PreviousScene,   // the start of the scene before the current one (0 in the first)
  NextScene,       // the start of the next scene; nothing in the last
  Home,            // 0 s
  FrameBack,       // one frame of the grid, only while paused
  FrameForward,
};

// Show time at host tick, never past kLastShowMs.
uint32_t transportMs(const Transport& transport, uint32_t tick);
// Starts playing from ms at tick.
void startTransport(Transport& transport, uint32_t ms, uint32_t tick);
// Moves to ms (clamped to [0, kLastShowMs]) at tick, playing or paused as before.
void seekTransport(Transport& transport, int64_t ms, uint32_t tick);
// Applies command at tick. Returns true when show time jumped (the scenes and the music must
// follow); pausing and resuming keep the time and return false.
bool applyTransport(Transport& transport, const TimelineEntry* timeline, TransportCommand command, uint32_t tick);

// The tick of the frame on the grid (kFrameGridFps) that is on screen at ms: the picture the
// capture tool gives for --at ms.
uint32_t frameOnScreenMs(uint32_t ms);
// The tick of the grid frame frames away from the one on screen at ms, within [0, kLastShowMs].
uint32_t stepFrames(uint32_t ms, int frames);
// True when the show, last drawn at fromMs, cannot go on to toMs with the scene objects it
// has: toMs lies earlier (a scene's state only runs forward) or in another entry (the
// scenes between would be started for nothing).
bool jumpNeedsRewind(const TimelineEntry* timeline, uint32_t fromMs, uint32_t toMs);

// Show time as mm:ss.mmm.
std::string formatShowTime(uint32_t ms);
// The show time at x pixels along a timeline bar width pixels wide (the whole show), within
// [0, kLastShowMs]; 0 for a bar of no width.
uint32_t timelineBarMs(float x, float width);
