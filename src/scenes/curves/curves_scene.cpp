// The curves scene: the drifting curve systems and their points, the following camera,
// the greeting patches, and the passes that turn strokes into glowing lines.
#include "scenes/curves/curves_scene.h"

#include "base/gl.h"
#include "render/gl_objects.h"
#include "render/pass_probe.h"
#include "render/quad.h"
#include "render/target.h"
#include "synth/demo_random.h"

#include <algorithm>
#include <cmath>

Scene* curvesScene = new CurvesScene();

const GreetPatch kGreetPatchTable[kGreetPatches] = {
    {0.0f, 0.66f, 0.33f, 1.0f, 200, 3},      {0.33f, 0.66f, 0.6f, 1.0f, 400, 200},
    {0.6f, 0.66f, 1.0f, 1.0f, 600, -200},    {0.0f, 0.33f, 0.3f, 0.66f, 700, -50},
    {0.3f, 0.33f, 0.6f, 0.66f, 900, 150},    {0.6f, 0.33f, 1.0f, 0.66f, 1350, -150},
    {0.0f, 0.0f, 0.25f, 0.33f, 1500, -300},  {0.25f, 0.0f, 0.6f, 0.33f, 1800, 60},
    {0.6f, 0.0f, 1.0f, 0.33f, 2100, 200},
};

namespace {

constexpr uint32_t kThickInterval = 700;   // centiseconds between spawns of the thick system
constexpr float kThickStepX = 0.98f;       // its world x per interval: 0.14 per second, as the thin one
constexpr float kThickZScale = 3.0f;        // the thick system's stroke weight multiplier
constexpr int kSmoothLevels = 3;           // mip levels of smoothTexture the final pass reads
constexpr float kDriftScale = 0.001f;      // world units per step at full velocity
constexpr double kRipple = 0.01;            // stroke weight's ripple amplitude
constexpr double kBaseWeight = 0.015;      // thin base of the stroke
constexpr double kSqrtTwoOverPi = 0.7978845676080871;  // the bump's height is this / 10
constexpr double kBumpShare = 0.1;
constexpr float kBumpPeriod = 3.0f;        // of 3 birthTime + 2 x: every 1.5 world units
constexpr float kPatchSize = 0.4f;         // normalised device units per unit of image share
constexpr double kGreetReferenceWidth = 1920.0;   // pixels in which the patch positions are given
constexpr double kGreetReferenceHeight = 1080.0;

// The Bezier weights of one segment's 128 parameters, the same for every curve: the cubes
// come from pow and are rounded to float.
struct BezierWeights {
  float w[kSegmentPoints][4];  // (1-u)^3, 3u(1-u)^2, 3u^2(1-u), u^3 for u = n / 127
};

// Computes the weight table once, before main.
BezierWeights makeBezierWeights() {
  BezierWeights table;
  for (int n = 0; n < kSegmentPoints; ++n) {
    float u = static_cast<float>(static_cast<long double>(n) / static_cast<long double>(kSegmentPoints - 1));
    float v = 1.0f - u;
    table.w[n][0] = static_cast<float>(std::pow(static_cast<double>(v), 3.0));
    table.w[n][1] = 3.0f * u * v * v;
    table.w[n][2] = 3.0f * u * u * v;
    table.w[n][3] = static_cast<float>(std::pow(static_cast<double>(u), 3.0));
  }
  return table;
}

const BezierWeights kBezier = makeBezierWeights();

// The camera's triangular window: 0 at both ends, 0.5 in the middle.
struct CameraWeights {
  float w[kCameraHistory];  // for u = 0 .. 255
};

// Computes the window once, before main.
CameraWeights makeCameraWeights() {
  CameraWeights table;
  for (int u = 0; u < kCameraHistory; ++u) {
    float share = static_cast<float>(static_cast<long double>(u) / static_cast<long double>(kCameraHistory - 1));
    table.w[u] = 0.5f - std::fabs(share - 0.5f);
  }
  return table;
}

const CameraWeights kCameraWindow = makeCameraWeights();

// One random value mapped to [-1, 1], the quotient taken in extended precision.
float randomSigned() {
  long double r = static_cast<long double>(demoRand());
  float share = static_cast<float>(r / static_cast<long double>(kRandomMax));
  return share * 2.0f - 1.0f;
}

// Draws the full-screen quad blended over the bound target: colour by the source's alpha,
// alpha keeping the maximum, so the smoothed strokes and the greetings pile up into one mask.
// Leaves blending off.
void drawQuadOverMaxAlpha() {
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE);
  glBlendEquationSeparate(GL_FUNC_ADD, GL_MAX);
  drawFullscreenQuad();
  glDisable(GL_BLEND);
}

