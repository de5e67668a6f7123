// The plain-text log, error_log.txt: start-up failures, shader compiler output and the
// first OpenGL error, each also written to stderr. Every message is flushed at once so a
// crash loses nothing.
#pragma once

#include <cstdio>

// Opens (truncates) the log at path; on failure later messages reach stderr alone.
void logOpen(const char* path);
// Writes a printf-style message to the log and to stderr (once, when the log is stderr) and
// flushes both; only stderr gets it while the log is closed.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Sends the log to an already open stream (the capture tool uses stderr); not closed by logClose.
void logAttach(FILE* stream);
// Closes the log if it is open.
void logClose();
