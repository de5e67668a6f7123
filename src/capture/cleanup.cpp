// The capture's clean-up on interrupts and fatal errors. Signals are taken by one thread with
// sigwait rather than by a handler, so the clean-up may lock and the scenes' driver threads
// never see them; a recursive lock keeps the main thread's file and child bookkeeping whole.
#include "capture/cleanup.h"

#include "base/output_file.h"

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxNoteBytes = 256;   // the note added to an interrupt message
constexpr int kMaxNameBytes = 64;    // a helper program's name in messages
constexpr int kMaxMessageBytes = PATH_MAX + 2 * kMaxNoteBytes + kMaxNameBytes;

// Plain data only: the signal thread may still read it while static destructors run.
pthread_mutex_t registryLock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
bool capturing = false;                             // between beginCapture and endCapture
char capturePath[PATH_MAX] = "";                    // the user's path, for messages
char captureNote[kMaxNoteBytes] = "";               // what stays behind, for messages
char trackedFiles[kMaxTrackedFiles][PATH_MAX] = {};  // empty string: slot free
pid_t trackedChild = -1;                            // -1: none
char trackedChildName[kMaxNameBytes] = "";          // its program, for messages
pid_t trackedWorkers[kMaxTrackedWorkers] = {};      // 0: slot free

const int kStopSignals[3] = {SIGINT, SIGTERM, SIGHUP};
sigset_t ignoredOnEntry;  // stop signals this process was started with ignored (nohup, background jobs)

// The signals that stop a capture: those not ignored on entry.
sigset_t stopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kStopSignals)
    if (!sigismember(&ignoredOnEntry, sig)) sigaddset(&set, sig);
  return set;
}

// Copies text into a fixed buffer, cut short if it must be.
void copyText(char* out, size_t size, const std::string& text) {
  std::snprintf(out, size, "%s", text.c_str());
}

// Writes text to stderr without its stdio lock, which the main thread may hold.
void say(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t n = write(STDERR_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

// Kills every tracked rendering process, then reaps them all (killed first, so that none
// renders on while another is reaped). Caller holds the lock.
void stopTrackedWorkers() {
  for (pid_t pid : trackedWorkers)
    if (pid > 0) kill(pid, SIGKILL);
  for (pid_t& pid : trackedWorkers) {
    int status;
    while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = 0;
  }
}

// Kills and reaps the tracked child and workers, removes the tracked files; caller holds the lock.
// Returns true when there was a child to stop (named in trackedChildName).
bool undoCapture() {
  bool stoppedChild = trackedChild > 0;
  if (stoppedChild) {
    kill(-trackedChild, SIGKILL);  // the whole group: a wrapper script and what it started
    int status;
    while (waitpid(trackedChild, &status, 0) < 0 && errno == EINTR) {
    }
    trackedChild = -1;
  }
  stopTrackedWorkers();
  for (char* path : trackedFiles) {
    if (path[0]) unlink(path);
    path[0] = '\0';
  }
  return stoppedChild;
}

// The name of a stop signal, for messages.
const char* signalName(int sig) {
  switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP";
  }
}

// Waits for a stop signal, cleans up and ends the process; never returns.
void* waitForStopSignal(void*) {
  sigset_t set = stopSignalSet();
  int sig = 0;
  while (sigwait(&set, &sig) != 0) {
  }
  pthread_mutex_lock(&registryLock);  // held until the process ends: no new file or child
  char message[kMaxMessageBytes];
  const char* lead = isatty(STDERR_FILENO) ? "\n" : "";
  if (capturing) {
    bool stopped = undoCapture();
    std::snprintf(message, sizeof message, "%sdemo-capture: interrupted by %s: %s%s%sremoved the unfinished files of %s%s%s\n",
                  lead, signalName(sig), stopped ? "stopped " : "", stopped ? trackedChildName : "",
                  stopped ? " and " : "", capturePath, captureNote[0] ? "; " : "", captureNote);
  } else {
    undoCapture();
    std::snprintf(message, sizeof message, "%sdemo-capture: interrupted by %s\n", lead, signalName(sig));
  }
  say(message);
  _exit(128 + sig);
}

// The output files' hooks around the making of a temporary: the clean-up waits meanwhile.
void holdCleanup() { pthread_mutex_lock(&registryLock); }

void releaseCleanup() { pthread_mutex_unlock(&registryLock); }

// Runs at exit: only a capture that never reached endCapture (the OpenGL error check ends the
// process through exit) has anything to undo.
void cleanUpAtExit() {
  pthread_mutex_lock(&registryLock);
  if (!capturing) {
    stopTrackedWorkers();
  } else {
    bool stopped = undoCapture();
    char message[kMaxMessageBytes];
    std::snprintf(message, sizeof message, "demo-capture: the capture of %s ended at the error above: %s%s%sremoved its unfinished files%s%s\n",
                  capturePath, stopped ? "stopped " : "", stopped ? trackedChildName : "", stopped ? " and " : "",
                  captureNote[0] ? "; " : "", captureNote);
    say(message);
    capturing = false;
  }
  pthread_mutex_unlock(&registryLock);
}

}  // namespace

