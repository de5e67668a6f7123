// The Pacman scene: camera and tint tracks on the CPU, the whole picture in one shader.
#include "scenes/pacman/pacman_scene.h"

#include "base/gl.h"
#include "render/gl_objects.h"
#include "render/quad.h"

Scene* pacmanScene = new PacmanScene();

PacmanScene::PacmanScene() { framesIndependent = true; }

void fillPacmanTracks(PacmanScene& scene) {
  const Vec3 zero(0, 0, 0);
  KeyframeTrack<Vec3>& pos = scene.camPosTrack;
  pos.addKey(Vec3(24.8f, 0, 1.2f), zero, 0);
  pos.addKey(Vec3(0, 0, -1), Vec3(0, 0, -2), 1000);
  pos.addKey(Vec3(0, 0, -4), zero, 1500);
  pos.addKey(Vec3(0, 0, -4), zero, 2500);
  pos.addKey(Vec3(0, 0, -3.5f), Vec3(0, 0, 1), 3000);
  pos.addKey(Vec3(0, 0, 2), Vec3(0, 0, 2), 3200);
  pos.finish();

  KeyframeTrack<Vec3>& rot = scene.camRotTrack;
  rot.addKey(Vec3(0, 0, 1.2f), zero, 0);
  rot.addKey(Vec3(0, 0, -1), Vec3(0, 0, 1), 800);
  rot.addKey(zero, zero, 2000);
  rot.finish();

  KeyframeTrack<Vec3>& tint = scene.tintTrack;
  tint.addKey(zero, zero, 0);
  tint.addKey(Vec3(1, 1, 1), zero, 100);
  tint.addKey(Vec3(1, 1, 1), zero, 3100);
  tint.addKey(zero, zero, 3200);
  tint.finish();
}

void PacmanScene::start() {
  buildProgram(pacmanProgram, "shaders/pacman_v.glsl", nullptr, "shaders/pacman_f.glsl");
  fillPacmanTracks(*this);
}

void PacmanScene::render() {
  // The picture goes into the draw framebuffer as bound: the default one, which every scene
  // before this one leaves bound. Only the read binding is reset.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  // The television scene's last frame leaves this state; set it here as well so the scene
  // looks the same when it is the first one rendered (capture from its own start).
  disableDepth();
  glDisable(GL_BLEND);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glViewport(0, 0, width, height);
  useProgram(pacmanProgram);
  setUniform1f(pacmanProgram, "time", seconds);
  setUniform2f(pacmanProgram, "aspect", static_cast<float>(width) / static_cast<float>(height), 1.0f);
  Vec3 tint = tintTrack.evaluate(centiseconds);
  setUniform3f(pacmanProgram, "tint", tint.x, tint.y, tint.z);
  Vec3 pos = camPosTrack.evaluate(centiseconds);
  setUniform3f(pacmanProgram, "cam_pos", pos.x, pos.y, pos.z);
  Vec3 rot = camRotTrack.evaluate(centiseconds);
  setUniform3f(pacmanProgram, "cam_rot", rot.x, rot.y, rot.z);
  bindPassTextures(0);
  drawFullscreenQuad();
  checkGlError(__LINE__);
}

// The program goes with its member's destructor.
PacmanScene::~PacmanScene() { release(); }

void PacmanScene::release() {}
