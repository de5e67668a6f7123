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

// A player holding the first kSongFrames frames of the song, rendered on this thread.
struct RenderedPlayer {
  SongPlayer player;
  std::vector<int16_t> offline;  // the off-line render of the same frames
  RenderedPlayer() {
    player.totalFrames = kSongFrames;
    player.samples.assign(kSongFrames * kOutputChannels, 0);
    player.scratch.assign(kMaxCallbackFrames * kOutputChannels, 0);
    renderSong(player);
    renderMusicSlice(0, kSongFrames, offline);
  }
  // The same frames by the mixer's literal rule in one call, on a state prepared as at start-up.
  static std::vector<int16_t> reference() {
    auto state = std::make_unique<ProcessState>();
    prepareMusic(*state);
    std::vector<int16_t> samples(kSongFrames * kOutputChannels);
    renderFramesPlain(state->synth, samples.data(), static_cast<int>(kSongFrames));
    return samples;
  }
  // The off-line frames [first, first + count).
  std::vector<int16_t> slice(int64_t first, int count) const {
    return std::vector<int16_t>(offline.begin() + first * 2, offline.begin() + (first + count) * 2);
  }
};

// One callback's worth of frames.
std::vector<int16_t> play(SongPlayer& player, int frames = kBuffer) {
  std::vector<int16_t> out(frames * kOutputChannels, 123);
  fillFromSong(player, out.data(), frames);
  return out;
}

bool silent(const std::vector<int16_t>& samples) {
  for (int16_t s : samples)
    if (s != 0) return false;
  return true;
}

TEST(SongPlayer, TheBackgroundRenderIsTheOfflineRender) {
  RenderedPlayer r;
  EXPECT_EQ(r.player.renderedFrames.load(), kSongFrames);
  EXPECT_EQ(r.player.samples, RenderedPlayer::reference());
  EXPECT_EQ(r.player.samples, r.offline);
  EXPECT_FALSE(silent(r.offline));
  std::vector<int16_t> slice;
  renderMusicSlice(5000, 9000, slice);
  EXPECT_EQ(slice, r.slice(5000, 4000));
  // On its own thread, the same frames.
  SongPlayer threaded;
  startSongRender(threaded, kSongFrames);
  for (int i = 0; i < 600 && threaded.renderedFrames.load() < kSongFrames; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  stopSongRender(threaded);
  ASSERT_EQ(threaded.renderedFrames.load(), kSongFrames);
  EXPECT_EQ(threaded.samples, r.offline);
}

TEST(SongPlayer, PlaysOnFromWhereverItIsPointedToTheSample) {
  RenderedPlayer r;
  SongPlayer& p = r.player;
  EXPECT_EQ(play(p), r.slice(0, kBuffer));
  EXPECT_EQ(play(p), r.slice(kBuffer, kBuffer));  // buffers follow each other without a gap
  int64_t target = sampleFrameAt(1234);
  seekSong(p, target);
  EXPECT_EQ(play(p), r.slice(target, kBuffer));   // the next buffer starts exactly there
  EXPECT_EQ(play(p), r.slice(target + kBuffer, kBuffer));
  seekSong(p, 10);                                 // backwards as well
  EXPECT_EQ(play(p), r.slice(10, kBuffer));
  EXPECT_EQ(p.position.load(), 10 + kBuffer);
}

TEST(SongPlayer, PauseIsSilenceAndResumeStartsAtTheSampleAsked) {
  RenderedPlayer r;
  SongPlayer& p = r.player;
  play(p);
  int64_t pausedAt = sampleFrameAt(500);
  pauseSong(p, true, pausedAt);
  EXPECT_TRUE(silent(play(p)));
  EXPECT_TRUE(silent(play(p)));
  EXPECT_EQ(p.position.load(), pausedAt);  // nothing moves while paused
  pauseSong(p, false, pausedAt);
  EXPECT_EQ(play(p), r.slice(pausedAt, kBuffer));
}

TEST(SongPlayer, FramesNotRenderedOrPastTheEndAreSilenceAndTheClockGoesOn) {
  RenderedPlayer r;
  SongPlayer& p = r.player;
  // Only part rendered: the part before the render's front plays, the rest is silence.
  p.renderedFrames.store(100);
  std::vector<int16_t> first = play(p);
  EXPECT_EQ(std::vector<int16_t>(first.begin(), first.begin() + 200), r.slice(0, 100));
  EXPECT_TRUE(silent(std::vector<int16_t>(first.begin() + 200, first.end())));
  EXPECT_EQ(p.position.load(), kBuffer);  // in step with the pictures all the same
  p.renderedFrames.store(kSongFrames);
  EXPECT_EQ(play(p), r.slice(kBuffer, kBuffer));
  // At the end: what is left, then silence, and the position stays at the end.
  seekSong(p, kSongFrames - 10);
  std::vector<int16_t> last = play(p);
  EXPECT_EQ(std::vector<int16_t>(last.begin(), last.begin() + 20), r.slice(kSongFrames - 10, 10));
  EXPECT_TRUE(silent(std::vector<int16_t>(last.begin() + 20, last.end())));
  EXPECT_EQ(p.position.load(), kSongFrames);
  seekSong(p, kSongFrames + 999);  // a seek past the end is held at the end
  EXPECT_EQ(p.position.load(), kSongFrames);
  seekSong(p, -5);
  EXPECT_EQ(p.position.load(), 0);
}

TEST(SongPlayer, TheCallbackWritesLittleEndianFramesOfOnePosition) {
  RenderedPlayer r;
  SongPlayer& p = r.player;
  seekSong(p, 777);
  std::vector<uint8_t> stream(kBuffer * 4 + 2, 0xAB);  // a stray odd pair of bytes is zeroed
  songAudioCallback(&p, stream.data(), static_cast<int>(stream.size()));
  std::vector<uint8_t> expected(kBuffer * 4 + 2, 0);
  std::vector<int16_t> frames = r.slice(777, kBuffer);
  storeLittleEndian(frames.data(), kBuffer * 2, expected.data());
  EXPECT_EQ(stream, expected);
  EXPECT_EQ(p.position.load(), 777 + kBuffer);
}

}  // namespace
