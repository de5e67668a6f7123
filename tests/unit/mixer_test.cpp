// Playback: note starts, the pan law and 16-bit conversion, the block renderer against the
// plain rule wherever the song's sound changes (demo_full_show.sh compares the whole played
// show with the off-line render and checks that it is music).
#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/process_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr int kSecond = 44100;              // frames
constexpr int kSongFrames = 210 * kSecond;  // past the last note's release

// A voice whose filter has closed for good (envelope 0..0..0): it outputs stage 4 times 1.
Instrument heldTone(double pan) {
  Instrument in{};
  in.waveform = kWaveSawtooth, in.filterEnvelope = true, in.amplitude = 1.0;
  in.cutoff = 0.5, in.pitch = 0.01, in.pan = pan;
  return in;
}

TEST(Output, SumsAreClippedThenTruncatedToLittleEndian16Bits) {
  const double sums[7] = {1.5, -1.5, 0.5, -0.5, 0.99999, 0.0, std::numeric_limits<double>::quiet_NaN()};
  const int16_t samples[7] = {32767, -32767, 16383, -16383, 32766, 0, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(toSample16(sums[i]), samples[i]) << sums[i];
  const int16_t pair[2] = {-2, 0x1234};
  const uint8_t expected[4] = {0xFE, 0xFF, 0x34, 0x12};
  uint8_t bytes[4];
  storeLittleEndian(pair, 2, bytes);
  EXPECT_EQ(std::memcmp(bytes, expected, 4), 0);
}

// The plain rule worked by hand (the block renderer is held to it below): the linear pan law
// over summed voices, and a note that starts at the first whole frame at or after its time
// and keeps the voice's filter.
TEST(Mix, PanLawAndNoteStartsByHand) {
  std::unique_ptr<Synth> synth(new Synth());
  synth->voices[3].instrument = heldTone(-0.2);
  synth->voices[3].stages[3] = 0.5;
  synth->voices[7].instrument = heldTone(0.0);
  synth->voices[7].stages[3] = 0.25;
  synth->sampleCounter = 100;
  int16_t out[4];
  renderFramesPlain(*synth, out, 1);
  EXPECT_EQ(out[0], 13925);  // 0.5 * 0.6 + 0.25 * 0.5
  EXPECT_EQ(out[1], 10649);  // 0.5 * 0.4 + 0.25 * 0.5

  synth.reset(new Synth());
  synth->songEvents[0].instrument = heldTone(0.3);
  synth->songEvents[0].voice = 2;
  synth->songEvents[0].time = 81415.38;
  synth->eventCount = 1;
  synth->voices[2].stages[3] = 0.125;
  synth->sampleCounter = 81414;
  renderFramesPlain(*synth, out, 2);
  EXPECT_EQ(synth->nextEvent, 0);
  renderFramesPlain(*synth, out, 1);
  EXPECT_EQ(synth->nextEvent, 1);
  EXPECT_EQ(synth->voices[2].instrument.pan, 0.3);
  EXPECT_EQ(synth->voices[2].stages[3], 0.125);  // carried into the new note
  EXPECT_EQ(out[0], static_cast<int16_t>(0.125 * 0.35 * 32767));
}

// Where a kind of voice changes what it sounds like: the first note of every instrument
// setting of the song (waveform, filter, envelopes, glide, noise, pan) and the end of its last
// note, where the voice falls quiet. Ascending, as sample indices.
std::vector<int> changesOfSound(const Synth& synth) {
  std::map<std::vector<double>, std::pair<double, double>> settings;  // first start, last end
  for (int e = 0; e < synth.eventCount; ++e) {
    const Instrument& in = synth.songEvents[e].instrument;
    std::vector<double> key = {double(in.waveform), double(in.filterEnvelope), double(in.ampEnvelope),
                               double(in.highPass), in.cutoff, in.resonance, in.slide, in.pan, in.noise};
    auto found = settings.emplace(key, std::make_pair(synth.songEvents[e].time, in.ampEnd)).first;
    found->second.second = std::max(found->second.second, in.ampEnd);
  }
  std::vector<int> times;
  for (const auto& [key, span] : settings) {
    times.push_back(static_cast<int>(span.first));
    if (span.second < kSongFrames) times.push_back(static_cast<int>(span.second));
  }
  std::sort(times.begin(), times.end());
  return times;
}

// The block renderer against the plain rule over a window after each change of sound: both
// start from the state the block renderer reached there, the one in pieces of uneven sizes
// (over and under its blocks, and the device's buffer length), the other in one piece.
TEST(Mix, BlockRendererMatchesThePlainRuleWhereverTheSoundChanges) {
  auto fastState = std::make_unique<ProcessState>(), plainState = std::make_unique<ProcessState>();
  prepareMusic(*fastState);
  Synth& fast = fastState->synth;
  Synth& plain = plainState->synth;
  constexpr int kWindow = kSecond / 2;
  std::vector<int16_t> fastOut(2 * kWindow), plainOut(2 * kWindow);
  int windows = 0;
  for (int start : changesOfSound(fast)) {
    if (start < fast.sampleCounter) continue;  // inside the window before
    while (fast.sampleCounter < start) renderFrames(fast, fastOut.data(), std::min(4096, start - fast.sampleCounter));
    plain = fast;
    const int sizes[] = {1, 2, 3, 63, 64, 65, 127, 4096, 777, 10007};
    for (int i = 0, done = 0; done < kWindow; done += sizes[i++ % 10])
      renderFrames(fast, fastOut.data() + 2 * done, std::min(sizes[i % 10], kWindow - done));
    renderFramesPlain(plain, plainOut.data(), kWindow);
    for (int i = 0; i < 2 * kWindow; ++i)
      ASSERT_EQ(fastOut[i], plainOut[i]) << "frame " << start + i / 2 << (i % 2 ? " right" : " left");
    for (int v = 0; v < kVoiceCount; ++v)
      for (int s = 0; s < kFilterStages; ++s) ASSERT_EQ(fast.voices[v].stages[s], plain.voices[v].stages[s]) << v;
    ++windows;
  }
  EXPECT_GT(windows, 10);
}

}  // namespace
