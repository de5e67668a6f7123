// Entry-point loading, the version test, the fatal error check, the log and shader
// building, against fake OpenGL functions (no GPU needed).
#include "render/shader.h"
#include "shell/gl.h"
#include "shell/log.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// --- a fake driver ----------------------------------------------------------------------

GLint fakeMajor = 4, fakeMinor = 5;
GLenum fakeError = GL_NO_ERROR;
int shaderSourceCount = -1;
std::string shaderSourceText;
GLint fakeCompileStatus = GL_TRUE, fakeLinkStatus = GL_TRUE;
const char* fakeInfoLog = "";
std::vector<std::string> calls;
std::vector<std::string> fakeExtensions;

void APIENTRY fakeGetIntegerv(GLenum name, GLint* out) {
  if (name == GL_MAJOR_VERSION && fakeMajor) *out = fakeMajor;
  if (name == GL_MINOR_VERSION && fakeMajor) *out = fakeMinor;
  if (name == GL_NUM_EXTENSIONS) *out = static_cast<GLint>(fakeExtensions.size());
}
GLenum APIENTRY fakeGetError() {
  GLenum e = fakeError;
  fakeError = GL_NO_ERROR;
  return e;
}
void APIENTRY fakeShaderSource(GLuint, GLsizei count, const GLchar* const* pieces, const GLint* lengths) {
  shaderSourceCount = count;
  shaderSourceText.clear();
  for (int i = 0; i < count; ++i) shaderSourceText.append(pieces[i], lengths[i]);
}
GLuint nextName = 10;
GLuint APIENTRY fakeCreateProgram() { return 7; }
GLuint APIENTRY fakeCreateShader(GLenum type) {
  calls.push_back("create " + std::to_string(type));
  return nextName++;
}
void APIENTRY fakeCompileShader(GLuint s) { calls.push_back("compile " + std::to_string(s)); }
void APIENTRY fakeGetShaderiv(GLuint, GLenum, GLint* v) { *v = fakeCompileStatus; }
void APIENTRY fakeGetProgramiv(GLuint, GLenum, GLint* v) { *v = fakeLinkStatus; }
void APIENTRY fakeInfoLogCall(GLuint, GLsizei size, GLsizei*, GLchar* out) {
  std::strncpy(out, fakeInfoLog, size - 1);
  out[size - 1] = '\0';
}
void APIENTRY fakeAttach(GLuint, GLuint s) { calls.push_back("attach " + std::to_string(s)); }
void APIENTRY fakeDetach(GLuint, GLuint s) { calls.push_back("detach " + std::to_string(s)); }
void APIENTRY fakeDeleteShader(GLuint s) { calls.push_back("delete " + std::to_string(s)); }
void APIENTRY fakeBindAttrib(GLuint, GLuint index, const GLchar* name) {
  calls.push_back("attrib " + std::string(name) + " " + std::to_string(index));
}
void APIENTRY fakeBindFrag(GLuint, GLuint index, const GLchar* name) {
  calls.push_back("frag " + std::string(name) + " " + std::to_string(index));
}
void APIENTRY fakeLink(GLuint) { calls.push_back("link"); }
void APIENTRY fakeDeleteProgram(GLuint p) { calls.push_back("delete program " + std::to_string(p)); }

const GLubyte* APIENTRY fakeGetStringi(GLenum name, GLuint index) {
  if (name != GL_EXTENSIONS || index >= fakeExtensions.size()) return nullptr;
  return reinterpret_cast<const GLubyte*>(fakeExtensions[index].c_str());
}

