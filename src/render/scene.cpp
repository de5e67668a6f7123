// The Scene base: its destructor deletes the shared downsample program.
#include "render/scene.h"

Scene::~Scene() { deleteProgram(downsampleProgram); }
