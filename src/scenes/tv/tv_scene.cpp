// The television scene: its resources, the line drawing on the screen target and the frame
// passes (snow, lines added on top, quarter-size glow, copy to the back buffer, flickering glow added).
#include "scenes/tv/tv_scene.h"

#include "base/gl.h"
#include "render/gl_objects.h"
#include "render/pass_probe.h"
#include "render/quad.h"
#include "render/target.h"

#include <cmath>

Scene* tvScene = new TVScene();
SceneTrackFile tvTrackFile = {"tv.txt", {{{"distance", 1}, {"scale", 1}, {"fade", 1}}, 3}};

const uint8_t kSnowPalette[kPaletteEntries * 3] = {
    20, 17, 95, 66, 112, 54, 107, 87, 41, 72, 36, 120, 120, 93, 116, 117, 89, 83, 109, 30, 67, 6, 31, 76,
};
// Alpha is never read; 255 keeps the texels plainly opaque.
const uint8_t kScreenPalette[kScreenPaletteEntries * 4] = {
    16, 16, 16, 255, 128, 0, 128, 255, 0, 128, 0, 255, 128, 128, 0, 255, 128, 128, 128, 255,
};

namespace {

constexpr float kLineRadius = 0.02f;  // "radii": stroke half-width in view-space units
constexpr double kCubeYawRate = 0.33;  // radians of Ry per radian of Rx

// Cube corner k = 4 zi + 2 yi + xi, -1 for bit 0 and +1 for bit 1.
const float kCubeCornerPositions[kCubeCorners * 3] = {
    -1, -1, -1, 1, -1, -1, -1, 1, -1, 1, 1, -1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1,
};
const uint16_t kCubeEdges[kCubeEdgeIndices] = {
    0, 1, 1, 3, 3, 2, 2, 0, 4, 5, 5, 7, 7, 6, 6, 4, 0, 4, 1, 5, 3, 7, 2, 6,
};
const float kSquareCornerPositions[kSquareCorners * 3] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};

}  // namespace

TVScene::TVScene() {
  // render() sets every piece of state it draws with and reads only the clock and the
  // tracks; the targets are rewritten each frame before they are read.
  framesIndependent = true;
}

TVScene::~TVScene() {
  release();
  // The programs go with their members.
}

// ---- tracks, camera and shapes ----

void TVScene::listTracks(SceneTracks& out) {
  out = SceneTracks();
  out.file = &tvTrackFile;
  out.add("distance", distanceTrack);
  out.add("scale", scaleTrack);
  out.add("fade", fadeTrack);
}

Mat4 tvProjection(int32_t width, int32_t height) {
  // -(far + near) / (far - near) = -101 / 99 and -2 far near / (far - near) = -200 / 99.
  return wideFrustumMatrix(width, height, -1.0202020f, -2.0202019f);
}

float snowTime(float seconds) { return static_cast<float>(static_cast<uint32_t>(20.0f * seconds)) * 0.05f; }

void glowTint(float seconds, float out[4]) {
  float k = 1.0f + 0.03f * std::cos(30.0f * seconds);
  out[0] = 1.3f * k;
  out[1] = 1.2f * k;
  out[2] = k;
  out[3] = 1.0f;
}

Mat4 cubeModelview(float t, float distance) {
  // The slow yaw is taken in double precision; everything else in single.
  double yaw = kCubeYawRate * t;
  Mat4 translation = translationMatrix(2.0f * std::cos(t), static_cast<float>(std::fabs(std::cos(3.0f * t)) - 0.2),
                                       distance);
  return translation * rotationXMatrix(t) *
         rotationYMatrix(static_cast<float>(std::cos(yaw)), static_cast<float>(std::sin(yaw)));
}