// Half of a window dimension, as the unsigned integer half converted to float.
float halfOf(int32_t size) { return static_cast<float>(static_cast<uint32_t>(size) / 2u); }

}  // namespace

// ---- the curves ----

void fillCurvesNoise(uint8_t bytes[kCurvesNoiseBytes]) {
  for (int i = 0; i < kCurvesNoiseBytes; ++i) bytes[i] = static_cast<uint8_t>(demoRand() & 0xFF);
}

CurvePoint3 curvePoint(const Curve& curve, uint32_t index) {
  const CurvePoint2* P = curve.controlPoints;
  const uint32_t i = 2 * (index / kSegmentPoints);
  const CurvePoint2 a = P[i], b = P[(i + 1) % kCurveControlPoints];
  const CurvePoint2 c = P[(i + 2) % kCurveControlPoints], d = P[(i + 3) % kCurveControlPoints];
  const float mx = (a.x + b.x) * 0.5f, my = (a.y + b.y) * 0.5f;  // start: midpoint of the first edge
  const float hx = (c.x + d.x) * 0.5f, hy = (c.y + d.y) * 0.5f;  // end: midpoint of the third
  const float* w = kBezier.w[index % kSegmentPoints];
  float bx = w[0] * mx + w[1] * b.x + w[2] * c.x + w[3] * hx;
  float by = w[0] * my + w[1] * b.y + w[2] * c.y + w[3] * hy;
  float x = bx + curve.offset.x, y = by + curve.offset.y;
  // A Gaussian bump every 1.5 world units; fmod keeps the sign, so left of the
  // origin the bump fades instead of repeating.
  float m = std::fmod(3.0f * curve.birthTime + 2.0f * x, kBumpPeriod) - 1.5f;
  float e = std::exp(-2.0f * m * m);
  double ripple = std::sin(10.0 * static_cast<double>(by)) * std::cos(10.0 * static_cast<double>(bx)) * kRipple;
  double z = (ripple + kBaseWeight + static_cast<double>(e) * kSqrtTwoOverPi * kBumpShare) * double{curve.zScale};
  return {x, y, static_cast<float>(z)};
}

void buildCurvePoints(Curve& curve) {
  for (uint32_t index = 0; index < kCurvePoints; ++index) curve.points[index] = curvePoint(curve, index);
}

void spawnCurve(Curve& curve, CurvePoint2 offset, float s) {
  static_assert(4 * kCurveControlPoints == kSpawnRandomValues, "two values per point and per velocity");
  // Of each pair the first value goes to y, the second to x.
  for (CurvePoint2& p : curve.controlPoints) {
    float y = randomSigned();
    float x = randomSigned();
    p = {x, y};
  }
  for (CurvePoint2& v : curve.velocities) {
    float y = randomSigned() * kDriftScale;
    float x = randomSigned() * kDriftScale;
    v = {x, y};
  }
  curve.birthTime = s;
  curve.offset = offset;
  curve.active = true;
}

void advanceCurve(Curve& curve) {
  for (int i = 0; i < kCurveControlPoints; ++i) {
    curve.controlPoints[i].x += curve.velocities[i].x;
    curve.controlPoints[i].y += curve.velocities[i].y;
  }
}

void updateCurveSystem(CurveSystem& system, uint32_t c, float s) {
  for (Curve& curve : system.curves) advanceCurve(curve);
  const uint32_t interval = system.interval;
  const uint32_t d = c / interval;
  system.currentInterval = d;
  Curve& slot = system.curves[d % kCurvesPerSystem];
  const uint32_t generation = c / (kCurvesPerSystem * interval);
  if (!slot.active || generation != slot.generation) {
    const float step = static_cast<float>(d);
    spawnCurve(slot, {step * system.stepX, step * system.stepY}, s);
    slot.generation = generation;
  }
  // Share of the interval elapsed, times 512, rounded up.
  slot.progress = ((c - interval * d) * kCurvePoints + interval - 1) / interval;
}

