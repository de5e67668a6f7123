// A statistics file of a capture: a header and rows written under a temporary name (or in
// place for a device, a FIFO or "-", standard output), checked and handed to the capture's
// pending outputs at the end, removed when the capture fails.
#pragma once

#include "base/output_file.h"

#include <cstdio>
#include <string>

class CsvOutput {
 public:
  std::string path;          // as the user gave it
  OutputFile output;         // where rows go until the capture succeeds
  FILE* file = nullptr;      // open file; null when not opened or finished
  bool finished = false;     // finish() closed it and handed it on
  bool writeFailed = false;  // a row could not be written
  int writeErrno = 0;        // why, when known

  CsvOutput() = default;
  CsvOutput(const CsvOutput&) = delete;
  CsvOutput& operator=(const CsvOutput&) = delete;
  // Removes the temporary file unless finish() handed it on.
  ~CsvOutput();

  // Creates the temporary file and writes header; false with a message in error.
  bool open(const std::string& csvPath, const char* header, std::string& error);
  // Appends text; a failure is remembered and reported by finish().
  void write(const std::string& text);
  // Closes the file, checking every row reached it; the file then waits in pending to be
  // renamed with the capture's other outputs. True when never opened.
  bool finish(PendingOutputs& pending, std::string& error);
  // "wrote PATH" (or standard output) for the end of a successful capture.
  void reportWritten(const char* what) const;
};
