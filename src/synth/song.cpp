// The song's data (13 instruments, 18 patterns, 28 placements) and the pattern reader
// that turns it into note events.
#include "synth/song.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxPatternLength = 1024;  // characters of an expanded pattern (the longest has 544)
constexpr int kMaxPatternParts = 8;      // repeated pieces in one pattern
constexpr double kConcertPitch = 440.0;  // Hz of A at octave 0
constexpr double kVelocityScale = 1.2;   // applied to every definition's amplitude

// A pattern as written: pieces, each repeated, the whole sequence repeated.
struct PatternPart {
  const char* text;
  int repeat;
};
struct PatternText {
  PatternPart parts[kMaxPatternParts];
  int repeat;
};

enum PatternId { T1, T2, T3, T4, T5, T6, T7, T8, T9, T10, T11, T12, T13, T14, T15, T16, T17, T18, kPatternCount };

const PatternText kPatterns[kPatternCount] = {
    {{{"2DA#1F.2DA#1F.1G2A#A.1G2A#D.", 3}}, 1},
    {{{"1DA#0F.1DA#0F.0G1A#A.0G1A#D.", 2}}, 1},
    {{{"..4GDA#.3G.D.........4GDA#.3G.D.....DG4A#.........A.....D.................4GDA#.3G.D........."
       "4GDA#.3G.D.....DG3A#.........A.....2G",
       1}},
     1},
    {{{"......3D4A3G.............3D4A3G.............3D4A3G...5A4G..................", 2}}, 1},
    {{{"A", 256}}, 1},
    {{{"1A..A.A..", 32}}, 1},
    {{{"1A.AA.AAA", 32}}, 1},
    {{{"1.A..A...", 32}}, 1},
    {{{"1....A.......A..A", 7}, {"1....A.......AA..", 1}}, 4},
    {{{"2G.DCG.DC", 2}}, 1},
    {{{"3G.DCG.DC", 3}}, 1},
    {{{"0C.D.DD.D.D.DD.CC", 2},
      {"0C.D.DD.D.C.CC.CC", 1},
      {"9G.G.GG.G.G.GG.GG", 1},
      {"0C.D.DD.D.D.DD.CC", 2},
      {"0FF.F.F.FF.FFE.EE", 1},
      {"0C.C.CC.C.C.CC.CC", 1}},
     4},
    {{{"..G.D..CG......CF..G..4A.3G.........G.D..CG......4AC..3G..4A.3G.......", 4}}, 1},
    {{{"A", 512}}, 1},
    {{{"1AA.....A.AA.....", 32}}, 1},
    {{{"1A.A.A.A.", 32}}, 1},
    {{{"1.A.A.A.A", 32}}, 1},
    {{{"1..A...A.", 32}}, 1},
};

// An instrument definition: filter envelope on, envelopes and glide from the note's start;
// amplitude, cutoff, pitch and pan come from each placement.
constexpr Instrument definition(int32_t waveform, double ampPeak, double ampEnd, double filterPeak, double filterEnd,
                                double resonance, double slide, double noise, bool highPass, bool ampEnvelope) {
  Instrument in{};
  in.waveform = waveform;
  in.filterEnvelope = true;
  in.ampEnvelope = ampEnvelope;
  in.highPass = highPass;
  in.ampPeak = ampPeak;
  in.ampEnd = ampEnd;
  in.filterPeak = filterPeak;
  in.filterEnd = filterEnd;
  in.resonance = resonance;
  in.slide = slide;
  in.noise = noise;
  return in;
}

enum InstrumentId { I1, I2, I3, I4, I5, I6, I7, I8, I9, I10, I11, I12, I13, kInstrumentCount };

