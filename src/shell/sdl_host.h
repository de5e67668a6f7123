// The demo's host: SDL 1.2's full-screen OpenGL window, its millisecond clock and input.
#pragma once

#include "shell/show.h"

struct SDL_Surface;

class SdlHost : public ShowHost {
 public:
  SDL_Surface* surface = nullptr;  // the video surface; its size is every scene's size

  bool pollQuit() override;
  uint32_t ticks() override;
  void present() override;
};

// Brings up SDL, the window and OpenGL in the fixed order; on failure logs its line and
// returns -1 (SDL is shut down where the failure calls for it).
int startWindow(SdlHost& host);
