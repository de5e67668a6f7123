// Debug output for the capture tool: KHR_debug (or ARB_debug_output) messages to stderr.
#include "capture/gl_debug.h"

#include "base/gl.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kProbeId = 0x5ca1ab1e;  // our own message that proves the route works

GlDebugLog processLog;      // the run's messages
bool outputStarted = false;  // set once messages are routed here
bool probeArrived = false;

// The name of a GL_DEBUG_* value for messages.
const char* debugName(uint32_t value) {
  switch (value) {
    case GL_DEBUG_SOURCE_API: return "api";
    case GL_DEBUG_SOURCE_WINDOW_SYSTEM: return "window system";
    case GL_DEBUG_SOURCE_SHADER_COMPILER: return "shader compiler";
    case GL_DEBUG_SOURCE_THIRD_PARTY: return "third party";
    case GL_DEBUG_SOURCE_APPLICATION: return "application";
    case GL_DEBUG_SOURCE_OTHER: return "other source";
    case GL_DEBUG_TYPE_ERROR: return "error";
    case GL_DEBUG_TYPE_DEPRECATED_BEHAVIOR: return "deprecated";
    case GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR: return "undefined behaviour";
    case GL_DEBUG_TYPE_PORTABILITY: return "portability";
    case GL_DEBUG_TYPE_PERFORMANCE: return "performance";
    case GL_DEBUG_TYPE_MARKER: return "marker";
    case GL_DEBUG_TYPE_PUSH_GROUP: return "push group";
    case GL_DEBUG_TYPE_POP_GROUP: return "pop group";
    case GL_DEBUG_TYPE_OTHER: return "other";
    case GL_DEBUG_SEVERITY_HIGH: return "high";
    case GL_DEBUG_SEVERITY_MEDIUM: return "medium";
    case GL_DEBUG_SEVERITY_LOW: return "low";
    case GL_DEBUG_SEVERITY_NOTIFICATION: return "notification";
    default: return "unknown";
  }
}

// Receives every message on the rendering thread (synchronous output).
void APIENTRY onGlDebugMessage(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                               const GLchar* message, const void*) {
  if (source == GL_DEBUG_SOURCE_APPLICATION && id == kProbeId) {
    probeArrived = true;
    return;
  }
  std::string text = length >= 0 ? std::string(message, static_cast<size_t>(length)) : std::string(message);
  // Drivers end some messages with a line break; the report adds its own.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  std::string line = processLog.add(source, type, id, severity, text);
  if (!line.empty()) std::fprintf(stderr, "demo-capture: %s\n", line.c_str());
}

// True when the context lists the extension (OpenGL 3.0 query by index).
bool hasExtension(const char* name) {
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const GLubyte* e = glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
    if (e && std::strcmp(reinterpret_cast<const char*>(e), name) == 0) return true;
  }
  return false;
}

}  // namespace

std::string describeGlDebugMessage(uint32_t source, uint32_t type, uint32_t id, uint32_t severity,
                                   const std::string& message) {
  char head[160];
  std::snprintf(head, sizeof head, "GL debug (%s, %s, %s, id %u): ", debugName(type), debugName(severity),
                debugName(source), id);
  return head + message;
}

std::string GlDebugLog::add(uint32_t source, uint32_t type, uint32_t id, uint32_t severity,
                            const std::string& message) {
  for (GlDebugEntry& e : entries) {
    if (e.source == source && e.type == type && e.id == id && e.severity == severity && e.message == message) {
      ++e.count;
      return "";
    }
  }
  if (entries.size() >= kMaxDistinctGlMessages) {
    ++uncounted;
    return "";
  }
  GlDebugEntry entry;
  entry.source = source;
  entry.type = type;
  entry.id = id;
  entry.severity = severity;
  entry.message = message;
  entry.count = 1;
  entries.push_back(entry);
  return describeGlDebugMessage(source, type, id, severity, message);
}

std::string GlDebugLog::summary() const {
  if (entries.empty()) return "";
  uint64_t total = uncounted;
  for (const GlDebugEntry& e : entries) total += e.count;
  std::string out = "GL debug: " + std::to_string(total) + " message" + (total == 1 ? "" : "s") + " of " +
                    std::to_string(entries.size()) + " kind" + (entries.size() == 1 ? "" : "s") + ":\n";
  for (const GlDebugEntry& e : entries)
    out += "  " + std::to_string(e.count) + " x " + describeGlDebugMessage(e.source, e.type, e.id, e.severity, e.message) +
           "\n";
  if (uncounted) out += "  " + std::to_string(uncounted) + " more of kinds not kept apart\n";
  return out;
}

bool startGlDebugOutput() {
  GLint flags = 0;
  glGetIntegerv(GL_CONTEXT_FLAGS, &flags);
  if (!(flags & GL_CONTEXT_FLAG_DEBUG_BIT)) {
    std::fprintf(stderr, "demo-capture: --gl-debug: the driver gave no debug context\n");
    return false;
  }
  // The entry points are the extension's; drivers that offer KHR_debug offer it as well.
  if (!hasExtension("GL_ARB_debug_output") || !glDebugMessageCallbackARB || !glDebugMessageControlARB ||
      !glDebugMessageInsertARB) {
    std::fprintf(stderr, "demo-capture: --gl-debug: the driver offers no debug output (GL_ARB_debug_output)\n");
    return false;
  }
  // Synchronous: messages come on this thread, inside the call that caused them.
  glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
  glDebugMessageCallbackARB(onGlDebugMessage, nullptr);
  glDebugMessageControlARB(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
  probeArrived = false;
  const char probe[] = "demo-capture debug output check";
  glDebugMessageInsertARB(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_OTHER, kProbeId, GL_DEBUG_SEVERITY_LOW,
                          static_cast<GLsizei>(sizeof probe - 1), probe);
  if (!probeArrived) {
    std::fprintf(stderr, "demo-capture: --gl-debug: the driver's debug messages do not arrive\n");
    return false;
  }
  outputStarted = true;
  return true;
}

void finishGlDebugOutput() {
  if (!outputStarted) return;
  std::string report = processLog.summary();
  if (!report.empty()) std::fprintf(stderr, "demo-capture: %s", report.c_str());
}