// ---- camera and greeting placement ----

float wholePixels(long double value) {
  return static_cast<float>(static_cast<int64_t>(value));  // the cast truncates towards zero
}

GreetUniforms greetPatchUniforms(const GreetPatch& patch, CurvePoint2 cameraOffset, int32_t width, int32_t height) {
  GreetUniforms u;
  const float px = static_cast<float>(2.0 * patch.x * width / kGreetReferenceWidth);
  const float py = static_cast<float>(patch.y * static_cast<double>(height) / kGreetReferenceHeight);
  u.translation = {(px + cameraOffset.x) / halfOf(width), (py + cameraOffset.y) / halfOf(height)};
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  u.scale = {(patch.uMax - patch.uMin) * kPatchSize * aspect, (patch.vMax - patch.vMin) * kPatchSize};
  return u;
}

// ---- resources ----

CurvesScene::~CurvesScene() {
  release();
  // The programs go with their members.
}

void CurvesScene::start() {
  generateSceneGlNames(glNames);
  createTextures();
  spawnSequence = saveDemoRand();
  createFramebuffers();
  createPrograms();
  prepareSimulation();
}

void CurvesScene::createTextures() {
  demoSrand(0);
  curveTexture = glNames.textures[0];
  smoothTexture = glNames.textures[1];
  noiseTexture = glNames.textures[2];
  greetsTexture = glNames.textures[3];
  allocateTargetTexture(*this, curveTexture, GL_RGBA8, kFullSize);
  uploadTexture2D(greetsTexture, GL_R8, kGreetsWidth, kGreetsHeight, GL_RED, kGreetsImage, GL_CLAMP_TO_EDGE,
                  GL_LINEAR, GL_LINEAR);
  allocateTexture(smoothTexture, GL_RGBA8, kSmoothLevels, width, height, GL_CLAMP_TO_EDGE, GL_LINEAR_MIPMAP_NEAREST,
                  GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  uint8_t noise[kCurvesNoiseBytes];
  fillCurvesNoise(noise);
  uploadTexture2D(noiseTexture, GL_R8, kCurvesNoiseSide, kCurvesNoiseSide, GL_RED, noise, GL_REPEAT, GL_LINEAR,
                  GL_LINEAR);
}

void CurvesScene::createFramebuffers() {
  curveFramebuffer = glNames.framebuffers[0];
  smoothFramebuffer = glNames.framebuffers[1];
  attachTexture(curveFramebuffer, GL_COLOR_ATTACHMENT0, curveTexture);
  attachTexture(smoothFramebuffer, GL_COLOR_ATTACHMENT0, smoothTexture);
}

void CurvesScene::createPrograms() {
  buildProgram(lines2Program, "shaders/lines2_v.glsl", "shaders/lines2_g.glsl", "shaders/lines2_f.glsl");
  buildProgram(discblurProgram, "shaders/discblur_v.glsl", nullptr, "shaders/discblur_f.glsl", setTex0Unit);
  buildProgram(curvesmoothProgram, "shaders/curvesmooth_v.glsl", nullptr, "shaders/curvesmooth_f.glsl", setTex0Unit);
  buildProgram(curvefinalProgram, "shaders/curvefinal_v.glsl", nullptr, "shaders/curvefinal_f.glsl",
               [](const ShaderProgram& p) {
                 setUniform1i(p, "tex0", 0);
                 setUniform1i(p, "tex1", 1);
               });
  buildProgram(greetsProgram, "shaders/greets_v.glsl", nullptr, "shaders/greets_f.glsl", setTex0Unit);
}

void CurvesScene::release() {
  // Names are only ever made by start(); a scene that never started has no GL objects.
  releaseSceneGlNames(glNames);
  curveTexture = curveFramebuffer = smoothTexture = smoothFramebuffer = noiseTexture = greetsTexture = 0;
}

// ---- the simulation ----

void CurvesScene::prepareSimulation() {
  historyIndex = 0;
  stepsRun = 0;
  for (CurvePoint2& entry : cameraHistory) entry = CurvePoint2();
  cameraOffset = CurvePoint2();
  // Fresh systems, so a second start begins the scene again rather than continuing it.
  for (CurveSystem& system : curveSystems) system = CurveSystem();
  CurveSystem& thick = curveSystems[0];
  for (Curve& curve : thick.curves) {
    curve.zScale = kThickZScale;
    curve.kind = 1;
  }
  thick.interval = kThickInterval;
  thick.stepX = kThickStepX;
  thick.stepY = 0.0f;
}

void CurvesScene::recordLookAhead() {
  const CurveSystem& thin = curveSystems[1];
  const Curve& curve = thin.curves[thin.currentInterval % kCurvesPerSystem];
  const CurvePoint3 p = curvePoint(curve, std::min(curve.progress + kLookAhead, kLastCurvePoint));
  cameraHistory[historyIndex] = {p.x, p.y};
  historyIndex = (historyIndex + 1) % kCameraHistory;
}

void CurvesScene::smoothCamera() {
  long double sumX = 0, sumY = 0, sumW = 0;
  // u = 0 is the entry just written, u = 1 the oldest, u = 255 the one before the newest.
  for (uint32_t u = 0; u < kCameraHistory; ++u) {
    const CurvePoint2& e = cameraHistory[(historyIndex + kCameraHistory - 1 + u) % kCameraHistory];
    const long double w = kCameraWindow.w[u];
    sumX += w * e.x;
    sumY += w * e.y;
    sumW += w;
  }
  const long double x = sumX / sumW, y = sumY / sumW;
  cameraOffset = {wholePixels(-x * width * 0.5L), wholePixels(-y * height * 0.5L)};
}

uint64_t curveStepTick(uint32_t step) { return static_cast<uint64_t>(step) * 1000u / kCurveStepsPerSecond; }

void CurvesScene::runStep(uint32_t step) {
  // Steps run only up to the scene's clock, a uint32 of milliseconds, so the tick fits one.
  const uint32_t tick = static_cast<uint32_t>(curveStepTick(step));
  // The same clock values the shell would store for a frame at this tick.
  const uint32_t c = tick / 10;
  const float s = static_cast<float>(tick * 0.001);
  updateCurveSystem(curveSystems[0], c, s);
  updateCurveSystem(curveSystems[1], c, s);
  recordLookAhead();
}

void CurvesScene::buildAllPoints() {
  for (CurveSystem& system : curveSystems)
    for (Curve& curve : system.curves) buildCurvePoints(curve);
}

void CurvesScene::advanceSimulation() {
  // The maker's mode jumps back in the scene without starting it again: the same steps again,
  // drawing the same values from the shared sequence.
  if (stepsRun > 0 && curveStepTick(stepsRun - 1) > milliseconds) {
    restoreDemoRand(spawnSequence);
    prepareSimulation();
  }
  // At 60 frames per second each frame runs exactly the step of its own tick; slower frames
  // catch up, faster ones may run none, and the state at a tick is the same at every rate.
  // The points, which only drawing needs, are built once from where the steps leave the shapes.
  const uint32_t stepsBefore = stepsRun;
  while (curveStepTick(stepsRun) <= milliseconds) {
    runStep(stepsRun);
    ++stepsRun;
  }
  if (stepsRun != stepsBefore) buildAllPoints();
  smoothCamera();
}

void CurvesScene::reportCounters(SceneCounters& out) const {
  out.count = 0;
  out.add("camera_x", cameraOffset.x);
  out.add("camera_y", cameraOffset.y);
  int active = 0;
  for (const CurveSystem& system : curveSystems)
    for (const Curve& curve : system.curves) active += curve.active ? 1 : 0;
  out.add("active_curves", active);
}

// ---- the frame ----

void CurvesScene::drawCurveSystem(const CurveSystem& system) {
  for (int i = 0; i < kCurvesPerSystem; ++i) {
    const uint32_t a = (system.currentInterval + 1 + i) % kCurvesPerSystem;  // oldest first
    const Curve& curve = system.curves[a];
    if (!curve.active) continue;
    const float c = 0.25f * static_cast<float>(a % 4) + 0.25f;
    setUniform4f(lines2Program, "colour", 1.0f, 1.0f, 1.0f, 1.0f);
    if (curve.kind == 0)
      setUniform4f(lines2Program, "colour", 1.0f, c, 1.0f, 1.0f);
    else
      setUniform4f(lines2Program, "colour", c, 1.0f, 1.0f, 1.0f);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, curve.points);
    glEnableVertexAttribArray(0);
    glDrawArrays(GL_LINE_STRIP, 0, static_cast<GLsizei>(std::min(curve.progress + 1, kLastCurvePoint + 1)));
    glDisableVertexAttribArray(0);
  }
}

