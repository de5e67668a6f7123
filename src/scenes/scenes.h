// The five scene objects of the show, each created on the heap by its own static
// initialiser before main and reached through these pointers.
#pragma once

class Scene;

extern Scene* forrestScene;  // 0 to 34 s
extern Scene* tvScene;       // 34 to 78 s
extern Scene* pacmanScene;   // 78 to 110 s
extern Scene* cubesScene;    // 110 to 126 s
extern Scene* curvesScene;   // 126 to 192 s
