// The song: patterns in a small text notation, placed with an instrument on a group of
// voices, expanded into one sorted list of note events before playback.
#pragma once

#include "synth/sample_rate.h"
#include "synth/synth.h"

constexpr double kBeatsPerMinute = 130.0;
constexpr double kBeatSamples = 60.0 / kBeatsPerMinute * kSampleRate;  // 20353.846153846156
constexpr int kSongEventCount = 2572;                 // what buildSong yields
static_assert(kSongEventCount <= kMaxSongEvents, "the event list holds the whole song");

// Sample position of a bar and beat at 130 beats per minute, 4 beats to the bar.
constexpr double songTime(int bar, int beat) { return (beat + 4 * bar) / kBeatsPerMinute * 60.0 * kSampleRate; }

// Appends one event per note of pattern to synth.songEvents. stepDivisor > 0 gives steps of
// 1/stepDivisor beat, otherwise -stepDivisor beats. False if a note could not be stored
// (list full or voice out of range); the notes before it are kept.
bool addPattern(Synth& synth, const char* pattern, const Instrument& instrument, int firstVoice, int voiceCount,
                double startTime, int stepDivisor);

// Replaces synth.songEvents with the song's notes, sorted by start time, and sets eventCount.
void buildSong(Synth& synth);