constexpr double kGlide = -0.0001;
const Instrument kInstruments[kInstrumentCount] = {
    definition(kWaveSawtooth, 15000, 200000, 10000, 300000, 0.0, 0.0, 0.0, false, true),
    definition(kWaveSawtooth, 1000, 200000, 5000, 200000, 0.2, 0.0, 0.0, false, true),
    definition(kWaveSquare, 50, 20000, 50, 10000, 0.1, 0.0, 0.0, false, true),
    definition(0, 5, 800, 5, 10000, 0.0, 0.0, 1.0, true, true),
    definition(kWaveSquare, 5, 5000, 5, 10000, 0.4, kGlide, 0.3, false, true),
    definition(0, 5, 1000, 5, 10000, 0.0, 0.0, 1.0, true, true),
    definition(0, 5, 2000, 5, 10000, 0.0, 0.0, 1.0, true, true),
    definition(kWaveSquare, 1, 10000, 1, 10000, 0.0, kGlide, 2.0, false, true),
    definition(kWaveSawtooth, 15000, 400000, 10000, 600000, 0.0, 0.0, 0.0, false, true),
    definition(kWaveSawtooth, 0, 0, 10, 8000, 0.9, 0.0, 0.0, false, false),
    definition(kWaveSquare, 50, 25000, 50, 15000, 0.1, 0.0, 0.0, false, true),
    definition(kWaveSquare, 5, 5000, 5, 6000, 0.8, kGlide, 0.3, false, true),
    definition(kWaveSquare, 1, 10000, 1, 20000, 1.2, kGlide, 2.0, false, true),
};

// One pattern played by one instrument on a group of voices.
struct Placement {
  PatternId pattern;
  InstrumentId instrument;
  double start;  // samples
  int firstVoice;
  int voiceCount;
  int stepDivisor;
  double amplitude;
  double cutoff;
  double pitch;  // semitones
  double pan;
};

constexpr int kPlacementCount = 28;

// In the order they are added. Quieter, darker repeats a little later make the echoes.
const Placement kPlacements[kPlacementCount] = {
    {T1, I1, songTime(0, 0), 0, 4, -4, 0.3, 0.5, 0.0, 0.1},
    {T1, I1, songTime(0, 0), 4, 4, -4, 0.3, 0.4, 0.1, -0.2},
    {T2, I2, songTime(16, 0), 8, 4, -4, 0.3, 0.5, 0.12, 0.3},
    {T2, I2, songTime(16, 0), 12, 4, -4, 0.3, 0.4, 0.14, -0.3},
    {T3, I3, songTime(32, 0), 16, 2, 4, 0.3, 0.8, 0.0, -0.1},
    {T3, I3, songTime(32, 1), 18, 2, 4, 0.2, 0.6, 0.0, 0.0},
    {T3, I3, songTime(32, 2), 20, 2, 4, 0.2, 0.4, 0.0, 0.4},
    {T4, I3, songTime(40, 0), 16, 2, 4, 0.3, 0.8, 0.0, -0.1},
    {T4, I3, songTime(40, 1), 18, 2, 4, 0.2, 0.6, 0.0, 0.0},
    {T4, I3, songTime(40, 2), 20, 2, 4, 0.2, 0.4, 0.0, 0.4},
    {T5, I4, 2 * songTime(16, 0), 28, 1, 4, 0.25, 0.95, 0.0, 0.4},
    {T6, I5, songTime(16, 0), 29, 1, 2, 0.7, 0.5, 0.0, 0.0},
    {T7, I6, songTime(16, 0), 30, 1, 2, 0.3, 0.93, 0.0, 0.1},
    {T8, I7, songTime(16, 0), 30, 1, 2, 0.3, 0.93, 0.0, -0.1},
    {T9, I8, songTime(16, 0), 31, 1, 4, 0.15, 0.9, 0.0, 0.1},
    {T10, I1, songTime(60, 0), 8, 2, -4, 0.4, 0.5, 0.0, 0.1},
    {T10, I1, songTime(60, 0), 10, 2, -4, 0.4, 0.4, 0.1, 0.2},
    {T11, I9, songTime(60, 0), 12, 2, -8, 0.2, 0.5, 0.05, 0.1},
    {T11, I9, songTime(60, 0), 14, 2, -8, 0.2, 0.4, 0.06, 0.2},
    {T12, I10, songTime(52, 0), 0, 8, 4, 0.8, 0.2, 0.0, -0.1},
    {T13, I11, songTime(52, 0), 16, 2, 2, 0.25, 0.8, 0.0, -0.1},
    {T13, I11, songTime(52, 0) + 0.33 * songTime(0, 2), 18, 2, 2, 0.2, 0.4, 0.0, 0.0},
    {T13, I11, songTime(52, 0) + 2 * 0.33 * songTime(0, 2), 20, 2, 2, 0.2, 0.3, 0.0, 0.4},
    {T14, I4, songTime(48, 0), 28, 1, 4, 0.25, 0.95, 0.0, 0.4},
    {T15, I12, songTime(48, 0), 29, 1, 4, 0.7, 0.5, 0.6, 0.0},
    {T16, I6, songTime(48, 0), 30, 1, 2, 0.3, 0.93, 0.0, 0.1},
    {T17, I7, songTime(48, 0), 30, 1, 2, 0.3, 0.93, 0.0, -0.1},
    {T18, I13, songTime(48, 0), 31, 1, 2, 0.2, 0.9, 0.0, -0.1},
};

