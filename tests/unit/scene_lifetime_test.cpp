// Every scene of the show frees what it creates: the whole timeline runs against a fake
// OpenGL that keeps the set of live names of each kind, and --loop's rewinds (which destroy
// the last scene; the others went at their switches) leave none live; nor do the maker's
// mode's jumps, which keep the programs for the scenes' next starts.
#include "base/noop_gl.h"
#include "fresh_scenes.h"
#include "render/shader_folder.h"
#include "render/shader_reload.h"
#include "show/replay.h"
#include "show/show.h"

#include <gtest/gtest.h>

#include <set>

namespace {

enum Kind { kTextures, kFramebuffers, kRenderbuffers, kBuffers, kSamplers, kPrograms, kShaders, kKinds };
const char* const kKindNames[kKinds] = {"textures", "framebuffers", "renderbuffers", "buffers",
                                        "samplers", "programs", "shaders"};

std::set<GLuint> live[kKinds];   // names created and not yet deleted
std::vector<std::string> faults;  // deletions of names that were not live
GLuint lastName = 0;              // names are unique across kinds, which is stricter than OpenGL
int shadersMade = 0;              // shader objects created: one per stage compiled

template <Kind kind>
void APIENTRY genNames(GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) live[kind].insert(names[i] = ++lastName);
}
template <Kind kind>
void APIENTRY deleteNames(GLsizei n, const GLuint* names) {
  for (GLsizei i = 0; i < n; ++i)  // OpenGL ignores 0
    if (names[i] != 0 && live[kind].erase(names[i]) == 0)
      faults.push_back(std::string(kKindNames[kind]) + " " + std::to_string(names[i]) + " deleted while not live");
}
template <Kind kind>
GLuint APIENTRY createOne() {
  GLuint name;
  genNames<kind>(1, &name);
  return name;
}
template <Kind kind>
void APIENTRY removeOne(GLuint name) { deleteNames<kind>(1, &name); }
GLuint APIENTRY createShader(GLenum) { return ++shadersMade, createOne<kShaders>(); }

// Live names of every kind, for an EXPECT that names what is left.
std::string liveNames() {
  std::string text;
  for (int kind = 0; kind < kKinds; ++kind)
    if (!live[kind].empty()) text += std::string(kKindNames[kind]) + " " + std::to_string(live[kind].size()) + " ";
  return text;
}

// Plays the ticks in order.
class TicksHost : public ShowHost {
 public:
  std::vector<uint32_t> ticksByFrame;
  size_t frame = 0;
  bool pollQuit() override { return false; }
  uint32_t ticks() override { return ticksByFrame[frame]; }
  void present() override { ++frame; }
};

// Plays a frame at each tick, then the show's end.
void play(Show& show, std::vector<uint32_t> ticks) {
  TicksHost host;
  host.ticksByFrame = ticks;
  host.ticksByFrame.push_back(kShowEndMs);
  EXPECT_EQ(runShow(show, host), FrameResult::Ended);
  EXPECT_EQ(host.frame, ticks.size());
}
// Two frames in each scene of the timeline.
std::vector<uint32_t> wholeShow() {
  std::vector<uint32_t> ticks;
  for (const SceneRow& row : kSceneTable) ticks.insert(ticks.end(), {row.startMs, row.startMs + 1500});
  return ticks;
}

// Every kind's entry points on the fakes, fresh scene objects and process state (whatever an
// earlier test left in the pointers), and the show's timeline at a small size.
class SceneLifetime : public ::testing::Test {
 protected:
  NoopGlScope noop;
  Show show;
  void SetUp() override {
    glGenTextures = genNames<kTextures>, glDeleteTextures = deleteNames<kTextures>;
    glGenFramebuffers = genNames<kFramebuffers>, glDeleteFramebuffers = deleteNames<kFramebuffers>;
    glGenRenderbuffers = genNames<kRenderbuffers>, glDeleteRenderbuffers = deleteNames<kRenderbuffers>;
    glGenBuffers = genNames<kBuffers>, glDeleteBuffers = deleteNames<kBuffers>;
    glGenSamplers = genNames<kSamplers>, glDeleteSamplers = deleteNames<kSamplers>;
    glCreateProgram = createOne<kPrograms>, glDeleteProgram = removeOne<kPrograms>;
    glCreateShader = createShader, glDeleteShader = removeOne<kShaders>;
    makeFreshScenes();
    buildDemoTimeline(show);
    show.width = 64, show.height = 36;
  }
};

