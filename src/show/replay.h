// Playing the show again after it ended (--loop): the same scenes, music and random
// sequence as the first time, with nothing held over from the round before.
#pragma once

#include "show/show.h"

// Destroys the current scene, gives every scene that the ended round made current (the
// timeline entries from firstEntry on) a fresh object in its pointer, and rebuilds the
// timeline from 0. Scenes the round never started are still fresh and are kept.
void rewindScenes(Show& show, int firstEntry);
// Makes the show, last drawn at fromMs, ready to draw toMs, as the maker's mode jumps: the
// current scene simply renders toMs where it can (jumpNeedsRewind); otherwise every scene
// made current since firstEntry gets a fresh object, the random sequence is put back as the
// scenes first found it, and the entry in force at toMs applies next with its clock from its
// own tick, as when the capture tool starts there. firstEntry becomes that entry.
void jumpShow(Show& show, int& firstEntry, uint32_t fromMs, uint32_t toMs);
// Puts the synthesizer and the shared random sequence back where they stood when playback
// first began; with an open device this is done under its lock, between two callbacks.
void rewindMusic(bool deviceOpen);
