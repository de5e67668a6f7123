// Playback: note starts, the pan law and 16-bit conversion, the whole song rendered by the
// block renderer against the plain rule, and the device callback.
#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/process_state.h"
#include "synth/song.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr int kSecond = 44100;               // frames
constexpr int kSongFrames = 210 * kSecond;   // past the last note's release

std::unique_ptr<ProcessState> preparedState() {
  auto state = std::make_unique<ProcessState>();
  prepareMusic(*state);
  return state;
}

std::unique_ptr<Synth> emptySynth() { return std::unique_ptr<Synth>(new Synth()); }

// A voice whose filter has closed for good: it outputs stage 4 times its amplitude.
Instrument heldTone(double pan) {
  Instrument in{};
  in.waveform = kWaveSawtooth;
  in.filterEnvelope = true;  // envelope 0 .. 0 .. 0: closed from sample 1 on
  in.amplitude = 1.0;
  in.cutoff = 0.5;
  in.pitch = 0.01;
  in.pan = pan;
  return in;
}

TEST(Output, SumsAreClippedThenTruncatedTo16Bits) {
  EXPECT_EQ(toSample16(1.5), 32767);
  EXPECT_EQ(toSample16(-1.5), -32767);
  EXPECT_EQ(toSample16(1.0), 32767);
  EXPECT_EQ(toSample16(-1.0), -32767);
  EXPECT_EQ(toSample16(0.5), 16383);
  EXPECT_EQ(toSample16(-0.5), -16383);
  EXPECT_EQ(toSample16(0.99999), 32766);
  EXPECT_EQ(toSample16(0.0), 0);
  EXPECT_EQ(toSample16(std::numeric_limits<double>::quiet_NaN()), 0);
  const int16_t samples[2] = {-2, 0x1234};
  uint8_t bytes[4];
  storeLittleEndian(samples, 2, bytes);
  const uint8_t expected[4] = {0xFE, 0xFF, 0x34, 0x12};
  EXPECT_EQ(std::memcmp(bytes, expected, 4), 0);
}

TEST(Mix, PanLawIsLinearAndVoicesAreSummed) {
  auto synth = emptySynth();
  synth->voices[3].instrument = heldTone(-0.2);
  synth->voices[3].stages[3] = 0.5;
  synth->voices[7].instrument = heldTone(0.0);
  synth->voices[7].stages[3] = 0.25;
  synth->sampleCounter = 100;
  auto plain = std::make_unique<Synth>(*synth);
  int16_t fast[2], reference[2];
  renderFrames(*synth, fast, 1);
  renderFramesPlain(*plain, reference, 1);
  // 0.5 * 0.6 + 0.25 * 0.5 left, 0.5 * 0.4 + 0.25 * 0.5 right.
  EXPECT_EQ(reference[0], 13925);
  EXPECT_EQ(reference[1], 10649);
  EXPECT_EQ(fast[0], 13925);
  EXPECT_EQ(fast[1], 10649);
  EXPECT_EQ(synth->sampleCounter, 101);
}

TEST(Mix, NoteStartsAtTheFirstWholeFrameAtOrAfterItsTime) {
  auto synth = emptySynth();
  synth->songEvents[0].instrument = heldTone(0.0);
  synth->songEvents[0].voice = 2;
  synth->songEvents[0].time = 81415.38;
  synth->eventCount = 1;
  EXPECT_EQ(startDueNotes(*synth, 81415.0), 0);
  EXPECT_EQ(synth->voices[2].instrument.pitch, 0.0);
  EXPECT_EQ(startDueNotes(*synth, 81416.0), 1);
  EXPECT_EQ(synth->voices[2].instrument.pitch, 0.01);
  EXPECT_EQ(startDueNotes(*synth, 81417.0), 0);  // never read again

  for (int plainRule = 0; plainRule < 2; ++plainRule) {
    auto s = emptySynth();
    s->songEvents[0] = synth->songEvents[0];
    s->eventCount = 1;
    s->sampleCounter = 81414;
    int16_t out[4];
    plainRule ? renderFramesPlain(*s, out, 2) : renderFrames(*s, out, 2);
    EXPECT_EQ(s->nextEvent, 0) << plainRule;
    plainRule ? renderFramesPlain(*s, out, 1) : renderFrames(*s, out, 1);
    EXPECT_EQ(s->nextEvent, 1) << plainRule;
  }
}

TEST(Mix, NewNoteKeepsTheVoicesFilterStages) {
  auto synth = emptySynth();
  for (int s = 0; s < kFilterStages; ++s) synth->voices[5].stages[s] = 0.1 * (s + 1);
  synth->songEvents[0].instrument = heldTone(0.3);
  synth->songEvents[0].voice = 5;
  synth->eventCount = 1;
  ASSERT_EQ(startDueNotes(*synth, 0.0), 1);
  EXPECT_EQ(synth->voices[5].instrument.pan, 0.3);
  for (int s = 0; s < kFilterStages; ++s) EXPECT_EQ(synth->voices[5].stages[s], 0.1 * (s + 1));
}

