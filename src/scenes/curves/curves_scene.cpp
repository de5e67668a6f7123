// Placeholder for the curves scene until it is built: a plain black picture for its slot.
#include "scenes/placeholder_scene.h"
#include "shell/scenes.h"

class CurvesScene : public PlaceholderScene {};

Scene* curvesScene = new CurvesScene();