void CurvesScene::drawGreetPatch(const GreetPatch& patch) {
  bindDrawTarget(smoothFramebuffer, width, height);
  useProgram(greetsProgram);
  const GreetUniforms u = greetPatchUniforms(patch, cameraOffset, width, height);
  setUniform4f(greetsProgram, "tex_patch", patch.uMin, patch.vMin, patch.uMax, patch.vMax);
  setUniform2f(greetsProgram, "translation", u.translation.x, u.translation.y);
  setUniform2f(greetsProgram, "scale", u.scale.x, u.scale.y);
  checkGlError(__LINE__);
  bindPassTextures(greetsTexture);
  checkGlError(__LINE__);
  drawQuadOverMaxAlpha();
  checkGlError(__LINE__);
}

void CurvesScene::render() {
  MEASURED_PASS(advanceSimulation());
  MEASURED_PASS(placeStrokes());
  for (int k = 0; k < kCurveSystems; ++k) {
    MEASURED_PASS(strokePass(curveSystems[k]));
    MEASURED_PASS(smoothingPass(k == 0));
  }
  MEASURED_PASS(greetingsPass());
  MEASURED_PASS(finalPass());
}

void CurvesScene::placeStrokes() {
  setUniform2f(lines2Program, "scale", 1.0f, 1.0f);
  setUniform2f(lines2Program, "translation", cameraOffset.x / halfOf(width), cameraOffset.y / halfOf(height));
}