// Writes the pattern's full text into out; false if it does not fit.
bool expandPattern(const PatternText& pattern, char (&out)[kMaxPatternLength]) {
  size_t length = 0;
  for (int round = 0; round < pattern.repeat; ++round) {
    for (const PatternPart& part : pattern.parts) {
      if (!part.text) break;
      size_t partLength = std::strlen(part.text);
      for (int i = 0; i < part.repeat; ++i) {
        if (length + partLength >= sizeof out) return false;
        std::memcpy(out + length, part.text, partLength);
        length += partLength;
      }
    }
  }
  out[length] = '\0';
  return true;
}

// Semitones above A of a note letter; letters past G sound as A.
int letterSemitone(char letter) {
  constexpr int kNamedLetters = 7;  // A to G
  static const int kSemitones[kNamedLetters] = {0, 2, 3, 5, 7, 8, 10};
  int index = (letter | 0x20) - 'a';
  return index < kNamedLetters ? kSemitones[index] : 0;
}

// The octave a digit selects, or `current` for the digits that leave it alone.
int digitOctave(char digit, int current) {
  constexpr int kDigits = 10;
  constexpr int kKeep = 99;  // marks 6, 7 and 8
  static const int kOctaves[kDigits] = {-3, -2, -1, 0, 1, 2, kKeep, kKeep, kKeep, -4};
  int octave = kOctaves[digit - '0'];
  return octave == kKeep ? current : octave;
}

// True for A-Z and a-z.
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool addPattern(Synth& synth, const char* pattern, const Instrument& instrument, int firstVoice, int voiceCount,
                double startTime, int stepDivisor) {
  double stepLength = stepDivisor > 0 ? 1.0 / stepDivisor : static_cast<double>(-stepDivisor);
  if (voiceCount < 1) voiceCount = 1;
  int octave = 0;
  int step = 0;
  int noteCount = 0;
  for (const char* c = pattern; *c; ++c) {
    if (*c >= '0' && *c <= '9') {
      octave = digitOctave(*c, octave);
    } else if (*c == '.') {
      step += 1;
    } else if (*c == '-') {
      step += 4;
    } else if (isLetter(*c)) {
      int accidental = c[1] == '#' ? 1 : c[1] == '%' ? -1 : 0;
      int voice = firstVoice + noteCount % voiceCount;
      if (synth.eventCount >= kMaxSongEvents || voice < 0 || voice >= kVoiceCount) return false;
      NoteEvent& event = synth.songEvents[synth.eventCount++];
      event.instrument = instrument;
      event.voice = voice;
      event.time = startTime + (kBeatSamples * step) * stepLength;
      Instrument& note = event.instrument;
      note.amplitude = instrument.amplitude * kVelocityScale;
      note.pitch = std::pow(2.0, (instrument.pitch + letterSemitone(*c) + accidental) / 12.0 + octave) *
                   kConcertPitch / kSampleRate;
      if (instrument.slide != 0.0) note.slideOffset = instrument.slideOffset - event.time;
      note.ampStart += event.time;
      note.ampPeak += event.time;
      note.ampEnd += event.time;
      note.filterStart += event.time;
      note.filterPeak += event.time;
      note.filterEnd += event.time;
      step += 1;
      noteCount += 1;
    }
  }
  return true;
}

void buildSong(Synth& synth) {
  synth.eventCount = 0;
  char text[kMaxPatternLength];
  for (const Placement& placement : kPlacements) {
    Instrument instrument = kInstruments[placement.instrument];
    instrument.amplitude = placement.amplitude;
    instrument.cutoff = placement.cutoff;
    instrument.pitch = placement.pitch;
    instrument.pan = placement.pan;
    if (!expandPattern(kPatterns[placement.pattern], text)) continue;
    addPattern(synth, text, instrument, placement.firstVoice, placement.voiceCount, placement.start,
               placement.stepDivisor);
  }
  // Equal start times belong to different voices, so their order cannot change the sound;
  // a stable sort keeps it reproducible anyway.
  std::stable_sort(synth.songEvents, synth.songEvents + synth.eventCount,
                   [](const NoteEvent& a, const NoteEvent& b) { return a.time < b.time; });
}
