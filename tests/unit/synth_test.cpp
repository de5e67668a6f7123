// The music from the notation up: the pattern notation read by addPattern and the song it
// builds; one voice (the envelope, the band-limited oscillator, clipping, the resonant filter
// and its feedback, the glide's turning point, the noise table); and playback (note starts,
// the pan law and 16-bit conversion, the block renderer against the plain rule wherever the
// song's sound changes); and the maker's mode's song player (the background render is the
// off-line render, and the callback plays it from wherever it is pointed, pausing and
// resuming at the sample, with silence where the render has not reached yet).
// demo_full_show.sh compares the whole played show with the off-line render and checks that
// it is music.
#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/music_slice.h"
#include "synth/process_state.h"
#include "synth/sample_rate.h"
#include "synth/song.h"
#include "synth/song_player.h"
#include "synth/voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

// A definition with distinct envelope times, so each can be checked after the shift.
Instrument definition() {
  Instrument in{};
  in.waveform = kWaveSawtooth, in.filterEnvelope = in.ampEnvelope = true, in.amplitude = 0.5;
  in.ampStart = 1, in.ampPeak = 2, in.ampEnd = 3;
  in.filterStart = 4, in.filterPeak = 5, in.filterEnd = 6;
  in.slideOffset = 7, in.cutoff = 0.7, in.pan = -0.3;
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

TEST(Pattern, StepsRestsLettersOctavesAndStepDivisors) {
  // Each character is 1/divisor beat ('-' rests 4 steps; '#', '%', digits and other characters
  // take none); a digit sets the octave of what follows, lower case reads as upper, C% is B,
  // letters past G sound as A and octaves 6 to 9 as -4. Divisor 0: no steps; negative: bars.
  struct Case {
    const char* pattern;
    int divisor;
    std::vector<double> beats, hertz;
  } cases[] = {
      {"1A..A.A..A-A !?A", 2, {0, 1.5, 2.5, 4, 6.5, 7}, {110, 110, 110, 110, 110, 110}},
      {"2DA#1F.A", 1, {0, 1, 2, 4}, {293.66, 233.08, 174.61, 110}},
      {"3cC%BHz" "0A1A2A3A4A5A9A" "6A7A8A", 4, {0, 0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.25, 2.5, 2.75, 3, 3.25, 3.5},
       {523.25, 493.88, 493.88, 440, 440, 55, 110, 220, 440, 880, 1760, 27.5, 27.5, 27.5, 27.5}},
      {"3A.AA", 0, {0, 0, 0}, {440, 440, 440}},
      {"3A.A", -4, {0, 8}, {440, 440}},
      {"3AA", -8, {0, 8}, {440, 440}},
  };
  for (const Case& c : cases) {
    auto synth = play(c.pattern, c.divisor);
    ASSERT_EQ(synth->eventCount, static_cast<int>(c.beats.size())) << c.pattern;
    for (size_t i = 0; i < c.beats.size(); ++i) {
      EXPECT_NEAR(beatOf(*synth, i), c.beats[i], 1e-12) << c.pattern << " " << i;
      EXPECT_NEAR(hertz(*synth, i), c.hertz[i], 0.01) << c.pattern << " " << i;
    }
  }
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
  EXPECT_DOUBLE_EQ(in.amplitude, 0.6);
  const double shifted[6] = {in.ampStart, in.ampPeak, in.ampEnd, in.filterStart, in.filterPeak, in.filterEnd};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(shifted[i], i + 1 + t) << i;
  EXPECT_EQ(in.slideOffset, 7.0);  // no glide: unchanged
  EXPECT_EQ(gliding->songEvents[0].instrument.slideOffset, 7.0 - t);  // the glide starts with the note
  EXPECT_NEAR(gliding->songEvents[0].instrument.pitch / in.pitch, std::pow(2.0, 0.1 / 12), 1e-12);
}

TEST(Song, HasEveryNoteSortedAndNoTwoStartTogetherOnAVoice) {
  std::unique_ptr<Synth> synth(new Synth());
  buildSong(*synth);
  buildSong(*synth);  // rebuilding replaces rather than appends
  ASSERT_EQ(synth->eventCount, kSongEventCount);
  std::set<std::pair<int, double>> starts;
  for (int i = 0; i < synth->eventCount; ++i) {
    const NoteEvent& e = synth->songEvents[i];
    EXPECT_LE(synth->songEvents[i > 0 ? i - 1 : 0].time, e.time) << i;
    EXPECT_TRUE(starts.insert({e.voice, e.time}).second) << "two notes start together on voice " << e.voice;
  }
}

// A voice whose output is its clipped input: no envelopes, and with a = 1 a fresh filter
// copies its input through all four stages exactly.
Voice passThrough(int32_t waveform, double pitch, double noise = 0.0) {
  Voice voice{};
  Instrument& in = voice.instrument;
  in.waveform = waveform, in.amplitude = 1.0, in.cutoff = 1.0, in.pitch = pitch, in.noise = noise;
  return voice;
}

// The first sample of a fresh copy of voice at time t.
double firstSample(Voice voice, double t, const std::vector<double>& noise) { return renderVoice(voice, t, noise.data()); }

const std::vector<double> kSilence(kNoiseTableSize, 0.0);

TEST(Envelope, ExactAtItsBreakpointsAndZeroOutside) {
  const double times[7] = {99, 100, 125, 150, 200, 350, 400};
  const double levels[7] = {0, 0, 0.15625, 0.5, 1, 0.15625, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(envelope(times[i], 100, 200, 400), levels[i]) << times[i];
}

TEST(Voice, OscillatorIsTheWavesMeanOverTheSample) {
  // A quarter cycle per sample, phase = pitch * absolute time whenever the note started.
  const double saw[4] = {-0.75, -0.25, 0.25, 0.75};
  const double square[4] = {-1, -1, 1, 1};
  for (int t = 0; t < 8; ++t) {
    EXPECT_EQ(firstSample(passThrough(kWaveSawtooth, 0.25), 1000 + t, kSilence), saw[t % 4]) << t;
    EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25), t, kSilence), square[t % 4]) << t;
  }
  // A sample over the square's edge (phase 0.4 to 0.6) averages the halves.
  EXPECT_NEAR(firstSample(passThrough(kWaveSquare, 0.2), 2, kSilence), 0.0, 1e-12);
}

