// A span shared among processes: who renders which frame, the capture's side of the pipe from
// a worker (stand-in workers forked here, without OpenGL), and a worker's exit leaving the
// capture's files alone.
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
          ASSERT_TRUE(frames[i] >= 0 && frames[i] < count) << frames[i];
          ASSERT_TRUE(i == 0 || frames[i] > frames[i - 1]);
          ASSERT_EQ(renderedBy[static_cast<size_t>(frames[i])], -1) << "frame " << frames[i] << " twice";
          renderedBy[static_cast<size_t>(frames[i])] = process;
        }
      }
      for (int64_t k = 0; k < count; ++k) {
        ASSERT_EQ(renderedBy[static_cast<size_t>(k)], frameOwner(k, jobs)) << count << " frames, " << jobs << " jobs";
        ASSERT_EQ(frameOwner(k, jobs), k % jobs);
      }
    }
  }
  EXPECT_EQ(framesOfProcess(10, 3, 1), (std::vector<int64_t>{1, 4, 7}));
  EXPECT_TRUE(framesOfProcess(2, 3, 2).empty());
}

constexpr size_t kFrameBytes = 4 * 4 * 3;

// A stand-in worker 1 of two: sends the frames given (index, byte count, the index as every
// byte), then ends with status.
void standInWorker(RenderWorkers& workers, std::vector<std::pair<int64_t, uint64_t>> frames, int status) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(ends[0]);
    for (const auto& frame : frames) {
      WorkerFrameHeader header;
      header.frame = frame.first;
      header.bytes = frame.second;
      std::vector<uint8_t> pixels(frame.second, static_cast<uint8_t>(frame.first));
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
// it sends something else, stops early or ends badly after its last frame.
TEST(RenderWorkers, TheCaptureChecksWhatEachWorkerSends) {
  std::vector<uint8_t> rgb;
  std::string error;
  {
    RenderWorkers workers;
    standInWorker(workers, {{1, kFrameBytes}, {3, kFrameBytes}}, 0);
    ASSERT_TRUE(receiveWorkerFrame(workers, 1, kFrameBytes, rgb, error)) << error;
    EXPECT_EQ(rgb, std::vector<uint8_t>(kFrameBytes, 1));
    ASSERT_TRUE(receiveWorkerFrame(workers, 3, kFrameBytes, rgb, error)) << error;
    EXPECT_EQ(rgb, std::vector<uint8_t>(kFrameBytes, 3));
    EXPECT_TRUE(finishRenderWorkers(workers, error)) << error;
    EXPECT_EQ(workers.workers[1].pid, -1);
  }
  {
    RenderWorkers workers;
    standInWorker(workers, {{3, kFrameBytes}}, 0);
    EXPECT_FALSE(receiveWorkerFrame(workers, 1, kFrameBytes, rgb, error));
    EXPECT_EQ(error, "render worker 1 sent frame 3 of 48 bytes where frame 1 of 48 was due");
  }
  {
    RenderWorkers workers;
    standInWorker(workers, {{1, kFrameBytes}}, 3);
    ASSERT_TRUE(receiveWorkerFrame(workers, 1, kFrameBytes, rgb, error)) << error;
    EXPECT_FALSE(receiveWorkerFrame(workers, 3, kFrameBytes, rgb, error));
    EXPECT_EQ(error, "render worker 1 stopped: exit status 3 before frame 3");
    EXPECT_EQ(workers.workers[1].pid, -1) << "not reaped";
  }
  {
    RenderWorkers workers;
    standInWorker(workers, {{1, kFrameBytes}}, 4);
    ASSERT_TRUE(receiveWorkerFrame(workers, 1, kFrameBytes, rgb, error)) << error;
    EXPECT_FALSE(finishRenderWorkers(workers, error));
    EXPECT_EQ(error, "render worker 1 stopped: exit status 4 after its last frame");
  }
  {
    // Killed while it sends: the signal is named; a worker's status 0 before its frames is no
    // success either.
    RenderWorkers workers;
    standInWorker(workers, {{1, 1 << 20}}, 0);
    kill(workers.workers[1].pid, SIGKILL);
    EXPECT_FALSE(receiveWorkerFrame(workers, 1, 1 << 20, rgb, error));
    EXPECT_NE(error.find("render worker 1 stopped: signal 9 ("), std::string::npos) << error;
    RenderWorkers quiet;
    standInWorker(quiet, {}, 0);
    EXPECT_FALSE(receiveWorkerFrame(quiet, 1, kFrameBytes, rgb, error));
    EXPECT_EQ(error, "render worker 1 stopped: exit status 0 before frame 1");
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
