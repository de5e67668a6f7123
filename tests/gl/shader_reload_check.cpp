// Live shader reload on a real driver, headless: builds the forest's and Pacman's programs
// from a scratch copy of the shader folder, edits the copy as a maker's editor would, and
// checks the programs and pictures after each save: a changed colour shows, an unchanged save
// gives the same picture (the sampler units are set again), a syntax error keeps the last
// working program and names its file and line, a fix by rename brings the change back, a
// deleted file keeps the program, a burst of saves rebuilds once, a scene whose first build
// fails draws a stand-in until its file is fixed, and 50 reloads leave as many live program
// and shader objects as before. Prints the time from each save to the rebuilt program.
// Usage: shader_reload_check SCRATCH_SHADER_FOLDER   (the folder is edited and left edited)
#include "base/gl.h"
#include "base/log.h"
#include "capture/offscreen.h"
#include "render/shader_folder.h"
#include "render/shader_reload.h"
#include "render/shader_watch.h"
#include "scenes/forest/forest_scene.h"
#include "scenes/pacman/pacman_scene.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Picture = std::vector<uint8_t>;

constexpr int kWidth = 96;
constexpr int kHeight = 54;
constexpr uint32_t kForestMs = 20000;  // scene time of the compared forest frame
constexpr uint64_t kFrameMs = 16;      // how often the check polls, as a 60 Hz demo does
constexpr uint64_t kGiveUpMs = 3000;   // a reload later than this counts as none
constexpr int kReloadRounds = 50;

std::string folder;  // the scratch copy
int failures = 0;
std::vector<uint64_t> latencies;  // save to rebuilt program, ms
std::vector<uint64_t> firstFrames;  // the frame after a reload, ms: the driver finishes compiling there
std::vector<uint64_t> steadyFrames;  // a frame with nothing reloaded, ms

void check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  failures += !ok;
}

