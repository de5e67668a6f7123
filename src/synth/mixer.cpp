// Mixing the voices into the output stream. renderFramesPlain applies the rule literally;
// mixFrames reaches the same bits faster: it splits the stream into blocks in which no note
// starts, prepares each voice's filter inputs for the whole block two samples at a time,
// runs the filters of two voices at a time, and skips only work whose result is known.
#include "synth/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kMixChunkFrames = 512;       // frames mixed at a time by renderFrames
constexpr int kBlockFrames = 64;           // frames a voice's filter inputs are prepared for
constexpr int kLanes = 2;                  // doubles per vector
constexpr double kExactFraction = 0x1p52;  // below this a double's fractional part subtracts exactly
constexpr double kVectorTruncLimit = 0x1p31;  // vector truncation goes through 32-bit integers

// ---- Two-lane vectors ----

// Two doubles processed together; every lane rounds exactly as the scalar operation does.
typedef double Double2 __attribute__((vector_size(16)));
// Per-lane comparison results: all ones for true, 0 for false.
typedef int64_t Mask2 __attribute__((vector_size(16)));

// A vector with x in both lanes.
inline Double2 splat(double x) { return Double2{x, x}; }

// Stores two doubles to p.
inline void store2(double* p, Double2 v) { std::memcpy(p, &v, sizeof v); }

// Bitwise choice per lane: a where the mask is set, b elsewhere.
inline Double2 select(Mask2 mask, Double2 a, Double2 b) {
  return reinterpret_cast<Double2>((mask & reinterpret_cast<Mask2>(a)) | (~mask & reinterpret_cast<Mask2>(b)));
}

// True if either lane of a mask is set.
inline bool anyLane(Mask2 m) { return (m[0] | m[1]) != 0; }

// Per lane a < b ? a : b, so min(x, 1) as std::min writes it is minLanes(1, x).
inline Double2 minLanes(Double2 a, Double2 b) {
#if defined(__SSE2__)
  return _mm_min_pd(a, b);
#else
  return a < b ? a : b;
#endif
}

// Per lane a > b ? a : b.
inline Double2 maxLanes(Double2 a, Double2 b) {
#if defined(__SSE2__)
  return _mm_max_pd(a, b);
#else
  return a > b ? a : b;
#endif
}

// Whole part toward zero of lanes with |x| < 2^31.
inline Double2 truncLanes(Double2 x) {
#if defined(__SSE2__)
  return _mm_cvtepi32_pd(_mm_cvttpd_epi32(x));
#else
  typedef int64_t Int2 __attribute__((vector_size(16)));
  return __builtin_convertvector(__builtin_convertvector(x, Int2), Double2);
#endif
}

// ---- Pieces of the voice rule, scalar and for two lanes ----

// Left share of a voice at pan: linear, half at the centre.
inline double leftGain(double pan) { return 0.5 - 0.5 * pan; }
// Right share of a voice at pan.
inline double rightGain(double pan) { return 0.5 + 0.5 * pan; }

// fmod(phase, 1) for any phase; where |phase| < 2^52, phase - trunc(phase) is the same value
// (the subtraction is exact by Sterbenz's lemma) without the remainder loop.
inline double cycleFraction(double phase) {
  if (std::fabs(phase) < kExactFraction) return phase - static_cast<double>(static_cast<int64_t>(phase));
  return std::fmod(phase, 1.0);
}

// The oscillator phase at elapsed time x; without a glide pow(1, x) is exactly 1.
inline double phaseAt(const Instrument& in, double x) {
  if (in.slide == 0.0) return in.pitch * x;
  return std::pow(1.0 + in.slide, x) * in.pitch * x;
}

// waveIntegral for both lanes.
inline Double2 waveIntegral2(int32_t waveform, Double2 x) {
  if (waveform == kWaveSawtooth) {
    Double2 y = 2.0 * x - 1.0;
    return y * y * 0.25;
  }
  return select(x <= 0.5, (1.0 - 4.0 * x) * 0.25, ((x - 0.5) * 4.0 - 1.0) * 0.25);
}

// smoothStep for both lanes.
inline Double2 smoothStep2(Double2 x) { return x * (x * (x * -2.0 + 3.0)); }

