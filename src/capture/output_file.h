// How a finished output file comes into being: a regular file (or a new name) is written under
// a temporary name and renamed on success, so a failure leaves nothing that looks complete;
// anything else (a device, a FIFO, standard output) is written in place.
#pragma once

#include <cstdio>
#include <string>

struct OutputFile {
  std::string path;       // the user's path, the only name messages give
  std::string finalPath;  // renamed onto at the end (a symlink's target); empty when in place
  std::string writePath;  // opened for writing: the temporary, or path itself when in place
  bool inPlace = false;   // not a regular file, or standard output
  bool toStdout = false;  // the path "-" where standard output is allowed
  int slot = -1;          // clean-up slot of the temporary while it exists
};

// Works out where path is written. A symlink to a regular file keeps the link: its target is
// replaced. dashIsStdout lets "-" mean standard output.
OutputFile planOutput(const std::string& path, bool dashIsStdout);
// The name messages give: the user's path, or "standard output".
std::string outputName(const OutputFile& out);
// Opens the file to write (standard output stays open); the temporary is created already
// tracked for clean-up. Null with a reason in error.
FILE* openOutput(OutputFile& out, std::string& error);
// Closes the file and, when ok and written under a temporary name, renames it into place;
// otherwise removes the temporary. Returns false with a reason in error when ok was false or
// anything here fails; errorNumber, when not 0, explains a failure found by the caller.
bool finishOutput(OutputFile& out, FILE* file, bool ok, int errorNumber, std::string& error);
// Renames a temporary written by someone else (the encoder) into place, or removes it when
// !ok. False with a reason in error when the rename fails.
bool commitOutput(OutputFile& out, bool ok, std::string& error);
