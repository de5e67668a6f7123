// Every scene of the show frees what it creates: the whole timeline runs against a fake
// OpenGL that keeps the set of live names of each kind, and each scene's release() is
// called twice mid-show. New scenes on the timeline are covered without changes here.
#include "shell/noop_gl.h"
#include "shell/scenes.h"
#include "shell/show.h"
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
