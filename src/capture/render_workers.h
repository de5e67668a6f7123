// Rendering one span in several processes: the capture forks workers before it has an
// OpenGL context of its own (a fork with a live context is unsafe); each renders every
// jobs-th frame in a context of its own and sends the pictures back through a pipe, and the
// capture takes them in frame order. Every scene's frames are the same pictures however they
// are reached, so the split changes no pixel. Outputs, music and the encoder stay with the
// capture alone.
#pragma once

#include "capture/options.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// The process that renders frame k of a span: k mod jobs, where 0 is the capture itself.
int frameOwner(int64_t frame, int jobs);
// The frames of a span of frameCount frames that process renders, ascending.
std::vector<int64_t> framesOfProcess(int64_t frameCount, int jobs, int process);

// What comes before each picture on a worker's pipe; the capture checks both fields.
struct WorkerFrameHeader {
  int64_t frame = -1;  // frame index in the span
  uint64_t bytes = 0;  // picture bytes that follow: width * height * 3
};

struct RenderWorker {
  pid_t pid = -1;  // -1 once reaped, or never started
  int pipe = -1;   // read end of the pictures it sends; -1 when closed
};

// The capture's workers, 1 to jobs - 1 (slot 0, the capture itself, stays empty). Kills and
// reaps whatever still runs when it goes.
class RenderWorkers {
 public:
  int jobs = 1;
  RenderWorker workers[kMaxCaptureJobs];

  RenderWorkers() = default;
  RenderWorkers(const RenderWorkers&) = delete;
  RenderWorkers& operator=(const RenderWorkers&) = delete;
  ~RenderWorkers();
};

// Sets LP_NUM_THREADS to the online CPUs shared among jobs processes (at least 1) unless the
// user has set it: a hint to llvmpipe, which would otherwise start a rasterizer thread per CPU
// in every process; other drivers ignore it.
void shareRasterizerThreads(int jobs);
// Forks options.jobs - 1 workers for the span of frameCount frames starting at fromMs; each
// one starts its own headless show, renders its frames, sends them and ends with _exit,
// never returning here. False after a message, with the workers already started stopped.
bool startRenderWorkers(RenderWorkers& workers, const CaptureOptions& options, int64_t frameCount, uint32_t fromMs);
// Reads frame k from the worker that renders it into rgb (resized to fit); false with a
// reason in error when the worker has stopped or sent something else.
bool receiveWorkerFrame(RenderWorkers& workers, int64_t frame, size_t frameBytes, std::vector<uint8_t>& rgb,
                        std::string& error);
// Waits for every worker to end after its last frame; false with a reason in error when one
// did not end well.
bool finishRenderWorkers(RenderWorkers& workers, std::string& error);
// Kills and reaps every worker still running and closes the pipes.
void stopRenderWorkers(RenderWorkers& workers);
