// The process-wide sequence, drawn from the one ProcessState.
#include "synth/demo_random.h"

#include "synth/process_state.h"

int demoRand() { return nextRandom(process.random); }

void demoSrand(uint32_t seed) { seedRandom(process.random, seed); }

RandomGenerator saveDemoRand() { return process.random; }

void restoreDemoRand(const RandomGenerator& saved) { process.random = saved; }
