// The Pacman scene: camera and tint tracks on the CPU, the whole picture in one shader.
#include "scenes/pacman/pacman_scene.h"

#include "base/gl.h"
#include "render/gl_objects.h"
#include "render/pass_probe.h"
#include "render/quad.h"

Scene* pacmanScene = new PacmanScene();
SceneTrackFile pacmanTrackFile = {"pacman.txt", {{{"camPos", 3}, {"camRot", 3}, {"tint", 3}}, 3}};

namespace {

constexpr float kCameraTurnPerPixel = 0.005f;  // radians of the orbit a pixel of the maker's mouse turns
constexpr float kCameraRisePerPixel = 0.02f;   // of cam_pos.x a pixel of vertical motion moves
constexpr float kCameraDollyStep = 0.25f;      // of cam_pos.z one step of the maker's wheel moves

}  // namespace

PacmanScene::PacmanScene() { framesIndependent = true; }

void PacmanScene::listTracks(SceneTracks& out) {
  out = SceneTracks();
  out.file = &pacmanTrackFile;
  out.add("camPos", camPosTrack, true);
  out.add("camRot", camRotTrack, true);
  out.add("tint", tintTrack);
  // The orbit's angle turns; the world's shader has no pitch of its own, so a tilt raises or
  // lowers the aerial start (cam_pos.x: height and distance), and the wheel dollies (cam_pos.z).
  out.turn = {"camRot", 2, kCameraTurnPerPixel};
  out.tilt = {"camPos", 0, -kCameraRisePerPixel};
  out.dolly = {"camPos", 2, -kCameraDollyStep};
}

void PacmanScene::start() {
  buildProgram(pacmanProgram, "shaders/pacman_v.glsl", nullptr, "shaders/pacman_f.glsl");
  fillSceneTracks(*this);
}

void PacmanScene::render() { MEASURED_PASS(worldPass()); }

void PacmanScene::worldPass() {
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