TEST(Voice, NoiseIsAddedThenTheSumClippedBeforeTheFilter) {
  std::vector<double> noise(kNoiseTableSize, 0.9);
  noise[5] = 0.5;
  EXPECT_EQ(firstSample(passThrough(0, 0.01, 0.5), kNoiseTableSize + 5, noise), 0.25);  // index wraps
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, 2.0), 0, noise), 0.8);          // -1 + 1.8
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, 2.0), 2, noise), 1.0);          // 1 + 1.8
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, -2.0), 2, noise), -0.8);
  EXPECT_EQ(firstSample(passThrough(kWaveSquare, 0.25, -2.0), 0, noise), -1.0);
}

TEST(Voice, FilterCascadesFeedsBackStageFourAndHighPassSubtracts) {
  std::vector<double> noise(kNoiseTableSize, 1.0);
  Voice lowPass = passThrough(0, 0.01, 1.0), highPass = lowPass;
  lowPass.instrument.cutoff = highPass.instrument.cutoff = 0.5;
  highPass.instrument.highPass = true;
  EXPECT_EQ(renderVoice(lowPass, 0, noise.data()), 0.0625);
  const double stages[4] = {0.5, 0.25, 0.125, 0.0625};
  for (int s = 0; s < 4; ++s) EXPECT_EQ(lowPass.stages[s], stages[s]);
  EXPECT_EQ(renderVoice(highPass, 0, noise.data()), 1.0 - 0.0625);
  // Resonance 1.2 on an input of 0: stage 4 counts as at most 1, negative values pass, and
  // the fed-back input is not clipped again.
  for (double stage4 : {5.0, -3.0}) {
    Voice voice = passThrough(0, 0.01);
    voice.instrument.resonance = 1.2, voice.stages[3] = stage4;
    EXPECT_NEAR(renderVoice(voice, 0, kSilence.data()), stage4 > 0 ? -1.2 : 3.6, 1e-12) << stage4;
  }
}

TEST(Voice, GlideTurningPointGivesTheWaveValueInsteadOfNaN) {
  // A at 110 Hz gliding by -0.0001: the phases at elapsed samples 9999 and 10000 round to the
  // same double, where the mean would be 0/0.
  const double pitch = 110.0 / 44100.0, slide = -0.0001;
  const double fraction = std::fmod(std::pow(1 + slide, 9999.0) * pitch * 9999.0, 1.0);  // under 0.5
  Voice square = passThrough(kWaveSquare, pitch), saw = passThrough(kWaveSawtooth, pitch);
  square.instrument.slide = saw.instrument.slide = slide;
  EXPECT_EQ(firstSample(square, 9999, kSilence), -1.0);
  saw.instrument.slideOffset = -5000.0;  // the same elapsed time for a note started at 5000
  EXPECT_EQ(firstSample(saw, 14999, kSilence), 2.0 * fraction - 1.0);
  for (double t = 14990; t < 15010; ++t) EXPECT_TRUE(std::isfinite(renderVoice(saw, t, kSilence.data()))) << t;
}

TEST(NoiseTable, TakesOneDrawPerEntryFromTheStartOfTheSequence) {
  std::vector<double> table(kNoiseTableSize);
  RandomGenerator random, counted;
  fillNoiseTable(table.data(), random);
  for (int i = 0; i < kNoiseTableSize; ++i)
    ASSERT_NEAR(table[i], 2.0 * nextRandom(counted) / 32767.0 - 1.0, 1e-15) << i;
  EXPECT_EQ(random.state, counted.state);
}

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