std::map<std::string, void*> fakeExports() {
  return {
      {"glGetIntegerv", reinterpret_cast<void*>(fakeGetIntegerv)},
      {"glGetError", reinterpret_cast<void*>(fakeGetError)},
      {"glGetStringi", reinterpret_cast<void*>(fakeGetStringi)},
      {"glShaderSource", reinterpret_cast<void*>(fakeShaderSource)},
      {"glCreateProgram", reinterpret_cast<void*>(fakeCreateProgram)},
      {"glCreateShader", reinterpret_cast<void*>(fakeCreateShader)},
      {"glCompileShader", reinterpret_cast<void*>(fakeCompileShader)},
      {"glGetShaderiv", reinterpret_cast<void*>(fakeGetShaderiv)},
      {"glGetProgramiv", reinterpret_cast<void*>(fakeGetProgramiv)},
      {"glGetShaderInfoLog", reinterpret_cast<void*>(fakeInfoLogCall)},
      {"glGetProgramInfoLog", reinterpret_cast<void*>(fakeInfoLogCall)},
      {"glAttachShader", reinterpret_cast<void*>(fakeAttach)},
      {"glDetachShader", reinterpret_cast<void*>(fakeDetach)},
      {"glDeleteShader", reinterpret_cast<void*>(fakeDeleteShader)},
      {"glBindAttribLocation", reinterpret_cast<void*>(fakeBindAttrib)},
      {"glBindFragDataLocation", reinterpret_cast<void*>(fakeBindFrag)},
      {"glLinkProgram", reinterpret_cast<void*>(fakeLink)},
      {"glDeleteProgram", reinterpret_cast<void*>(fakeDeleteProgram)},
  };
}

std::map<std::string, void*> exportsInUse;
bool exportEverything = false;
int dummyFunction = 0;

void* fakeLookup(const char* name) {
  auto it = exportsInUse.find(name);
  if (it != exportsInUse.end()) return it->second;
  return exportEverything ? static_cast<void*>(&dummyFunction) : nullptr;
}

class FakeGl : public ::testing::Test {
 protected:
  std::string logPath;
  void SetUp() override {
    fakeMajor = 4;
    fakeMinor = 5;
    fakeError = GL_NO_ERROR;
    fakeCompileStatus = fakeLinkStatus = GL_TRUE;
    fakeInfoLog = "";
    calls.clear();
    exportsInUse = fakeExports();
    exportEverything = false;
    fakeExtensions.clear();
    logPath = folder.at("log.txt");
    logOpen(logPath.c_str());
  }
  void TearDown() override {
    logClose();
    clearGlEntryPoints();
  }
  std::string log() { return readFile(logPath); }
  // Writes a file in the test's folder and returns its path.
  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(folder.at(name)) << text;
    return folder.at(name);
  }
  TempFolder folder;
};

// --- loading and the version test ------------------------------------------------------

TEST_F(FakeGl, VersionTestAndALoaderWithoutVersionQueries) {
  const int cases[][5] = {  // driver major, minor; asked major, minor; supported
      {3, 3, 4, 0, 0}, {4, 0, 4, 0, 1}, {4, 6, 4, 0, 1}, {5, 0, 4, 0, 1}, {3, 0, 4, 0, 0},
      {4, 1, 4, 1, 1}, {4, 1, 4, 2, 0}, {4, 1, 3, 9, 1}, {4, 1, 2, 0, 0}};  // requests below 3 never pass
  for (const auto& c : cases) {
    fakeMajor = c[0];
    fakeMinor = c[1];
    ASSERT_EQ(loadGlEntryPoints(fakeLookup), 0);
    EXPECT_EQ(isGlVersionSupported(c[2], c[3]), c[4] == 1) << c[0] << "." << c[1] << " for " << c[2] << "." << c[3];
  }
  clearGlEntryPoints();
  fakeMajor = 0;  // a 2.1 driver ignores GL_MAJOR_VERSION
  EXPECT_EQ(loadGlEntryPoints(fakeLookup), -1);
  EXPECT_EQ(glMajorVersion, 0);
  exportsInUse.erase("glGetIntegerv");
  fakeMajor = 4;
  EXPECT_EQ(loadGlEntryPoints(fakeLookup), -1);
}

