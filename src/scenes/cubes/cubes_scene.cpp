// Placeholder for the cubes scene until it is built: a plain black picture for its slot.
#include "scenes/placeholder_scene.h"
#include "shell/scenes.h"

class CubesScene : public PlaceholderScene {};

Scene* cubesScene = new CubesScene();
