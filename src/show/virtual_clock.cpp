// The capture tool's clock and frame skipping.
#include "show/virtual_clock.h"

#include <algorithm>

namespace {

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

std::string stillFileName(uint32_t ms) { return "frame-" + std::to_string(ms) + ".png"; }

uint32_t frameTick(int64_t frame, int fps, uint32_t originMs) {
  return static_cast<uint32_t>(originMs + floorDiv(frame * 1000, fps));
}

int64_t firstFrameAtOrAfter(uint32_t ms, int fps, uint32_t originMs) {
  // origin + floor(k * 1000 / fps) >= ms  <=>  k >= (ms - origin) * fps / 1000
  return -floorDiv(-(static_cast<int64_t>(ms) - originMs) * fps, 1000);
}

int64_t lastFrameAtOrBefore(uint32_t ms, int fps, uint32_t originMs) {
  return firstFrameAtOrAfter(ms + 1, fps, originMs) - 1;
}

void VirtualClockHost::begin(Show& target, int framesPerSecond, std::vector<int64_t> frames, uint32_t origin) {
  show = &target;
  fps = framesPerSecond;
  originMs = origin;
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  wanted = frames;
  nextWanted = 0;
  framesRendered = 0;
  frame = wanted.empty() ? 0 : entryFirstFrameFor(wanted[0]);
}

// The first frame of the timeline entry in force at the target frame's tick; the scene of
// that entry becomes current there, so its clock matches a run over every frame.
int64_t VirtualClockHost::entryFirstFrameFor(int64_t target) const {
  uint32_t tick = frameTick(target, fps, originMs);
  int entry = 0;
  for (int i = 1; i < kTimelineEntries; ++i)
    if (tick >= show->timeline[i].startMs) entry = i;
  return firstFrameAtOrAfter(show->timeline[entry].startMs, fps, originMs);
}

int64_t VirtualClockHost::nextFrame() const {
  int64_t next = frame + 1;
  if (nextWanted >= wanted.size()) return next;
  int64_t target = wanted[nextWanted];
  int64_t entryStart = entryFirstFrameFor(target);
  if (entryStart > frame) return std::max(next, entryStart);  // target lies in a later entry
  if (show->current && show->current->framesIndependent) return std::max(next, target);
  return next;
}

bool VirtualClockHost::pollQuit() { return nextWanted >= wanted.size(); }

uint32_t VirtualClockHost::ticks() { return frameTick(frame, fps, originMs); }

uint32_t VirtualClockHost::sceneClockStart(uint32_t entryMs, uint32_t /*now*/) { return entryMs; }

void VirtualClockHost::present() {
  ++framesRendered;
  if (nextWanted < wanted.size() && frame == wanted[nextWanted]) {
    onFrame(frame);
    ++nextWanted;
  }
  frame = nextFrame();
}
