// Off-line music rendering on a synthesizer of its own, so the show's random sequence is
// left untouched.
#include "capture/music.h"

#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/process_state.h"

#include <memory>

void renderMusicSlice(int64_t firstFrame, int64_t endFrame, std::vector<int16_t>& samples) {
  samples.clear();
  if (endFrame <= firstFrame) return;
  auto state = std::make_unique<ProcessState>();
  prepareMusic(*state);
  // The voices carry state from sample to sample: render from the start, keep the slice.
  samples.resize(static_cast<size_t>(endFrame) * 2);
  renderFrames(state->synth, samples.data(), static_cast<int>(endFrame));
  samples.erase(samples.begin(), samples.begin() + firstFrame * 2);
}
