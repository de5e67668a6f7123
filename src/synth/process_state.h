// Process-wide state shared by the synthesizer and the scenes: one struct, one global
// instance, so a test can make a fresh one.
#pragma once

#include "base/random.h"
#include "synth/synth.h"

struct ProcessState {
  RandomGenerator random;  // consumed in a fixed order: audio, forest, cubes, curves
  Synth synth{};           // written by the main thread before playback, then by the callback only
};

extern ProcessState process;
