// Every scene of the show frees what it creates: the whole timeline runs against a fake
// OpenGL that keeps the set of live names of each kind, and each scene's release() is
// called twice mid-show. New scenes on the timeline are covered without changes here.
#include "scenes/cubes/cubes_scene.h"
#include "scenes/curves/curves_scene.h"
#include "scenes/forest/forest_scene.h"
#include "scenes/pacman/pacman_scene.h"
#include "scenes/tv/tv_scene.h"
#include "shell/noop_gl.h"
#include "shell/replay.h"
#include "shell/scenes.h"
#include "shell/show.h"
#include "synth/audio.h"
#include "synth/process_state.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

enum Kind { kTextures, kFramebuffers, kRenderbuffers, kBuffers, kSamplers, kPrograms, kShaders, kKinds };
const char* const kKindNames[kKinds] = {"textures", "framebuffers", "renderbuffers", "buffers",
                                        "samplers", "programs", "shaders"};

std::set<GLuint> live[kKinds];   // names created and not yet deleted
std::vector<std::string> faults;  // deletions of names that were not live
GLuint lastName = 0;              // names are unique across kinds, which is stricter than OpenGL

void create(Kind kind, GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) live[kind].insert(names[i] = ++lastName);
}
void remove(Kind kind, GLsizei n, const GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) {
    if (names[i] == 0) continue;  // OpenGL ignores 0
    if (live[kind].erase(names[i]) == 0)
      faults.push_back(std::string(kKindNames[kind]) + " " + std::to_string(names[i]) + " deleted while not live");
  }
}

void APIENTRY genTextures(GLsizei n, GLuint* names) { create(kTextures, n, names); }
void APIENTRY deleteTextures(GLsizei n, const GLuint* names) { remove(kTextures, n, names); }
void APIENTRY genFramebuffers(GLsizei n, GLuint* names) { create(kFramebuffers, n, names); }
void APIENTRY deleteFramebuffers(GLsizei n, const GLuint* names) { remove(kFramebuffers, n, names); }
void APIENTRY genRenderbuffers(GLsizei n, GLuint* names) { create(kRenderbuffers, n, names); }
void APIENTRY deleteRenderbuffers(GLsizei n, const GLuint* names) { remove(kRenderbuffers, n, names); }
void APIENTRY genBuffers(GLsizei n, GLuint* names) { create(kBuffers, n, names); }
void APIENTRY deleteBuffers(GLsizei n, const GLuint* names) { remove(kBuffers, n, names); }
void APIENTRY genSamplers(GLsizei n, GLuint* names) { create(kSamplers, n, names); }
void APIENTRY deleteSamplers(GLsizei n, const GLuint* names) { remove(kSamplers, n, names); }
GLuint APIENTRY createProgram() {
  GLuint name;
  create(kPrograms, 1, &name);
  return name;
}
void APIENTRY deleteProgram(GLuint name) { remove(kPrograms, 1, &name); }
GLuint APIENTRY createShader(GLenum) {
  GLuint name;
  create(kShaders, 1, &name);
  return name;
}
void APIENTRY deleteShader(GLuint name) { remove(kShaders, 1, &name); }

// The kinds of object that release() and the destructor must free.
const Kind kReleased[] = {kTextures, kFramebuffers, kRenderbuffers, kBuffers, kSamplers};

// Plays each timeline entry for two frames, 1.5 s apart. At the first frame of each entry it
// checks that nothing the previous scene held at its last frame is still live.
class TimelineHost : public ShowHost {
 public:
  std::vector<uint32_t> ticksByFrame;
  size_t frame = 0;
  std::set<GLuint> heldAtLastFrame;  // names live at the previous scene's last frame
  std::vector<std::string> leaks;    // what outlived the scene that held it

  bool pollQuit() override { return false; }
  uint32_t ticks() override { return ticksByFrame[frame]; }
  void present() override {
    bool firstFrameOfScene = frame % 2 == 0;
    if (firstFrameOfScene) {
      for (int kind = 0; kind < kKinds; ++kind)
        for (GLuint name : heldAtLastFrame)
          if (live[kind].count(name))
            leaks.push_back(std::string(kKindNames[kind]) + " " + std::to_string(name) + " at tick " +
                            std::to_string(ticksByFrame[frame]));
    } else {
      heldAtLastFrame.clear();
      for (const std::set<GLuint>& names : live) heldAtLastFrame.insert(names.begin(), names.end());
    }
    ++frame;
  }
};

// Points the creating and deleting entry points at the fakes above.
void installCountingGl() {
  installNoopGl();
  glGenTextures = genTextures;
  glDeleteTextures = deleteTextures;
  glGenFramebuffers = genFramebuffers;
  glDeleteFramebuffers = deleteFramebuffers;
  glGenRenderbuffers = genRenderbuffers;
  glDeleteRenderbuffers = deleteRenderbuffers;
  glGenBuffers = genBuffers;
  glDeleteBuffers = deleteBuffers;
  glGenSamplers = genSamplers;
  glDeleteSamplers = deleteSamplers;
  glCreateProgram = createProgram;
  glDeleteProgram = deleteProgram;
  glCreateShader = createShader;
  glDeleteShader = deleteShader;
}

