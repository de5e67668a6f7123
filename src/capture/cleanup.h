// What an unfinished capture must undo when it is cut short: the encoder to stop and the
// temporary files to remove, on SIGINT, SIGTERM, SIGHUP or a fatal OpenGL error (which ends
// the process through exit).
#pragma once

#include "capture/options.h"

#include <signal.h>
#include <sys/types.h>

#include <string>

constexpr int kMaxOtherTemporaries = 8;  // temporaries besides the stills: video, music, statistics, room to spare
constexpr int kMaxTrackedFiles = kMaxAtTimes + kMaxOtherTemporaries;  // temporary files alive at once
constexpr int kMaxTrackedWorkers = kMaxCaptureJobs - 1;  // rendering processes of one capture besides this one

// Blocks SIGINT, SIGTERM and SIGHUP (those of them not ignored on entry, which stay ignored)
// in this thread (and so in every thread started later) and
// starts a thread that waits for them: it stops the tracked child, removes the tracked files,
// says so on stderr and ends the process with 128 + the signal number. Also registers the
// same clean-up to run at exit, resets SIGCHLD to its default so children can be waited for,
// and ignores SIGPIPE and SIGXFSZ so a closed pipe or a file-size limit shows up as a failed
// write; the output files (base/output_file.h) then report their temporaries to it. Call
// once, before any other thread starts.
void installCaptureCleanup();
// Names what is being made (the user's path) for the messages, and marks the capture as
// running: an exit before endCapture() is reported and cleaned up. note, when not empty, is
// added to the message (what stays behind and why).
void beginCapture(const std::string& what, const std::string& note = "");
// The capture has ended through the normal path, well or not: nothing is left to undo.
void endCapture();

// Holds the clean-up back while it lives: a file created or a child started inside the scope
// is tracked before an interrupt can run, so none escapes. Keep scopes short.
class CleanupScope {
 public:
  CleanupScope();
  ~CleanupScope();
  CleanupScope(const CleanupScope&) = delete;
  CleanupScope& operator=(const CleanupScope&) = delete;
};

// Tracks a temporary file to remove if the capture is cut short; returns its slot, or -1 when
// every slot is taken or the path is too long (the file is then simply not tracked).
int trackTemporaryFile(const std::string& path);
// Stops tracking the file in slot (after it was renamed or removed); -1 is ignored.
void forgetTemporaryFile(int slot);
// The signals a helper program gets with their default action: all but the stop signals this
// process was started with ignored, which the helpers inherit ignored as well.
sigset_t signalsToReset();
// Tracks a child process (leader of its own process group) to kill and reap if cut short;
// name is the program's, for the messages.
void trackChild(pid_t pid, const std::string& name);
// Stops tracking the child (it has been reaped).
void forgetChild(pid_t pid);
// Tracks a rendering process forked by this one, killed and reaped with the child if the
// capture is cut short; false when every slot is taken.
bool trackWorker(pid_t pid);
// Stops tracking the rendering process (it has been reaped).
void forgetWorker(pid_t pid);
// In a freshly forked rendering process: forgets everything the capture tracks (its files
// and processes are the parent's to undo, never this one's), makes the lock usable again and
// gives the stop signals not ignored on entry, and SIGTERM always, their default action,
// unblocked. Call first thing after fork, in the child.
void becomeRenderWorker();
