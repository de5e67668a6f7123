// The in-memory song and its lock-free playback position.
#include "synth/song_player.h"

#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/process_state.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr int kRenderChunkFrames = 4096;  // frames published to the callback at a time

}  // namespace

SongPlayer::~SongPlayer() { stopSongRender(*this); }

void renderSong(SongPlayer& player) {
  auto state = std::make_unique<ProcessState>();
  prepareMusic(*state);
  // The voices carry state from sample to sample, so the song is rendered from its start;
  // how the frames are split between calls does not change them.
  for (int64_t done = player.renderedFrames.load(); done < player.totalFrames;) {
    if (player.stopRendering.load(std::memory_order_relaxed)) return;
    int count = static_cast<int>(std::min<int64_t>(kRenderChunkFrames, player.totalFrames - done));
    renderFrames(state->synth, player.samples.data() + done * kOutputChannels, count);
    done += count;
    player.renderedFrames.store(done, std::memory_order_release);
  }
}

void startSongRender(SongPlayer& player, int64_t frames) {
  stopSongRender(player);
  player.totalFrames = std::max<int64_t>(0, frames);
  player.samples.assign(static_cast<size_t>(player.totalFrames) * kOutputChannels, 0);
  player.scratch.assign(static_cast<size_t>(kMaxCallbackFrames) * kOutputChannels, 0);
  player.renderedFrames.store(0);
  player.stopRendering.store(false);
  player.renderer = std::thread(renderSong, std::ref(player));
}

void stopSongRender(SongPlayer& player) {
  player.stopRendering.store(true);
  if (player.renderer.joinable()) player.renderer.join();
}

void seekSong(SongPlayer& player, int64_t frame) {
  player.position.store(std::clamp<int64_t>(frame, 0, player.totalFrames));
}

void pauseSong(SongPlayer& player, bool pause, int64_t frame) {
  if (pause) {
    player.paused.store(true);
    seekSong(player, frame);
  } else {
    seekSong(player, frame);
    player.paused.store(false);
  }
}

void fillFromSong(SongPlayer& player, int16_t* out, int frames) {
  std::fill(out, out + static_cast<size_t>(frames) * kOutputChannels, int16_t{0});
  if (player.paused.load()) return;
  int64_t start = player.position.load();
  int64_t rendered = player.renderedFrames.load(std::memory_order_acquire);
  int64_t available = std::clamp<int64_t>(rendered - start, 0, frames);
  std::copy_n(player.samples.data() + start * kOutputChannels, available * kOutputChannels, out);
  int64_t end = std::min(start + frames, player.totalFrames);
  player.position.compare_exchange_strong(start, end);
}

void songAudioCallback(void* userData, uint8_t* stream, int length) {
  auto& player = *static_cast<SongPlayer*>(userData);
  int frames = length / kBytesPerFrame;
  // One position for the whole buffer where it fits the scratch space (always, with the
  // buffer the device is opened with), so a pause or seek never falls inside a buffer.
  for (int done = 0; done < frames;) {
    int count = std::min(kMaxCallbackFrames, frames - done);
    fillFromSong(player, player.scratch.data(), count);
    storeLittleEndian(player.scratch.data(), count * kOutputChannels, stream + done * kBytesPerFrame);
    done += count;
  }
  std::memset(stream + frames * kBytesPerFrame, 0, length - frames * kBytesPerFrame);
}
