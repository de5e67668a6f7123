// Placeholder for the tv scene until it is built: a plain black picture for its slot.
#include "scenes/placeholder_scene.h"
#include "shell/scenes.h"

class TVScene : public PlaceholderScene {};

Scene* tvScene = new TVScene();
