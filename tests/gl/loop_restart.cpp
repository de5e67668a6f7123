// Plays the show as the demo's --loop and --from do, through the demo's own seek and rewind,
// on a scripted clock, and compares pictures byte for byte: after a whole round and after
// rounds started part-way, the next round's first frames are the first round's; a round
// started part-way (--from) shows at its first frame what a round from 0 shows then.
// Usage (from the repository root, for shaders/): loop_restart [WIDTH HEIGHT]
#include "base/log.h"
#include "capture/offscreen.h"
#include "show/replay.h"
#include "show/show.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Picture = std::vector<uint8_t>;

// Plays one round over the ticks to the show's end and returns its frames' pictures.
std::vector<Picture> playRound(Show& show, std::vector<uint32_t> ticks) {
  struct RoundHost : ShowHost {
    std::vector<uint32_t> ticksByFrame;
    int width = 0, height = 0;
    std::vector<Picture> pictures;
    bool pollQuit() override { return false; }
    uint32_t ticks() override { return ticksByFrame[pictures.size()]; }
    void present() override { readFrame(width, height, pictures.emplace_back()); }
  } host;
  host.width = show.width;
  host.height = show.height;
  host.ticksByFrame = ticks;
  host.ticksByFrame.push_back(kShowEndMs);
  if (runShow(show, host) != FrameResult::Ended) std::printf("the round did not end\n");
  return host.pictures;
}

// Compares two pictures; true when equal. A picture with almost nothing lit would match
// trivially, so it counts as a failure where lit is asked for.
bool same(const char* what, const Picture& a, const Picture& b, bool lit) {
  size_t differing = 0, bright = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    differing += a[i] != b[i];
    bright += a[i] > 16;
  }
  std::printf("%s: %zu of %zu bytes differ, %zu lit\n", what, differing, a.size(), bright);
  return differing == 0 && !a.empty() && a.size() == b.size() && (!lit || bright > a.size() / 20);
}

// --loop after a round that began at timeline entry `entry`: the next round's frames at 0 s
// (which the forest shows black) and 5 s are the first round's.
bool nextRoundIsTheFirst(Show& show, int entry, const char* what, const std::vector<Picture>& first) {
  rewindScenes(show, entry);
  rewindMusic(false);
  std::vector<Picture> again = playRound(show, {0, 5000});
  std::printf("%s:\n", what);
  return again.size() == 2 && same("  0 s", again[0], first[0], false) && same("  5 s", again[1], first[1], true);
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

  // Round 1 from 0, each scene current exactly at its entry's tick: its clock is the show's.
  std::vector<Picture> first = playRound(show, {0, 5000, 34000, 40000, 78000, 100000, 110000, 112000, 150000, 191000});
  if (first.size() != 10) return 1;
  failures += !nextRoundIsTheFirst(show, 0, "after a whole round", first);

  // Rounds started part-way (--from; 190: the last scene alone): the scene in force at once,
  // its clock as if from 0, and the round after each starts as the first did.
  struct {
    uint32_t ms;
    int picture;  // frame of the first round; -1: none compared
    const char* what;
  } seeks[] = {{40000, 3, "--from 40 (television)"}, {100000, 5, "--from 100 (pacman)"},
               {112000, 7, "--from 112 (cubes)"}, {190000, -1, "--from 190"}};
  for (const auto& seek : seeks) {
    rewindScenes(show, 0);
    rewindMusic(false);
    seekShow(show, seek.ms);
    int entry = show.position;
    std::vector<Picture> frames = playRound(show, {seek.ms, seek.ms + 1500});
    if (seek.picture >= 0 && (frames.empty() || !same(seek.what, frames[0], first[seek.picture], true))) ++failures;
    failures += !nextRoundIsTheFirst(show, entry, (std::string("the round after ") + seek.what).c_str(), first);
  }

  delete show.current;  // freed while the context is alive
  show.current = nullptr;
  destroyEglContext(egl);
  return failures == 0 ? 0 : 1;
}