// A lookup by name answers for every name, so presence comes from version and extensions.
TEST_F(FakeGl, NewerFunctionsNeedTheirVersionOrExtension) {
  exportEverything = true;
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
    fakeMajor = c.major;
    fakeMinor = c.minor;
    fakeExtensions = c.extensions;
    ASSERT_EQ(loadGlEntryPoints(fakeLookup), 0);
    const char* missing = findMissingGlEntryPoint();
    EXPECT_STREQ(missing ? missing : "(none)", c.missing ? c.missing : "(none)") << c.major << "." << c.minor;
  }
  // Optional functions follow the same rule but never stop the show.
  fakeMajor = 3;
  fakeMinor = 2;
  fakeExtensions = {};
  ASSERT_EQ(loadGlEntryPoints(fakeLookup), 0);
  EXPECT_FALSE(glEntryPointAvailable("glQueryCounter"));
  fakeExtensions = {"GL_ARB_timer_query"};
  EXPECT_TRUE(glEntryPointAvailable("glQueryCounter"));
  // A pointer the lookup did not find is missing whatever the version says.
  fakeMajor = 4;
  fakeMinor = 5;
  exportsInUse["glDrawElementsInstanced"] = nullptr;
  ASSERT_EQ(loadGlEntryPoints(fakeLookup), 0);
  EXPECT_STREQ(findMissingGlEntryPoint(), "glDrawElementsInstanced");
}

// Every "glName(" in C++ text outside comments and string or character literals.
std::vector<std::string> calledGlNames(const std::string& text) {
  std::vector<std::string> names;
  auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  size_t i = 0, n = text.size();
  while (i < n) {
    if (text.compare(i, 2, "//") == 0) {
      i = text.find('\n', i);
      if (i == std::string::npos) break;
    } else if (text.compare(i, 2, "/*") == 0) {
      i = text.find("*/", i + 2);
      if (i == std::string::npos) break;
      i += 2;
    } else if (text[i] == '"' || text[i] == '\'') {
      char quote = text[i++];
      while (i < n && text[i] != quote) i += text[i] == '\\' ? 2 : 1;
      ++i;
    } else if (isWord(text[i])) {
      size_t start = i;
      while (i < n && isWord(text[i])) ++i;
      size_t after = i;
      while (after < n && std::isspace(static_cast<unsigned char>(text[after]))) ++after;
      if (i - start > 2 && text.compare(start, 2, "gl") == 0 && std::isupper(static_cast<unsigned char>(text[start + 2])) &&
          after < n && text[after] == '(')
        names.push_back(text.substr(start, i - start));
    } else {
      ++i;
    }
  }
  return names;
}

// The list the start-up check walks must name every function the code calls: a call that is
// not listed would reach a driver that lacks it. Optional functions must be on their own list.
TEST(GlEntryPointList, EveryCallInTheSourcesIsListed) {
  std::set<std::string> listed;
  for (int i = 0; i < calledGlEntryPointCount(); ++i) listed.insert(calledGlEntryPoint(i));
  for (int i = 0; i < optionalGlEntryPointCount(); ++i) listed.insert(optionalGlEntryPoint(i));
  for (const std::string& name : listed) EXPECT_TRUE(isGlEntryPointName(name.c_str())) << name << " is no entry point";

  int files = 0, calls = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(DEMO_SOURCE_DIR) + "/src")) {
    std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".h") continue;
    ++files;
    for (const std::string& name : calledGlNames(readFile(entry.path().string()))) {
      if (!isGlEntryPointName(name.c_str())) continue;  // our own gl-named helpers
      ++calls;
      EXPECT_TRUE(listed.count(name)) << name << " is called in " << entry.path() << " but not listed";
    }
  }
  EXPECT_GT(files, 20);
  EXPECT_GT(calls, 100);
}

// --- the fatal error check and the log --------------------------------------------------

