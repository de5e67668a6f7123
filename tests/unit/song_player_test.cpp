// The maker's mode's music: the song rendered in the background is the off-line render, and
// the callback plays it from wherever the main thread points it, pausing and resuming at the
// sample, with silence where the render has not reached yet.
#include "synth/audio.h"
#include "synth/mixer.h"
#include "synth/music_slice.h"
#include "synth/process_state.h"
#include "synth/sample_rate.h"
#include "synth/song_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int64_t kSongFrames = 3 * kSampleRate;  // enough for the tests, quick to render
constexpr int kBuffer = 1024;                     // frames per simulated callback

// The first kSongFrames frames by the mixer's literal rule in one call, on a state prepared
// as at start-up.
const std::vector<int16_t>& plainRender() {
  static const std::vector<int16_t> samples = [] {
    auto state = std::make_unique<ProcessState>();
    prepareMusic(*state);
    std::vector<int16_t> out(kSongFrames * kOutputChannels);
    renderFramesPlain(state->synth, out.data(), static_cast<int>(kSongFrames));
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
  startSongRender(threaded, kSongFrames);
  for (int i = 0; i < 600 && threaded.renderedFrames.load() < kSongFrames; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  stopSongRender(threaded);
  ASSERT_EQ(threaded.renderedFrames.load(), kSongFrames);
  EXPECT_EQ(threaded.samples, plainRender());
}

TEST(SongPlayer, PlaysFromWhereverItIsPointedPausesAndFallsSilentWhereNothingIsRendered) {
  SongPlayer p;
  p.totalFrames = kSongFrames;
  p.samples = plainRender();
  p.scratch.assign(kMaxCallbackFrames * kOutputChannels, 0);
  p.renderedFrames.store(100);
  // Only part rendered: the part before the render's front plays, the rest is silence, and
  // the clock goes on in step with the pictures all the same.
  EXPECT_EQ(play(p), slice(0, 100));
  EXPECT_EQ(p.position.load(), kBuffer);
  p.renderedFrames.store(kSongFrames);
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
  seekSong(p, kSongFrames - 10);
  EXPECT_EQ(play(p), slice(kSongFrames - 10, 10));
  EXPECT_EQ(p.position.load(), kSongFrames);
  seekSong(p, kSongFrames + 999);  // a seek past the end is held at the end
  EXPECT_EQ(p.position.load(), kSongFrames);
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