void CurvesScene::strokePass(const CurveSystem& system) {
  bindDrawTarget(curveFramebuffer, width, height);
  // All channels writable before the clear: the mask lives in alpha, and the first frame
  // inherits whatever mask the previous scene left.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  disableDepth();
  // Strokes are wound either way and must be filled whatever an earlier scene left.
  glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  useProgram(lines2Program);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  // Overlapping strokes make a clean mask: the minimum alpha wins.
  glEnable(GL_BLEND);
  glBlendEquationSeparate(GL_FUNC_ADD, GL_MIN);
  glBlendFuncSeparate(GL_ONE, GL_ZERO, GL_ONE, GL_ONE);
  checkGlError(__LINE__);
  drawCurveSystem(system);
  glDisable(GL_BLEND);
}

void CurvesScene::smoothingPass(bool first) {
  bindDrawTarget(smoothFramebuffer, width, height);
  if (first) {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  useProgram(curvesmoothProgram);
  checkGlError(__LINE__);
  bindPassTextures(curveTexture);
  checkGlError(__LINE__);
  drawQuadOverMaxAlpha();
  checkGlError(__LINE__);
}

void CurvesScene::greetingsPass() {
  for (const GreetPatch& patch : kGreetPatchTable) drawGreetPatch(patch);
}

void CurvesScene::finalPass() {
  useProgram(curvefinalProgram);
  setUniform2f(curvefinalProgram, "noise_offset", -cameraOffset.x, -cameraOffset.y);
  setUniform2f(curvefinalProgram, "u_scale", static_cast<float>(width) / static_cast<float>(height), 1.0f);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glViewport(0, 0, width, height);
  // The back buffer's alpha is left alone.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  checkGlError(__LINE__);
  bindPassTextures(smoothTexture, noiseTexture);
  // The levels the final shader reads, from the picture just finished (unit 0 holds it).
  glGenerateMipmap(GL_TEXTURE_2D);
  checkGlError(__LINE__);
  drawFullscreenQuad();
  checkGlError(__LINE__);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}
