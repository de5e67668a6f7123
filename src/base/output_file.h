// How a finished output file comes into being: a regular file (or a new name) is written under
// a temporary name made exclusively beside it and renamed on success, so a failure leaves
// nothing that looks complete; anything else (a device, a FIFO, standard output) is written in
// place. The outputs of one capture are renamed together, once all of them are checked.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

constexpr const char* kTemporarySuffix = ".part";  // after the unique part of a temporary's name

struct OutputFile {
  std::string path;       // the user's path, the only name messages give
  std::string finalPath;  // renamed onto at the end (a symlink's target); empty when in place
  std::string writePath;  // opened for writing: the temporary once made, or path itself in place
  bool inPlace = false;   // not a regular file, or standard output
  bool toStdout = false;  // the path "-" where standard output is allowed
  std::string problem;    // why path cannot be written at all (a folder, a dangling link); empty if none
  int slot = -1;          // clean-up slot of the temporary while it exists
};

// What the output files tell a program that removes their temporaries when it is cut short
// (the capture tool). With none set (the demo) a temporary is simply made and renamed or
// removed. made runs between hold and release, so that no clean-up can come between a
// temporary's creation and its report.
struct TemporaryFileHooks {
  void (*hold)() = nullptr;                        // before a temporary is made: the clean-up waits
  void (*release)() = nullptr;                     // after it is made and reported
  int (*made)(const std::string& path) = nullptr;  // a temporary now exists; returns its slot or -1
  void (*gone)(int slot) = nullptr;                // the temporary of slot was renamed or removed
};

// Sets the hooks every output file made from now on reports to. Call before any other thread starts.
void setTemporaryFileHooks(const TemporaryFileHooks& hooks);

// Works out where path is written. A symlink to a regular file keeps the link: its target is
// replaced. dashIsStdout lets "-" mean standard output.
OutputFile planOutput(const std::string& path, bool dashIsStdout);
// Checks, before any work, that the planned output can be written: no problem found by
// planOutput, and a temporary's folder that exists and is writable. False with a reason.
bool checkOutput(const OutputFile& out, std::string& error);
// 0 when folder is a folder this process may create files in, else the errno that says why.
int folderWriteError(const std::string& folder);
// The folder part of path ("." when it has none).
std::string folderOf(const std::string& path);
// The name messages give: the user's path, or "standard output".
std::string outputName(const OutputFile& out);
// Creates the temporary file exclusively (never through a link, never over an existing file)
// with a unique name beside the final one, already tracked for clean-up, and sets writePath;
// in place, opens path itself. Returns the descriptor, or -1 with a reason in error.
int createOutput(OutputFile& out, std::string& error);
// Opens the file to write as a stream (standard output stays open); see createOutput.
FILE* openOutput(OutputFile& out, std::string& error);
// Closes the file and checks every write reached it; errorNumber, when not 0, explains a
// failure found by the caller (ok false). On failure removes the temporary and returns false
// with a reason in error; on success the temporary waits for commitOutput.
bool closeOutput(OutputFile& out, FILE* file, bool ok, int errorNumber, std::string& error);
// Renames the closed temporary into place when ok, else removes it. False with a reason in
// error when ok was false or the rename fails.
bool commitOutput(OutputFile& out, bool ok, std::string& error);
// closeOutput, then commitOutput: a file that is a capture's only output.
bool finishOutput(OutputFile& out, FILE* file, bool ok, int errorNumber, std::string& error);
// The path as ffmpeg and ffprobe must be given it: "file:" and an absolute path, so that a
// colon or a leading '-' in the name is not read as a protocol or an option.
std::string toolPath(const std::string& path);

// The checked outputs of one capture, waiting to be renamed into place together.
class PendingOutputs {
 public:
  std::vector<OutputFile> files;  // closed temporaries (in-place outputs need nothing more)

  PendingOutputs() = default;
  PendingOutputs(const PendingOutputs&) = delete;
  PendingOutputs& operator=(const PendingOutputs&) = delete;
  // Removes the temporaries not committed.
  ~PendingOutputs();
  // Renames every file into place, in order; after a failed rename the rest are removed.
  // False with the reason in error.
  bool commitAll(std::string& error);
  // Removes every temporary.
  void discard();
};
