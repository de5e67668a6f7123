// The frame statistics recorder: CPU time by the steady clock, GPU time by a small ring of
// timer queries read back a few frames late, rows to a temporary file renamed on success.
#include "capture/stats_recorder.h"

#include "base/gl.h"

#include <algorithm>

FrameStatsRecorder::~FrameStatsRecorder() {
  if (activePassProbe == &probe) activePassProbe = nullptr;
}

bool FrameStatsRecorder::open(const std::string& framesPath, const std::string& passesPath, std::string& error) {
  if (!framesPath.empty() && !frames.open(framesPath, kFrameStatsHeader, error)) return false;
  return passesPath.empty() || passes.open(passesPath, kPassStatsHeader, error);
}

ShowHost& FrameStatsRecorder::wrap(Show& target, VirtualClockHost& host) {
  if (!frames.file && !passes.file) return host;
  show = &target;
  inner = &host;
  timers = frames.file && timerQueriesOffered();
  if (timers) {
    glGenQueries(kTimerRing, queries);
    checkGlError(__LINE__);
  }
  if (passes.file) {
    // A driver with neither timestamps nor statistics still names every pass, with empty figures.
    probe.start(kTimerRing);
    activePassProbe = &probe;
    perPass = true;
  }
  return *this;
}

bool FrameStatsRecorder::pollQuit() {
  // The slot's last frame was issued kTimerRing frames ago: read it before reusing the
  // queries, and before the clock starts, so the read-back is not charged to this frame.
  int slot = static_cast<int>(framesBegun % kTimerRing);
  settle(slot);
  frameStart = Clock::now();
  if (timers) {
    glBeginQuery(GL_TIME_ELAPSED, queries[slot]);
    checkGlError(__LINE__);
    queryOpen = true;
  }
  if (perPass) probe.beginFrame(slot);
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
  if (perPass) probe.endFrame();
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
  // A frame run only to reach the capture's first: its queries are reused unread.
  if (inner->nextWanted == captured) return;
  if (timers || perPass) {
    ring[slot].record = record;
    ring[slot].begun = frameStart;
    ring[slot].waiting = true;
  } else {
    writeRow(record);
  }
}

bool FrameStatsRecorder::finish(PendingOutputs& pending, std::string& error) {
  if (!frames.file && !passes.file) return true;
  endQuery();
  for (int64_t n = std::max<int64_t>(0, framesBegun - kTimerRing); n < framesBegun; ++n)
    settle(static_cast<int>(n % kTimerRing));
  releaseGl();
  return frames.finish(pending, error) && passes.finish(pending, error);
}

void FrameStatsRecorder::releaseGl() {
  endQuery();
  if (timers) {
    glDeleteQueries(kTimerRing, queries);
    checkGlError(__LINE__);
    timers = false;
  }
  if (perPass) {
    probe.stop();
    checkGlError(__LINE__);
    perPass = false;
  }
}

void FrameStatsRecorder::report() const {
  if (frames.finished) std::fputs(formatSummary(summarizeFrames(records)).c_str(), stderr);
  if (passes.finished) std::fputs(formatPassSummary(summarizePasses(passRecords)).c_str(), stderr);
  frames.reportWritten("statistics");
  passes.reportWritten("per-pass statistics");
}

// Appends a finished frame's row and keeps it for the summary.
void FrameStatsRecorder::writeRow(const FrameRecord& record) {
  if (!frames.file) return;
  records.push_back(record);
  frames.write(formatFrameRow(record));
}

// Appends a finished frame's pass rows and keeps them for the summary.
void FrameStatsRecorder::writePassRows(const FrameRecord& record, const std::vector<PassFigures>& figures) {
  for (const PassFigures& f : figures) {
    PassRecord pass;
    pass.frame = record.frame;
    pass.showMs = record.showMs;
    pass.scene = record.scene;
    pass.figures = f;
    passes.write(formatPassRow(pass));
    passRecords.push_back(pass);
  }
}

// Reads the GPU figures of the captured frame in slot, if one waits there, and writes its rows.
void FrameStatsRecorder::settle(int slot) {
  PendingFrame& pending = ring[slot];
  if (!pending.waiting) return;
  if (timers) {
    GLuint64 nanoseconds = 0;
    glGetQueryObjectui64v(queries[slot], GL_QUERY_RESULT, &nanoseconds);
    checkGlError(__LINE__);
    // A figure longer than the wall time that held the query is the driver's fault and is
    // left out rather than believed.
    double heldMs = std::chrono::duration<double, std::milli>(Clock::now() - pending.begun).count();
    pending.record.gpuMs = plausibleGpuMs(nanoseconds, heldMs);
  }
  if (perPass) writePassRows(pending.record, probe.collect(slot));
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