void installCaptureCleanup() {
  signal(SIGCHLD, SIG_DFL);  // an inherited SIG_IGN would make every child unwaitable
  signal(SIGPIPE, SIG_IGN);
  // A write past `ulimit -f` then fails with EFBIG, which the write paths report and clean up.
  signal(SIGXFSZ, SIG_IGN);
  // A stop signal handed down ignored (nohup, a background job of a script) was meant not to
  // reach this process: it stays ignored, here and in the helper programs.
  sigemptyset(&ignoredOnEntry);
  for (int sig : kStopSignals) {
    struct sigaction current;
    if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) sigaddset(&ignoredOnEntry, sig);
  }
  sigset_t set = stopSignalSet();
  bool anyToWaitFor = false;
  for (int sig : kStopSignals) anyToWaitFor = anyToWaitFor || sigismember(&set, sig);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  pthread_t thread;
  if (!anyToWaitFor) {
    // Every stop signal is ignored: nothing to wait for.
  } else if (pthread_create(&thread, nullptr, waitForStopSignal, nullptr) == 0) {
    pthread_detach(thread);
  } else {
    // Without the thread the signals keep their default action rather than stay blocked.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
  std::atexit(cleanUpAtExit);
  TemporaryFileHooks hooks;
  hooks.hold = holdCleanup;
  hooks.release = releaseCleanup;
  hooks.made = trackTemporaryFile;
  hooks.gone = forgetTemporaryFile;
  setTemporaryFileHooks(hooks);
}

void beginCapture(const std::string& what, const std::string& note) {
  CleanupScope scope;
  copyText(capturePath, sizeof capturePath, what);
  copyText(captureNote, sizeof captureNote, note);
  capturing = true;
}

void endCapture() {
  CleanupScope scope;
  capturing = false;
}

CleanupScope::CleanupScope() { pthread_mutex_lock(&registryLock); }

CleanupScope::~CleanupScope() { pthread_mutex_unlock(&registryLock); }

int trackTemporaryFile(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  CleanupScope scope;
  for (int i = 0; i < kMaxTrackedFiles; ++i) {
    if (trackedFiles[i][0]) continue;
    copyText(trackedFiles[i], PATH_MAX, path);
    return i;
  }
  return -1;
}

void forgetTemporaryFile(int slot) {
  if (slot < 0 || slot >= kMaxTrackedFiles) return;
  CleanupScope scope;
  trackedFiles[slot][0] = '\0';
}

void trackChild(pid_t pid, const std::string& name) {
  CleanupScope scope;
  trackedChild = pid;
  copyText(trackedChildName, sizeof trackedChildName, name);
}

void forgetChild(pid_t pid) {
  CleanupScope scope;
  if (trackedChild == pid) trackedChild = -1;
}

bool trackWorker(pid_t pid) {
  CleanupScope scope;
  for (pid_t& slot : trackedWorkers) {
    if (slot > 0) continue;
    slot = pid;
    return true;
  }
  return false;
}

void forgetWorker(pid_t pid) {
  CleanupScope scope;
  for (pid_t& slot : trackedWorkers)
    if (slot == pid) slot = 0;
}

void becomeRenderWorker() {
  // Forked while the parent's main thread held the lock (or its signal thread did): a fresh
  // one, as this process has no other thread to release it.
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&registryLock, &attributes);
  pthread_mutexattr_destroy(&attributes);
  capturing = false;
  for (char* path : trackedFiles) path[0] = '\0';
  trackedChild = -1;
  for (pid_t& pid : trackedWorkers) pid = 0;
  sigset_t set = stopSignalSet();
  sigaddset(&set, SIGTERM);  // how a worker is told that its parent has gone
  for (int sig : kStopSignals)
    if (sigismember(&set, sig)) signal(sig, SIG_DFL);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

sigset_t signalsToReset() {
  sigset_t set;
  sigfillset(&set);
  for (int sig : kStopSignals)
    if (sigismember(&ignoredOnEntry, sig)) sigdelset(&set, sig);
  return set;
}
