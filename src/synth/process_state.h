// Process-wide state shared by the synthesizer and the scenes: one struct, one global
// instance, so a test can make a fresh one.
#pragma once

#include "synth/random.h"
#include "synth/synth.h"

struct ProcessState {
  RandomGenerator random;  // consumed in a fixed order: audio, forest, cubes, curves
  Synth synth{};           // written by the main thread before playback, then by the callback only
};

extern ProcessState process;

// Next value of the shared sequence, 0..32767.
inline int demoRand() { return nextRandom(process.random); }
// Reseeds the shared sequence.
inline void demoSrand(uint32_t seed) { seedRandom(process.random, seed); }