TEST_F(FakeGl, ErrorCheckLogsLineAndCodeAndExitsWithFailure) {
  loadGlEntryPoints(fakeLookup);
  checkGlError(12);  // nothing pending: returns
  EXPECT_EQ(log(), "");
  EXPECT_EXIT(
      {
        fakeError = 0x0500;
        checkGlError(57);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(log(), "*** Line 00057: OpenGL Error Code 0x00000500 ***\n");
}

TEST_F(FakeGl, LogWritesFormattedTextAndSkipsWhenClosed) {
  logMessage("%s %d %%\n", "value", 42);
  EXPECT_EQ(log(), "value 42 %\n");
  logMessage("%s", "100% kept\n");  // driver text passes through unchanged
  EXPECT_EQ(log(), "value 42 %\n100% kept\n");
  logClose();
  logMessage("lost\n");
  EXPECT_FALSE(logIsOpen());
  EXPECT_EQ(log(), "value 42 %\n100% kept\n");
}

// --- shader programs ----------------------------------------------------------------------

TEST_F(FakeGl, ShaderSourceIsReadInPiecesAndCutAt1024Lines) {
  loadGlEntryPoints(fakeLookup);
  std::string small = write("small_v.glsl", "line one\nline two\n");
  loadShaderSource(1, small.c_str());
  EXPECT_EQ(shaderSourceCount, 2);
  EXPECT_EQ(shaderSourceText, "line one\nline two\n");
  EXPECT_EQ(log(), "");

  std::string text;
  for (int i = 0; i < 1500; ++i) text += "// line " + std::to_string(i) + "\n";
  std::string big = write("big_v.glsl", text);
  loadShaderSource(1, big.c_str());
  EXPECT_EQ(shaderSourceCount, kSourcePieces);
  EXPECT_EQ(shaderSourceText.find("// line 1024\n"), std::string::npos);
  EXPECT_NE(shaderSourceText.find("// line 1023\n"), std::string::npos);
  // Cutting the file is reported, not silent.
  EXPECT_NE(log().find("big_v.glsl"), std::string::npos);

  // A long line spans pieces and is joined again by the driver.
  std::string longLine(2500, 'x');
  std::string wide = write("wide_v.glsl", longLine + "\n");
  loadShaderSource(1, wide.c_str());
  EXPECT_EQ(shaderSourceCount, 3);
  EXPECT_EQ(shaderSourceText, longLine + "\n");
}

TEST_F(FakeGl, BuildWithoutGeometryStageBindsAndCleansUp) {
  loadGlEntryPoints(fakeLookup);
  nextName = 10;
  std::string v = write("ok_v.glsl", "void main(){}\n");
  ShaderProgram program;
  buildProgram(program, v.c_str(), nullptr, v.c_str());
  EXPECT_EQ(program.id, 7u);
  EXPECT_TRUE(program.built);
  std::vector<std::string> expected = {
      "create " + std::to_string(GL_VERTEX_SHADER), "create " + std::to_string(GL_FRAGMENT_SHADER),
      "compile 10", "attach 10", "compile 11", "attach 11",
      "attrib vertex 0", "attrib coord 1", "attrib normal 2",
      "frag output 0", "frag output0 0", "frag output1 1", "link",
      "detach 10", "detach 11", "delete 10", "delete 11"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(log(), "");
  calls.clear();
  deleteProgram(program);
  EXPECT_EQ(program.id, 0u);
  EXPECT_EQ(calls, std::vector<std::string>{"delete program 7"});
}

TEST_F(FakeGl, CompileAndLinkFailuresAreLoggedAndTheProgramStillStored) {
  loadGlEntryPoints(fakeLookup);
  fakeCompileStatus = GL_FALSE;
  fakeLinkStatus = GL_FALSE;
  fakeInfoLog = "0:1(1): error: 100% wrong\n";
  ShaderProgram program;
  buildProgram(program, "no/such_v.glsl", "no/such_g.glsl", "no/such_f.glsl");
  EXPECT_TRUE(program.built);
  EXPECT_EQ(program.id, 7u);
  std::string expected = std::string("Cannot open shader file no/such_v.glsl.\n") +
                         "\nVertex ShaderInfoLog: (no/such_v.glsl)\n\n" + fakeInfoLog +
                         "Cannot open shader file no/such_g.glsl.\n" +
                         "\nGeometry ShaderInfoLog: (no/such_g.glsl)\n\n" + fakeInfoLog +
                         "Cannot open shader file no/such_f.glsl.\n" +
                         "\nFragment ShaderInfoLog: (no/such_f.glsl)\n\n" + fakeInfoLog +
                         "\nProgramInfoLog: \n\n" + fakeInfoLog;
  EXPECT_EQ(log(), expected);
}

}  // namespace
