// The pattern notation read by addPattern, and the song it builds.
#include "synth/song.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <utility>

namespace {

// A definition with distinct envelope times, so each can be checked after the shift.
Instrument definition() {
  Instrument in{};
  in.waveform = kWaveSawtooth;
  in.filterEnvelope = in.ampEnvelope = true;
  in.amplitude = 0.5;
  in.ampStart = 1, in.ampPeak = 2, in.ampEnd = 3;
  in.filterStart = 4, in.filterPeak = 5, in.filterEnd = 6;
  in.slideOffset = 7;
  in.cutoff = 0.7;
  in.pan = -0.3;
  return in;
}

// The events of one pattern on a fresh synthesizer.
std::unique_ptr<Synth> play(const char* pattern, int stepDivisor, const Instrument& in = definition()) {
  std::unique_ptr<Synth> synth(new Synth());
  EXPECT_TRUE(addPattern(*synth, pattern, in, 8, 4, 1000.5, stepDivisor));
  return synth;
}

double hertz(const Synth& synth, int i) { return synth.songEvents[i].instrument.pitch * 44100.0; }
double beatOf(const Synth& synth, int i) { return (synth.songEvents[i].time - 1000.5) / kBeatSamples; }

TEST(Pattern, StepsRestsAndIgnoredCharacters) {
  // Eighth notes: "1A..A.A.." fills a bar, so the next A lands on beat 4; '-' rests 4 steps.
  auto synth = play("1A..A.A..A-A !?A", 2);
  ASSERT_EQ(synth->eventCount, 6);
  const double beats[6] = {0, 1.5, 2.5, 4, 6.5, 7};
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(beatOf(*synth, i), beats[i], 1e-12) << i;
    EXPECT_NEAR(hertz(*synth, i), 110.0, 1e-9) << i;  // octave -2
  }
}

TEST(Pattern, LettersAccidentalsOctaveDigitsAndStepDivisors) {
  // '#' and '%' add no step; the digit changes the octave for what follows.
  auto synth = play("2DA#1F.A", 1);
  ASSERT_EQ(synth->eventCount, 4);
  const double pitches[3] = {293.66, 233.08, 174.61};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(hertz(*synth, i), pitches[i], 0.01) << i;
  EXPECT_NEAR(beatOf(*synth, 3), 4.0, 1e-12);
  // Lower case as upper case, C% is B, letters past G sound as A; octaves 6 to 9 as -4.
  auto letters = play("3cC%BHz" "0A1A2A3A4A5A9A" "6A7A8A", 4);
  ASSERT_EQ(letters->eventCount, 15);
  EXPECT_NEAR(hertz(*letters, 0), 523.25, 0.01);
  EXPECT_EQ(letters->songEvents[1].instrument.pitch, letters->songEvents[2].instrument.pitch);
  const double octaves[12] = {440, 440, 55, 110, 220, 440, 880, 1760, 27.5, 27.5, 27.5, 27.5};
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(hertz(*letters, 3 + i), octaves[i], 1e-9) << i;
  // Divisor 0: no steps at all; negative: whole bars.
  auto zero = play("A.AA", 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(zero->songEvents[i].time, 1000.5) << i;
  EXPECT_NEAR(beatOf(*play("A.A", -4), 1), 8.0, 1e-12);
  EXPECT_NEAR(beatOf(*play("AA", -8), 1), 8.0, 1e-12);
}

TEST(Pattern, VoicesRotateOverTheGroupAndRestsDoNotAdvanceIt) {
  auto synth = play("A..A-AAA.A", 4);
  const int voices[6] = {8, 9, 10, 11, 8, 9};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(synth->songEvents[i].voice, voices[i]) << i;
  // A group running past the last voice stops the pattern there.
  std::unique_ptr<Synth> tooFar(new Synth());
  EXPECT_FALSE(addPattern(*tooFar, "AAA", definition(), 30, 3, 0.0, 4));
  EXPECT_EQ(tooFar->eventCount, 2);
}

TEST(Pattern, EventsAreShiftedToTheirStartAndScaled) {
  Instrument glide = definition();
  glide.slide = -0.0001;
  glide.pitch = 0.1;  // semitones of detune
  auto synth = play(".3A", 1);
  auto gliding = play(".3A", 1, glide);
  const Instrument& in = synth->songEvents[0].instrument;
  const double t = synth->songEvents[0].time;
  EXPECT_NEAR(t, 1000.5 + kBeatSamples, 1e-9);
  EXPECT_DOUBLE_EQ(in.amplitude, 0.6);
  const double shifted[6] = {in.ampStart, in.ampPeak, in.ampEnd, in.filterStart, in.filterPeak, in.filterEnd};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(shifted[i], i + 1 + t) << i;
  EXPECT_EQ(in.slideOffset, 7.0);  // no glide: unchanged
  EXPECT_NEAR(in.pitch, 440.0 / 44100.0, 1e-15);
  EXPECT_EQ(gliding->songEvents[0].instrument.slideOffset, 7.0 - t);  // the glide starts with the note
  EXPECT_NEAR(gliding->songEvents[0].instrument.pitch / in.pitch, std::pow(2.0, 0.1 / 12), 1e-12);
}

TEST(Song, HasEveryNoteSortedWithTheOpeningDFirst) {
  std::unique_ptr<Synth> synth(new Synth());
  buildSong(*synth);
  buildSong(*synth);  // rebuilding replaces rather than appends
  ASSERT_EQ(synth->eventCount, kSongEventCount);
  std::set<std::pair<int, double>> starts;
  for (int i = 0; i < synth->eventCount; ++i) {
    const NoteEvent& e = synth->songEvents[i];
    if (i > 0) {
      EXPECT_LE(synth->songEvents[i - 1].time, e.time) << i;
    }
    EXPECT_FALSE(e.voice >= 22 && e.voice <= 27) << "voice " << e.voice << " is meant to stay silent";
    EXPECT_TRUE(starts.insert({e.voice, e.time}).second) << "two notes start together on voice " << e.voice;
  }
  EXPECT_NEAR(synth->songEvents[synth->eventCount - 1].time, 424 * kBeatSamples, 1e-3);  // about 195.7 s

  // Voices 0 and 4 open on D at octave -1, the second detuned by 0.1 semitone.
  const NoteEvent& first = synth->songEvents[0];
  const NoteEvent& detuned = synth->songEvents[1];
  EXPECT_TRUE(first.voice == 0 && detuned.voice == 4 && first.time == 0.0 && detuned.time == 0.0);
  EXPECT_GT(synth->songEvents[2].time, 0.0);
  EXPECT_NEAR(first.instrument.pitch * 44100.0, 293.66, 0.01);
  EXPECT_NEAR(detuned.instrument.pitch / first.instrument.pitch, 1.0058, 1e-4);
}

}  // namespace