TEST(SceneLifetime, EveryObjectCreatedOverTheShowIsDeleted) {
  installCountingGl();
  process = ProcessState();

  Show show;
  buildDemoTimeline(show);
  show.width = 64;
  show.height = 36;
  TimelineHost host;
  int scenes = 0;
  for (const TimelineEntry& entry : show.timeline) {
    host.ticksByFrame.push_back(entry.startMs);
    if (!entry.scene) break;
    ++scenes;
    host.ticksByFrame.push_back(entry.startMs + 1500);
  }
  ASSERT_EQ(scenes, 5);
  EXPECT_EQ(runShow(show, host), FrameResult::Ended);
  EXPECT_EQ(host.frame, 2u * scenes);
  EXPECT_EQ(host.leaks, std::vector<std::string>{});

  // The shell leaves the last scene alive at the end: releasing it twice frees all but its
  // programs, and destroying it frees the rest.
  show.current->release();
  show.current->release();
  for (Kind kind : kReleased) EXPECT_EQ(live[kind].size(), 0u) << kKindNames[kind];
  delete show.current;
  forrestScene = tvScene = pacmanScene = cubesScene = curvesScene = nullptr;
  for (int kind = 0; kind < kKinds; ++kind) EXPECT_EQ(live[kind].size(), 0u) << kKindNames[kind];
  EXPECT_EQ(faults, std::vector<std::string>{});
  EXPECT_GT(lastName, 0u);  // the show did create objects
  clearGlEntryPoints();
}

}  // namespace

namespace {

// --loop: a round started near the end, then a whole round, each rewound: every object of
// both rounds is freed, the used scenes get new objects, and the music and random sequence
// stand where they stood when playback first began.
TEST(SceneLifetime, RewindingAfterEachRoundFreesEverythingAndStartsAfresh) {
  installCountingGl();
  // Objects of their own, whatever an earlier test left in the pointers.
  Scene** pointers[] = {&forrestScene, &tvScene, &pacmanScene, &cubesScene, &curvesScene};
  for (Scene** pointer : pointers) delete *pointer;
  forrestScene = new ForrestScene();
  tvScene = new TVScene();
  pacmanScene = new PacmanScene();
  cubesScene = new CubesScene();
  curvesScene = new CurvesScene();
  process = ProcessState();
  prepareMusic();
  const ProcessState atStart = process;

  Show show;
  buildDemoTimeline(show);
  show.width = 64;
  show.height = 36;
  seekShow(show, 190000);
  Scene* forestBefore = forrestScene;
  Scene* tvBefore = tvScene;
  TimelineHost host;
  host.ticksByFrame = {190000, 191000, kShowEndMs};
  EXPECT_EQ(runShow(show, host), FrameResult::Ended);
  rewindScenes(show, 4);
  rewindMusic(false);
  EXPECT_EQ(forrestScene, forestBefore);  // never started: kept
  EXPECT_EQ(tvScene, tvBefore);
  for (const std::set<GLuint>& names : live) EXPECT_EQ(names.size(), 0u);
  EXPECT_EQ(process.random.state, atStart.random.state);
  EXPECT_EQ(process.synth.sampleCounter, 0);
  EXPECT_EQ(process.synth.nextEvent, 0);
  EXPECT_EQ(show.position, 0);
  EXPECT_EQ(show.current, nullptr);
  EXPECT_EQ(show.timeline[4].scene, curvesScene);

  host.frame = 0;
  host.heldAtLastFrame.clear();
  host.ticksByFrame.clear();
  for (const TimelineEntry& entry : show.timeline) {
    host.ticksByFrame.push_back(entry.startMs);
    if (entry.scene) host.ticksByFrame.push_back(entry.startMs + 1500);
  }
  EXPECT_EQ(runShow(show, host), FrameResult::Ended);
  EXPECT_EQ(host.leaks, std::vector<std::string>{});
  // Other random draws in between must not leak into the next round.
  process.random.state = 12345;
  rewindScenes(show, 0);
  rewindMusic(false);
  for (const std::set<GLuint>& names : live) EXPECT_EQ(names.size(), 0u);
  EXPECT_EQ(process.random.state, atStart.random.state);
  Scene* after[5] = {forrestScene, tvScene, pacmanScene, cubesScene, curvesScene};
  for (int i = 0; i < 5; ++i) {
    EXPECT_NE(after[i], nullptr);
    EXPECT_EQ(show.timeline[i].scene, after[i]);
    for (int j = 0; j < i; ++j) EXPECT_NE(after[i], after[j]);
  }
  EXPECT_EQ(faults, std::vector<std::string>{});

  for (Scene* scene : after) delete scene;
  forrestScene = tvScene = pacmanScene = cubesScene = curvesScene = nullptr;
  for (int kind = 0; kind < kKinds; ++kind) EXPECT_EQ(live[kind].size(), 0u) << kKindNames[kind];
  clearGlEntryPoints();
}

}  // namespace
