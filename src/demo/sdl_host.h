// The demo's host: SDL 1.2's full-screen OpenGL window, its millisecond clock and input.
#pragma once

#include "show/show.h"

#include <cstdint>

struct SDL_Surface;

class SdlHost : public ShowHost {
 public:
  SDL_Surface* surface = nullptr;  // the video surface; its size is every scene's size
  // The mode to ask for: 0 x 0 full screen is the desktop's mode; a window has its size.
  int requestWidth = 0;
  int requestHeight = 0;
  bool fullScreen = true;
  bool withAudio = true;     // false: SDL's audio part is never started (--mute)

  bool pollQuit() override;
  uint32_t ticks() override;
  void present() override;
};

// Brings up SDL, the window and OpenGL in the fixed order; on failure logs its line and
// returns -1 (SDL is shut down where the failure calls for it).
int startWindow(SdlHost& host);
