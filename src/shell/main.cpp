// The demo: opens the log and the window, starts the music and plays the timeline until
// it ends or the viewer quits.
#include "shell/gl.h"
#include "shell/log.h"
#include "shell/sdl_host.h"
#include "shell/show.h"
#include "synth/audio.h"

#include <SDL.h>

int main(int, char**) {
  logOpen("error_log.txt");
  SdlHost host;
  if (startWindow(host) != 0) return -1;

  Show show;
  buildDemoTimeline(show);
  show.width = host.surface->w;
  show.height = host.surface->h;

  if (initAudio() != 0) {
    logMessage("initAudio failed.\n");
    return -1;
  }
  // initAudio has just unpaused the device: the music starts now, and so does the show.
  startShowClock(show, host);
  runShow(show, host);

  logClose();
  stopAudio();
  SDL_Quit();
  return 0;
}
