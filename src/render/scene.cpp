// The Scene base: its destructor deletes the shared downsample program; its tracks' filling.
#include "render/scene.h"

Scene::~Scene() { deleteProgram(downsampleProgram); }

void fillSceneTracks(Scene& scene) {
  SceneTracks tracks;
  scene.listTracks(tracks);
  fillTracks(tracks);
}
