// Starting, watching and stopping helper programs.
#include "capture/child_process.h"

#include "capture/cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

constexpr size_t kReadChunkBytes = 4096;

// Marks every open descriptor close-on-exec: whatever this process inherited or a driver
// opened must not reach the child, which gets only the ends spawn duplicates onto 0 to 2.
void closeEverythingOnExec() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) {
    long max = sysconf(_SC_OPEN_MAX);
    for (int fd = 3; fd < (max > 0 && max < 65536 ? max : 65536); ++fd) {
      int flags = fcntl(fd, F_GETFD);
      if (flags >= 0 && !(flags & FD_CLOEXEC)) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
    return;
  }
  int own = dirfd(dir);
  while (dirent* entry = readdir(dir)) {
    int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd < 3 || fd == own) continue;
    int flags = fcntl(fd, F_GETFD);
    if (flags >= 0 && !(flags & FD_CLOEXEC)) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
  }
  closedir(dir);
}

// rchar + wchar of /proc/PID/io: every byte the process read or wrote; -1 when unreadable.
long long ioBytesOf(pid_t pid) {
  char name[64];
  std::snprintf(name, sizeof name, "/proc/%d/io", static_cast<int>(pid));
  FILE* file = std::fopen(name, "re");
  if (!file) return -1;
  long long total = -1, value = 0;
  char key[32];
  while (std::fscanf(file, "%31[^:]: %lld\n", key, &value) == 2) {
    if (std::strcmp(key, "rchar") == 0 || std::strcmp(key, "wchar") == 0) total = (total < 0 ? 0 : total) + value;
  }
  std::fclose(file);
  return total;
}

// Closes fd unless it is -1, and sets it to -1.
void closeIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// The child's standard streams: input from inputEnd and output to outputEnd, or /dev/null
// where they are -1; errors always to errorEnd.
void setChildStreams(posix_spawn_file_actions_t& actions, int inputEnd, int outputEnd, int errorEnd) {
  if (inputEnd >= 0)
    posix_spawn_file_actions_adddup2(&actions, inputEnd, STDIN_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (outputEnd >= 0)
    posix_spawn_file_actions_adddup2(&actions, outputEnd, STDOUT_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, errorEnd, STDERR_FILENO);
}

// Default actions for all signals (SIGPIPE and SIGCHLD are ignored here, and ignoring is
// inherited) but stop signals ignored on entry, none blocked (the capture blocks its stop
// signals), and a group of its own.
void setChildSignals(posix_spawnattr_t& attributes) {
  sigset_t reset = signalsToReset(), nothing;
  sigemptyset(&nothing);
  posix_spawnattr_setsigdefault(&attributes, &reset);
  posix_spawnattr_setsigmask(&attributes, &nothing);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
}

}  // namespace

bool startChild(ChildProcess& child, const std::vector<std::string>& args, bool feedInput, bool readOutput,
                std::string& error) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if ((feedInput && pipe2(in, O_CLOEXEC) != 0) || (readOutput && pipe2(out, O_CLOEXEC) != 0) ||
      pipe2(err, O_CLOEXEC) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    for (int* ends : {in, out, err}) {
      closeIfOpen(ends[0]);
      closeIfOpen(ends[1]);
    }
    return false;
  }
  closeEverythingOnExec();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  setChildStreams(actions, feedInput ? in[0] : -1, readOutput ? out[1] : -1, err[1]);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  setChildSignals(attributes);

  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int result;
  {
    CleanupScope scope;  // started and tracked as one step
    result = posix_spawn(&pid, args[0].c_str(), &actions, &attributes, argv.data(), environ);
    if (result == 0) trackChild(pid, args[0].substr(args[0].rfind('/') + 1));
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  closeIfOpen(in[0]);
  closeIfOpen(out[1]);
  closeIfOpen(err[1]);
  if (result != 0) {
    closeIfOpen(in[1]);
    closeIfOpen(out[0]);
    closeIfOpen(err[0]);
    error = "cannot start " + args[0] + ": " + std::strerror(result);
    return false;
  }
  if (feedInput) fcntl(in[1], F_SETFL, fcntl(in[1], F_GETFL) | O_NONBLOCK);
  fcntl(err[0], F_SETFL, fcntl(err[0], F_GETFL) | O_NONBLOCK);
  if (readOutput) fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
  child.pid = pid;
  child.input = in[1];
  child.output = out[0];
  child.errors = err[0];
  return true;
}

