// GPU time of frames through OpenGL timer queries, read back a few frames late so that
// asking never waits for the GPU.
#pragma once

#include <GL/glcorearb.h>

#include <chrono>
#include <cstdint>

// Frames whose GPU time is still in flight: a frame's timer query is read back this many
// frames after it was issued, when the GPU has long finished it, so reading never stalls.
constexpr int kTimerRing = 4;

// Slack allowed when checking a GPU time against the wall time that held it: the clocks differ.
constexpr double kGpuClockSlackMs = 1.0;

// True when the driver counts queries of target (GL_TIME_ELAPSED, GL_TIMESTAMP, a pipeline
// statistic): the entry points are there and the target has counter bits.
bool queryTargetOffered(GLenum target);
// True when the driver offers GL_TIME_ELAPSED timer queries. They are optional: their
// entry points are deliberately not among the functions the show requires, so this checks
// the table entries before any use.
bool timerQueriesOffered();
// A query's result in milliseconds, or -1 when it is longer than the wall time heldMs from
// issuing the query to reading it, which the GPU cannot have spent (llvmpipe reports a
// context's first query as the time since boot).
double plausibleGpuMs(uint64_t nanoseconds, double heldMs);

// The GPU time of the latest frame whose query has finished, for a live display.
class GpuFrameTimer {
 public:
  using Clock = std::chrono::steady_clock;

  bool offered = false;                 // the driver has timer queries; nothing is done otherwise
  GLuint queries[kTimerRing] = {};      // one query per ring slot
  Clock::time_point begun[kTimerRing];  // when each slot's query was begun
  bool issued[kTimerRing] = {};         // the slot holds a query not yet read
  int64_t frames = 0;                   // frames begun; frame n uses slot n % kTimerRing
  bool open = false;                    // a query was begun and not ended
  double lastMs = -1;                   // latest GPU time read, milliseconds; negative when unknown

  // Makes the queries when the driver offers them. Needs the context current.
  void start();
  // Begins timing a frame, after reading back the slot's earlier query if it has finished.
  void beginFrame();
  // Ends the frame's query.
  void endFrame();
  // Deletes the queries.
  void stop();
};