std::string readText(const std::string& name) {
  std::ifstream in(folder + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Saves in place, as most editors do.
void saveInPlace(const std::string& name, const std::string& text) {
  std::ofstream(folder + "/" + name, std::ios::trunc) << text;
}

// Saves by writing a new file and renaming it over the old one.
void saveByRename(const std::string& name, const std::string& text) {
  std::string temporary = folder + "/." + name + ".swp";
  std::ofstream(temporary, std::ios::trunc) << text;
  std::rename(temporary.c_str(), (folder + "/" + name).c_str());
}

// Text with the first occurrence of from replaced by to; empty when from is not there.
std::string replaced(const std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at == std::string::npos) return "";
  return text.substr(0, at) + to + text.substr(at + from.size());
}

// Polls once a frame until a reload happens; the time it took from now, or -1 without one.
int64_t awaitReload() {
  uint64_t began = monotonicMs();
  while (monotonicMs() - began < kGiveUpMs) {
    if (reloadChangedShaders()) {
      latencies.push_back(monotonicMs() - began);
      return static_cast<int64_t>(latencies.back());
    }
    usleep(kFrameMs * 1000);
  }
  return -1;
}

// True when nothing is reloaded over the next few frames.
bool quietAfter() {
  for (int frame = 0; frame < 20; ++frame) {
    if (reloadChangedShaders()) return false;
    usleep(kFrameMs * 1000);
  }
  return true;
}

// Prints the median and the slowest of the times.
void report(const char* what, std::vector<uint64_t> times) {
  if (times.empty()) return;
  std::sort(times.begin(), times.end());
  std::printf("%s: median %llu ms, slowest %llu ms, %zu times\n", what,
              static_cast<unsigned long long>(times[times.size() / 2]), static_cast<unsigned long long>(times.back()),
              times.size());
}

Picture renderAt(Scene& scene, uint32_t ms) {
  scene.milliseconds = ms;
  scene.centiseconds = ms / 10;
  scene.seconds = static_cast<float>(ms * 0.001);
  scene.render();
  Picture picture;
  readFrame(kWidth, kHeight, picture);
  return picture;
}

// Live program and shader objects among the names up to limit: nothing current, so that a
// program deleted while in use is gone too.
int liveGlObjects(GLuint limit) {
  glUseProgram(0);
  int count = 0;
  for (GLuint name = 1; name <= limit; ++name) count += (glIsProgram(name) == GL_TRUE) + (glIsShader(name) == GL_TRUE);
  return count;
}

// A pixel of the picture is magenta, as the stand-in draws.
bool allMagenta(const Picture& picture) {
  for (size_t i = 0; i + 2 < picture.size(); i += 3)
    if (picture[i] != 255 || picture[i + 1] != 0 || picture[i + 2] != 255) return false;
  return !picture.empty();
}

// The forest: edits of the composite and depth-of-field files, while its programs are live.
void checkForest(Scene& forest, const ShaderProgram& composite) {
  const std::string original = readText("composite_f.glsl");
  const std::string noRed = replaced(original, "* tint;", "* tint * vec4(0.0, 1.0, 1.0, 1.0);");
  check(!noRed.empty(), "the composite's colour line is where the check edits it");
  const Picture first = renderAt(forest, kForestMs);

  // Unchanged text saved again: rebuilt, and the same picture, so the three sampler units were set again.
  saveInPlace("bokeh2_f.glsl", readText("bokeh2_f.glsl"));
  check(awaitReload() >= 0, "an unchanged save rebuilds");
  check(renderAt(forest, kForestMs) == first, "after rebuilding, the picture is the same (units set again)");

  uint32_t before = composite.id;
  saveInPlace("composite_f.glsl", noRed);
  check(awaitReload() >= 0 && composite.id != before, "a saved colour change gives a new program");
  const Picture changed = renderAt(forest, kForestMs);
  check(changed != first, "the next frame shows the change");

  // A syntax error on line 14 of the file: the program stays, the message names file and line.
  std::string broken = replaced(noRed, "output0 = vec4(", "output0 = vec4(;");
  before = composite.id;
  saveInPlace("composite_f.glsl", broken);
  check(awaitReload() >= 0, "a save with a syntax error is reported");
  check(composite.id == before, "the last working program stays");
  std::printf("  lastShaderError: %s", lastShaderError().c_str());
  check(lastShaderError().find(folder + "/composite_f.glsl:14:") != std::string::npos,
        "the error names the file and line 14");
  check(renderAt(forest, kForestMs) == changed, "the frame stays the last good one");

  // The fix, saved by rename: the original text, the original picture, no error.
  saveByRename("composite_f.glsl", original);
  check(awaitReload() >= 0 && composite.id != before, "a fix saved by rename rebuilds");
  check(lastShaderError().empty(), "the error is gone once the file builds");
  check(renderAt(forest, kForestMs) == first, "the picture is the first one again");

  // A link error: a function declared and called but never defined.
  std::string unlinked = replaced(original, "void main()", "vec4 shade(vec4 c);\nvoid main()");
  unlinked = replaced(unlinked, "* tint;", "* shade(tint);");
  before = composite.id;
  saveInPlace("composite_f.glsl", unlinked);
  check(awaitReload() >= 0 && composite.id == before, "a link failure keeps the program");
  std::printf("  lastShaderError: %s", lastShaderError().c_str());
  check(lastShaderError().find("composite_f.glsl") != std::string::npos &&
            lastShaderError().find("link") != std::string::npos,
        "a link failure names the program's files");
  saveInPlace("composite_f.glsl", original);
  check(awaitReload() >= 0 && lastShaderError().empty(), "and is cleared by the fix");

  // A new sampler of another type left on unit 0 links, then fails at the draw: logged, and
  // the show goes on (this check would end here otherwise).
  saveInPlace("composite_f.glsl", replaced(replaced(original, "uniform float darken;", "uniform float darken;\nuniform sampler3D extra;"),
                                           "* tint;", "* tint + texture(extra, vec3(uv, 0.0));"));
  check(awaitReload() >= 0 && lastShaderError().empty(), "a sampler that conflicts at the draw links");
  renderAt(forest, kForestMs);
  saveInPlace("composite_f.glsl", original);
  check(awaitReload() >= 0, "the show went on past the failed draw");
  check(renderAt(forest, kForestMs) == first, "and draws as before once the file is back");

  // A deleted file keeps the program and says so; writing it back clears it.
  const std::string bokeh = readText("bokeh_f.glsl");
  std::remove((folder + "/bokeh_f.glsl").c_str());
  check(awaitReload() >= 0, "a deleted file is reported");
  check(lastShaderError().find("bokeh_f.glsl") != std::string::npos &&
            lastShaderError().find("gone") != std::string::npos,
        "the error says the file is gone");
  check(renderAt(forest, kForestMs) == first, "the picture is unchanged without the file");
  saveInPlace("bokeh_f.glsl", bokeh);
  check(awaitReload() >= 0 && lastShaderError().empty(), "the file back clears the error");

  // A burst: a backup move, a rewrite and two saves in a row make one rebuild.
  before = composite.id;
  std::rename((folder + "/composite_f.glsl").c_str(), (folder + "/composite_f.glsl~").c_str());
  saveInPlace("composite_f.glsl", noRed);
  saveByRename("composite_f.glsl", noRed);
  saveInPlace("composite_f.glsl", noRed);
  check(awaitReload() >= 0 && composite.id != before, "a burst of saves rebuilds");
  check(quietAfter(), "once");
  check(renderAt(forest, kForestMs) == changed, "to the burst's last text");
  saveInPlace("composite_f.glsl", original);
  check(awaitReload() >= 0, "and back");
}

// 50 reloads, alternating texts, leave the live object count where it was.
void checkObjectCount(Scene& forest, const ShaderProgram& composite) {
  const std::string original = readText("composite_f.glsl");
  const std::string noRed = replaced(original, "* tint;", "* tint * vec4(0.0, 1.0, 1.0, 1.0);");
  renderAt(forest, kForestMs);
  GLuint limit = composite.id + 1000;  // names beyond any made so far, and the next rounds'
  int before = liveGlObjects(limit);
  int rebuilt = 0;
  for (int round = 0; round < kReloadRounds; ++round) {
    saveInPlace("composite_f.glsl", round % 2 ? original : noRed);
    rebuilt += awaitReload() >= 0;
    uint64_t began = monotonicMs();
    renderAt(forest, kForestMs);  // reads the frame back: the driver has finished it
    firstFrames.push_back(monotonicMs() - began);
    began = monotonicMs();
    renderAt(forest, kForestMs);
    steadyFrames.push_back(monotonicMs() - began);
  }
  int after = liveGlObjects(limit);
  std::printf("  %d reloads: %d live program and shader objects before, %d after; highest name %u\n", rebuilt,
              before, after, composite.id);
  check(rebuilt == kReloadRounds, "every one of the 50 saves rebuilds");
  check(before == after && before > 0, "the live object count is flat over 50 reloads");
}

// A scene started with a broken file draws the stand-in, then its program once fixed.
void checkFirstBuild(Scene& pacman) {
  const std::string original = readText("pacman_f.glsl");
  saveInPlace("pacman_f.glsl", replaced(original, "void main()", "void main("));
  usleep(100 * 1000);
  reloadChangedShaders();  // no live program reads it yet
  pacman.width = kWidth;
  pacman.height = kHeight;
  pacman.start();
  std::printf("  lastShaderError: %s", lastShaderError().c_str());
  const std::string file = folder + "/pacman_f.glsl";
  check(lastShaderError().find(file + ":") == 0 && lastShaderError().find("until " + file + " builds") != std::string::npos,
        "a scene built from a broken file names its file and line, and the file the stand-in waits for");
  check(allMagenta(renderAt(pacman, 5000)), "and draws the stand-in, with no OpenGL error");
  saveByRename("pacman_f.glsl", original);
  check(awaitReload() >= 0 && lastShaderError().empty(), "the fix rebuilds the scene's program");
  check(!allMagenta(renderAt(pacman, 5000)), "and the scene draws itself");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shader_reload_check SCRATCH_SHADER_FOLDER\n");
    return 2;
  }
  folder = argv[1];
  logAttach(stderr);
  useShaderFolder(folder);
  EglContext egl;
  if (!startOffscreenOpenGl(egl, kWidth, kHeight)) return 1;
  check(startShaderWatch(), "the scratch folder is watched");

  Scene* forest = forrestScene;
  forest->width = kWidth;
  forest->height = kHeight;
  forest->start();
  const ShaderProgram& composite = static_cast<ForrestScene*>(forest)->compositeProgram;
  checkForest(*forest, composite);
  checkObjectCount(*forest, composite);
  checkFirstBuild(*pacmanScene);

  report("save to rebuilt program (polled every 16 ms)", latencies);
  report("the frame after a reload", firstFrames);
  report("a frame with nothing reloaded", steadyFrames);
  stopShaderWatch();
  delete forrestScene;  // freed while the context is alive
  delete pacmanScene;
  forrestScene = pacmanScene = nullptr;
  destroyEglContext(egl);
  std::printf(failures == 0 ? "shader reload: ok\n" : "shader reload: %d FAILED\n", failures);
  return failures == 0 ? 0 : 1;
}
