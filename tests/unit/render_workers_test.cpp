// A span shared among processes: who renders which frame, the capture's side of the pipe from
// stand-in workers forked here, and a worker's exit leaving the capture's files alone.
#include "capture/cleanup.h"
#include "capture/options.h"
#include "capture/render_workers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Every frame of the span goes to exactly one process, k mod jobs, and each process's list
// is ascending, as the virtual clock takes it.
TEST(RenderWorkers, EveryFrameOfTheSpanIsRenderedOnceByItsOwner) {
  for (int64_t count : {1, 2, 7, 16, 17, 2881}) {
    for (int jobs = 1; jobs <= kMaxCaptureJobs; ++jobs) {
      std::vector<int> renderedBy(static_cast<size_t>(count), -1);
      for (int process = 0; process < jobs; ++process) {
        std::vector<int64_t> frames = framesOfProcess(count, jobs, process);
        for (size_t i = 0; i < frames.size(); ++i) {
          ASSERT_TRUE(frames[i] >= 0 && frames[i] < count && (i == 0 || frames[i] > frames[i - 1])) << frames[i];
          ASSERT_EQ(renderedBy[static_cast<size_t>(frames[i])], -1) << "frame " << frames[i] << " twice";
          renderedBy[static_cast<size_t>(frames[i])] = process;
        }
      }
      for (int64_t k = 0; k < count; ++k)
        ASSERT_TRUE(renderedBy[static_cast<size_t>(k)] == k % jobs && frameOwner(k, jobs) == k % jobs)
            << "frame " << k << " of " << count << ", " << jobs << " jobs";
    }
  }
}

// A stand-in worker 1 of two: sends the frames given (index and byte count, the index as every
// byte), then ends with status.
void standInWorker(RenderWorkers& workers, const std::vector<int64_t>& frames, size_t bytes, int status) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(ends[0]);
    for (int64_t frame : frames) {
      WorkerFrameHeader header{frame, bytes};
      std::vector<uint8_t> pixels(bytes, static_cast<uint8_t>(frame));
      if (write(ends[1], &header, sizeof header) != sizeof header) _exit(99);
      if (write(ends[1], pixels.data(), pixels.size()) != static_cast<ssize_t>(pixels.size())) _exit(99);
    }
    _exit(status);
  }
  close(ends[1]);
  workers.jobs = 2;
  workers.workers[1].pid = pid;
  workers.workers[1].pipe = ends[0];
}

// The capture takes a worker's frames in order and fails with the worker's own account when
// it sends something else, stops early (status 0 included), is killed while it sends, or ends
// badly after its last frame; a worker that has ended is reaped.
TEST(RenderWorkers, TheCaptureChecksWhatEachWorkerSends) {
  constexpr size_t kFrameBytes = 4 * 4 * 3;
  struct Case {
    std::vector<int64_t> sent;  // frames the worker sends
    size_t bytes;               // of each
    int status;                 // its exit status; negative: killed at once, in its first frame
    std::vector<int64_t> due;   // frames the capture takes from it before it finishes
    std::string error;          // the capture's account; empty for a success
  };
  const std::vector<Case> cases = {
      {{1, 3}, kFrameBytes, 0, {1, 3}, ""},
      {{3}, kFrameBytes, 0, {1}, "render worker 1 sent frame 3 of 48 bytes where frame 1 of 48 was due"},
      {{1}, kFrameBytes, 3, {1, 3}, "render worker 1 stopped: exit status 3 before frame 3"},
      {{1}, kFrameBytes, 4, {1}, "render worker 1 stopped: exit status 4 after its last frame"},
      {{1}, 1 << 20, -1, {1}, "render worker 1 stopped: signal 9 (" + std::string(strsignal(9)) + ") before frame 1"},
      {{}, kFrameBytes, 0, {1}, "render worker 1 stopped: exit status 0 before frame 1"},
  };
  for (const Case& c : cases) {
    RenderWorkers workers;
    standInWorker(workers, c.sent, c.bytes, std::max(c.status, 0));
    if (c.status < 0) kill(workers.workers[1].pid, SIGKILL);
    std::string error;
    bool ok = true;
    for (size_t i = 0; i < c.due.size() && ok; ++i) {
      std::vector<uint8_t> rgb;
      ok = receiveWorkerFrame(workers, c.due[i], c.bytes, rgb, error);
      EXPECT_TRUE(!ok || rgb == std::vector<uint8_t>(c.bytes, static_cast<uint8_t>(c.due[i]))) << c.due[i];
    }
    ok = ok && finishRenderWorkers(workers, error);
    EXPECT_EQ(ok ? "" : error, c.error);
    EXPECT_TRUE(workers.workers[1].pid == -1 || c.error.find("was due") != std::string::npos) << c.error;
  }
}

// What a process's exit does to the capture's temporary file when it has the capture's state
// (as a worker forked by the capture has; its OpenGL errors end it through exit, which runs the
// capture's clean-up). The state is made in a forked process of its own, so that this one
// keeps its signals; no thread runs beside that fork (one could leave the sanitizer build's
// allocator locked in the child). Returns whether the file outlived that process.
bool fileOutlivesExit(bool asWorker) {
  char path[] = "/tmp/render-workers-test-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return false;
  close(fd);
  pid_t child = fork();
  if (child == 0) {
    installCaptureCleanup();
    beginCapture(path);
    trackTemporaryFile(path);
    if (asWorker) becomeRenderWorker();
    int quiet = open("/dev/null", O_WRONLY);  // the clean-up's own message is not wanted here
    if (quiet >= 0) dup2(quiet, STDERR_FILENO);
    std::exit(1);
  }
  int status;
  waitpid(child, &status, 0);
  bool kept = access(path, F_OK) == 0;
  unlink(path);
  return kept;
}

TEST(RenderWorkers, AWorkerThatExitsLeavesTheCapturesFilesAlone) {
  EXPECT_TRUE(fileOutlivesExit(true));
  // Without forgetting what the capture tracks, the exit removes the capture's file.
  EXPECT_FALSE(fileOutlivesExit(false));
}

}  // namespace
