// The abstract scene the show drives: started once when the timeline makes it current,
// rendered once per frame with its own clock, destroyed when the next entry applies. It sits
// with the render helpers, which read its size and build its downsample program.
#pragma once

#include "render/shader.h"
#include "render/track_source.h"

#include <cstdint>

constexpr int kMaxSceneCounters = 4;  // figures one scene can report per frame

// What a scene did in the frame it just rendered, for the capture tool's frame statistics.
struct SceneCounters {
  const char* names[kMaxSceneCounters] = {};  // static strings: "instances", "camera_x", ...
  double values[kMaxSceneCounters] = {};      // in the unit the name implies
  int count = 0;                              // entries used

  // Appends one figure; a figure past the array's end is dropped.
  void add(const char* name, double value) {
    if (count >= kMaxSceneCounters) return;
    names[count] = name;
    values[count] = value;
    ++count;
  }
};

class Scene {
 public:
  ShaderProgram downsampleProgram;  // built by the first downsample() of this scene
  uint32_t centiseconds = 0;        // since the scene became current, ms / 10 truncated
  int32_t width = 0;                // of the video surface, pixels
  int32_t height = 0;               // of the video surface, pixels
  float seconds = 0.0f;             // since the scene became current
  uint32_t milliseconds = 0;        // since the scene became current, the tick the other two come from
  // True when render() depends only on the clock and the state it sets itself, so a frame
  // may be rendered without the frames before it, or after later ones (the capture tool then
  // skips ahead; the maker's mode jumps back inside the scene without starting it again).
  bool framesIndependent = false;

  // Sets the clock to ms since the scene became current; the other two fields follow from it.
  void setClock(uint32_t ms) {
    milliseconds = ms;
    centiseconds = ms / 10;
    seconds = static_cast<float>(ms * 0.001);
  }

  Scene() = default;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  virtual void start() = 0;    // build programs, GL objects, tracks and geometry
  // Draws the whole frame, which ends up in the default framebuffer (framebuffer 0: the
  // window's back buffer, or the capture tool's pbuffer); four scenes bind 0 themselves for
  // their last passes, and Pacman draws into the draw framebuffer the previous scene left at 0.
  virtual void render() = 0;
  // Deletes the scene's textures, framebuffers, renderbuffers, buffer and sampler objects and
  // zeroes their names; safe to call twice and before start(). Every scene's destructor calls it
  // (the base cannot: the derived part is gone by then); programs go with their members.
  virtual void release() = 0;
  // Fills out with this frame's figures; only the capture tool asks, after render().
  virtual void reportCounters(SceneCounters& out) const { out.count = 0; }
  // Fills out with the scene's keyframe tracks, their file and its camera's gestures; a scene
  // without tracks leaves it empty. start() fills them through it, and the maker's mode reads,
  // refills and steers them.
  virtual void listTracks(SceneTracks& out) { out = SceneTracks(); }
  virtual ~Scene();  // deletes downsampleProgram
};

// Fills every track scene lists from its file (part of a scene's start()).
void fillSceneTracks(Scene& scene);
