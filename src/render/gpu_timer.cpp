// Timer queries for frame GPU times.
#include "render/gpu_timer.h"

#include "base/gl.h"

bool queryTargetOffered(GLenum target) {
  // Optional entry points: a driver without them still runs, only the figures stay unknown.
  if (!glGenQueries || !glDeleteQueries || !glBeginQuery || !glEndQuery || !glGetQueryiv ||
      !glGetQueryObjectui64v || !glGetError)
    return false;
  if (target == GL_TIMESTAMP && !glQueryCounter) return false;
  checkGlError(__LINE__);  // nothing pending, so an error below is the query's own
  GLint bits = 0;
  glGetQueryiv(target, GL_QUERY_COUNTER_BITS, &bits);
  // An unknown target (a driver without pipeline statistics) is GL_INVALID_ENUM.
  return glGetError() == GL_NO_ERROR && bits > 0;
}

bool timerQueriesOffered() { return queryTargetOffered(GL_TIME_ELAPSED); }

double plausibleGpuMs(uint64_t nanoseconds, double heldMs) {
  double gpuMs = nanoseconds / 1e6;
  return gpuMs <= heldMs * 1.01 + kGpuClockSlackMs ? gpuMs : -1;
}

void GpuFrameTimer::start() {
  offered = timerQueriesOffered() && glGetQueryObjectuiv;  // it asks whether a result is ready
  if (offered) glGenQueries(kTimerRing, queries);
}

void GpuFrameTimer::beginFrame() {
  if (!offered) return;
  endFrame();
  int slot = static_cast<int>(frames % kTimerRing);
  if (issued[slot]) {
    // Read only a finished query: the slot is then skipped this frame rather than waited for.
    GLuint available = 0;
    glGetQueryObjectuiv(queries[slot], GL_QUERY_RESULT_AVAILABLE, &available);
    if (!available) return;
    GLuint64 nanoseconds = 0;
    glGetQueryObjectui64v(queries[slot], GL_QUERY_RESULT, &nanoseconds);
    lastMs = plausibleGpuMs(nanoseconds, std::chrono::duration<double, std::milli>(Clock::now() - begun[slot]).count());
    issued[slot] = false;
  }
  glBeginQuery(GL_TIME_ELAPSED, queries[slot]);
  begun[slot] = Clock::now();
  issued[slot] = open = true;
}

void GpuFrameTimer::endFrame() {
  if (!open) return;
  glEndQuery(GL_TIME_ELAPSED);
  open = false;
  ++frames;
}

void GpuFrameTimer::stop() {
  if (!offered) return;
  endFrame();
  glDeleteQueries(kTimerRing, queries);
  offered = false;
}