// envelope() for both lanes: the segment is chosen per lane before the one division.
inline Double2 envelope2(Double2 t, double s, double p, double e) {
  Mask2 attack = t <= p;
  Double2 x = select(attack, t - s, t - p) / select(attack, splat(p - s), splat(e - p));
  x = select(attack, x, 1.0 - x);
  Mask2 open = (t > s) & (attack | (t <= e));
  return select(open, smoothStep2(x), splat(0.0));
}

// clipUnit for both lanes: min(1, x) then max(-1, x) in the operand order that keeps a NaN.
inline Double2 clipUnit2(Double2 w) { return maxLanes(splat(-1.0), minLanes(splat(1.0), w)); }

// ---- Work whose result is known: sleeping voices, closed envelopes ----

// True when, from time on, the voice's filter cannot move (a is 0) and its output is 0:
// it then changes nothing until its next note.
inline bool voiceAsleep(const Instrument& in, double time) {
  if (in.pitch == 0.0 || in.amplitude == 0.0) return true;
  bool filterHeld = in.cutoff == 0.0 || (in.filterEnvelope && time > in.filterPeak && time > in.filterEnd);
  bool silent = in.ampEnvelope && time > in.ampPeak && time > in.ampEnd;
  return filterHeld && silent;
}

// True when envelope(t, s, p, e) is 0 for every t from time0 to timeLast.
inline bool envelopeClosed(double time0, double timeLast, double s, double p, double e) {
  return timeLast <= s || (time0 > p && time0 > e);
}

// True when the filter coefficient is 0 at every sample from time0 to timeLast.
inline bool filterHeldThrough(const Instrument& in, double time0, double timeLast) {
  if (in.cutoff == 0.0) return true;
  return in.filterEnvelope && envelopeClosed(time0, timeLast, in.filterStart, in.filterPeak, in.filterEnd);
}

// True when the amplitude envelope is 0 at every sample from time0 to timeLast.
inline bool silentThrough(const Instrument& in, double time0, double timeLast) {
  return in.ampEnvelope && envelopeClosed(time0, timeLast, in.ampStart, in.ampPeak, in.ampEnd);
}

// ---- A block's filter inputs ----

// scale * envelope(t, s, p, e) for the frames time0 .. time0 + count - 1 (an even count is
// written). Within one segment the segment tests are dropped; the arithmetic is the same.
void fillEnvelope(double time0, int count, double s, double p, double e, double scale, double* out) {
  double timeLast = time0 + (count - 1);
  Double2 t = {time0, time0 + 1.0};
  if (envelopeClosed(time0, timeLast, s, p, e)) {
    for (int f = 0; f < count; f += kLanes) store2(out + f, scale * splat(0.0));
  } else if (time0 > s && timeLast <= p) {
    Double2 length = splat(p - s);
    for (int f = 0; f < count; f += kLanes, t += 2.0) store2(out + f, scale * smoothStep2((t - s) / length));
  } else if (time0 > s && time0 > p && timeLast <= e) {
    Double2 length = splat(e - p);
    for (int f = 0; f < count; f += kLanes, t += 2.0)
      store2(out + f, scale * smoothStep2(1.0 - (t - p) / length));
  } else {
    for (int f = 0; f < count; f += kLanes, t += 2.0) store2(out + f, scale * envelope2(t, s, p, e));
  }
}

// What the filter of one voice needs over one block, computed ahead of the filter itself
// because none of it depends on the filter.
struct VoiceInputs {
  double input[kBlockFrames];        // oscillator + noise, clipped, before feedback
  double coefficient[kBlockFrames];  // filter coefficient a
  double level[kBlockFrames];        // amplitude envelope; 1 for a voice without one
};

