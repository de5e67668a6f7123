// Instruments and voices: the sound parameters of a note, the four-stage resonant filter
// and the rule that computes one sample of one voice, all in double precision.
#pragma once

#include "base/random.h"

#include <cstdint>

constexpr int kVoiceCount = 32;
constexpr int kFilterStages = 4;
constexpr int kNoiseTableSize = 131072;  // 2^17 entries, read by whole sample index
constexpr int kNoiseIndexMask = kNoiseTableSize - 1;
constexpr int kWaveSawtooth = 1;
constexpr int kWaveSquare = 2;

// One note's sound parameters. In a definition the envelope times are offsets from the
// note's start and pitch is in semitones; in a note event or voice they are absolute
// sample times and cycles per sample (see addPattern).
struct Instrument {
  int32_t waveform;     // 0 noise only, 1 sawtooth, 2 square; anything else acts as 0
  bool filterEnvelope;  // the filter coefficient follows the filter envelope
  bool ampEnvelope;     // the output follows the amplitude envelope
  bool highPass;        // output = filter input - low-pass output
  double amplitude;     // gain
  double ampStart;      // samples
  double ampPeak;       // samples
  double ampEnd;        // samples
  double cutoff;        // one-pole coefficient, 0..1 (1 passes the signal unchanged)
  double filterStart;   // samples
  double filterPeak;    // samples
  double filterEnd;     // samples
  double resonance;     // share of stage 4 fed back into the filter input
  double pitch;         // semitones in a definition, cycles per sample in a voice
  double slide;         // glide: phase = (1 + slide)^t' * pitch * t'
  double slideOffset;   // samples added to the time before the glide is applied
  double pan;           // -1 left, 0 centre, +1 right
  double noise;         // amount of the noise table added to the oscillator
};

// A voice: the note it plays and its filter, which carries over from note to note.
struct Voice {
  Instrument instrument;
  double stages[kFilterStages];  // one-pole low-pass states, stage 1 first
};

// The attack and release curve: x^2 (3 - 2x), in the order that fixes the rounding.
inline double smoothStep(double x) { return x * (x * (x * -2.0 + 3.0)); }

// Envelope level at sample t: rises from s to p, falls from p to e, 0 outside.
inline double envelope(double t, double s, double p, double e) {
  if (t <= s) return 0.0;
  if (t <= p) return smoothStep((t - s) / (p - s));
  if (t <= e) return smoothStep(1.0 - (t - p) / (e - p));
  return 0.0;
}

// Integral of the ideal wave over the cycle fraction x (its mean over a sample is a difference of two).
inline double waveIntegral(int32_t waveform, double x) {
  if (waveform == kWaveSawtooth) {
    double y = 2.0 * x - 1.0;
    return y * y * 0.25;
  }
  if (x <= 0.5) return (1.0 - 4.0 * x) * 0.25;
  return ((x - 0.5) * 4.0 - 1.0) * 0.25;
}

// The ideal wave at cycle fraction x: the slope of waveIntegral there.
inline double waveValue(int32_t waveform, double x) {
  if (waveform == kWaveSawtooth) return 2.0 * x - 1.0;
  return x <= 0.5 ? -1.0 : 1.0;
}

// Limits a value to [-1, 1].
inline double clipUnit(double x) {
  if (x >= 1.0) return 1.0;
  if (x <= -1.0) return -1.0;
  return x;
}

// Fills the noise table with 2r/kRandomMax - 1 for the next kNoiseTableSize draws of random.
void fillNoiseTable(double* noiseTable, RandomGenerator& random);

// One sample of a voice at whole sample index time, sample by sample as the rule is
// written; advances the filter unless the voice has no note. The reference for renderFrames.
double renderVoice(Voice& voice, double time, const double* noiseTable);
