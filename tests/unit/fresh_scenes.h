// Fresh objects for the show's scene pointers and a fresh process state with the music
// prepared, as at start-up, whatever an earlier test left behind.
#pragma once

#include "show/scene_table.h"
#include "synth/audio.h"
#include "synth/process_state.h"

// Deletes what each row's pointer holds and gives it a new object; resets the process state.
inline void makeFreshScenes() {
  for (const SceneRow& row : kSceneTable) {
    delete *row.object;
    *row.object = row.make();
  }
  process = ProcessState();
  prepareMusic();
}
