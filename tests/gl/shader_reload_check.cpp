// Live shader reload on a real driver, headless, of a scratch copy of the shader folder edited
// as a maker's editor would: an unchanged save gives the same picture (the sampler units are
// set again), a changed colour shows, a syntax error keeps the last working program and names
// its file and line, a fix by rename brings the first picture back, 50 reloads leave as many
// live program and shader objects, and a scene whose first build fails draws a stand-in until
// its file is fixed. (Bursts, deleted files, link messages, failed draws: the unit tests.)
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

std::string folder;  // the scratch copy
int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  failures += !ok;
}

std::string readText(const std::string& name) {
  std::stringstream text;
  text << std::ifstream(folder + "/" + name).rdbuf();
  return text.str();
}

// Saves in place, as most editors do, or by writing a new file and renaming it over the old.
void save(const std::string& name, const std::string& text, bool byRename = false) {
  std::string path = folder + "/" + name, written = byRename ? folder + "/." + name + ".swp" : path;
  std::ofstream(written, std::ios::trunc) << text;
  if (byRename) std::rename(written.c_str(), path.c_str());
}

// Text with the first occurrence of from replaced by to; empty when from is not there.
std::string replaced(const std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  return at == std::string::npos ? "" : text.substr(0, at) + to + text.substr(at + from.size());
}

// Polls once a frame (60 Hz, as the demo does) for up to 3 s; true when a reload happened.
bool awaitReload() {
  for (uint64_t began = monotonicMs(); monotonicMs() - began < 3000; usleep(16 * 1000))
    if (reloadChangedShaders()) return true;
  return false;
}

Picture renderAt(Scene& scene, uint32_t ms) {
  scene.setClock(ms);
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

// Every pixel is magenta, as the stand-in draws.
bool allMagenta(const Picture& picture) {
  for (size_t i = 0; i + 2 < picture.size(); i += 3)
    if (picture[i] != 255 || picture[i + 1] != 0 || picture[i + 2] != 255) return false;
  return !picture.empty();
}

// The forest: edits of the composite and depth-of-field files while its programs are live,
// then 50 reloads alternating two texts.
void checkForest(Scene& forest, const ShaderProgram& composite) {
  const std::string original = readText("composite_f.glsl");
  const std::string noRed = replaced(original, "* tint;", "* tint * vec4(0.0, 1.0, 1.0, 1.0);");
  check(!noRed.empty(), "the composite's colour line is where the check edits it");
  const Picture first = renderAt(forest, kForestMs);

  save("bokeh2_f.glsl", readText("bokeh2_f.glsl"));  // unchanged
  check(awaitReload() && renderAt(forest, kForestMs) == first, "an unchanged save rebuilds to the same picture");

  uint32_t before = composite.id;
  save("composite_f.glsl", noRed);
  check(awaitReload() && composite.id != before, "a saved colour change gives a new program");
  const Picture changed = renderAt(forest, kForestMs);
  check(changed != first, "the next frame shows the change");

  // A syntax error on line 14: the program and the picture stay, the message names file and line.
  before = composite.id;
  save("composite_f.glsl", replaced(noRed, "output0 = vec4(", "output0 = vec4(;"));
  check(awaitReload() && composite.id == before, "a syntax error keeps the last working program");
  std::printf("  lastShaderError: %s", lastShaderError().c_str());
  check(lastShaderError().find(folder + "/composite_f.glsl:14:") != std::string::npos, "the error names the file and line 14");
  check(renderAt(forest, kForestMs) == changed, "the frame stays the last good one");

  save("composite_f.glsl", original, true);
  check(awaitReload() && composite.id != before && lastShaderError().empty(), "a fix saved by rename rebuilds, the error gone");
  check(renderAt(forest, kForestMs) == first, "the picture is the first one again");

  GLuint limit = composite.id + 1000;  // names beyond any made so far, and the next rounds'
  int objects = liveGlObjects(limit), rebuilt = 0;
  for (int round = 0; round < 50; ++round) {
    save("composite_f.glsl", round % 2 ? original : noRed);
    rebuilt += awaitReload();
    renderAt(forest, kForestMs);
  }
  int after = liveGlObjects(limit);
  std::printf("  %d reloads: %d live program and shader objects before, %d after\n", rebuilt, objects, after);
  check(rebuilt == 50 && objects == after && objects > 0, "every one of 50 saves rebuilds, the live object count flat");
}

// A scene started with a broken file draws the stand-in, then its program once fixed.
void checkFirstBuild(Scene& pacman) {
  const std::string original = readText("pacman_f.glsl");
  save("pacman_f.glsl", replaced(original, "void main()", "void main("));
  usleep(100 * 1000);
  reloadChangedShaders();  // no live program reads it yet
  pacman.width = kWidth;
  pacman.height = kHeight;
  pacman.start();
  std::printf("  lastShaderError: %s", lastShaderError().c_str());
  const std::string file = folder + "/pacman_f.glsl", error = lastShaderError();
  check(error.find(file + ":") == 0 && error.find("until " + file + " builds") != std::string::npos,
        "a scene built from a broken file names its file and line, and the file the stand-in waits for");
  check(allMagenta(renderAt(pacman, 5000)), "and draws the stand-in, with no OpenGL error");
  save("pacman_f.glsl", original, true);
  check(awaitReload() && lastShaderError().empty(), "the fix rebuilds the scene's program");
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
  forrestScene->width = kWidth;
  forrestScene->height = kHeight;
  forrestScene->start();
  checkForest(*forrestScene, static_cast<ForrestScene*>(forrestScene)->compositeProgram);
  checkFirstBuild(*pacmanScene);
  stopShaderWatch();
  delete forrestScene;  // freed while the context is alive
  delete pacmanScene;
  forrestScene = pacmanScene = nullptr;
  destroyEglContext(egl);
  std::printf(failures == 0 ? "shader reload: ok\n" : "shader reload: %d FAILED\n", failures);
  return failures == 0 ? 0 : 1;
}
