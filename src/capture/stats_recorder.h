// Recording frame statistics during a capture: a host that wraps the capture's own host,
// times each frame on the CPU and (through timer queries) on the GPU, and writes the CSV.
#pragma once

#include "base/output_file.h"
#include "capture/frame_stats.h"
#include "render/gpu_timer.h"
#include "show/show.h"
#include "show/virtual_clock.h"

#include <GL/glcorearb.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

// A captured frame waiting for its GPU time before its row is written.
struct PendingFrame {
  FrameRecord record;
  std::chrono::steady_clock::time_point begun;  // when its query was begun
  bool waiting = false;  // holds a captured frame whose query has not been read yet
};

class FrameStatsRecorder : public ShowHost {
 public:
  using Clock = std::chrono::steady_clock;

  std::string path;                  // the CSV asked for
  OutputFile output;                 // where rows go until the capture succeeds
  FILE* file = nullptr;              // open temporary file; null when not recording or finished
  bool finished = false;             // finish() closed the file
  bool writeFailed = false;          // a row could not be written
  int writeErrno = 0;                // why, when known
  Show* show = nullptr;              // the show being run
  VirtualClockHost* inner = nullptr; // the capture's host, which every call is handed on to
  bool timers = false;               // GPU times are being measured
  GLuint queries[kTimerRing] = {};   // one timer query per ring slot
  PendingFrame ring[kTimerRing];     // captured frames by slot
  int64_t framesBegun = 0;           // frames started; frame n uses slot n % kTimerRing
  bool queryOpen = false;            // a timer query was begun and not yet ended
  Clock::time_point frameStart;      // when the current frame started
  uint32_t tick = 0;                 // the current frame's tick
  std::vector<FrameRecord> records;  // every captured frame, for the summary

  FrameStatsRecorder() = default;
  FrameStatsRecorder(const FrameStatsRecorder&) = delete;
  FrameStatsRecorder& operator=(const FrameStatsRecorder&) = delete;
  // Removes the temporary file unless commit() renamed it.
  ~FrameStatsRecorder() override;

  // Creates the temporary file and writes the header; false with a message in error.
  bool open(const std::string& csvPath, std::string& error);
  // The host to run the show with: this recorder around host when open, else host itself.
  // Needs the OpenGL context current (it sets up the timer queries).
  ShowHost& wrap(Show& target, VirtualClockHost& host);
  // Writes the rows still waiting for their GPU time and closes the file, checking every row
  // reached it; the file then waits in pending to be renamed with the capture's other
  // outputs. True when not recording. Needs the OpenGL context.
  bool finish(PendingOutputs& pending, std::string& error);
  // Prints the per-scene summary on stderr, once the outputs are committed.
  void report() const;

  bool pollQuit() override;
  uint32_t ticks() override;
  void present() override;
  uint32_t sceneClockStart(uint32_t entryMs, uint32_t now) override;

 private:
  void writeRow(const FrameRecord& record);
  void settle(int slot);
  void endQuery();
};
