// The process-wide log stream.
#include "shell/log.h"

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

bool logIsOpen() { return logStream != nullptr; }