// Oscillator means plus noise, clipped, for frames time0 .. time0 + count - 1 (an even count
// is written). Noise of amount 0 is not added: w + 0 * n can differ from w only in the sign
// of a zero, which nothing downstream can see.
void fillInput(const Instrument& in, double time0, int count, const double* noiseTable, double* out) {
  bool oscillator = in.waveform == kWaveSawtooth || in.waveform == kWaveSquare;
  bool glide = in.slide != 0.0;
  // The end of sample t and the start of t + 1 are the same expression, (t + 1) + slideOffset,
  // so the phase at the end of each pair is carried into the next.
  double phaseCarried = 0.0, integralCarried = 0.0;
  bool vectorTrunc = false;
  if (oscillator) {
    phaseCarried = phaseAt(in, time0 + in.slideOffset);
    integralCarried = waveIntegral(in.waveform, cycleFraction(phaseCarried));
    // Without a glide, pitch * x is monotonic in x, so the first and last phases bound them all.
    vectorTrunc = !glide && std::fabs(phaseCarried) < kVectorTruncLimit &&
                  std::fabs(phaseAt(in, time0 + (count + 1) + in.slideOffset)) < kVectorTruncLimit;
  }
  int64_t noiseIndex = static_cast<int64_t>(time0);
  Double2 t = {time0, time0 + 1.0};
  for (int f = 0; f < count; f += kLanes, t += 2.0, noiseIndex += kLanes) {
    Double2 w = splat(0.0);
    if (oscillator) {
      Double2 x = t + 1.0 + in.slideOffset;
      Double2 phase1 = glide ? Double2{phaseAt(in, x[0]), phaseAt(in, x[1])} : in.pitch * x;
      Double2 fraction1 = vectorTrunc ? phase1 - truncLanes(phase1)
                                      : Double2{cycleFraction(phase1[0]), cycleFraction(phase1[1])};
      Double2 integral1 = waveIntegral2(in.waveform, fraction1);
      Double2 phase0 = {phaseCarried, phase1[0]};
      Double2 integral0 = {integralCarried, integral1[0]};
      phaseCarried = phase1[1];
      integralCarried = integral1[1];
      w = (integral1 - integral0) / (phase1 - phase0);
      Mask2 still = phase1 == phase0;
      if (anyLane(still)) {
        // A glide at its turning point (or decayed to nothing) does not move over the sample;
        // the mean is then the wave's value there, where the quotient would be 0/0.
        for (int lane = 0; lane < kLanes; ++lane)
          if (still[lane]) w[lane] = waveValue(in.waveform, cycleFraction(phase0[lane]));
      }
    }
    if (in.noise != 0.0 || !oscillator) {
      Double2 noise = {noiseTable[noiseIndex & kNoiseIndexMask], noiseTable[(noiseIndex + 1) & kNoiseIndexMask]};
      w = w + in.noise * noise;
    }
    store2(out + f, clipUnit2(w));
  }
}

// Fills all of a voice's inputs for frames time0 .. time0 + count - 1.
void prepareInputs(const Instrument& in, double time0, int count, const double* noiseTable, VoiceInputs& out) {
  if (in.ampEnvelope) {
    fillEnvelope(time0, count, in.ampStart, in.ampPeak, in.ampEnd, 1.0, out.level);
  } else {
    for (int f = 0; f < count; f += kLanes) store2(out.level + f, splat(1.0));
  }
  if (in.filterEnvelope) {
    fillEnvelope(time0, count, in.filterStart, in.filterPeak, in.filterEnd, in.cutoff, out.coefficient);
  } else {
    for (int f = 0; f < count; f += kLanes) store2(out.coefficient + f, splat(in.cutoff));
  }
  fillInput(in, time0, count, noiseTable, out.input);
}

// ---- Blocks: planning, running the filters, storing the stages ----

// Two voices whose filters run side by side in one block. A lone voice fills both lanes and
// the second lane's results are dropped.
struct FilterPair {
  Double2 stages[kFilterStages];  // lane = voice
  Double2 resonance;
  Double2 amplitude;
  Double2 leftGain;
  Double2 rightGain;
  Mask2 highPass;  // all ones in a high-pass lane
  const VoiceInputs* inputs[kLanes];
  int voice[kLanes];
  int slot[kLanes];  // position in the block's sum; kVoiceCount for a dropped lane
};

// A voice whose filter holds still for the whole block: its output is its last stage.
struct HeldVoice {
  double scaled;        // stage 4 * amplitude
  Double2 gains;        // left and right share
  const double* level;  // amplitude envelope per frame, or null for a voice without one
  int slot;
};