bool drainPipe(int fd, std::string& text, size_t limit) {
  char buffer[kReadChunkBytes];
  while (true) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      if (text.size() < limit) text.append(buffer, std::min(static_cast<size_t>(n), limit - text.size()));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

int reapChild(ChildProcess& child, int& status, std::string& error) {
  while (true) {
    pid_t result = waitpid(child.pid, &status, WNOHANG);
    if (result == child.pid) {
      forgetChild(child.pid);
      child.pid = -1;
      return 1;
    }
    if (result == 0) return 0;
    if (errno == EINTR) continue;
    error = std::string("cannot wait for the helper program: ") + std::strerror(errno);
    forgetChild(child.pid);
    child.pid = -1;
    return -1;
  }
}

void killChild(ChildProcess& child) {
  if (child.pid > 0) {
    kill(-child.pid, SIGKILL);
    int status;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    forgetChild(child.pid);
    child.pid = -1;
  }
  closePipes(child);
}

void closePipes(ChildProcess& child) {
  closeIfOpen(child.input);
  closeIfOpen(child.output);
  closeIfOpen(child.errors);
}

std::string describeExit(const std::string& name, int status) {
  if (WIFEXITED(status)) {
    if (WEXITSTATUS(status) == 0) return "";
    if (WEXITSTATUS(status) == 127) return name + " could not be run (status 127)";
    return name + " failed with status " + std::to_string(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status)) return name + " was ended by signal " + std::to_string(WTERMSIG(status));
  return name + " stopped unexpectedly";
}

std::string trimmed(const std::string& text) {
  size_t end = text.find_last_not_of(" \n\r\t");
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

std::string findOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return "";
  std::string list(path);
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(':', begin);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(begin, end - begin);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    begin = end + 1;
  }
  return "";
}

void startWatch(ProgressWatch& watch, pid_t pid, const std::string& file) {
  watch = ProgressWatch();
  watch.pid = pid;
  watch.file = file;
  lookForProgress(watch, true);
}

double lookForProgress(ProgressWatch& watch, bool progressed) {
  auto now = std::chrono::steady_clock::now();
  if (progressed && watch.lastLook != std::chrono::steady_clock::time_point()) {
    // Seen by the caller: no need to look further (a change found later is progress too).
    watch.idleSeconds = 0;
    watch.lastLook = now;
    return 0;
  }
  long long io = watch.pid > 0 ? ioBytesOf(watch.pid) : -1;
  if (io >= 0 && io != watch.ioBytes) progressed = true;
  watch.ioBytes = io;
  struct stat info;
  long long size = -1, changeNs = -1;
  if (!watch.file.empty() && stat(watch.file.c_str(), &info) == 0) {
    size = static_cast<long long>(info.st_size);
    changeNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
  }
  // A rewrite in place (an mp4's index moved to the front) changes the time, not the size.
  if (size != watch.fileSize || changeNs != watch.fileChangeNs) progressed = true;
  watch.fileSize = size;
  watch.fileChangeNs = changeNs;
  if (progressed) {
    watch.idleSeconds = 0;
  } else {
    double step = std::chrono::duration<double>(now - watch.lastLook).count();
    watch.idleSeconds += std::min(step, kMaxCountedLookSeconds);
  }
  watch.lastLook = now;
  return watch.idleSeconds;
}
