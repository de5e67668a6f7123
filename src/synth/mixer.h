// Playback: starts due notes, renders the 32 voices, pans, sums and converts them to
// 16-bit stereo. renderFrames is what the audio callback plays; renderFramesPlain is the
// same rule evaluated literally, kept as the reference it is tested against.
#pragma once

#include "synth/synth.h"

#include <cstdint>

constexpr int kSampleFullScale = 32767;  // full scale of a 16-bit sample; -32768 never occurs
constexpr int kOutputChannels = 2;       // interleaved, left first
constexpr int kBytesPerFrame = kOutputChannels * static_cast<int>(sizeof(int16_t));  // a stereo frame of 16-bit samples

// Clips a mixed value to [-1, 1] and scales it to 16 bits, truncating toward zero.
int16_t toSample16(double mix);

// Copies every event due at time (a whole sample index) into its voice, leaving the voice's
// filter as it is. Returns the number of notes started.
int startDueNotes(Synth& synth, double time);

// Renders frames stereo frames from synth.sampleCounter on, calling renderVoice for every
// voice of every frame. Advances the voices, nextEvent and sampleCounter.
void renderFramesPlain(Synth& synth, int16_t* samples, int frames);

// The stereo sums before conversion (left, right interleaved), bit for bit those of
// renderFramesPlain, computed only where the result can differ from what is known.
void mixFrames(Synth& synth, double* mix, int frames);

// Renders frames stereo frames exactly as renderFramesPlain does, fast. The result does not
// depend on how the frames are split between calls.
void renderFrames(Synth& synth, int16_t* samples, int frames);

// Writes count samples as little-endian bytes (2 per sample).
void storeLittleEndian(const int16_t* samples, int count, uint8_t* bytes);
