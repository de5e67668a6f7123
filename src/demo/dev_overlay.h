// The maker's mode's overlay (F1): show and scene time, frame times, the scene's counters,
// the song's render progress, the last shader error, the track files that do not read, and a
// timeline bar that seeks on click; and the track panel (F2). Drawn with Dear ImGui's OpenGL 3
// renderer over the finished frame, after any screenshot; the mouse and the keys reach it
// through our own SDL 1.2 glue.
#pragma once

#include "demo/dev_track_panel.h"
#include "render/scene.h"
#include "show/show.h"

#include <cstdint>

union SDL_Event;

// What one overlay frame shows.
struct OverlayFacts {
  uint32_t showMs = 0;         // show time of the frame
  bool paused = false;
  int entry = 0;               // timeline entry of the current scene
  uint32_t sceneMs = 0;        // the scene's clock
  double cpuMs = 0;            // the frame's CPU time, milliseconds
  double gpuMs = -1;           // a recent frame's GPU time; negative when unknown
  SceneCounters counters;      // the scene's figures for the frame
  double songRendered = 0;     // share of the song rendered so far, 0 .. 1
  bool muted = false;          // no audio device
  const char* shaderError = "";  // the last shader build failure; empty when all build
  const char* trackError = "";   // the track files that do not read now; empty when all read
  TrackPanelFacts panel;         // the track panel's, while it is shown
};

constexpr int kOverlayKeys = 512;  // key codes the overlay follows (SDL 1.2's fit, as ImGui's table does)

class DevOverlay {
 public:
  bool visible = false;    // toggled by F1
  bool started = false;    // the ImGui context exists
  bool rendererUp = false; // the OpenGL 3 renderer has made its objects
  bool rendererFailed = false;  // it could not start; not tried again
  int64_t seekRequestMs = -1;  // show time clicked or dragged to on the timeline bar; -1 when none
  float barTop = 0;            // window pixels of the bar's top edge, from the last draw
  float barWidth = 0;          // pixels
  double lastDrawSeconds = 0;  // ImGui's clock, for its frame delta
  TrackPanel panel;            // toggled by F2
  // A press and its release between two frames would leave ImGui nothing to see: the release
  // waits for the frame after the one that saw the press.
  bool mouseTaken = false;     // the button held went down on the overlay: its motion and release are the overlay's
  bool pressUnseen = false;    // the left button went down since the last frame
  bool releaseLater = false;   // and up again
  bool keyUnseen[kOverlayKeys] = {};     // went down since the last frame
  bool keyUpLater[kOverlayKeys] = {};    // and up again

  // Makes the ImGui context (no settings file: nothing is written to the working folder).
  void start();
  // Shows or hides the overlay and the mouse pointer with it.
  void toggle();
  // Shows or hides the track panel and the mouse pointer with it.
  void togglePanel();
  // Hands a mouse or key event to the overlay; true when it took it: a press on a panel or the
  // bar (and the motion and release that follow), a key while a field takes typing.
  bool handleEvent(const SDL_Event& event);
  // The show time asked for on the timeline bar since the last call, or -1.
  int64_t takeSeekRequest();
  // Draws the overlay and the track panel over the frame in the default framebuffer, leaving
  // the OpenGL state as it found it; does nothing while both are hidden.
  void draw(const TimelineEntry* timeline, const OverlayFacts& facts, int width, int height);
  // Frees the renderer's OpenGL objects and the context.
  void stop();
};