constexpr int64_t kPlayerFrames = 3 * kSampleRate;  // enough for the tests, quick to render
constexpr int kBuffer = 1024;                       // frames per simulated callback

// The first kPlayerFrames frames by the mixer's literal rule in one call, on a state prepared
// as at start-up.
const std::vector<int16_t>& plainRender() {
  static const std::vector<int16_t> samples = [] {
    auto state = std::make_unique<ProcessState>();
    prepareMusic(*state);
    std::vector<int16_t> out(kPlayerFrames * kOutputChannels);
    renderFramesPlain(state->synth, out.data(), static_cast<int>(kPlayerFrames));
    return out;
  }();
  return samples;
}

// The frames [first, first + count) of the plain render, then silence up to frames.
std::vector<int16_t> slice(int64_t first, int count, int frames = kBuffer) {
  std::vector<int16_t> out(plainRender().begin() + first * 2, plainRender().begin() + (first + count) * 2);
  out.resize(frames * kOutputChannels, 0);
  return out;
}

// One callback's worth of frames.
std::vector<int16_t> play(SongPlayer& player) {
  std::vector<int16_t> out(kBuffer * kOutputChannels, 123);
  fillFromSong(player, out.data(), kBuffer);
  return out;
}

TEST(SongPlayer, TheBackgroundRenderIsTheOfflineRender) {
  std::vector<int16_t> part;
  renderMusicSlice(5000, 9000, part);
  EXPECT_EQ(part, slice(5000, 4000, 4000));
  EXPECT_NE(part, std::vector<int16_t>(part.size(), 0));
  // On its own thread, the same frames.
  SongPlayer threaded;
  startSongRender(threaded, kPlayerFrames);
  for (int i = 0; i < 600 && threaded.renderedFrames.load() < kPlayerFrames; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  stopSongRender(threaded);
  ASSERT_EQ(threaded.renderedFrames.load(), kPlayerFrames);
  EXPECT_EQ(threaded.samples, plainRender());
}

TEST(SongPlayer, PlaysFromWhereverItIsPointedPausesAndFallsSilentWhereNothingIsRendered) {
  SongPlayer p;
  p.totalFrames = kPlayerFrames;
  p.samples = plainRender();
  p.scratch.assign(kMaxCallbackFrames * kOutputChannels, 0);
  p.renderedFrames.store(100);
  // Only part rendered: the part before the render's front plays, the rest is silence, and
  // the clock goes on in step with the pictures all the same.
  EXPECT_EQ(play(p), slice(0, 100));
  EXPECT_EQ(p.position.load(), kBuffer);
  p.renderedFrames.store(kPlayerFrames);
  EXPECT_EQ(play(p), slice(kBuffer, kBuffer));  // buffers follow each other without a gap
  int64_t target = sampleFrameAt(1234);
  seekSong(p, target);
  EXPECT_EQ(play(p), slice(target, kBuffer));   // the next buffer starts exactly there
  seekSong(p, 10);                              // backwards as well
  EXPECT_EQ(play(p), slice(10, kBuffer));
  // Pause is silence and nothing moves; resuming starts at the sample asked.
  int64_t pausedAt = sampleFrameAt(500);
  pauseSong(p, true, pausedAt);
  EXPECT_EQ(play(p), slice(0, 0));
  EXPECT_EQ(play(p), slice(0, 0));
  EXPECT_EQ(p.position.load(), pausedAt);
  pauseSong(p, false, pausedAt);
  EXPECT_EQ(play(p), slice(pausedAt, kBuffer));
  // At the end: what is left, then silence, and the position stays at the end.
  seekSong(p, kPlayerFrames - 10);
  EXPECT_EQ(play(p), slice(kPlayerFrames - 10, 10));
  EXPECT_EQ(p.position.load(), kPlayerFrames);
  seekSong(p, kPlayerFrames + 999);  // a seek past the end is held at the end
  EXPECT_EQ(p.position.load(), kPlayerFrames);
  seekSong(p, -5);
  EXPECT_EQ(p.position.load(), 0);

  // The callback writes little-endian frames of one position; a stray odd pair of bytes is zeroed.
  seekSong(p, 777);
  std::vector<uint8_t> stream(kBuffer * 4 + 2, 0xAB), expected(kBuffer * 4 + 2, 0);
  songAudioCallback(&p, stream.data(), static_cast<int>(stream.size()));
  storeLittleEndian(slice(777, kBuffer).data(), kBuffer * 2, expected.data());
  EXPECT_EQ(stream, expected);
  EXPECT_EQ(p.position.load(), 777 + kBuffer);
}

}  // namespace