TEST_F(SceneLifetime, EveryObjectOfARoundIsFreedAndRewindsStartAfresh) {
  const ProcessState atStart = process;
  play(show, wholeShow());
  // The show leaves the last scene alive at the end: releasing it twice frees all but its
  // programs and shaders; the rewind destroys it and the rest goes.
  show.current->release();
  show.current->release();
  for (int kind = 0; kind < kPrograms; ++kind) EXPECT_EQ(live[kind].size(), 0u) << kKindNames[kind];
  // Other random draws in between must not leak into the next round.
  process.random.state = 12345;
  rewindScenes(show, 0);
  rewindMusic(false);
  EXPECT_EQ(liveNames(), "");
  EXPECT_EQ(process.random.state, atStart.random.state);
  Scene* after[kSceneCount];
  for (int i = 0; i < kSceneCount; ++i) {
    after[i] = *kSceneTable[i].object;
    EXPECT_TRUE(after[i] && show.timeline[i].scene == after[i]) << i;
  }
  // --from 190 --loop: a round of the last scene alone, whose rewind keeps the scenes never
  // started (what the next round then shows: loop_restart; its music: demo_loop.sh).
  seekShow(show, kShowEndMs - 2000);
  play(show, {kShowEndMs - 2000, kShowEndMs - 1000});
  rewindScenes(show, kSceneCount - 1);
  rewindMusic(false);
  EXPECT_EQ(liveNames(), "");
  for (int i = 0; i < kSceneCount - 1; ++i) EXPECT_EQ(*kSceneTable[i].object, after[i]) << kSceneTable[i].shortName;
  play(show, wholeShow());
  delete show.current;  // the others went at their switches; fresh objects take their places
  for (const SceneRow& row : kSceneTable) *row.object = row.make();
  EXPECT_EQ(liveNames(), "");
  EXPECT_EQ(faults, std::vector<std::string>{});
  EXPECT_GT(lastName, 0u);  // the show did create objects
}

void APIENTRY builds(GLuint, GLenum, GLint* status) { *status = GL_TRUE; }
// The maker's jumps back and forth over scene starts, the folder watched: the programs of the
// first round are handed on, so 50 jumps later nothing more was compiled and nothing is left over.
TEST_F(SceneLifetime, TheMakersJumpsCompileNothingAgainAndLeaveTheObjectCountFlat) {
  glGetShaderiv = glGetProgramiv = builds;
  useShaderFolder(DEMO_SOURCE_DIR "/shaders");
  ASSERT_TRUE(startShaderWatch());
  const uint32_t times[] = {35000, 33000, 79000, 77000, 111000, 109000, 127000, 125000, 1000, 150000};
  TicksHost host;
  int firstEntry = 0, shadersThen = 0;
  std::string liveThen;
  for (int jump = 0; jump < 60; ++jump) {  // the first round starts every scene
    if (jump == 0) seekShow(show, times[0]), firstEntry = show.position;  // as the mode starts
    else jumpShow(show, firstEntry, times[(jump - 1) % 10], times[jump % 10]);
    host.ticksByFrame.push_back(times[jump % 10]);
    ASSERT_EQ(stepFrame(show, host), FrameResult::Rendered);
    if (jump == 9) shadersThen = shadersMade, liveThen = liveNames();
  }
  EXPECT_EQ(shadersMade, shadersThen);
  EXPECT_EQ(liveNames(), liveThen);
  stopShaderWatch();  // frees the kept programs
  useShaderFolder("");
  makeFreshScenes();
  EXPECT_EQ(liveNames(), "");
}

}  // namespace
