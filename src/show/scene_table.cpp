// The rows of the show's scene table. Pointing at each scene's object also keeps that
// scene's object file in the program, which a static library would otherwise drop.
#include "show/scene_table.h"

#include "scenes/cubes/cubes_scene.h"
#include "scenes/curves/curves_scene.h"
#include "scenes/forest/forest_scene.h"
#include "scenes/pacman/pacman_scene.h"
#include "scenes/tv/tv_scene.h"
#include "show/show.h"

namespace {

// A fresh object of SceneClass.
template <class SceneClass>
Scene* makeScene() {
  return new SceneClass();
}

// True when every row is filled (a row left out has no name) and the start times rise from 0
// to before the show's end. The pointers are left alone: a sanitized build cannot compare a
// global's address at compile time.
constexpr bool rowsInOrder(const SceneRow* rows, int count) {
  for (int i = 0; i < count; ++i) {
    const SceneRow& row = rows[i];
    if (!row.shortName || row.startMs >= kShowEndMs) return false;
    if (i == 0 ? row.startMs != 0 : row.startMs <= rows[i - 1].startMs) return false;
  }
  return true;
}

}  // namespace

constexpr SceneRow kSceneTable[kSceneCount] = {
    {&forrestScene, makeScene<ForrestScene>, "forest", 0, &forestTrackFile},
    {&tvScene, makeScene<TVScene>, "tv", 34000, &tvTrackFile},
    {&pacmanScene, makeScene<PacmanScene>, "pacman", 78000, &pacmanTrackFile},
    {&cubesScene, makeScene<CubesScene>, "cubes", 110000, nullptr},
    {&curvesScene, makeScene<CurvesScene>, "curves", 126000, nullptr},
};
static_assert(rowsInOrder(kSceneTable, kSceneCount), "kSceneCount filled rows, start times rising from 0");

bool loadShowTracks(std::string& error) {
  for (const SceneRow& row : kSceneTable)
    if (row.tracks && !loadTrackFile(*row.tracks, error)) return false;
  return true;
}
