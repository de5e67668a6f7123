// The demo: reads its options, opens the log and the window, starts the music and plays the
// timeline until it ends or the viewer quits (and again from the start with --loop).
#include "base/gl.h"
#include "base/log.h"
#include "demo/demo_options.h"
#include "demo/dev_mode.h"
#include "demo/display_check.h"
#include "demo/gl_info.h"
#include "demo/sdl_host.h"
#include "render/shader_folder.h"
#include "render/track_source.h"
#include "show/replay.h"
#include "show/scene_table.h"
#include "show/show.h"
#include "synth/audio.h"
#include "synth/sample_rate.h"

#include <SDL.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kGlInfoSide = 64;  // pixels: the window --gl-info opens when no size is given

// Opens a window with the show's attributes, prints what OpenGL came with it, and ends.
int showGlInfo(SdlHost& host) {
  host.withAudio = false;
  host.fullScreen = false;
  if (host.requestWidth == 0) host.requestWidth = host.requestHeight = kGlInfoSide;
  startWindow(host);  // a driver too old for the show is still described
  if (!glGetString) {
    std::fprintf(stderr, "demo: no OpenGL context to describe\n");
    return 1;
  }
  printGlInfo(stdout);
  SDL_Quit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  DemoOptions options;
  std::string error;
  if (!parseDemoOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "demo: %s; try demo --help\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(demoUsage(), stdout);
    return 0;
  }
  // Before SDL starts: without a display it would take the terminal over, then fail.
  if (!displayReachable()) {
    std::fprintf(stderr, "%s\n", kNoDisplayMessage);
    return -1;
  }
  if (!options.shaders.empty()) useShaderFolder(options.shaders);
  if (!options.tracks.empty()) useTrackFolder(options.tracks);
  SdlHost host;
  if (options.window) {
    host.fullScreen = false;
    host.requestWidth = options.width;
    host.requestHeight = options.height;
  }
  if (options.glInfo) return showGlInfo(host);
  host.withAudio = !options.mute;

  logOpen("error_log.txt");
  // Every scene's tracks, before the window opens: a file that does not read is a start-up
  // failure, whichever scene would have needed it first.
  if (!loadShowTracks(error)) {
    logMessage("%s\n", error.c_str());
    return -1;
  }
  if (startWindow(host) != 0) return -1;
  if (options.dev) {
    int status = runDevMode(options, host);
    logClose();
    SDL_Quit();
    return status;
  }

  Show show;
  buildDemoTimeline(show);
  show.width = host.surface->w;
  show.height = host.surface->h;
  if (options.seek) seekShow(show, options.fromMs);

  if (options.mute) {
    prepareMusic();  // no device, but the music's random draws still come before the scenes'
  } else if (initAudio(sampleFrameAt(options.fromMs)) != 0) {
    logMessage("initAudio failed.\n");
    return -1;
  }
  // The device has just been unpaused (or, muted, there is none): the music starts now, at
  // --from's moment of the song, and so does the show.
  startShowClock(show, host, options.fromMs);
  int firstEntry = show.position;
  while (runShow(show, host) == FrameResult::Ended && options.loop) {
    rewindScenes(show, firstEntry);
    rewindMusic(!options.mute);
    firstEntry = 0;
    startShowClock(show, host);
  }

  logClose();
  if (!options.mute) stopAudio();
  SDL_Quit();
  return 0;
}
