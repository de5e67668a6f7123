// A virtual clock for rendering the show off-line: frame k of a capture at N frames per
// second from origin O runs at tick O + floor(k * 1000 / N), whatever the time rendering
// takes, and shows exactly that show time. Frames before the origin (k < 0) are run to
// bring a scene up to it.
#pragma once

#include "show/show.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The frame grid: the capture tool's default rate, and the one the maker's mode shows and steps
// on, so that F12's picture is --at's.
constexpr int kFrameGridFps = 60;  // frames per second

// The name of the picture of show time ms ("frame-<ms>.png"): what --at writes and F12 saves,
// so that the maker finds the one beside the other.
std::string stillFileName(uint32_t ms);
// The tick of frame k at fps frames per second from originMs.
uint32_t frameTick(int64_t frame, int fps, uint32_t originMs = 0);
// The first frame whose tick is at or after ms.
int64_t firstFrameAtOrAfter(uint32_t ms, int fps, uint32_t originMs = 0);
// The frame on screen at ms: the last frame whose tick is at or before ms.
int64_t lastFrameAtOrBefore(uint32_t ms, int fps, uint32_t originMs = 0);

// Drives the show frame by frame and hands the wanted frames to onFrame. It skips frames
// only where skipping cannot change a wanted frame: up to the first frame of the entry that
// holds the next wanted frame (as a stall would), and inside a scene whose frames are
// independent of each other.
class VirtualClockHost : public ShowHost {
 public:
  Show* show = nullptr;
  int fps = kFrameGridFps;
  uint32_t originMs = 0;        // tick of frame 0
  std::vector<int64_t> wanted;  // ascending frame indices to hand to onFrame
  size_t nextWanted = 0;        // index into wanted
  int64_t frame = 0;            // frame being run
  int64_t framesRendered = 0;   // frames presented, wanted or not

  // Sets the frames to capture (sorted, duplicates dropped) and the first frame to run.
  void begin(Show& target, int framesPerSecond, std::vector<int64_t> frames, uint32_t origin = 0);
  bool pollQuit() override;
  uint32_t ticks() override;
  void present() override;
  // Each scene's clock counts from its own timeline tick, so that frame k shows show time
  // origin + k / fps exactly even where the grid misses the tick of a scene switch.
  uint32_t sceneClockStart(uint32_t entryMs, uint32_t now) override;
  // Receives a wanted frame, rendered and bound as the default framebuffer.
  virtual void onFrame(int64_t frameIndex) = 0;

 private:
  int64_t nextFrame() const;
  int64_t entryFirstFrameFor(int64_t target) const;
};
