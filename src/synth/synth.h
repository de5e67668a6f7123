// The synthesizer's state: 32 voices, the shared noise table, the sorted note list and
// the playback position. One instance lives in ProcessState; tests make their own.
#pragma once

#include "synth/voice.h"

#include <cstdint>

constexpr int kMaxSongEvents = 4096;  // room for the song's notes (kSongEventCount, song.h) and then some

// One note of the song, in event form (absolute times, pitch in cycles per sample).
struct NoteEvent {
  Instrument instrument;
  int32_t voice;  // 0..kVoiceCount-1
  double time;    // start, samples; the note starts at the first whole index >= time
};

struct Synth {
  Voice voices[kVoiceCount];
  double noiseTable[kNoiseTableSize];    // white noise in [-1, 1], written once before playback
  NoteEvent songEvents[kMaxSongEvents];  // ascending time once the song is built
  int32_t eventCount;                    // used entries of songEvents
  int32_t nextEvent;                     // first event not yet started
  int32_t sampleCounter;                 // stereo frames produced since playback began
};
