// The show's scenes, one row each in timeline order: the one list a new scene joins. The
// timeline, the rewind of --loop, the capture tool's statistics and the tests all read it.
#pragma once

#include "render/scene.h"
#include "render/track_source.h"

#include <cstdint>
#include <string>

constexpr int kSceneCount = 5;  // rows of kSceneTable; the compiler holds the two together

struct SceneRow {
  Scene** object;         // the scene's object, created before main in its own .cpp
  Scene* (*make)();       // a fresh object of the same class, for a rewind
  const char* shortName;  // the statistics' scene column: "forest", "tv", ...
  uint32_t startMs;       // show time from which the scene is current, milliseconds
  SceneTrackFile* tracks;  // the file its start fills its tracks from; null for a scene without tracks
};

extern const SceneRow kSceneTable[kSceneCount];

// Reads and checks every scene's track file, before the first frame: false with the first
// failure, "PATH:LINE: what is wrong", in error.
bool loadShowTracks(std::string& error);
