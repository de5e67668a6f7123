// The rule of the program's random sequences: the classic linear congruential rule, implemented
// here so generated pictures and sounds come out the same on every host library. The one
// process-wide sequence (demoRand) lives with the synthesizer's state, in synth/demo_random.h.
#pragma once

#include <cstdint>

constexpr int kRandomMax = 32767;  // the largest value the sequence yields

struct RandomGenerator {
  uint32_t state = 1;  // the state of seed 1
};

// Advances the sequence: state * 214013 + 2531011, result (state >> 16) & 0x7FFF.
constexpr int nextRandom(RandomGenerator& generator) {
  generator.state = generator.state * 214013u + 2531011u;
  return static_cast<int>((generator.state >> 16) & 0x7FFF);
}

// Restarts the sequence from seed.
constexpr void seedRandom(RandomGenerator& generator, uint32_t seed) { generator.state = seed; }
