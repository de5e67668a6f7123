// Plays the show as the demo's --loop does, through the demo's own seek and rewind, on a
// scripted clock: a round from 0, a round started at 190 s (--from 190), each ended and
// rewound, and checks that the first two frames of every later round (0 s, which the forest
// shows black, and 5 s) are the first round's, byte for byte.
// Usage (from the repository root, for shaders/): loop_restart [WIDTH HEIGHT]
#include "capture/offscreen.h"
#include "shell/log.h"
#include "shell/replay.h"
#include "shell/show.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr size_t kKeptFrames = 2;  // the pictures compared from each round

// Plays the ticks in order, keeping the pictures of the first frames.
class RoundHost : public ShowHost {
 public:
  std::vector<uint32_t> ticksByFrame;
  size_t frame = 0;
  int width = 0, height = 0;
  std::vector<uint8_t> frames[kKeptFrames];

  bool pollQuit() override { return false; }
  uint32_t ticks() override { return ticksByFrame[frame]; }
  void present() override {
    if (frame < kKeptFrames) readFrame(width, height, frames[frame]);
    ++frame;
  }
};

// Plays one round to its end over the ticks; the first frames' pictures go to kept.
void playRound(Show& show, int width, int height, std::vector<uint32_t> ticks,
               std::vector<uint8_t>* kept = nullptr) {
  RoundHost host;
  host.width = width;
  host.height = height;
  host.ticksByFrame = ticks;
  host.ticksByFrame.push_back(kShowEndMs);
  if (runShow(show, host) != FrameResult::Ended) std::printf("the round did not end\n");
  if (kept)
    for (size_t i = 0; i < kKeptFrames; ++i) kept[i] = host.frames[i];
}

}  // namespace

int main(int argc, char** argv) {
  int width = argc > 2 ? std::atoi(argv[1]) : 160;
  int height = argc > 2 ? std::atoi(argv[2]) : 90;
  logAttach(stderr);
  EglContext egl;
  Show show;
  if (!startOffscreenShow(egl, show, width, height)) return 1;
  int failures = 0;
  // Round 1 from 0 with a frame in every scene (the stall rule starts the rest), as the
  // demo plays it; the first frame is the reference.
  std::vector<uint8_t> reference[kKeptFrames];
  playRound(show, width, height, {0, 5000, 20000, 50000, 90000, 115000, 150000, 191000}, reference);
  size_t lit = 0;
  for (uint8_t value : reference[1]) lit += value > 16;
  std::printf("round 1: %zu of %zu bytes lit at 5 s\n", lit, reference[1].size());
  if (lit < reference[1].size() / 20) ++failures;  // a blank picture would match trivially

  // Round 2 after that whole round; round 3 after a round started at 190 s (--from 190).
  const char* rounds[] = {"round 2 (after a whole round)", "round 3 (after a round from 190 s)"};
  for (int round = 0; round < 2; ++round) {
    rewindScenes(show, 0);  // every round so far began at the first entry
    rewindMusic(false);
    if (round == 1) {
      seekShow(show, 190000);
      playRound(show, width, height, {190000, 191500});
      rewindScenes(show, 4);
      rewindMusic(false);
    }
    std::vector<uint8_t> frames[kKeptFrames];
    playRound(show, width, height, {0, 5000, 60000, 130000}, frames);
    for (size_t k = 0; k < kKeptFrames; ++k) {
      size_t differing = 0;
      for (size_t i = 0; i < frames[k].size() && i < reference[k].size(); ++i)
        differing += frames[k][i] != reference[k][i];
      std::printf("%s: frame %zu: %zu of %zu bytes differ from round 1's\n", rounds[round], k, differing,
                  frames[k].size());
      if (differing != 0 || frames[k].size() != reference[k].size()) ++failures;
    }
  }
  delete show.current;  // freed while the context is alive
  show.current = nullptr;
  destroyEglContext(egl);
  return failures == 0 ? 0 : 1;
}
