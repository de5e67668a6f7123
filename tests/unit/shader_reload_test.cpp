// Live shader reload without a driver: how a folder's events become one report per burst of
// saves (editors that save in place, by renaming over, or by moving the old file aside), how
// compiler messages are given their file and line, and which remembered programs a changed
// file rebuilds, with their setup run again and the replaced or failed program freed.
#include "base/log.h"
#include "base/noop_gl.h"
#include "render/shader_folder.h"
#include "render/shader_reload.h"
#include "render/shader_watch.h"
#include "test_helpers.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

// ---- bursts on a scripted clock ----

TEST(SaveBurst, ReportsOnceQuietOrHeldTooLong) {
  SaveBurst burst;
  EXPECT_FALSE(burst.settled(0));
  burst.note("a_f.glsl", 1000);
  EXPECT_FALSE(burst.settled(1000 + kSaveQuietMs - 1));
  EXPECT_TRUE(burst.settled(1000 + kSaveQuietMs));
  // Events keep coming closer together than the quiet time: reported at the hold limit.
  burst.clear();
  for (uint64_t at = 5000; at < 5000 + kSaveHoldMaxMs; at += kSaveQuietMs / 2) {
    EXPECT_FALSE(burst.settled(at)) << at;
    burst.note("a_f.glsl", at);
  }
  EXPECT_TRUE(burst.settled(5000 + kSaveHoldMaxMs) && burst.names.size() == 1);
  // Lost events mark everything, and a cleared burst starts again from its next event.
  burst.clear();
  burst.noteEverything(9000);
  EXPECT_TRUE(burst.everything && burst.settled(9000 + kSaveQuietMs));
  burst.clear();
  EXPECT_FALSE(burst.everything || burst.settled(20000));
}

// ---- the watcher on a real folder ----

using Names = std::vector<std::string>;

class Watcher : public ::testing::Test {
 protected:
  TempFolder folder;
  FolderWatcher watcher;
  Names changed;
  bool everything = false;

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(watcher.open(folder.path, error)) << error;
  }
  void write(const std::string& name, const std::string& text) { std::ofstream(folder.at(name)) << text; }
  void move(const std::string& from, const std::string& to) {
    ASSERT_EQ(std::rename(folder.at(from).c_str(), folder.at(to).c_str()), 0);
  }
  // Polls at nowMs (the kernel queues a save's events before the call that made them returns).
  bool poll(uint64_t nowMs) {
    changed.clear();
    return watcher.poll(nowMs, changed, everything);
  }
  // The names of the burst read at atMs: not reported then, but once the folder was quiet.
  Names burstAt(uint64_t atMs) {
    EXPECT_FALSE(poll(atMs));
    EXPECT_TRUE(poll(atMs + kSaveQuietMs));
    return changed;
  }
};

TEST_F(Watcher, SavesInPlaceByRenameByBackupAndInABurstAreEachOneReport) {
  write("a_f.glsl", "one");
  EXPECT_EQ(burstAt(100), Names{"a_f.glsl"});
  EXPECT_FALSE(everything);
  EXPECT_FALSE(poll(1000));  // nothing new
  write(".a_f.glsl.swp", "two");  // written elsewhere and renamed over: reported under both names
  move(".a_f.glsl.swp", "a_f.glsl");
  EXPECT_EQ(burstAt(2000), (Names{".a_f.glsl.swp", "a_f.glsl"}));
  move("a_f.glsl", "a_f.glsl~");  // the old file moved aside first, then a new one written
  write("a_f.glsl", "three");
  EXPECT_EQ(burstAt(3000), (Names{"a_f.glsl", "a_f.glsl~"}));
  // Saves to several files and a removal: one report, once.
  for (int save = 0; save < 5; ++save) write("a_v.glsl", std::to_string(save)), write("a_f.glsl", std::to_string(save));
  ASSERT_EQ(std::remove(folder.at("a_v.glsl").c_str()), 0);
  EXPECT_EQ(burstAt(4000), (Names{"a_f.glsl", "a_v.glsl"}));
  EXPECT_FALSE(poll(4000 + 10 * kSaveQuietMs));
  // A folder made inside is no shader file.
  ASSERT_EQ(mkdir(folder.at("sub").c_str(), 0700), 0);
  EXPECT_FALSE(poll(5000) || poll(5000 + kSaveQuietMs));
}

