// The per-pass probe: a timestamp before a frame's first pass and after each pass, and one
// query of each pipeline statistic around each pass, kept per frame slot and read back late.
#include "render/pass_probe.h"

#include <cstring>

PassProbe* activePassProbe = nullptr;

const GLenum kPassCountTargets[kPassCounts] = {GL_VERTICES_SUBMITTED, GL_PRIMITIVES_SUBMITTED,
                                               GL_FRAGMENT_SHADER_INVOCATIONS};
const char* const kPassCountNames[kPassCounts] = {"vertices", "primitives", "fragments"};

std::string passName(const char* callText) {
  if (!callText) return "unnamed";
  size_t length = std::strcspn(callText, "( \t");
  return length ? std::string(callText, length) : std::string("unnamed");
}

PassProbe::~PassProbe() {
  if (activePassProbe == this) activePassProbe = nullptr;
}

bool PassProbe::start(int slots) {
  slotCount = slots < 1 ? 1 : slots > kPassProbeSlots ? kPassProbeSlots : slots;
  timestamps = queryTargetOffered(GL_TIMESTAMP);
  statistics = true;
  for (GLenum target : kPassCountTargets) statistics = statistics && queryTargetOffered(target);
  return timestamps || statistics;
}

void PassProbe::beginFrame(int slot) {
  current = slot >= 0 && slot < slotCount ? slot : -1;
  depth = 0;
  if (current < 0) return;
  Slot& s = slots[current];
  s.nameCount = 0;
  s.runs.clear();
  s.used = true;
}

void PassProbe::endFrame() {
  // A pass left open (a scene that returned early from inside one) ends with the frame.
  if (current >= 0 && depth > 0) {
    depth = 1;
    endPass();
  }
  current = -1;
}

// Returns the query at index of pool, generating it the first time a frame needs so many.
GLuint PassProbe::nextQuery(std::vector<GLuint>& pool, size_t index) {
  while (pool.size() <= index) {
    GLuint name = 0;
    glGenQueries(1, &name);
    pool.push_back(name);
  }
  return pool[index];
}

// The index of the slot's entry for the pass, made on its first run; past the table's end
// every new name shares the last entry.
int PassProbe::passIndex(Slot& slot, const char* pass) {
  for (int i = 0; i < slot.nameCount; ++i)
    if (slot.names[i] == pass || passName(slot.names[i]) == passName(pass)) return i;
  if (slot.nameCount == kMaxFramePasses) return kMaxFramePasses - 1;
  slot.names[slot.nameCount] = pass;
  return slot.nameCount++;
}

void PassProbe::beginPass(const char* pass) {
  if (current < 0 || depth++ > 0) return;
  Slot& slot = slots[current];
  if (timestamps && slot.runs.empty()) glQueryCounter(nextQuery(slot.timestamps, 0), GL_TIMESTAMP);
  Run run;
  run.pass = passIndex(slot, pass);
  slot.runs.push_back(run);
  if (statistics) {
    size_t first = (slot.runs.size() - 1) * kPassCounts;
    for (int k = 0; k < kPassCounts; ++k)
      glBeginQuery(kPassCountTargets[k], nextQuery(slot.counters, first + k));
  }
  if (timestamps || statistics) checkGlError(__LINE__);
}

void PassProbe::endPass() {
  if (current < 0 || depth == 0 || --depth > 0) return;
  Slot& slot = slots[current];
  if (statistics)
    for (int k = 0; k < kPassCounts; ++k) glEndQuery(kPassCountTargets[k]);
  if (timestamps) glQueryCounter(nextQuery(slot.timestamps, slot.runs.size()), GL_TIMESTAMP);
  if (timestamps || statistics) checkGlError(__LINE__);
}

std::vector<PassFigures> PassProbe::collect(int slot) {
  std::vector<PassFigures> figures;
  if (slot < 0 || slot >= slotCount || !slots[slot].used) return figures;
  Slot& s = slots[slot];
  s.used = false;
  figures.resize(static_cast<size_t>(s.nameCount));
  for (int i = 0; i < s.nameCount; ++i) {
    figures[i].name = passName(s.names[i]);
    if (timestamps) figures[i].gpuMs = 0;
    for (int k = 0; k < kPassCounts && statistics; ++k) figures[i].counts[k] = 0;
  }
  std::vector<GLuint64> stamps(timestamps ? s.runs.size() + 1 : 0);
  for (size_t i = 0; i < stamps.size(); ++i) glGetQueryObjectui64v(s.timestamps[i], GL_QUERY_RESULT, &stamps[i]);
  for (size_t r = 0; r < s.runs.size(); ++r) {
    PassFigures& f = figures[static_cast<size_t>(s.runs[r].pass)];
    // A clock that runs backwards between two stamps is the driver's fault: no time is
    // better than a wrong one.
    if (timestamps && f.gpuMs >= 0) f.gpuMs = stamps[r + 1] >= stamps[r] ? f.gpuMs + (stamps[r + 1] - stamps[r]) / 1e6 : -1;
    for (int k = 0; k < kPassCounts && statistics; ++k) {
      GLuint64 count = 0;
      glGetQueryObjectui64v(s.counters[r * kPassCounts + k], GL_QUERY_RESULT, &count);
      f.counts[k] += static_cast<int64_t>(count);
    }
  }
  if (timestamps || statistics) checkGlError(__LINE__);
  return figures;
}

void PassProbe::stop() {
  if (activePassProbe == this) activePassProbe = nullptr;
  for (Slot& s : slots) {
    if (!s.timestamps.empty()) glDeleteQueries(static_cast<GLsizei>(s.timestamps.size()), s.timestamps.data());
    if (!s.counters.empty()) glDeleteQueries(static_cast<GLsizei>(s.counters.size()), s.counters.data());
    s.timestamps.clear();
    s.counters.clear();
    s.runs.clear();
    s.nameCount = 0;
    s.used = false;
  }
  current = -1;
  depth = 0;
}
