// The show's scenes, one row each in timeline order: the one list a new scene joins. The
// timeline, the rewind of --loop, the capture tool's statistics and its --list-scenes (which
// the scripts read) and the tests all read it; the number of scenes is the number of rows.
// Pointing at each scene's object also keeps that scene's object file in the program, which a
// static library would otherwise drop.
#pragma once

#include "render/scene.h"
#include "scenes/cubes/cubes_scene.h"
#include "scenes/curves/curves_scene.h"
#include "scenes/forest/forest_scene.h"
#include "scenes/pacman/pacman_scene.h"
#include "scenes/tv/tv_scene.h"

#include <cstdint>

struct SceneRow {
  Scene** object;         // the scene's object, created before main in its own .cpp
  Scene* (*make)();       // a fresh object of the same class, for a rewind
  const char* shortName;  // the statistics' scene column: "forest", "tv", ...
  uint32_t startMs;       // show time from which the scene is current, milliseconds
};

// A fresh object of SceneClass.
template <class SceneClass>
Scene* makeScene() {
  return new SceneClass();
}

inline constexpr SceneRow kSceneTable[] = {
    {&forrestScene, makeScene<ForrestScene>, "forest", 0},
    {&tvScene, makeScene<TVScene>, "tv", 34000},
    {&pacmanScene, makeScene<PacmanScene>, "pacman", 78000},
    {&cubesScene, makeScene<CubesScene>, "cubes", 110000},
    {&curvesScene, makeScene<CurvesScene>, "curves", 126000},
};
constexpr int kSceneCount = static_cast<int>(sizeof kSceneTable / sizeof kSceneTable[0]);

