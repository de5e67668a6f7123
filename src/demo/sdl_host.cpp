// SDL start-up, the window and the demo's per-frame host calls.
#include "demo/sdl_host.h"

#include "base/gl.h"
#include "base/log.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace {

void* sdlLookup(const char* name) { return SDL_GL_GetProcAddress(name); }

}  // namespace

int startWindow(SdlHost& host) {
  if (SDL_Init(SDL_INIT_TIMER | (host.withAudio ? SDL_INIT_AUDIO : 0) | SDL_INIT_VIDEO) != 0) {
    logMessage("SDL_Init failed.\n");
    std::fprintf(stderr, "demo: SDL_Init failed: %s\n", SDL_GetError());
    return -1;
  }
  // From here every way out, the fatal OpenGL error check's exit included, restores the
  // video mode and closes the audio device (stopping its thread before static storage goes).
  std::atexit(SDL_Quit);
  SDL_WM_SetCaption("", nullptr);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  host.surface = SDL_SetVideoMode(host.requestWidth, host.requestHeight, 0,
                                  SDL_HWSURFACE | SDL_OPENGL | (host.fullScreen ? SDL_FULLSCREEN : 0));
  if (!host.surface) {
    logMessage("SDL_SetVideoMode failed.\n");
    std::fprintf(stderr, "demo: SDL_SetVideoMode failed: %s\n", SDL_GetError());
    SDL_Quit();
    return -1;
  }
  SDL_ShowCursor(0);
  if (loadGlEntryPoints(sdlLookup) != 0) {
    logMessage("OpenGL init failed.\n");
    return -1;
  }
  if (!isGlVersionSupported(4, 0)) {
    logMessage("OpenGL 4.0 is not supported.\n");
    return -1;
  }
  // Calling a function the driver lacks would crash mid-show; refuse such a driver up front.
  if (const char* missing = findMissingGlEntryPoint()) {
    logMessage("OpenGL function %s is not available.\n", missing);
    return -1;
  }
  checkGlError(__LINE__);
  return 0;
}

bool SdlHost::pollQuit() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) return true;
    // Closing the window, Alt-F4 and SIGINT/SIGTERM all arrive as SDL_QUIT.
    if (event.type == SDL_QUIT) return true;
  }
  return false;
}

uint32_t SdlHost::ticks() { return SDL_GetTicks(); }

void SdlHost::present() { SDL_GL_SwapBuffers(); }