// The voices that take part in one block, by kind, and their inputs.
struct Block {
  VoiceInputs inputs[kVoiceCount];
  FilterPair pairs[kVoiceCount / kLanes];
  HeldVoice held[kVoiceCount];
  int pairCount;
  int heldCount;
  int slotCount;  // voices that add to the sums, in voice order
};

// Sorts the voices awake at time0 into filter pairs and held voices and prepares their inputs
// for count frames. A voice that would add exactly 0 to every sum and keep its stages is left out.
void planBlock(Synth& synth, double time0, int count, Block& block) {
  block.pairCount = 0;
  block.heldCount = 0;
  block.slotCount = 0;
  int lane = 0;
  double timeLast = time0 + (count - 1);
  for (int v = 0; v < kVoiceCount; ++v) {
    const Voice& voice = synth.voices[v];
    const Instrument& in = voice.instrument;
    if (voiceAsleep(in, time0)) continue;
    bool filterHeld = filterHeldThrough(in, time0, timeLast);
    if (filterHeld && silentThrough(in, time0, timeLast)) continue;
    int slot = block.slotCount++;
    if (filterHeld && !in.highPass) {
      HeldVoice& held = block.held[block.heldCount++];
      held.scaled = voice.stages[3] * in.amplitude;
      held.gains = Double2{leftGain(in.pan), rightGain(in.pan)};
      held.level = nullptr;
      held.slot = slot;
      if (in.ampEnvelope) {
        fillEnvelope(time0, count, in.ampStart, in.ampPeak, in.ampEnd, 1.0, block.inputs[v].level);
        held.level = block.inputs[v].level;
      }
      continue;
    }
    prepareInputs(in, time0, count, synth.noiseTable, block.inputs[v]);
    FilterPair& pair = block.pairs[block.pairCount];
    for (int l = lane; l < kLanes; ++l) {  // the first lane also fills the second until one comes
      for (int s = 0; s < kFilterStages; ++s) pair.stages[s][l] = voice.stages[s];
      pair.resonance[l] = in.resonance;
      pair.amplitude[l] = in.amplitude;
      pair.leftGain[l] = leftGain(in.pan);
      pair.rightGain[l] = rightGain(in.pan);
      pair.highPass[l] = in.highPass ? -1 : 0;
      pair.inputs[l] = &block.inputs[v];
      pair.voice[l] = v;
      pair.slot[l] = l == lane ? slot : kVoiceCount;
    }
    if (++lane == kLanes) {
      lane = 0;
      ++block.pairCount;
    }
  }
  if (lane != 0) ++block.pairCount;
}

// Runs the block's filters for count frames and writes the stereo sums to mix.
void runBlock(Block& block, int count, double* mix) {
  Double2 parts[kVoiceCount + 1];  // left and right share per slot; the last takes dropped lanes
  // A held voice without an envelope adds the same every frame.
  int envelopedCount = 0;
  const HeldVoice* enveloped[kVoiceCount];
  for (int h = 0; h < block.heldCount; ++h) {
    const HeldVoice& held = block.held[h];
    if (held.level) {
      enveloped[envelopedCount++] = &held;
    } else {
      parts[held.slot] = splat(held.scaled) * held.gains;
    }
  }
  const Double2 one = splat(1.0);
  for (int f = 0; f < count; ++f) {
    for (int p = 0; p < block.pairCount; ++p) {
      FilterPair& pair = block.pairs[p];
      const VoiceInputs& in0 = *pair.inputs[0];
      const VoiceInputs& in1 = *pair.inputs[1];
      Double2 input = {in0.input[f], in1.input[f]};
      Double2 a = {in0.coefficient[f], in1.coefficient[f]};
      Double2 level = {in0.level[f], in1.level[f]};
      Double2* stage = pair.stages;
      Double2 w = input - pair.resonance * minLanes(one, stage[3]);  // min(stage4, 1)
      stage[0] += a * (w - stage[0]);
      stage[1] += a * (stage[0] - stage[1]);
      stage[2] += a * (stage[1] - stage[2]);
      stage[3] += a * (stage[2] - stage[3]);
      Double2 o = select(pair.highPass, w - stage[3], stage[3]);
      Double2 s = o * pair.amplitude * level;
      Double2 left = s * pair.leftGain, right = s * pair.rightGain;
      parts[pair.slot[0]] = Double2{left[0], right[0]};
      parts[pair.slot[1]] = Double2{left[1], right[1]};
    }
    for (int h = 0; h < envelopedCount; ++h) {
      const HeldVoice& held = *enveloped[h];
      parts[held.slot] = splat(held.scaled * held.level[f]) * held.gains;
    }
    // Summed in voice order, as the rule sums them; left and right side by side.
    Double2 sum = splat(0.0);
    int slot = 0;
    for (; slot + 1 < block.slotCount; slot += 2) {
      sum += parts[slot];
      sum += parts[slot + 1];
    }
    if (slot < block.slotCount) sum += parts[slot];
    store2(mix + kOutputChannels * f, sum);
  }
}

