// Helper programs (ffmpeg, ffprobe) in child processes, started with posix_spawn: no work
// between fork and exec, default signal handling, a process group of their own so that the
// whole group can be stopped, and no descriptor but the pipes they are given.
#pragma once

#include <sys/types.h>

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
