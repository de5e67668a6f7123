// Playing the show again after it ended (--loop): the same scenes, music and random
// sequence as the first time, with nothing held over from the round before.
#pragma once

#include "show/show.h"

// Destroys the current scene, gives every scene that the ended round made current (the
// timeline entries from firstEntry on) a fresh object in its pointer, and rebuilds the
// timeline from 0. Scenes the round never started are still fresh and are kept.
void rewindScenes(Show& show, int firstEntry);
// Puts the synthesizer and the shared random sequence back where they stood when playback
// first began; with an open device this is done under its lock, between two callbacks.
void rewindMusic(bool deviceOpen);
