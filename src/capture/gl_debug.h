// The capture tool's --gl-debug: the driver's debug messages, each distinct one printed to
// stderr once as it first comes, and all of them with their counts when the capture ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kMaxDistinctGlMessages = 512;  // kinds kept apart; later ones are only counted

// One kind of message: what the driver said and how often.
struct GlDebugEntry {
  uint32_t source = 0;    // GL_DEBUG_SOURCE_*
  uint32_t type = 0;      // GL_DEBUG_TYPE_*
  uint32_t id = 0;        // the driver's message number
  uint32_t severity = 0;  // GL_DEBUG_SEVERITY_*
  std::string message;
  uint64_t count = 0;
};

// The messages of one run, told apart by source, type, id, severity and text.
class GlDebugLog {
 public:
  std::vector<GlDebugEntry> entries;  // in order of first arrival
  uint64_t uncounted = 0;             // messages of kinds beyond kMaxDistinctGlMessages

  // Counts one message; returns the line to print when it is the first of its kind, else "".
  std::string add(uint32_t source, uint32_t type, uint32_t id, uint32_t severity, const std::string& message);
  // The closing report, one line per kind with its count; "" when no message came.
  std::string summary() const;
};

// One message as a line: "GL debug (error, high, api, id 1280): text".
std::string describeGlDebugMessage(uint32_t source, uint32_t type, uint32_t id, uint32_t severity,
                                   const std::string& message);
// In the current debug context: routes every message (GL_ARB_debug_output), synchronously, to
// the run's log.
// False after a message on stderr when the context is no debug context or its messages do not
// arrive (checked with a message of our own, which is not counted).
bool startGlDebugOutput();
// Prints the closing report to stderr if --gl-debug was on and anything came.
void finishGlDebugOutput();
