// Worker processes that render a share of a span's frames and send them back in order.
#include "capture/render_workers.h"

#include "capture/cleanup.h"
#include "capture/egl_context.h"
#include "capture/offscreen.h"
#include "capture/supersample.h"
#include "show/show.h"
#include "show/virtual_clock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kWorkerFailed = 1;              // exit status of a worker that could not render or send
constexpr size_t kMaxPipeBytes = 1 << 20;     // a pipe's room asked for: Linux's default limit for a user

// Writes all of data to fd; false on any error (the capture has gone or stopped reading).
bool writeAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads exactly size bytes from fd; false at the end of the stream or on an error.
bool readAll(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads each of the worker's frames back exactly as the capture does and sends it.
class WorkerHost : public VirtualClockHost {
 public:
  int pipe = -1;  // write end to the capture
  FrameReader reader;  // at the output size, reduced here when supersampled
  bool failed = false;
  std::vector<uint8_t> pixels;

  bool pollQuit() override { return failed || VirtualClockHost::pollQuit(); }

  void onFrame(int64_t frameIndex) override {
    reader.read(pixels);
    WorkerFrameHeader header;
    header.frame = frameIndex;
    header.bytes = pixels.size();
    failed = !writeAll(pipe, &header, sizeof header) || !writeAll(pipe, pixels.data(), pixels.size());
  }
};

// The worker's life after fork: set up to die with the capture, render its frames, send
// them and end without running any destructor or exit handler of the capture's (they would
// remove the capture's files). Never returns.
[[noreturn]] void runWorker(const CaptureOptions& options, int jobs, int process, int64_t frameCount,
                            uint32_t fromMs, pid_t capture, int pipe) {
  becomeRenderWorker();
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != capture) _exit(kWorkerFailed);  // the capture ended before the line above
  // A group of its own, as the helper programs have: the terminal's interrupts go to the
  // capture, which stops its workers itself; its messages still reach a terminal set to tostop.
  setpgid(0, 0);
  signal(SIGTTOU, SIG_IGN);
  EglContext egl;
  Show show;
  if (!startOffscreenShow(egl, show, renderWidth(options), renderHeight(options), eglRequest(options)))
    _exit(kWorkerFailed);
  WorkerHost host;
  host.pipe = pipe;
  host.reader.width = options.width;
  host.reader.height = options.height;
  host.reader.factor = options.supersample;
  host.begin(show, options.fps, framesOfProcess(frameCount, jobs, process), fromMs);
  runShow(show, host);
  _exit(host.failed || host.nextWanted != host.wanted.size() ? kWorkerFailed : 0);
}

// "exit status N" or "signal N (name)", for a worker's wait status.
std::string describeWorkerEnd(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  return "an unknown end";
}

// Waits for the worker to end (it is ending, or has been killed) and forgets it; returns its
// wait status.
int reapWorker(RenderWorker& worker) {
  int status = 0;
  while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
  }
  forgetWorker(worker.pid);
  worker.pid = -1;
  return status;
}

// Closes the worker's pipe if open.
void closeWorkerPipe(RenderWorker& worker) {
  if (worker.pipe >= 0) close(worker.pipe);
  worker.pipe = -1;
}

}  // namespace

int frameOwner(int64_t frame, int jobs) { return static_cast<int>(frame % jobs); }

std::vector<int64_t> framesOfProcess(int64_t frameCount, int jobs, int process) {
  std::vector<int64_t> frames;
  for (int64_t k = process; k < frameCount; k += jobs) frames.push_back(k);
  return frames;
}

RenderWorkers::~RenderWorkers() { stopRenderWorkers(*this); }

void shareRasterizerThreads(int jobs) {
  if (jobs <= 1 || std::getenv("LP_NUM_THREADS")) return;
  long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  std::string threads = std::to_string(std::max(1L, cpus / jobs));
  setenv("LP_NUM_THREADS", threads.c_str(), 1);
}

