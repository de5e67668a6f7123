// Restarting the show from 0 with fresh scene objects and the music from its first sample.
#include "show/replay.h"

#include "scenes/cubes/cubes_scene.h"
#include "scenes/curves/curves_scene.h"
#include "scenes/forest/forest_scene.h"
#include "scenes/pacman/pacman_scene.h"
#include "scenes/tv/tv_scene.h"
#include "scenes/scenes.h"
#include "synth/audio.h"
#include "synth/process_state.h"

#include <SDL.h>

#include <memory>

void rewindScenes(Show& show, int firstEntry) {
  Scene** pointers[] = {&forrestScene, &tvScene, &pacmanScene, &cubesScene, &curvesScene};
  constexpr int kScenes = sizeof pointers / sizeof pointers[0];
  // Which pointers hold a used object is settled before any new object is made: a new one
  // may well land at the address of one destroyed before.
  bool used[kScenes] = {};
  for (int i = firstEntry; i < show.position && i < kTimelineEntries; ++i)
    for (int s = 0; s < kScenes; ++s)
      if (show.timeline[i].scene && show.timeline[i].scene == *pointers[s]) used[s] = true;
  // Every scene before the current one was destroyed at its switch; the current one goes
  // now, its textures, framebuffers and buffers with it.
  delete show.current;
  show.current = nullptr;
  if (used[0]) forrestScene = new ForrestScene();
  if (used[1]) tvScene = new TVScene();
  if (used[2]) pacmanScene = new PacmanScene();
  if (used[3]) cubesScene = new CubesScene();
  if (used[4]) curvesScene = new CurvesScene();
  buildDemoTimeline(show);  // the size stays as it was
  show.nextClockFromEntryTick = false;
}

void rewindMusic(bool deviceOpen) {
  // A fresh state prepared as at start-up holds both: the song at its first sample and the
  // random sequence just past the music's draws, where the first scene took it up.
  auto fresh = std::make_unique<ProcessState>();
  prepareMusic(*fresh);
  if (deviceOpen) SDL_LockAudio();
  process = *fresh;
  if (deviceOpen) SDL_UnlockAudio();
}
