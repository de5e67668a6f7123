// The process-wide sequence lives in the one ProcessState, beside the synthesizer that takes
// its first values, so that a rewind restores both together.
#include "base/random.h"

#include "synth/process_state.h"

int demoRand() { return nextRandom(process.random); }

void demoSrand(uint32_t seed) { seedRandom(process.random, seed); }
