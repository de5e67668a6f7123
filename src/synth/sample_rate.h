// The music's rate, shared by the synthesizer, the audio device, the demo's --from and the
// capture tool's WAV and video, so that they all count the same samples.
#pragma once

#include <cstdint>

constexpr int kSampleRate = 44100;  // stereo frames per second

// The music frame nearest show time ms (halves round up).
constexpr int64_t sampleFrameAt(uint32_t ms) { return (static_cast<int64_t>(ms) * kSampleRate + 500) / 1000; }