int tunnelSquares(float t, TunnelSquare out[kTunnelSlots]) {
  if (!(t > kTunnelStart)) return 0;
  float s = kTunnelSpeed * (t - kTunnelStart);
  float f = std::floor(s);
  float r = std::fmod(-s, 1.0f);  // in (-1, 0]: the nearest slot is behind the camera unless s is whole
  int count = 0;
  for (int i = 0; i < kTunnelSlots; ++i) {
    float p = r + static_cast<float>(i);
    if (p < 0.0f) continue;
    float n = f + static_cast<float>(i);
    if (n < kFirstSquare || n > kLastSquare) continue;
    double q = std::fmod(static_cast<double>(n) - kFirstSquare, kTunnelStyles * kStyleRun);
    double dn = n;
    TunnelSquare& square = out[count++];
    square.depth = p;
    square.number = n;
    square.style = static_cast<int>(q / kStyleRun);
    double x, y, spin;
    if (square.style == 0) {
      x = 0.2 * std::cos(dn);
      y = 0.2 * std::sin(0.8 * dn);
      spin = 0.1 * dn + t;
    } else if (square.style == 1) {
      x = 0.1 * std::cos(0.01 * dn);
      y = 0.1 * std::sin(0.01 * dn);
      spin = t - 0.2 * dn;
    } else {
      x = 0.4 * std::cos(3.0 * dn);
      y = 0.1 * std::sin(2.0 * dn);
      spin = 0.1 * dn + t;
    }
    square.x = static_cast<float>(x);
    square.y = static_cast<float>(y);
    square.spin = spin;
  }
  return count;
}

Mat4 tunnelModelview(const TunnelSquare& square) {
  return translationMatrix(0.0f, 0.0f, -square.depth) * translationMatrix(square.x, square.y, 0.0f) *
         rotationZMatrix(square.spin);
}

// ---- resources ----

void TVScene::start() {
  generateSceneGlNames(glNames);
  createPrograms();
  createTextures();
  createFramebuffers();
  fillSceneTracks(*this);
}

void TVScene::createPrograms() {
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  buildProgram(screenProgram, "shaders/screen_v.glsl", nullptr, "shaders/screen_f.glsl",
               [aspect](const ShaderProgram& p) {
                 setUniform1i(p, "reveal", 0);
                 setUniform1i(p, "pal", 1);
                 setUniform1f(p, "aspect_ratio", aspect);
               });
  buildProgram(screen2Program, "shaders/screen2_v.glsl", nullptr, "shaders/screen2_f.glsl",
               [aspect](const ShaderProgram& p) {
                 setUniform1i(p, "display", 0);
                 setUniform1i(p, "pal", 1);
                 setUniform1f(p, "aspect_ratio", aspect);
               });
  buildProgram(gaussblur2Program, "shaders/gaussblur2_v.glsl", nullptr, "shaders/gaussblur2_f.glsl", setTex0Unit);
  buildProgram(compositeProgram, "shaders/composite_v.glsl", nullptr, "shaders/composite_f.glsl", setTex0Unit);
  buildProgram(linesProgram, "shaders/lines_v.glsl", "shaders/lines_g.glsl", "shaders/lines_f.glsl");
  buildProgram(zoomblurProgram, "shaders/zoomblur_v.glsl", nullptr, "shaders/zoomblur_f.glsl", setTex0Unit);
}

