// The maker's mode's clock and its jumps.
#include "show/transport.h"

#include "show/virtual_clock.h"

#include <algorithm>
#include <cstdio>

namespace {

uint32_t clampShowMs(int64_t ms) { return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, kLastShowMs)); }

// The start of the scene before the one in force at ms; 0 in the first.
uint32_t previousSceneStart(const TimelineEntry* timeline, uint32_t ms) {
  return timeline[std::max(0, entryAt(timeline, ms) - 1)].startMs;
}

// The start of the scene after the one in force at ms, or ms itself when none follows.
uint32_t nextSceneStart(const TimelineEntry* timeline, uint32_t ms) {
  int next = entryAt(timeline, ms) + 1;
  return next < kTimelineEntries && timeline[next].scene ? timeline[next].startMs : ms;
}

}  // namespace

uint32_t transportMs(const Transport& transport, uint32_t tick) {
  if (transport.paused) return transport.anchorMs;
  return clampShowMs(static_cast<int64_t>(transport.anchorMs) + static_cast<uint32_t>(tick - transport.anchorTick));
}

void startTransport(Transport& transport, uint32_t ms, uint32_t tick) {
  transport.paused = false;
  transport.anchorMs = clampShowMs(ms);
  transport.anchorTick = tick;
}

void seekTransport(Transport& transport, int64_t ms, uint32_t tick) {
  transport.anchorMs = clampShowMs(ms);
  transport.anchorTick = tick;
}

bool applyTransport(Transport& transport, const TimelineEntry* timeline, TransportCommand command, uint32_t tick) {
  const uint32_t now = transportMs(transport, tick);
  int64_t to = now;
  switch (command) {
    case TransportCommand::PauseResume:
      transport.anchorMs = now;
      transport.anchorTick = tick;
      transport.paused = !transport.paused;
      return false;
    case TransportCommand::Back: to = int64_t{now} - kShortStepMs; break;
    case TransportCommand::Forward: to = int64_t{now} + kShortStepMs; break;
    case TransportCommand::BackLong: to = int64_t{now} - kLongStepMs; break;
    case TransportCommand::ForwardLong: to = int64_t{now} + kLongStepMs; break;
    case TransportCommand::PreviousScene: to = previousSceneStart(timeline, now); break;
    case TransportCommand::NextScene: to = nextSceneStart(timeline, now); break;
    case TransportCommand::Home: to = 0; break;
    case TransportCommand::FrameBack:
    case TransportCommand::FrameForward:
      if (!transport.paused) return false;  // a frame step means nothing while the clock runs
      to = stepFrames(now, command == TransportCommand::FrameBack ? -1 : 1);
      break;
  }
  seekTransport(transport, to, tick);
  return true;
}

uint32_t frameOnScreenMs(uint32_t ms) { return frameTick(lastFrameAtOrBefore(ms, kFrameGridFps), kFrameGridFps); }

uint32_t stepFrames(uint32_t ms, int frames) {
  int64_t frame = lastFrameAtOrBefore(ms, kFrameGridFps) + frames;
  int64_t last = lastFrameAtOrBefore(kLastShowMs, kFrameGridFps);
  return frameTick(std::clamp<int64_t>(frame, 0, last), kFrameGridFps);
}

bool jumpNeedsRewind(const TimelineEntry* timeline, uint32_t fromMs, uint32_t toMs) {
  return toMs < fromMs || entryAt(timeline, toMs) != entryAt(timeline, fromMs);
}

std::string formatShowTime(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u.%03u", ms / 60000, ms / 1000 % 60, ms % 1000);
  return text;
}

uint32_t timelineBarMs(float x, float width) {
  if (!(width > 0)) return 0;
  double share = std::clamp(static_cast<double>(x) / width, 0.0, 1.0);
  return clampShowMs(static_cast<int64_t>(share * kShowEndMs));
}
