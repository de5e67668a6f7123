// The timeline and the main loop.
#include "show/show.h"

void buildTimeline(Show& show, Scene* const (&scenes)[kSceneCount]) {
  for (int i = 0; i < kSceneCount; ++i) show.timeline[i] = {scenes[i], kSceneTable[i].startMs};
  show.timeline[kSceneCount] = {nullptr, kShowEndMs};
  show.position = 0;
  show.current = nullptr;
  show.sceneStartTick = 0;
}

void buildDemoTimeline(Show& show) {
  Scene* scenes[kSceneCount];
  for (int i = 0; i < kSceneCount; ++i) scenes[i] = *kSceneTable[i].object;
  buildTimeline(show, scenes);
}

void startShowClock(Show& show, ShowHost& host, uint32_t fromMs) { show.startTick = host.ticks() - fromMs; }

int entryAt(const TimelineEntry* timeline, uint32_t ms) {
  int entry = 0;
  while (entry + 1 < kTimelineEntries && timeline[entry + 1].startMs <= ms) ++entry;
  return entry;
}

void seekShow(Show& show, uint32_t fromMs) {
  show.position = entryAt(show.timeline, fromMs);
  show.nextClockFromEntryTick = true;
}

FrameResult stepFrame(Show& show, ShowHost& host) {
  bool quit = host.pollQuit();
  uint32_t now = host.ticks() - show.startTick;

  // Apply every entry whose tick has come; a scene whose whole slot was missed in a stall
  // is started and destroyed again within this frame and never rendered.
  if (now >= show.timeline[show.position].startMs) {
    while (true) {
      TimelineEntry& entry = show.timeline[show.position];
      if (!entry.scene) return FrameResult::Ended;
      delete show.current;  // the scene's members go first, then the Scene part
      show.current = entry.scene;
      show.current->width = show.width;
      show.current->height = show.height;
      show.current->start();
      ++show.position;
      if (now < show.timeline[show.position].startMs) break;
    }
    uint32_t entryMs = show.timeline[show.position - 1].startMs;
    show.sceneStartTick = show.nextClockFromEntryTick ? entryMs : host.sceneClockStart(entryMs, now);
    show.nextClockFromEntryTick = false;
  }
  if (quit) return FrameResult::Quit;

  show.current->setClock(now - show.sceneStartTick);
  host.beforeRender(*show.current);
  show.current->render();
  host.present();
  return FrameResult::Rendered;
}

FrameResult runShow(Show& show, ShowHost& host) {
  FrameResult result;
  do {
    result = stepFrame(show, host);
  } while (result == FrameResult::Rendered);
  return result;
}