void TVScene::createTextures() {
  const uint32_t* textures = glNames.textures;
  sceneTexture = textures[0];
  halfTexture = textures[1];
  blurTexture = textures[2];
  glowTexture = textures[3];
  paletteTexture = textures[4];
  screenPaletteTexture = textures[5];
  noiseTexture = textures[6];
  screenTexture = textures[7];

  allocateTargetTexture(*this, sceneTexture, GL_RGBA8, kFullSize);
  allocateTargetTexture(*this, halfTexture, GL_RGBA8, kFullSize);
  allocateTargetTexture(*this, blurTexture, GL_RGBA8, kQuarterSize);
  allocateTargetTexture(*this, glowTexture, GL_RGBA8, kQuarterSize);

  uploadPalette(paletteTexture, GL_RGB8, kPaletteEntries, GL_RGB, kSnowPalette);
  uploadPalette(screenPaletteTexture, GL_RGBA8, kScreenPaletteEntries, GL_RGBA, kScreenPalette);
  uploadTexture2D(noiseTexture, GL_RGBA8, kNoiseTextureSide, kNoiseTextureSide, GL_RGBA, kTVNoise.bytes, GL_REPEAT,
                  GL_NEAREST, GL_NEAREST);

  allocateTexture(screenTexture, GL_RGBA8, 1, kScreenTargetSide, kScreenTargetSide, GL_CLAMP_TO_BORDER, GL_LINEAR,
                  GL_LINEAR);
  checkGlError(__LINE__);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void TVScene::createFramebuffers() {
  sceneFramebuffer = glNames.framebuffers[0];
  halfFramebuffer = glNames.framebuffers[1];
  blurFramebuffer = glNames.framebuffers[2];
  glowFramebuffer = glNames.framebuffers[3];
  screenFramebuffer = glNames.framebuffers[4];
  depthRenderbuffer = glNames.renderbuffers[0];

  allocateDepthRenderbuffer(depthRenderbuffer, width, height);
  attachTexture(sceneFramebuffer, GL_COLOR_ATTACHMENT0, sceneTexture);
  attachRenderbuffer(sceneFramebuffer, GL_DEPTH_ATTACHMENT, depthRenderbuffer);
  attachTexture(halfFramebuffer, GL_COLOR_ATTACHMENT0, halfTexture);
  attachTexture(blurFramebuffer, GL_COLOR_ATTACHMENT0, blurTexture);
  attachTexture(glowFramebuffer, GL_COLOR_ATTACHMENT0, glowTexture);
  attachTexture(screenFramebuffer, GL_COLOR_ATTACHMENT0, screenTexture);
  checkGlError(__LINE__);
}

void TVScene::release() {
  // A scene that never started (or was released already) holds no names and makes no call.
  releaseSceneGlNames(glNames);
  sceneFramebuffer = depthRenderbuffer = sceneTexture = halfFramebuffer = halfTexture = 0;
  blurFramebuffer = glowFramebuffer = blurTexture = glowTexture = 0;
  paletteTexture = screenPaletteTexture = noiseTexture = screenFramebuffer = screenTexture = 0;
}

void TVScene::reportCounters(SceneCounters& out) const {
  out.count = 0;
  out.add("cube_copies", cubesDrawn);
  out.add("square_draws", squaresDrawn);
}

// ---- line picture ----

void TVScene::renderScreen() {
  Mat4 projection = tvProjection(width, height);
  setUniform2f(linesProgram, "radii", kLineRadius, kLineRadius);
  setUniformMatrix4(linesProgram, "projection", 1, false, projection.m);

  bindDrawTarget(screenFramebuffer, kScreenTargetSide, kScreenTargetSide);
  // The default clear colour, set rather than assumed in case a scene before this one changed it.
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);  // alpha is masked off
  cubesDrawn = squaresDrawn = 0;
  for (int i = 0; i < kTrailCopies; ++i) {
    float c = 0.25f * static_cast<float>(i) + 0.25f;  // the latest copy is the brightest
    setUniform4f(linesProgram, "colour", c, c, c, c);
    drawScreenShapes(seconds + kTrailStep * static_cast<float>(i));
  }
}

void TVScene::drawScreenShapes(float t) {
  useProgram(linesProgram);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  // The scene's clock, not t: all four copies share one distance.
  float d = distanceTrack.evaluate(centiseconds);
  if (d > kCubeVisibleAbove) {
    Mat4 modelview = cubeModelview(t, d);
    setUniformMatrix4(linesProgram, "modelview", 1, false, modelview.m);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, kCubeCornerPositions);
    disableDepth();
    glDrawElements(GL_LINES, kCubeEdgeIndices, GL_UNSIGNED_SHORT, kCubeEdges);
    glDisableVertexAttribArray(0);
    ++cubesDrawn;
  }
  if (t > kTunnelStart) {
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, kSquareCornerPositions);
    disableDepth();
    TunnelSquare squares[kTunnelSlots];
    int count = tunnelSquares(t, squares);
    for (int i = 0; i < count; ++i) {
      Mat4 modelview = tunnelModelview(squares[i]);
      setUniformMatrix4(linesProgram, "modelview", 1, false, modelview.m);
      glDrawArrays(GL_LINE_LOOP, 0, kSquareCorners);
    }
    squaresDrawn += count;
    glDisableVertexAttribArray(0);
  }
  checkGlError(__LINE__);
}

