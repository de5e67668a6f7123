// The Scene base: its destructor deletes the shared downsample program.
#include "shell/scene.h"

Scene::~Scene() { deleteProgram(downsampleProgram); }
