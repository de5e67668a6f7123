// Per-pass figures of a scene's frame, taken only when a probe is installed: GPU time from
// timestamps between the passes, and, where the driver counts them, the vertices and
// primitives submitted and the fragment shader runs of each pass. Queries live in a ring of
// frame slots and are read back a few frames later, so measuring never waits on the GPU.
#pragma once

#include "base/gl.h"
#include "render/gpu_timer.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kPassCounts = 3;      // vertices, primitives, fragment shader invocations
constexpr int kMaxFramePasses = 32; // distinct pass names one frame may measure; more share the last
constexpr int kPassProbeSlots = 8;  // frame slots a probe can hold; a caller uses at most this many

// The pipeline statistics targets, in the order of PassFigures::counts.
extern const GLenum kPassCountTargets[kPassCounts];
// Their names as the statistics print them.
extern const char* const kPassCountNames[kPassCounts];

// What one named pass cost in one frame, all its runs together.
struct PassFigures {
  std::string name;                 // the pass function's name
  double gpuMs = -1;                // GPU time, milliseconds; negative when unknown
  int64_t counts[kPassCounts] = {-1, -1, -1};  // pipeline statistics; negative when unknown
};

class PassProbe {
 public:
  // One run of a pass inside a frame.
  struct Run {
    int pass = 0;  // index into the slot's names
  };
  // The queries and runs of one frame.
  struct Slot {
    const char* names[kMaxFramePasses] = {};  // pass texts as the scene wrote them ("drawX(a)")
    int nameCount = 0;                        // entries used
    std::vector<Run> runs;                    // in order
    std::vector<GLuint> timestamps;           // runs + 1 used: before the first run, after each
    std::vector<GLuint> counters;             // kPassCounts per run
    bool used = false;                        // holds a frame not yet collected
  };

  bool timestamps = false;  // GPU times are measured
  bool statistics = false;  // pipeline statistics are counted
  int slotCount = 0;        // slots in use, 1 .. kPassProbeSlots
  Slot slots[kPassProbeSlots];
  int current = -1;         // slot of the frame being measured; -1 between frames
  int depth = 0;            // passes begun and not ended: a pass run inside another counts as the outer one's

  PassProbe() = default;
  PassProbe(const PassProbe&) = delete;
  PassProbe& operator=(const PassProbe&) = delete;
  ~PassProbe();

  // Finds what the driver offers; needs the OpenGL context. False when it offers neither
  // timestamps nor statistics (passes are then still named, with empty figures).
  bool start(int slots);
  // Starts measuring a frame into slot (0 .. slotCount - 1), dropping what it held.
  void beginFrame(int slot);
  // Ends the frame; its figures wait in the slot until collected.
  void endFrame();
  // Marks the start and the end of a run of the pass whose call text is pass.
  void beginPass(const char* pass);
  void endPass();
  // Reads the slot's figures (waiting for the GPU if it has not finished them), one entry
  // per pass name in the order first run; empty when the slot holds no frame.
  std::vector<PassFigures> collect(int slot);
  // Deletes every query; needs the OpenGL context that start() ran in.
  void stop();

 private:
  int passIndex(Slot& slot, const char* pass);
  GLuint nextQuery(std::vector<GLuint>& pool, size_t index);
};

// The probe the scenes report their passes to; null (the plain show) means no query at all.
extern PassProbe* activePassProbe;

// The name of a pass from its call text: the identifier before the first '('.
std::string passName(const char* callText);

// Runs one named pass of a scene's render(), measured when a probe is installed. The pass's
// name is the called function's own: MEASURED_PASS(glowPass()) reports "glowPass".
#define MEASURED_PASS(call)                                       \
  do {                                                            \
    if (activePassProbe) activePassProbe->beginPass(#call);       \
    call;                                                         \
    if (activePassProbe) activePassProbe->endPass();              \
  } while (false)