// ---- frame passes ----

void TVScene::blurQuarter(uint32_t source) {
  const int32_t w = targetSide(width, kQuarterSize), h = targetSide(height, kQuarterSize);
  bindDrawTarget(blurFramebuffer, w, h);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  disableDepth();
  useProgram(gaussblur2Program);
  setUniform2f(gaussblur2Program, "direction", 0.1f, 0.0f);
  bindPassTextures(source);
  drawFullscreenQuad();

  bindDrawTarget(glowFramebuffer, w, h);
  // Alpha keeps what the downsample wrote.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  disableDepth();
  useProgram(gaussblur2Program);
  setUniform2f(gaussblur2Program, "direction", 0.0f, 0.1f);
  bindPassTextures(blurTexture);
  drawFullscreenQuad();
  checkGlError(__LINE__);
}

void TVScene::render() {
  float v = scaleTrack.evaluate(centiseconds);
  float screenQuad[kQuadFloats];
  for (int k = 0; k < kQuadFloats; ++k) screenQuad[k] = kFullscreenQuadPositions[k] * v;
  float fade = fadeTrack.evaluate(centiseconds);
  MEASURED_PASS(snowPass(screenQuad, v, fade));
  MEASURED_PASS(linesPass(screenQuad, fade));
  MEASURED_PASS(glowPass());
  MEASURED_PASS(copyPass());
  MEASURED_PASS(compositePass());
}

void TVScene::snowPass(const float screenQuad[kQuadFloats], float scale, float fade) {
  // The state every later frame starts with, set here too: the first frame would otherwise
  // inherit it from whatever ran before (the forest, or nothing when capture skips ahead).
  glDisable(GL_BLEND);
  disableDepth();
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

  // Replaces every pixel the screen quad covers. A quad smaller than the target (a scale
  // below 1 in an edited track file) would leave the frame before's pixels around it, so
  // the rest is cleared to black first; the shipped scale of 1 covers all and needs no clear.
  bindDrawTarget(sceneFramebuffer, width, height);
  if (std::fabs(scale) < 1.0f) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);  // alpha stays masked
  }
  useProgram(screenProgram);
  setUniform1f(screenProgram, "time", snowTime(seconds));
  setUniform1f(screenProgram, "tint", fade + 0.001f);
  bindTextureUnit(1, GL_TEXTURE_1D, paletteTexture);
  bindTextureUnit(0, GL_TEXTURE_2D, noiseTexture);
  drawQuad(screenQuad, kFullscreenQuadCoords);
  checkGlError(__LINE__);
}

void TVScene::linesPass(const float screenQuad[kQuadFloats], float fade) {
  renderScreen();
  bindDrawTarget(sceneFramebuffer, width, height);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  useProgram(screen2Program);
  setUniform1f(screen2Program, "time", seconds);
  setUniform1f(screen2Program, "tint", fade);
  bindTextureUnit(1, GL_TEXTURE_1D, screenPaletteTexture);
  bindTextureUnit(0, GL_TEXTURE_2D, screenTexture);
  drawQuad(screenQuad, kFullscreenQuadCoords);
  checkGlError(__LINE__);
  glDisable(GL_BLEND);
}

void TVScene::glowPass() {
  // The blur reads the full-size picture again; the downsample's result keeps only its alpha.
  downsample(*this, sceneTexture, halfFramebuffer, halfTexture, glowFramebuffer);
  blurQuarter(sceneTexture);
}

void TVScene::copyPass() { copyColour(sceneFramebuffer, 0, width, height); }

void TVScene::compositePass() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  useProgram(compositeProgram);
  setUniform1f(compositeProgram, "darken", 0.0f);
  float tint[4];
  glowTint(seconds, tint);
  setUniform4f(compositeProgram, "tint", tint[0], tint[1], tint[2], tint[3]);
  bindPassTextures(glowTexture);
  drawFullscreenQuad();
  glDisable(GL_BLEND);
}
