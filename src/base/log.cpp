// The process-wide log stream.
#include "base/log.h"

#include <cstdarg>

namespace {
FILE* logStream = nullptr;  // null while closed or when opening failed
bool logOwned = false;      // opened by logOpen, so closed by logClose
}

void logOpen(const char* path) {
  logClose();
  logStream = std::fopen(path, "w");
  logOwned = logStream != nullptr;
}

void logAttach(FILE* stream) {
  logClose();
  logStream = stream;
  logOwned = false;
}

void logMessage(const char* format, ...) {
  // Every line also goes to stderr: where the log file cannot be made (a read-only folder) a
  // start-up failure would otherwise leave no word anywhere.
  if (logStream != stderr) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fflush(stderr);
  }
  if (!logStream) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(logStream, format, args);
  va_end(args);
  std::fflush(logStream);
}

void logClose() {
  if (!logStream) return;
  if (logOwned) std::fclose(logStream);
  logStream = nullptr;
  logOwned = false;
}
