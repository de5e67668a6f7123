// The maker's mode's overlay (F1): show and scene time, frame times, the scene's counters,
// the song's render progress, the last shader error and a timeline bar that seeks on click.
// Drawn with Dear ImGui's OpenGL 3 renderer over the finished frame, after any screenshot;
// the mouse reaches it through our own SDL 1.2 glue.
#pragma once

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
};

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

  // Makes the ImGui context (no settings file: nothing is written to the working folder).
  void start();
  // Shows or hides the overlay and the mouse pointer with it.
  void toggle();
  // Hands a mouse event to the overlay; true when it took it.
  bool handleEvent(const SDL_Event& event);
  // The show time asked for on the timeline bar since the last call, or -1.
  int64_t takeSeekRequest();
  // Draws the overlay over the frame in the default framebuffer, leaving the OpenGL state as
  // it found it; does nothing while hidden.
  void draw(const TimelineEntry* timeline, const OverlayFacts& facts, int width, int height);
  // Frees the renderer's OpenGL objects and the context.
  void stop();
};
