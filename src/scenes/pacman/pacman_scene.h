// The shader world, 78 to 110 s: one full-screen program fed with time, aspect and three
// animated vectors (tint, camera position, camera rotation).
#pragma once

#include "render/scene.h"
#include "render/shader.h"
#include "render/track.h"
#include "render/track_source.h"

class PacmanScene : public Scene {
 public:
  ShaderProgram pacmanProgram;       // the only program
  KeyframeTrack<Vec3> camPosTrack;   // "cam_pos"
  KeyframeTrack<Vec3> camRotTrack;   // "cam_rot"
  KeyframeTrack<Vec3> tintTrack;     // "tint"

  PacmanScene();
  ~PacmanScene() override;
  void start() override;
  // The frame as its one pass: the world.
  void render() override;
  void release() override;  // holds no textures, framebuffers or buffers
  // The three tracks of pacmanTrackFile; camPos and camRot are the camera.
  void listTracks(SceneTracks& out) override;

  // The whole picture from one full-screen quad of the world's program.
  void worldPass();
};

// The show's Pacman, created before main; the show's scene table points at it.
extern Scene* pacmanScene;
// Its tracks' file, tracks/pacman.txt: camPos, camRot and tint.
extern SceneTrackFile pacmanTrackFile;