// Stores the filter stages of the block's pairs back into their voices.
void finishBlock(const Block& block, Synth& synth) {
  for (int p = 0; p < block.pairCount; ++p) {
    const FilterPair& pair = block.pairs[p];
    for (int l = 0; l < kLanes; ++l) {
      if (pair.slot[l] == kVoiceCount) continue;
      for (int s = 0; s < kFilterStages; ++s) synth.voices[pair.voice[l]].stages[s] = pair.stages[s][l];
    }
  }
}

}  // namespace

// ---- Samples and note starts ----

int16_t toSample16(double mix) {
  double clipped = clipUnit(mix);
  if (clipped != clipped) return 0;  // a NaN would make the conversion undefined; write silence
  return static_cast<int16_t>(static_cast<int32_t>(clipped * kSampleFullScale));
}

int startDueNotes(Synth& synth, double time) {
  int started = 0;
  while (synth.nextEvent < synth.eventCount && time >= synth.songEvents[synth.nextEvent].time) {
    const NoteEvent& event = synth.songEvents[synth.nextEvent];
    synth.voices[event.voice].instrument = event.instrument;
    ++synth.nextEvent;
    ++started;
  }
  return started;
}

// ---- The plain rule ----

void renderFramesPlain(Synth& synth, int16_t* samples, int frames) {
  for (int f = 0; f < frames; ++f) {
    double t = synth.sampleCounter;
    startDueNotes(synth, t);
    double left = 0.0, right = 0.0;
    for (Voice& voice : synth.voices) {
      double s = renderVoice(voice, t, synth.noiseTable);
      left += s * leftGain(voice.instrument.pan);
      right += s * rightGain(voice.instrument.pan);
    }
    samples[kOutputChannels * f] = toSample16(left);
    samples[kOutputChannels * f + 1] = toSample16(right);
    ++synth.sampleCounter;
  }
}

// ---- The block renderer ----

void mixFrames(Synth& synth, double* mix, int frames) {
  // Nothing carries over between blocks but the voices, so how the stream is split
  // cannot change it.
  Block block;
  for (int done = 0; done < frames;) {
    double time0 = synth.sampleCounter;
    startDueNotes(synth, time0);
    // The block ends before the next note starts, so every voice keeps its note throughout.
    int count = std::min(kBlockFrames, frames - done);
    if (synth.nextEvent < synth.eventCount) {
      double nextStart = std::ceil(synth.songEvents[synth.nextEvent].time);
      if (nextStart - time0 < count) count = static_cast<int>(nextStart - time0);
    }
    planBlock(synth, time0, count, block);
    runBlock(block, count, mix + static_cast<int64_t>(done) * kOutputChannels);
    finishBlock(block, synth);
    synth.sampleCounter += count;
    done += count;
  }
}

void renderFrames(Synth& synth, int16_t* samples, int frames) {
  double mix[kMixChunkFrames * kOutputChannels];
  for (int done = 0; done < frames;) {
    int count = std::min(kMixChunkFrames, frames - done);
    mixFrames(synth, mix, count);
    int16_t* out = samples + static_cast<int64_t>(done) * kOutputChannels;
    for (int i = 0; i < count * kOutputChannels; ++i) out[i] = toSample16(mix[i]);
    done += count;
  }
}

// ---- Bytes for the device ----

void storeLittleEndian(const int16_t* samples, int count, uint8_t* bytes) {
  for (int i = 0; i < count; ++i) {
    uint16_t bits = static_cast<uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<uint8_t>(bits & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(bits >> 8);
  }
}
