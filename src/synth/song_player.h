// The song held in memory for the maker's mode: rendered once, from the start, on a thread
// of its own (the same frames as the off-line render), and played by the audio callback from
// a position the main thread may move at any time. Nothing here takes a lock: the callback
// and the main thread meet only in atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

constexpr int kMaxCallbackFrames = 16384;  // frames the callback converts at once

struct SongPlayer {
  std::vector<int16_t> samples;            // the song, stereo frames left first; sized before the thread starts
  int64_t totalFrames = 0;                 // frames the song holds once rendered
  std::atomic<int64_t> renderedFrames{0};  // frames [0, this) are final; written by the render thread only
  std::atomic<int64_t> position{0};        // next frame to play; moved by the callback and by seeks
  std::atomic<bool> paused{false};         // the callback plays silence and holds its position
  std::atomic<bool> stopRendering{false};  // asks the render thread to end early
  std::thread renderer;
  std::vector<int16_t> scratch;            // the callback's buffer, kMaxCallbackFrames frames, made beforehand

  SongPlayer() = default;
  SongPlayer(const SongPlayer&) = delete;
  SongPlayer& operator=(const SongPlayer&) = delete;
  ~SongPlayer();  // stops and joins the render thread
};

// Sizes the song to frames and starts rendering it on its own thread, on a synthesizer of
// its own, so the process's random sequence is left untouched.
void startSongRender(SongPlayer& player, int64_t frames);
// Asks the render thread to end and waits for it; the frames rendered so far stay.
void stopSongRender(SongPlayer& player);
// Renders the whole song on the calling thread (the tests' way, and the thread's body).
void renderSong(SongPlayer& player);
// Plays on from frame (clamped to [0, totalFrames]) with the next buffer the callback fills.
void seekSong(SongPlayer& player, int64_t frame);
// Pauses at, or resumes from, frame: resuming sets the position before it lets the callback
// play, so the first buffer after it starts exactly there.
void pauseSong(SongPlayer& player, bool pause, int64_t frame);
// The callback's work: fills frames stereo frames from the position on and moves it past
// them. Frames not rendered yet, or past the song's end, are silence (the position still moves,
// so the music stays in step with the pictures); paused, all is silence and nothing moves.
// A seek made while it copies wins: the position is only moved if it still holds the frame
// this buffer began at.
void fillFromSong(SongPlayer& player, int16_t* out, int frames);
// SDL's callback over fillFromSong: userData is the SongPlayer, stream takes length / 4
// frames of 16-bit little-endian samples.
void songAudioCallback(void* userData, uint8_t* stream, int length);
