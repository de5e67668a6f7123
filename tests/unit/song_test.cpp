// The pattern notation read by addPattern, and the song it builds.
#include "synth/song.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <utility>

namespace {

constexpr double kHz = 1.0 / 44100.0;  // cycles per sample of one hertz

// A definition with distinct envelope times, so each can be checked after the shift.
Instrument definition() {
  Instrument in{};
  in.waveform = kWaveSawtooth;
  in.filterEnvelope = true;
  in.ampEnvelope = true;
  in.amplitude = 0.5;
  in.ampStart = 1;
  in.ampPeak = 2;
  in.ampEnd = 3;
  in.cutoff = 0.7;
  in.filterStart = 4;
  in.filterPeak = 5;
  in.filterEnd = 6;
  in.slideOffset = 7;
  in.pan = -0.3;
  return in;
}

std::unique_ptr<Synth> emptySynth() { return std::unique_ptr<Synth>(new Synth()); }

// Frequency in hertz of event i.
double hertz(const Synth& synth, int i) { return synth.songEvents[i].instrument.pitch / kHz; }

TEST(Pattern, StepsRestsAndOctaveDigit) {
  auto synth = emptySynth();
  const double start = 1000.5;
  // Eighth notes; the pattern fills one bar (8 steps), so the trailing A lands on beat 4.
  ASSERT_TRUE(addPattern(*synth, "1A..A.A..A", definition(), 0, 1, start, 2));
  ASSERT_EQ(synth->eventCount, 4);
  const double beats[4] = {0, 1.5, 2.5, 4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(synth->songEvents[i].time, start + beats[i] * kBeatSamples, 1e-6) << i;
    EXPECT_NEAR(hertz(*synth, i), 110.0, 1e-9) << i;  // octave -2
  }
}

TEST(Pattern, AccidentalsAddNoStepAndDigitsChangeOctaveMidPattern) {
  auto synth = emptySynth();
  ASSERT_TRUE(addPattern(*synth, "2DA#1F.A", definition(), 0, 1, 0.0, 1));
  ASSERT_EQ(synth->eventCount, 4);
  EXPECT_NEAR(hertz(*synth, 0), 293.66, 0.01);  // D, octave -1
  EXPECT_NEAR(hertz(*synth, 1), 233.08, 0.01);  // A#, octave -1
  EXPECT_NEAR(hertz(*synth, 2), 174.61, 0.01);  // F, octave -2
  const double steps[4] = {0, 1, 2, 4};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(synth->songEvents[i].time, steps[i] * kBeatSamples, 1e-6) << i;

  // '%' lowers by a semitone: C% is B exactly; lower case reads as upper case.
  auto other = emptySynth();
  ASSERT_TRUE(addPattern(*other, "3C%Bcg#G%", definition(), 0, 1, 0.0, 1));
  ASSERT_EQ(other->eventCount, 5);
  EXPECT_EQ(other->songEvents[0].instrument.pitch, other->songEvents[1].instrument.pitch);
  EXPECT_NEAR(hertz(*other, 2), 523.25, 0.01);  // c
  EXPECT_NEAR(hertz(*other, 3), 830.61, 0.01);  // g#
  EXPECT_NEAR(hertz(*other, 4), 739.99, 0.01);  // G%
  EXPECT_NEAR(other->songEvents[4].time, 4 * kBeatSamples, 1e-6);
}

TEST(Pattern, EveryOctaveDigitAndLetter) {
  auto synth = emptySynth();
  ASSERT_TRUE(addPattern(*synth, "0A1A2A3A4A5A9A" "4A6A7A8A" "3BCDEFGHZ", definition(), 0, 1, 0.0, 4));
  ASSERT_EQ(synth->eventCount, 19);
  const double octaveA[7] = {55, 110, 220, 440, 880, 1760, 27.5};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(hertz(*synth, i), octaveA[i], 1e-9) << i;
  for (int i = 7; i < 11; ++i) EXPECT_NEAR(hertz(*synth, i), 880.0, 1e-9) << i;  // 6, 7, 8 keep the octave
  const int semitones[7] = {2, 3, 5, 7, 8, 10, 0};                              // B C D E F G, H as A
  for (int i = 0; i < 7; ++i)
    EXPECT_NEAR(hertz(*synth, 11 + i), 440.0 * std::pow(2.0, semitones[i] / 12.0), 1e-9) << i;
  EXPECT_EQ(synth->songEvents[18].instrument.pitch, synth->songEvents[3].instrument.pitch);  // Z as A
}

TEST(Pattern, RestsLongRestsAndIgnoredCharacters) {
  auto synth = emptySynth();
  ASSERT_TRUE(addPattern(*synth, "A.A-A !?A", definition(), 0, 1, 0.0, 1));
  ASSERT_EQ(synth->eventCount, 4);
  const double steps[4] = {0, 2, 7, 8};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(synth->songEvents[i].time, steps[i] * kBeatSamples, 1e-6) << i;
}

TEST(Pattern, StepDivisorZeroAndNegative) {
  auto synth = emptySynth();
  ASSERT_TRUE(addPattern(*synth, "A.AA", definition(), 0, 1, 500.0, 0));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(synth->songEvents[i].time, 500.0) << i;
  ASSERT_TRUE(addPattern(*synth, "A.A", definition(), 0, 1, 0.0, -4));
  EXPECT_EQ(synth->songEvents[3].time, 0.0);
  EXPECT_NEAR(synth->songEvents[4].time, 8 * kBeatSamples, 1e-6);  // two steps of one bar
  ASSERT_TRUE(addPattern(*synth, "AA", definition(), 0, 1, 0.0, -8));
  EXPECT_NEAR(synth->songEvents[6].time, songTime(2, 0), 1e-6);
}

TEST(Pattern, VoicesRotateOverTheGroupAndRestsDoNotAdvanceIt) {
  auto synth = emptySynth();
  ASSERT_TRUE(addPattern(*synth, "A..A-AAA.A", definition(), 8, 4, 0.0, 4));
  ASSERT_EQ(synth->eventCount, 6);
  const int voices[6] = {8, 9, 10, 11, 8, 9};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(synth->songEvents[i].voice, voices[i]) << i;
  // A group that would run past the last voice stops the pattern there.
  auto tooFar = emptySynth();
  EXPECT_FALSE(addPattern(*tooFar, "AAA", definition(), 30, 3, 0.0, 4));
  EXPECT_EQ(tooFar->eventCount, 2);
}

TEST(Pattern, EventFieldsAreShiftedScaledAndCopied) {
  auto synth = emptySynth();
  Instrument glide = definition();
  glide.slide = -0.0001;
  glide.pitch = 0.1;  // semitones of detune
  ASSERT_TRUE(addPattern(*synth, "3A.A", definition(), 0, 1, 100.0, 1));
  ASSERT_TRUE(addPattern(*synth, "3A", glide, 0, 1, 100.0, 1));
  const NoteEvent& late = synth->songEvents[1];
  const double t = late.time;
  EXPECT_NEAR(t, 100.0 + 2 * kBeatSamples, 1e-6);
  const Instrument& in = late.instrument;
  EXPECT_DOUBLE_EQ(in.amplitude, 0.6);
  EXPECT_EQ(in.ampStart, 1 + t);
  EXPECT_EQ(in.ampPeak, 2 + t);
  EXPECT_EQ(in.ampEnd, 3 + t);
  EXPECT_EQ(in.filterStart, 4 + t);
  EXPECT_EQ(in.filterPeak, 5 + t);
  EXPECT_EQ(in.filterEnd, 6 + t);
  EXPECT_EQ(in.slideOffset, 7.0);  // no glide: unchanged
  EXPECT_EQ(in.cutoff, 0.7);
  EXPECT_EQ(in.pan, -0.3);
  EXPECT_EQ(in.waveform, kWaveSawtooth);
  EXPECT_TRUE(in.filterEnvelope && in.ampEnvelope && !in.highPass);
  EXPECT_NEAR(in.pitch, 440 * kHz, 1e-15);
  // With a glide, slideOffset becomes definition - start, so the glide starts with the note.
  const Instrument& gliding = synth->songEvents[2].instrument;
  EXPECT_EQ(gliding.slideOffset, 7.0 - 100.0);
  EXPECT_NEAR(gliding.pitch / in.pitch, std::pow(2.0, 0.1 / 12), 1e-12);
}

TEST(Song, TimeBase) {
  EXPECT_NEAR(songTime(0, 1), 20353.846153846156, 1e-9);
  EXPECT_NEAR(songTime(1, 0), 81415.38461538462, 1e-8);
  EXPECT_NEAR(songTime(16, 2), (64 + 2) * kBeatSamples, 1e-6);
}

TEST(Song, EventsAreCompleteAndSorted) {
  auto synth = emptySynth();
  buildSong(*synth);
  ASSERT_EQ(synth->eventCount, kSongEventCount);
  std::set<std::pair<int, double>> starts;
  int perVoice[kVoiceCount] = {};
  for (int i = 0; i < synth->eventCount; ++i) {
    const NoteEvent& e = synth->songEvents[i];
    if (i > 0) {
      EXPECT_LE(synth->songEvents[i - 1].time, e.time) << i;
    }
    ASSERT_GE(e.voice, 0);
    ASSERT_LT(e.voice, kVoiceCount);
    ++perVoice[e.voice];
    EXPECT_TRUE(starts.insert({e.voice, e.time}).second) << "two notes start together on voice " << e.voice;
  }
  for (int v = 22; v <= 27; ++v) EXPECT_EQ(perVoice[v], 0) << v;
  // The last note starts on beat 424, about 195.7 s in.
  EXPECT_NEAR(synth->songEvents[synth->eventCount - 1].time, 424 * kBeatSamples, 1e-3);

  // Building again replaces the song rather than appending to it.
  buildSong(*synth);
  EXPECT_EQ(synth->eventCount, kSongEventCount);
}

TEST(Song, FirstEventsAreTheOpeningD) {
  auto synth = emptySynth();
  buildSong(*synth);
  const NoteEvent& a = synth->songEvents[0];
  const NoteEvent& b = synth->songEvents[1];
  EXPECT_EQ(a.time, 0.0);
  EXPECT_EQ(b.time, 0.0);
  EXPECT_GT(synth->songEvents[2].time, 0.0);
  EXPECT_EQ(std::min(a.voice, b.voice), 0);
  EXPECT_EQ(std::max(a.voice, b.voice), 4);
  const NoteEvent& first = a.voice == 0 ? a : b;
  const NoteEvent& detuned = a.voice == 0 ? b : a;
  EXPECT_NEAR(first.instrument.pitch / kHz, 293.66, 0.01);
  EXPECT_NEAR(detuned.instrument.pitch / first.instrument.pitch, 1.0058, 1e-4);  // 0.1 semitone up
  EXPECT_DOUBLE_EQ(first.instrument.amplitude, 0.3 * 1.2);
  EXPECT_EQ(first.instrument.ampPeak, 15000.0);
  EXPECT_EQ(first.instrument.filterEnd, 300000.0);
  EXPECT_EQ(first.instrument.pan, 0.1);
  EXPECT_EQ(detuned.instrument.cutoff, 0.4);
}

TEST(Song, EchoesRepeatThePlacementLaterOnTheirOwnVoices) {
  auto synth = emptySynth();
  buildSong(*synth);
  // Placement 5 starts on bar 32 on voices 16-17; its echoes one and two beats later on 18-21.
  double firstOn[kVoiceCount];
  for (double& t : firstOn) t = -1;
  for (int i = synth->eventCount - 1; i >= 0; --i) firstOn[synth->songEvents[i].voice] = synth->songEvents[i].time;
  const double bar32 = songTime(32, 0);
  EXPECT_NEAR(firstOn[16], bar32 + 2 * kBeatSamples / 4, 1e-6);  // T3 opens with two rests
  EXPECT_NEAR(firstOn[18] - firstOn[16], kBeatSamples, 1e-6);
  EXPECT_NEAR(firstOn[20] - firstOn[16], 2 * kBeatSamples, 1e-6);
  EXPECT_NEAR(firstOn[28], bar32, 1e-6);
  EXPECT_NEAR(firstOn[29], songTime(16, 0), 1e-6);
}

}  // namespace
