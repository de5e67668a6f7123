// Helper programs (ffmpeg, ffprobe) in child processes, started with posix_spawn: no work
// between fork and exec, default signal handling, a process group of their own so that the
// whole group can be stopped, and no descriptor but the pipes they are given.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct ChildProcess {
  pid_t pid = -1;   // -1 when not running; also its process group
  int input = -1;   // non-blocking write end of its stdin; -1 when it gets /dev/null
  int output = -1;  // read end of its stdout; -1 when it goes to /dev/null
  int errors = -1;  // read end of its stderr
};

// Starts args[0] with args; feedInput and readOutput ask for pipes on stdin and stdout. The
// child is tracked for clean-up from the moment it exists. False with a reason in error.
bool startChild(ChildProcess& child, const std::vector<std::string>& args, bool feedInput, bool readOutput,
                std::string& error);
// Reads what is available on fd without blocking and appends it to text, keeping at most
// limit bytes; returns false once the other end has closed (or on a read error).
bool drainPipe(int fd, std::string& text, size_t limit);
// Checks whether the child has ended: 1 with its wait status, 0 while it runs, -1 with a
// reason in error when it cannot be waited for.
int reapChild(ChildProcess& child, int& status, std::string& error);
// Kills the child's process group, reaps the child and closes the pipes.
void killChild(ChildProcess& child);
// Closes whichever pipes are still open.
void closePipes(ChildProcess& child);
// "NAME failed with status N" or "NAME was ended by signal N"; empty for a clean exit.
std::string describeExit(const std::string& name, int status);
// text without trailing white space: a helper program's messages, ready to quote.
std::string trimmed(const std::string& text);
// Finds a program on PATH; returns its path, or an empty string.
std::string findOnPath(const char* program);

// The longest stretch one look at a helper may count as its idle time: a look that comes
// later than this (this process was stopped by SIGSTOP or Ctrl-Z, or starved) counts only
// this much, so the time a capture spends stopped is not blamed on the helper.
constexpr double kMaxCountedLookSeconds = 1.0;

// Signs of a helper program's own progress: the bytes it has read and written (its
// /proc/PID/io, where readable) and the size and modification time of a file it writes.
struct ProgressWatch {
  pid_t pid = -1;                 // the helper
  std::string file;               // a file it writes; empty when none is watched
  long long ioBytes = -1;         // its read and written bytes at the last look; -1 unknown
  long long fileSize = -1;        // the file's size at the last look; -1 none
  long long fileChangeNs = -1;    // the file's modification time at the last look, nanoseconds
  double idleSeconds = 0;         // counted time without progress since the last progress
  std::chrono::steady_clock::time_point lastLook;
};

// Starts watching pid (and file, when not empty) with no idle time counted.
void startWatch(ProgressWatch& watch, pid_t pid, const std::string& file);
// Looks again: progressed (the caller saw the helper take data or say something), new I/O or
// a changed file resets the idle time; otherwise the time since the last look, at most
// kMaxCountedLookSeconds, is added. Returns the idle time in seconds.
double lookForProgress(ProgressWatch& watch, bool progressed);