TEST_F(Watcher, TheFolderGoingEndsTheWatchWithALogLineAndNoFolderIsWatched) {
  TempFolder logFolder;
  logOpen(logFolder.at("log.txt").c_str());
  write("a_f.glsl", "x");
  std::filesystem::remove_all(folder.path);
  ASSERT_TRUE(std::filesystem::create_directory(folder.path));
  poll(100);
  EXPECT_TRUE(watcher.folderGone);
  logClose();
  EXPECT_NE(readFile(logFolder.at("log.txt")).find("is gone"), std::string::npos);
  // A missing folder or a file is refused with a reason.
  std::string error;
  EXPECT_FALSE(watcher.open(folder.at("none"), error));
  EXPECT_TRUE(error.find(folder.at("none")) != std::string::npos && watcher.fd == -1) << error;
  write("file", "x");
  EXPECT_FALSE(watcher.open(folder.at("file"), error));
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
}

// ---- messages with their place ----

TEST(ShaderMessages, EachDriversLinePrefixBecomesFileAndLine) {
  const std::pair<const char*, const char*> logs[] = {
      {"0:14(17): error: syntax error, unexpected ';'\n", "s/a_f.glsl:14:17: error: syntax error, unexpected ';'\n"},
      {"0(12) : error C0000: syntax error\n0(13) : warning C7011: w\n",
       "s/a_f.glsl:12: error C0000: syntax error\ns/a_f.glsl:13: warning C7011: w\n"},
      {"ERROR: 0:7: 'x' : undeclared identifier\n", "s/a_f.glsl:7: ERROR: 'x' : undeclared identifier\n"},
      // A line without a known prefix keeps its text; blank lines go.
      {"\nsomething odd: 0:x\n\n", "s/a_f.glsl: something odd: 0:x\n"},
      {"0:1(2) no colon", "s/a_f.glsl: 0:1(2) no colon\n"},
  };
  for (const auto& [log, placed] : logs) EXPECT_EQ(placeShaderMessage("s/a_f.glsl", log), placed);
  EXPECT_NE(placeShaderMessage("s/a_f.glsl", "").find("s/a_f.glsl: "), std::string::npos);  // silence still fails
  const char* paths[3] = {"s/a_v.glsl", nullptr, "s/a_f.glsl"};
  EXPECT_EQ(placeLinkMessage(paths, "error: unresolved reference to function `shade'\n"),
            "s/a_v.glsl + s/a_f.glsl: link: error: unresolved reference to function `shade'\n");
}

// ---- the remembered programs, on a driver that does nothing ----

struct FakeBuilds {
  GLuint nextProgram = 100;
  std::vector<GLuint> deleted;
  GLint status = GL_TRUE;
};
FakeBuilds builds;

GLuint APIENTRY fakeCreateProgram() { return builds.nextProgram++; }
void APIENTRY fakeDeleteProgram(GLuint program) { builds.deleted.push_back(program); }
void APIENTRY fakeStatus(GLuint, GLenum, GLint* value) { *value = builds.status; }

class Remembered : public ::testing::Test {
 protected:
  NoopGlScope gl;
  TempFolder folder;
  TempFolder logFolder;
  const std::string vertex = folder.at("a_v.glsl"), fragment = folder.at("a_f.glsl"), other = folder.at("b_f.glsl");

  void SetUp() override {
    builds = FakeBuilds();
    glCreateProgram = fakeCreateProgram;
    glDeleteProgram = fakeDeleteProgram;
    glGetShaderiv = glGetProgramiv = fakeStatus;
    for (const std::string& path : {vertex, fragment, other}) std::ofstream(path) << "void main() {}\n";
    logOpen(logFolder.at("log.txt").c_str());
  }
  void TearDown() override { logClose(); }
};

