// Recording frame statistics during a capture: a host that wraps the capture's own host,
// times each frame on the CPU and (through timer queries) on the GPU, and writes the CSV;
// asked for per-pass figures, it also installs the scenes' pass probe and writes its CSV.
#pragma once

#include "base/output_file.h"
#include "capture/csv_output.h"
#include "capture/frame_stats.h"
#include "capture/pass_stats.h"
#include "render/gpu_timer.h"
#include "render/pass_probe.h"
#include "show/show.h"
#include "show/virtual_clock.h"

#include <GL/glcorearb.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

static_assert(kTimerRing <= kPassProbeSlots, "the pass probe holds a slot per frame in flight");

// A captured frame waiting for its GPU time before its row is written.
struct PendingFrame {
  FrameRecord record;
  std::chrono::steady_clock::time_point begun;  // when its query was begun
  bool waiting = false;  // holds a captured frame whose query has not been read yet
};

class FrameStatsRecorder : public ShowHost {
 public:
  using Clock = std::chrono::steady_clock;

  CsvOutput frames;                  // --stats: a row per captured frame
  CsvOutput passes;                  // --pass-stats: a row per captured frame and pass
  Show* show = nullptr;              // the show being run
  VirtualClockHost* inner = nullptr; // the capture's host, which every call is handed on to
  bool timers = false;               // frames' GPU times are being measured
  bool perPass = false;              // the pass probe is installed
  PassProbe probe;                   // the scenes' passes, slot by slot like the ring
  GLuint queries[kTimerRing] = {};   // one timer query per ring slot
  PendingFrame ring[kTimerRing];     // captured frames by slot
  int64_t framesBegun = 0;           // frames started; frame n uses slot n % kTimerRing
  bool queryOpen = false;            // a timer query was begun and not yet ended
  Clock::time_point frameStart;      // when the current frame started
  uint32_t tick = 0;                 // the current frame's tick
  std::vector<FrameRecord> records;  // every captured frame, for the summary
  std::vector<PassRecord> passRecords;  // every captured frame's passes, for their summary

  FrameStatsRecorder() = default;
  FrameStatsRecorder(const FrameStatsRecorder&) = delete;
  FrameStatsRecorder& operator=(const FrameStatsRecorder&) = delete;
  // Removes the probe if it is still installed; the files remove their temporaries.
  ~FrameStatsRecorder() override;

  // Creates the temporary files of the CSVs asked for (an empty path: none) and writes their
  // headers; false with a message in error.
  bool open(const std::string& framesPath, const std::string& passesPath, std::string& error);
  // The host to run the show with: this recorder around host when open, else host itself.
  // Needs the OpenGL context current (it sets up the timer queries).
  ShowHost& wrap(Show& target, VirtualClockHost& host);
  // Writes the rows still waiting for their GPU figures and closes the files, checking every
  // row reached them; the files then wait in pending to be renamed with the capture's other
  // outputs. True when not recording. Needs the OpenGL context.
  bool finish(PendingOutputs& pending, std::string& error);
  // Ends the open timer query and deletes the queries and the probe's, whether or not the
  // capture finished: a context destroyed with a query still running corrupts llvmpipe's heap.
  // Call before the context goes; harmless twice and when not recording.
  void releaseGl();
  // Prints the per-scene summaries on stderr, once the outputs are committed.
  void report() const;

  bool pollQuit() override;
  uint32_t ticks() override;
  void present() override;
  uint32_t sceneClockStart(uint32_t entryMs, uint32_t now) override;

 private:
  void writeRow(const FrameRecord& record);
  void writePassRows(const FrameRecord& record, const std::vector<PassFigures>& figures);
  void settle(int slot);
  void endQuery();
};
