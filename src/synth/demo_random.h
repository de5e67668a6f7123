// The program's one random sequence, drawn by the music first and then by the scenes in a
// fixed order. Its state lives in the one ProcessState, beside the synthesizer that takes its
// first values, so that a rewind restores both together.
#pragma once

#include "base/random.h"

#include <cstdint>

// Next value of the process-wide sequence (ProcessState's), 0..kRandomMax.
int demoRand();
// Reseeds the process-wide sequence.
void demoSrand(uint32_t seed);
// The process-wide sequence's state, for restoreDemoRand.
RandomGenerator saveDemoRand();
// Puts the process-wide sequence back where saveDemoRand found it.
void restoreDemoRand(const RandomGenerator& saved);
