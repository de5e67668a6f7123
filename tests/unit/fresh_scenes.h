// Fresh objects for the show's five scene pointers and a fresh process state with the music
// prepared, as at start-up, whatever an earlier test left behind.
#pragma once

#include "scenes/cubes/cubes_scene.h"
#include "scenes/curves/curves_scene.h"
#include "scenes/forest/forest_scene.h"
#include "scenes/pacman/pacman_scene.h"
#include "scenes/tv/tv_scene.h"
#include "shell/scenes.h"
#include "synth/audio.h"
#include "synth/process_state.h"

// Deletes what the scene pointers hold and gives each a new object; resets the process state.
inline void makeFreshScenes() {
  Scene** pointers[] = {&forrestScene, &tvScene, &pacmanScene, &cubesScene, &curvesScene};
  for (Scene** pointer : pointers) delete *pointer;
  forrestScene = new ForrestScene();
  tvScene = new TVScene();
  pacmanScene = new PacmanScene();
  cubesScene = new CubesScene();
  curvesScene = new CurvesScene();
  process = ProcessState();
  prepareMusic();
}
