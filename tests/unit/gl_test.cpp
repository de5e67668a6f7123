// Entry-point loading, the version test, the list of called functions and shader building
// with its log, against fake OpenGL functions (no GPU needed).
// GCC 12 at -O2 warns falsely inside libstdc++'s <regex> (its automaton's std::function).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "base/gl.h"
#include "base/log.h"
#include "base/noop_gl.h"
#include "render/shader.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the fake driver reports, and what it was asked.
struct Driver {
  GLint major = 4, minor = 5;
  GLint buildStatus = GL_TRUE;  // of every compile and link
  const char* infoLog = "";
  std::vector<std::string> extensions;
  int sourcePieces = -1;   // of the last glShaderSource
  std::string sourceText;  // its pieces joined
} driver;

void APIENTRY fakeGetIntegerv(GLenum name, GLint* out) {
  if (name == GL_MAJOR_VERSION) *out = driver.major;
  if (name == GL_MINOR_VERSION) *out = driver.minor;
  if (name == GL_NUM_EXTENSIONS) *out = static_cast<GLint>(driver.extensions.size());
}
const GLubyte* APIENTRY fakeGetStringi(GLenum name, GLuint index) {
  if (name != GL_EXTENSIONS || index >= driver.extensions.size()) return nullptr;
  return reinterpret_cast<const GLubyte*>(driver.extensions[index].c_str());
}
void APIENTRY fakeShaderSource(GLuint, GLsizei count, const GLchar* const* pieces, const GLint* lengths) {
  driver.sourcePieces = count;
  driver.sourceText.clear();
  for (int i = 0; i < count; ++i) driver.sourceText.append(pieces[i], lengths[i]);
}
GLuint APIENTRY fakeCreateProgram() { return 7; }
void APIENTRY fakeGetStatus(GLuint, GLenum, GLint* v) { *v = driver.buildStatus; }
void APIENTRY fakeInfoLogCall(GLuint, GLsizei size, GLsizei*, GLchar* out) { snprintf(out, size, "%s", driver.infoLog); }

// The lookup finds every name (pointers to a dummy) but the ones set in exportsInUse.
std::map<std::string, void*> exportsInUse;
int dummyFunction = 0;
void* fakeLookup(const char* name) {
  auto it = exportsInUse.find(name);
  return it != exportsInUse.end() ? it->second : static_cast<void*>(&dummyFunction);
}

class FakeGl : public ::testing::Test {
 protected:
  TempFolder folder;
  std::string logPath = folder.at("log.txt");
  void SetUp() override {
    driver = Driver();
    exportsInUse = {{"glGetIntegerv", reinterpret_cast<void*>(fakeGetIntegerv)},
                    {"glGetStringi", reinterpret_cast<void*>(fakeGetStringi)}};
    logOpen(logPath.c_str());
    // The do-nothing driver with the fakes the shader tests watch; loading replaces it all.
    installNoopGl();
    glShaderSource = fakeShaderSource;
    glCreateProgram = fakeCreateProgram;
    glGetShaderiv = glGetProgramiv = fakeGetStatus;
    glGetShaderInfoLog = glGetProgramInfoLog = fakeInfoLogCall;
  }
  void TearDown() override { logClose(), clearGlEntryPoints(); }
  // Writes the text as a file of that name and hands it to loadShaderSource; what the driver got.
  std::string load(const std::string& name, const std::string& text) {
    std::ofstream(folder.at(name)) << text;
    loadShaderSource(1, folder.at(name).c_str());
    return driver.sourceText;
  }
  // Loads the entry points from a driver of that version and extensions.
  void loadFrom(int major, int minor, std::vector<std::string> extensions) {
    driver.major = major, driver.minor = minor, driver.extensions = extensions;
    ASSERT_EQ(loadGlEntryPoints(fakeLookup), 0);
  }
};

