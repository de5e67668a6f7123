// The frame statistics recorder: CPU time by the steady clock, GPU time by a small ring of
// timer queries read back a few frames late, rows to a temporary file renamed on success.
#include "capture/stats_recorder.h"

#include "base/gl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

FrameStatsRecorder::~FrameStatsRecorder() {
  if (!file) return;
  std::string ignored;
  finishOutput(output, file, false, 0, ignored);
}

bool FrameStatsRecorder::open(const std::string& csvPath, std::string& error) {
  path = csvPath;
  // A regular file is written under a temporary name tracked for clean-up on an interrupt;
  // a device or FIFO is written in place.
  output = planOutput(csvPath, true);
  file = openOutput(output, error);
  if (!file) return false;
  if (std::fputs(kFrameStatsHeader, file) < 0) {
    writeFailed = true;
    writeErrno = errno;
  }
  return true;
}

ShowHost& FrameStatsRecorder::wrap(Show& target, VirtualClockHost& host) {
  if (!file) return host;
  show = &target;
  inner = &host;
  timers = timerQueriesOffered();
  if (timers) {
    glGenQueries(kTimerRing, queries);
    checkGlError(__LINE__);
  }
  return *this;
}

bool FrameStatsRecorder::pollQuit() {
  if (timers) {
    // The slot's last frame was issued kTimerRing frames ago: read it before reusing the
    // query, and before the clock starts, so the read-back is not charged to this frame.
    int slot = static_cast<int>(framesBegun % kTimerRing);
    settle(slot);
    frameStart = Clock::now();
    glBeginQuery(GL_TIME_ELAPSED, queries[slot]);
    checkGlError(__LINE__);
    queryOpen = true;
  } else {
    frameStart = Clock::now();
  }
  return inner->pollQuit();
}

uint32_t FrameStatsRecorder::ticks() {
  tick = inner->ticks();
  return tick;
}

// The capture's host decides, as it does without statistics.
uint32_t FrameStatsRecorder::sceneClockStart(uint32_t entryMs, uint32_t now) {
  return inner->sceneClockStart(entryMs, now);
}

void FrameStatsRecorder::present() {
  double cpuMs = std::chrono::duration<double, std::milli>(Clock::now() - frameStart).count();
  endQuery();
  int slot = static_cast<int>(framesBegun % kTimerRing);
  ++framesBegun;

  FrameRecord record;
  record.frame = inner->frame;
  record.showMs = tick;
  record.scene = show->position - 1;  // the entry that made the current scene current
  record.sceneMs = tick - show->sceneStartTick;
  record.cpuMs = cpuMs;
  show->current->reportCounters(record.counters);

  size_t captured = inner->nextWanted;
  inner->present();
  if (inner->nextWanted == captured) return;  // a frame run only to reach the capture's first
  if (timers) {
    ring[slot].record = record;
    ring[slot].begun = frameStart;
    ring[slot].waiting = true;
  } else {
    writeRow(record);
  }
}

bool FrameStatsRecorder::finish(PendingOutputs& pending, std::string& error) {
  if (!file) return true;
  endQuery();
  if (timers) {
    for (int64_t n = std::max<int64_t>(0, framesBegun - kTimerRing); n < framesBegun; ++n)
      settle(static_cast<int>(n % kTimerRing));
    glDeleteQueries(kTimerRing, queries);
    checkGlError(__LINE__);
    timers = false;
  }
  FILE* written = file;
  file = nullptr;
  int failure = writeFailed ? (writeErrno ? writeErrno : EIO) : 0;
  if (!closeOutput(output, written, !writeFailed, failure, error)) return false;
  pending.files.push_back(output);
  output = OutputFile();
  finished = true;
  return true;
}

void FrameStatsRecorder::report() const {
  if (!finished) return;
  std::fputs(formatSummary(summarizeFrames(records)).c_str(), stderr);
  std::fprintf(stderr, "wrote %s\n", path == "-" ? "the statistics to standard output" : path.c_str());
}

// Appends a finished frame's row and keeps it for the summary.
void FrameStatsRecorder::writeRow(const FrameRecord& record) {
  records.push_back(record);
  if (std::fputs(formatFrameRow(record).c_str(), file) < 0 && !writeFailed) {
    writeFailed = true;
    writeErrno = errno;
  }
}

// Reads the GPU time of the captured frame in slot, if one waits there, and writes its row.
void FrameStatsRecorder::settle(int slot) {
  PendingFrame& pending = ring[slot];
  if (!pending.waiting) return;
  GLuint64 nanoseconds = 0;
  glGetQueryObjectui64v(queries[slot], GL_QUERY_RESULT, &nanoseconds);
  checkGlError(__LINE__);
  // A figure longer than the wall time that held the query is the driver's fault and is
  // left out rather than believed.
  double heldMs = std::chrono::duration<double, std::milli>(Clock::now() - pending.begun).count();
  pending.record.gpuMs = plausibleGpuMs(nanoseconds, heldMs);
  pending.waiting = false;
  writeRow(pending.record);
}

// Ends the current frame's timer query, if one is running.
void FrameStatsRecorder::endQuery() {
  if (!queryOpen) return;
  glEndQuery(GL_TIME_ELAPSED);
  checkGlError(__LINE__);
  queryOpen = false;
}