TEST_F(Remembered, AChangedFileRebuildsItsProgramsAFailedOrMissingOneKeepsThemAndSaysWhy) {
  const int before = liveProgramCount();
  int setups = 0;
  {
    ShaderProgram a, b;
    buildProgram(a, vertex.c_str(), nullptr, fragment.c_str(), [&setups](const ShaderProgram&) { ++setups; });
    buildProgram(b, vertex.c_str(), nullptr, other.c_str());
    buildProgram(b, vertex.c_str(), nullptr, other.c_str());  // built again: not remembered twice
    EXPECT_EQ(liveProgramCount(), before + 2);
    EXPECT_EQ(setups, 1);
    const uint32_t oldA = a.id, oldB = b.id;
    EXPECT_TRUE(rebuildProgramsUsing({fragment}, false));
    EXPECT_TRUE(a.id != oldA && b.id == oldB && setups == 2);  // b does not read the file
    EXPECT_EQ(builds.deleted, std::vector<GLuint>{oldA});      // the replaced one is freed
    // A file they share rebuilds both; one nobody reads, none.
    EXPECT_TRUE(rebuildProgramsUsing({vertex}, false));
    EXPECT_NE(b.id, oldB);
    EXPECT_FALSE(rebuildProgramsUsing({folder.at("c_f.glsl")}, false));
    EXPECT_TRUE(lastShaderError().empty());

    const uint32_t working = a.id;
    builds.deleted.clear();
    builds.status = GL_FALSE;  // the next compile fails
    EXPECT_TRUE(rebuildProgramsUsing({fragment}, false));
    EXPECT_TRUE(a.id == working && setups == 3);
    ASSERT_EQ(builds.deleted.size(), 1u);
    EXPECT_NE(builds.deleted[0], working);  // the failed one is freed, not the working one
    EXPECT_NE(lastShaderError().find(vertex + ": "), std::string::npos) << lastShaderError();
    builds.status = GL_TRUE;
    ASSERT_EQ(std::remove(fragment.c_str()), 0);
    EXPECT_TRUE(rebuildProgramsUsing({fragment}, false));
    EXPECT_EQ(a.id, working);
    EXPECT_NE(lastShaderError().find(fragment + ": the file is gone"), std::string::npos) << lastShaderError();
    std::ofstream(fragment) << "void main() {}\n";
    EXPECT_TRUE(rebuildProgramsUsing({fragment}, false));
    EXPECT_TRUE(a.id != working && setups == 4 && lastShaderError().empty()) << lastShaderError();
  }
  EXPECT_EQ(liveProgramCount(), before);  // destroyed programs are forgotten
  EXPECT_FALSE(rebuildProgramsUsing({fragment}, false));
  logClose();
  EXPECT_NE(readFile(logFolder.at("log.txt")).find("the last working program stays in use"), std::string::npos);
}

TEST_F(Remembered, WithoutAWatchAFailedFirstBuildIsStoredAsBefore) {
  builds.status = GL_FALSE;
  ShaderProgram a;
  buildProgram(a, vertex.c_str(), nullptr, fragment.c_str());
  EXPECT_TRUE(a.id == 100u && a.built && builds.deleted.empty());  // the failed program itself, as always
  EXPECT_TRUE(lastShaderError().empty());  // nothing is kept for an overlay the plain show lacks
  EXPECT_FALSE(reloadChangedShaders());    // and nothing is watched
}

GLenum APIENTRY fakeGetError() { return GL_INVALID_OPERATION; }

// A shader that links can still fail at its draws: while watching, the error is logged once
// per place and the show goes on; without the watch it ends the process as always.
TEST_F(Remembered, GlErrorsWhileWatchingAreLoggedOncePerPlaceAndTheShowGoesOn) {
  glGetError = fakeGetError;
  useShaderFolder(folder.path);
  ASSERT_TRUE(startShaderWatch());
  for (int line : {12, 12, 13}) checkGlError(line);
  stopShaderWatch();
  useShaderFolder("");
  EXPECT_EXIT(checkGlError(14), ::testing::ExitedWithCode(1), "");
  logClose();
  EXPECT_EQ(readFile(logFolder.at("log.txt")),
            "*** Line 00012: OpenGL Error Code 0x00000502 *** (the show goes on)\n"
            "*** Line 00013: OpenGL Error Code 0x00000502 *** (the show goes on)\n"
            "*** Line 00014: OpenGL Error Code 0x00000502 ***\n");  // from the ended child
}

}  // namespace
