// Off-line music rendering: the maker's mode's song render, on this thread, cut to the span.
// Its synthesizer is its own, so the show's random sequence is left untouched.
#include "synth/music_slice.h"

#include "synth/mixer.h"
#include "synth/song_player.h"

void renderMusicSlice(int64_t firstFrame, int64_t endFrame, std::vector<int16_t>& samples) {
  samples.clear();
  if (endFrame <= firstFrame) return;
  // The voices carry state from sample to sample: render from the start, keep the slice.
  SongPlayer song;
  song.totalFrames = endFrame;
  song.samples.assign(static_cast<size_t>(endFrame) * kOutputChannels, 0);
  renderSong(song);
  samples.swap(song.samples);
  samples.erase(samples.begin(), samples.begin() + firstFrame * kOutputChannels);
}