// A lookup by name answers for every name, so presence comes from version and extensions.
TEST_F(FakeGl, NewerFunctionsNeedTheirVersionOrExtension) {
  struct Case {
    int major, minor;
    std::vector<std::string> extensions;
    const char* missing;  // null: the driver may play
  } cases[] = {
      {4, 5, {}, nullptr},
      {4, 2, {}, nullptr},
      {4, 1, {}, "glTexStorage2D"},
      {4, 1, {"GL_ARB_texture_storage"}, nullptr},
      {4, 0, {"GL_ARB_texture_storage"}, "glProgramUniform1i"},
      {4, 0, {"GL_ARB_texture_storage_multisample", "GL_ARB_separate_shader_objects"}, "glTexStorage2D"},
      {4, 0, {"GL_ARB_separate_shader_objects", "GL_ARB_texture_storage"}, nullptr},
  };
  for (const Case& c : cases) {
    loadFrom(c.major, c.minor, c.extensions);
    const char* missing = findMissingGlEntryPoint();
    EXPECT_STREQ(missing ? missing : "(none)", c.missing ? c.missing : "(none)") << c.major << "." << c.minor;
  }
  // Optional functions follow the same rule but never stop the show.
  loadFrom(3, 2, {});
  EXPECT_FALSE(glEntryPointAvailable("glGetQueryObjectui64v"));
  driver.extensions = {"GL_ARB_timer_query"};
  EXPECT_TRUE(glEntryPointAvailable("glGetQueryObjectui64v"));
  // A pointer the lookup did not find is missing whatever the version says.
  exportsInUse["glDrawElementsInstanced"] = nullptr;
  loadFrom(4, 5, {});
  EXPECT_STREQ(findMissingGlEntryPoint(), "glDrawElementsInstanced");
}

// The list the start-up check walks must name every function the code calls: a call that is
// not listed would reach a driver that lacks it. Optional functions must be on their own list.
TEST(GlEntryPointList, EveryCallInTheSourcesIsListed) {
  std::set<std::string> listed;
  for (int i = 0; i < calledGlEntryPointCount(); ++i) listed.insert(calledGlEntryPoint(i));
  for (int i = 0; i < optionalGlEntryPointCount(); ++i) listed.insert(optionalGlEntryPoint(i));
  for (const std::string& name : listed) EXPECT_TRUE(isGlEntryPointName(name.c_str())) << name << " is no entry point";

  // Every "glName(" outside // comments (the sources have no other kind; a string naming a
  // call would only make the test stricter).
  const std::regex comment("//.*"), call("(^|[^A-Za-z0-9_])(gl[A-Z][A-Za-z0-9_]*)[ \t]*\\(");
  int files = 0, callSites = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(DEMO_SOURCE_DIR) + "/src")) {
    std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".h") continue;
    ++files;
    const std::string text = std::regex_replace(readFile(entry.path().string()), comment, "");
    for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
      const std::string name = (*it)[2];
      if (!isGlEntryPointName(name.c_str())) continue;  // our own gl-named helpers
      ++callSites;
      EXPECT_TRUE(listed.count(name)) << name << " is called in " << entry.path() << " but not listed";
    }
  }
  EXPECT_GT(files, 20);
  EXPECT_GT(callSites, 100);
}

TEST_F(FakeGl, ShaderSourceIsReadInPiecesAndCutAt1024Lines) {
  EXPECT_EQ(load("small_v.glsl", "line one\nline two\n"), "line one\nline two\n");
  EXPECT_EQ(driver.sourcePieces, 2);
  EXPECT_EQ(readFile(logPath), "");

  std::string text;
  for (int i = 0; i < 1500; ++i) text += "// line " + std::to_string(i) + "\n";
  EXPECT_EQ(load("big_v.glsl", text), text.substr(0, text.find("// line 1024\n")));
  EXPECT_EQ(driver.sourcePieces, kSourcePieces);
  // Cutting the file is reported, not silent.
  EXPECT_NE(readFile(logPath).find("big_v.glsl"), std::string::npos);

  // A long line spans pieces and is joined again by the driver.
  std::string longLine(2500, 'x');
  EXPECT_EQ(load("wide_v.glsl", longLine + "\n"), longLine + "\n");
  EXPECT_EQ(driver.sourcePieces, 3);
}

TEST_F(FakeGl, CompileAndLinkFailuresAreLoggedAndTheProgramStillStored) {
  driver.buildStatus = GL_FALSE;
  driver.infoLog = "0:1(1): error: 100% wrong\n";
  ShaderProgram program;
  buildProgram(program, "no/such_v.glsl", "no/such_g.glsl", "no/such_f.glsl");
  EXPECT_TRUE(program.built);
  EXPECT_EQ(program.id, 7u);
  std::string expected;
  const std::pair<const char*, const char*> stages[] = {{"Vertex", "v"}, {"Geometry", "g"}, {"Fragment", "f"}};
  for (const auto& stage : stages) {
    const std::string file = std::string("no/such_") + stage.second + ".glsl";
    expected += "Cannot open shader file " + file + ".\n\n" + stage.first + " ShaderInfoLog: (" + file + ")\n\n" + driver.infoLog;
  }
  EXPECT_EQ(readFile(logPath), expected + "\nProgramInfoLog: \n\n" + driver.infoLog);
}

}  // namespace
