// Statistics files: temporary name, rows, checked close, rename with the capture's outputs.
#include "capture/csv_output.h"

#include <cerrno>

CsvOutput::~CsvOutput() {
  if (!file) return;
  std::string ignored;
  finishOutput(output, file, false, 0, ignored);
}

bool CsvOutput::open(const std::string& csvPath, const char* header, std::string& error) {
  path = csvPath;
  // A regular file is written under a temporary name tracked for clean-up on an interrupt;
  // a device or FIFO is written in place.
  output = planOutput(csvPath, true);
  file = openOutput(output, error);
  if (!file) return false;
  write(header);
  return true;
}

void CsvOutput::write(const std::string& text) {
  if (!file) return;
  if (std::fputs(text.c_str(), file) < 0 && !writeFailed) {
    writeFailed = true;
    writeErrno = errno;
  }
}

bool CsvOutput::finish(PendingOutputs& pending, std::string& error) {
  if (!file) return true;
  FILE* written = file;
  file = nullptr;
  int failure = writeFailed ? (writeErrno ? writeErrno : EIO) : 0;
  if (!closeOutput(output, written, !writeFailed, failure, error)) return false;
  pending.files.push_back(output);
  output = OutputFile();
  finished = true;
  return true;
}

void CsvOutput::reportWritten(const char* what) const {
  if (!finished) return;
  if (path == "-")
    std::fprintf(stderr, "wrote the %s to standard output\n", what);
  else
    std::fprintf(stderr, "wrote %s\n", path.c_str());
}