bool startRenderWorkers(RenderWorkers& workers, const CaptureOptions& options, int64_t frameCount, uint32_t fromMs) {
  // A process with no frame of its own would only start a show for nothing.
  workers.jobs = static_cast<int>(std::min<int64_t>(options.jobs, std::max<int64_t>(frameCount, 1)));
  if (workers.jobs <= 1) return true;
  // Whatever waits in a stdio buffer would otherwise be written again by a worker's exit.
  std::fflush(nullptr);
  const size_t frameBytes = static_cast<size_t>(options.width) * options.height * 3;
  pid_t capture = getpid();
  for (int process = 1; process < workers.jobs; ++process) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
      std::fprintf(stderr, "demo-capture: cannot create a pipe for a render worker: %s\n", std::strerror(errno));
      stopRenderWorkers(workers);
      return false;
    }
    pid_t pid;
    bool tracked = false;
    int failure = 0;
    {
      CleanupScope scope;  // forked and tracked as one step
      pid = fork();
      failure = errno;
      if (pid == 0) {
        close(ends[0]);
        for (RenderWorker& earlier : workers.workers) closeWorkerPipe(earlier);
        runWorker(options, workers.jobs, process, frameCount, fromMs, capture, ends[1]);
      }
      if (pid > 0) tracked = trackWorker(pid);
    }
    close(ends[1]);
    if (pid < 0 || !tracked) {
      if (pid > 0) {
        kill(pid, SIGKILL);
        RenderWorker lost{pid, -1};
        reapWorker(lost);
      }
      close(ends[0]);
      std::fprintf(stderr, "demo-capture: cannot start render worker %d: %s\n", process,
                   pid < 0 ? std::strerror(failure) : "too many workers");
      stopRenderWorkers(workers);
      return false;
    }
    setpgid(pid, pid);  // as the worker does itself, whichever runs first
    // Room for a whole frame, where the system allows it, so a worker can render its next
    // frame while the capture has not yet taken the last one.
    fcntl(ends[0], F_SETPIPE_SZ, static_cast<int>(std::min(frameBytes + sizeof(WorkerFrameHeader), kMaxPipeBytes)));
    workers.workers[process].pid = pid;
    workers.workers[process].pipe = ends[0];
  }
  return true;
}

bool receiveWorkerFrame(RenderWorkers& workers, int64_t frame, size_t frameBytes, std::vector<uint8_t>& rgb,
                        std::string& error) {
  int process = frameOwner(frame, workers.jobs);
  RenderWorker& worker = workers.workers[process];
  WorkerFrameHeader header;
  rgb.resize(frameBytes);
  bool started = worker.pipe >= 0 && readAll(worker.pipe, &header, sizeof header);
  if (started && (header.frame != frame || header.bytes != frameBytes)) {
    error = "render worker " + std::to_string(process) + " sent frame " + std::to_string(header.frame) + " of " +
            std::to_string(header.bytes) + " bytes where frame " + std::to_string(frame) + " of " +
            std::to_string(frameBytes) + " was due";
    return false;
  }
  if (started && readAll(worker.pipe, rgb.data(), frameBytes)) return true;
  // The pipe ended early: the worker has ended, or ends as the pipe closes.
  closeWorkerPipe(worker);
  if (worker.pid <= 0) {
    error = "render worker " + std::to_string(process) + " stopped before frame " + std::to_string(frame);
    return false;
  }
  int status = reapWorker(worker);
  error = "render worker " + std::to_string(process) + " stopped: " + describeWorkerEnd(status) + " before frame " +
          std::to_string(frame);
  return false;
}

bool finishRenderWorkers(RenderWorkers& workers, std::string& error) {
  bool ok = true;
  for (int process = 1; process < workers.jobs; ++process) {
    RenderWorker& worker = workers.workers[process];
    closeWorkerPipe(worker);
    if (worker.pid <= 0) continue;
    int status = reapWorker(worker);
    if (ok && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      error = "render worker " + std::to_string(process) + " stopped: " + describeWorkerEnd(status) +
              " after its last frame";
      ok = false;
    }
  }
  return ok;
}

void stopRenderWorkers(RenderWorkers& workers) {
  // All are killed before any is waited for.
  for (RenderWorker& worker : workers.workers)
    if (worker.pid > 0) kill(worker.pid, SIGKILL);
  for (RenderWorker& worker : workers.workers) {
    closeWorkerPipe(worker);
    if (worker.pid > 0) reapWorker(worker);
  }
}
