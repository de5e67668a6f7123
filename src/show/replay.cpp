// Restarting the show from 0 with fresh scene objects and the music from its first sample.
#include "show/replay.h"

#include "show/transport.h"
#include "synth/audio.h"
#include "synth/process_state.h"

#include <SDL.h>

#include <memory>

void rewindScenes(Show& show, int firstEntry) {
  // Which pointers hold a used object is settled before any new object is made: a new one
  // may well land at the address of one destroyed before.
  bool used[kSceneCount] = {};
  for (int i = firstEntry; i < show.position && i < kTimelineEntries; ++i)
    for (int s = 0; s < kSceneCount; ++s)
      if (show.timeline[i].scene && show.timeline[i].scene == *kSceneTable[s].object) used[s] = true;
  // Every scene before the current one was destroyed at its switch; the current one goes
  // now, its textures, framebuffers and buffers with it.
  delete show.current;
  show.current = nullptr;
  for (int s = 0; s < kSceneCount; ++s)
    if (used[s]) *kSceneTable[s].object = kSceneTable[s].make();
  buildDemoTimeline(show);  // the size stays as it was
  show.nextClockFromEntryTick = false;
}

void jumpShow(Show& show, int& firstEntry, uint32_t fromMs, uint32_t toMs) {
  bool independent = show.current && show.current->framesIndependent;
  if (!jumpNeedsRewind(show.timeline, fromMs, toMs, independent)) return;
  rewindScenes(show, firstEntry);
  rewindMusic(false);  // the maker's mode's device plays a copy of the song: only the sequence matters
  seekShow(show, toMs);
  firstEntry = show.position;
}

void rewindMusic(bool deviceOpen) {
  // A fresh state prepared as at start-up holds both: the song at its first sample and the
  // random sequence just past the music's draws, where the first scene took it up.
  auto fresh = std::make_unique<ProcessState>();
  prepareMusic(*fresh);
  if (deviceOpen) SDL_LockAudio();
  process = *fresh;
  if (deviceOpen) SDL_UnlockAudio();
}