TEST(Mix, SongOpensWithTwoNotesInTheFirstFrame) {
  auto state = preparedState();
  Synth& synth = state->synth;
  int16_t frame[2];
  renderFrames(synth, frame, 1);
  EXPECT_EQ(synth.nextEvent, 2);
  EXPECT_NE(synth.voices[0].instrument.pitch, 0.0);
  EXPECT_NE(synth.voices[4].instrument.pitch, 0.0);
  EXPECT_EQ(synth.voices[1].instrument.pitch, 0.0);
}

TEST(Mix, BlockRendererMatchesThePlainRuleOverTheWholeSong) {
  auto fastState = preparedState();
  auto plainState = preparedState();
  Synth& fast = fastState->synth;
  Synth& plain = plainState->synth;
  std::vector<int16_t> fastOut(2 * kSecond), plainOut(2 * kSecond);
  long nonZero = 0;
  for (int second = 0; second < kSongFrames / kSecond; ++second) {
    // The callback's own buffer length for one, a whole second for the other.
    for (int done = 0; done < kSecond; done += 4096)
      renderFrames(fast, fastOut.data() + 2 * done, std::min(4096, kSecond - done));
    renderFramesPlain(plain, plainOut.data(), kSecond);
    for (int i = 0; i < 2 * kSecond; ++i) {
      ASSERT_EQ(fastOut[i], plainOut[i]) << "frame " << second * kSecond + i / 2 << (i % 2 ? " right" : " left");
      nonZero += fastOut[i] != 0;
    }
  }
  EXPECT_GT(nonZero, kSongFrames);  // well over half the samples sound
  EXPECT_EQ(fast.nextEvent, plain.nextEvent);
  for (int v = 0; v < kVoiceCount; ++v)
    for (int s = 0; s < kFilterStages; ++s) EXPECT_EQ(fast.voices[v].stages[s], plain.voices[v].stages[s]) << v;
}

TEST(Mix, OutputDoesNotDependOnHowTheStreamIsSplit) {
  auto whole = preparedState();
  auto pieces = preparedState();
  const int frames = 40 * kSecond;  // into the part with gliding voices
  std::vector<int16_t> expected(2 * frames), actual(2 * frames);
  renderFrames(whole->synth, expected.data(), frames);
  const int sizes[] = {1, 2, 3, 63, 64, 65, 127, 4096, 777, 10007};
  int done = 0;
  for (int i = 0; done < frames; ++i) {
    int count = std::min(sizes[i % 10], frames - done);
    renderFrames(pieces->synth, actual.data() + 2 * done, count);
    done += count;
  }
  EXPECT_TRUE(expected == actual);
}

TEST(Mix, WholeSongIsFiniteAndNeverSilentWhileNotesSound) {
  auto state = preparedState();
  Synth& synth = state->synth;
  constexpr int kChunk = 4096;
  std::vector<double> mix(2 * kChunk);
  int silentRun = 0;          // frames in a row that convert to 0 on both sides
  bool soundingInRun = false;  // some note was inside its amplitude envelope during the run
  for (int done = 0; done < kSongFrames; done += kChunk) {
    mixFrames(synth, mix.data(), kChunk);
    for (int f = 0; f < kChunk; ++f) {
      double left = mix[2 * f], right = mix[2 * f + 1];
      ASSERT_TRUE(std::isfinite(left) && std::isfinite(right)) << "frame " << done + f;
      if (toSample16(left) != 0 || toSample16(right) != 0) {
        silentRun = 0;
        soundingInRun = false;
        continue;
      }
      ++silentRun;
    }
    double t = synth.sampleCounter;
    for (const Voice& voice : synth.voices) {
      const Instrument& in = voice.instrument;
      if (in.pitch != 0.0 && in.amplitude != 0.0 && (!in.ampEnvelope || (t > in.ampStart && t < in.ampEnd)))
        soundingInRun = soundingInRun || silentRun > 0;
    }
    ASSERT_FALSE(silentRun >= kSecond && soundingInRun) << "silent for a second at " << t / kSecond << " s";
  }
  for (const Voice& voice : synth.voices)
    for (double stage : voice.stages) EXPECT_TRUE(std::isfinite(stage));
  // Every note has started; the voices without an amplitude envelope sound on.
  EXPECT_EQ(synth.nextEvent, synth.eventCount);
  std::vector<int16_t> tail(2 * 1000);
  renderFrames(synth, tail.data(), 1000);
  int audible = 0;
  for (int16_t s : tail) audible += s != 0;
  EXPECT_GT(audible, 1000);
}

TEST(AudioCallback, PlaysTheProcessSynthAsLittleEndianFrames) {
  auto saved = std::make_unique<ProcessState>(process);
  auto reference = preparedState();
  process.synth = reference->synth;
  process.synth.sampleCounter = reference->synth.sampleCounter = 60 * kSecond;
  std::vector<uint8_t> stream(4 * 5000 + 3, 0xAA);
  audioCallback(nullptr, stream.data(), static_cast<int>(stream.size()));
  std::vector<int16_t> samples(2 * 5000);
  renderFrames(reference->synth, samples.data(), 5000);
  std::vector<uint8_t> expected(4 * 5000);
  storeLittleEndian(samples.data(), 2 * 5000, expected.data());
  EXPECT_EQ(std::memcmp(stream.data(), expected.data(), expected.size()), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(stream[4 * 5000 + i], 0) << "partial frame byte " << i;
  EXPECT_EQ(process.synth.sampleCounter, 60 * kSecond + 5000);
  process = *saved;
}

}  // namespace
