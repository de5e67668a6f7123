// Live reload: the remembered programs, their rebuilds and the messages a maker sees.
#include "render/shader_reload.h"

#include "base/gl.h"
#include "base/log.h"
#include "render/shader_folder.h"
#include "render/shader_watch.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>

namespace {

// A program buildProgram made, with what it takes to make it again.
struct LiveProgram {
  ShaderProgram* program = nullptr;  // owned by its scene
  std::string paths[kShaderStages];  // vertex, geometry, fragment; "" = no such stage
  ProgramSetup setup;                // run after every build
  std::string error;                 // why the files do not build now; "" = they do
  uint64_t errorOrder = 0;           // when error was set, counted in failures
};

// The stand-in drawn while a program's first build has failed: whatever it is given, in magenta.
const char* const kStandInVertex =
    "#version 400\nin vec4 vertex;\nvoid main() { gl_Position = vertex; }\n";
const char* const kStandInFragment =
    "#version 400\nout vec4 output0;\nvoid main() { output0 = vec4(1.0, 0.0, 1.0, 1.0); }\n";

// All on the main thread. Never destroyed, so that a ShaderProgram destroyed at exit still finds it.
std::vector<LiveProgram>& livePrograms() {
  static std::vector<LiveProgram>* programs = new std::vector<LiveProgram>();
  return *programs;
}

ShaderWatcher* watcher = nullptr;  // while watching
std::string lastError;             // the message lastShaderError() gives
uint64_t failuresSeen = 0;         // orders the live programs' errors

// The remembered entry of program, or null.
LiveProgram* findLive(const ShaderProgram& program) {
  for (LiveProgram& live : livePrograms())
    if (live.program == &program) return &live;
  return nullptr;
}

// The stage paths as buildProgram takes them.
void stagePaths(const LiveProgram& live, const char* paths[kShaderStages]) {
  for (int stage = 0; stage < kShaderStages; ++stage)
    paths[stage] = live.paths[stage].empty() ? nullptr : live.paths[stage].c_str();
}

// "a_v.glsl + a_f.glsl": the program's files, for messages; as read when located.
std::string fileList(const LiveProgram& live, bool located) {
  std::string list;
  for (const std::string& path : live.paths) {
    if (path.empty()) continue;
    if (!list.empty()) list += " + ";
    list += located ? locateShaderFile(path.c_str()) : path;
  }
  return list;
}

// The file name within the shader folder of a "shaders/..." path.
std::string nameInFolder(const std::string& path) {
  std::string prefix = std::string(kShaderFolderName) + "/";
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

// Sets live's error, newest of all when it is one.
void setError(LiveProgram& live, const std::string& error) {
  live.error = error;
  if (!error.empty()) live.errorOrder = ++failuresSeen;
}

// The newest error of the live programs that still fail, or "" when every one builds.
void refreshLastError() {
  const LiveProgram* newest = nullptr;
  for (const LiveProgram& live : livePrograms())
    if (!live.error.empty() && (!newest || live.errorOrder > newest->errorOrder)) newest = &live;
  lastError = newest ? newest->error : "";
}

// Compiles the stand-in into a fresh program name.
GLuint buildStandIn() {
  const char* sources[2] = {kStandInVertex, kStandInFragment};
  const GLenum types[2] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER};
  GLuint program = glCreateProgram();
  GLuint shaders[2];
  for (int i = 0; i < 2; ++i) {
    shaders[i] = glCreateShader(types[i]);
    glShaderSource(shaders[i], 1, &sources[i], nullptr);
    glCompileShader(shaders[i]);
    glAttachShader(program, shaders[i]);
  }
  glBindAttribLocation(program, 0, "vertex");
  glBindFragDataLocation(program, 0, "output0");
  glLinkProgram(program);
  for (GLuint shader : shaders) {
    glDetachShader(program, shader);
    glDeleteShader(shader);
  }
  checkGlError(__LINE__);
  return program;
}

// The first stage file of live that is not a regular file now, as read, or "".
std::string missingFile(const LiveProgram& live) {
  for (const std::string& path : live.paths) {
    if (path.empty()) continue;
    struct stat info;
    std::string located = locateShaderFile(path.c_str());
    if (stat(located.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return located;
  }
  return "";
}

// Builds live's files into a fresh program and swaps it in when it links; on failure the
// program in use stays and the reason is kept. Returns the error ("" on success).
std::string rebuild(LiveProgram& live) {
  uint64_t began = monotonicMs();
  std::string missing = missingFile(live);
  if (!missing.empty()) {
    std::string error = missing + ": the file is gone; the last working program stays in use\n";
    logMessage("Shader reload: %s", error.c_str());
    return error;
  }
  const char* paths[kShaderStages];
  stagePaths(live, paths);
  std::string failures;
  GLuint fresh = compileProgram(paths, __LINE__, false, failures);
  if (!failures.empty()) {
    glDeleteProgram(fresh);
    checkGlError(__LINE__);
    logMessage("Shader reload of %s failed; the last working program stays in use:\n%s", fileList(live, true).c_str(),
               failures.c_str());
    return failures;
  }
  ShaderProgram& program = *live.program;
  glDeleteProgram(program.id);  // still drawn from until no longer current, then freed
  checkGlError(__LINE__);
  program.id = fresh;
  program.built = true;
  if (live.setup) live.setup(program);
  logMessage("Shader reload: rebuilt %s in %llu ms.\n", fileList(live, true).c_str(),
             static_cast<unsigned long long>(monotonicMs() - began));
  return "";
}

// Whether live reads one of files.
bool reads(const LiveProgram& live, const std::vector<std::string>& files) {
  for (const std::string& path : live.paths) {
    if (path.empty()) continue;
    std::string name = nameInFolder(path);
    for (const std::string& file : files)
      if (file == name) return true;
  }
  return false;
}

// Reads a run of decimal digits at text into number; false (text unmoved) when there is none.
bool readNumber(const char*& text, int& number) {
  if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  number = 0;
  while (std::isdigit(static_cast<unsigned char>(*text)) && number < 100000000) number = number * 10 + (*text++ - '0');
  return true;
}

// The line number in a driver's message prefix, with the text after it; false when the line
// has no prefix this knows. Mesa: "0:12(5): error: ..."; NVIDIA: "0(12) : error C0000: ...";
// others: "ERROR: 0:12: ...".
bool splitPlace(const char* line, int& lineNumber, std::string& rest) {
  const char* text = line;
  std::string kind;
  for (const char* word : {"ERROR: ", "WARNING: "}) {
    if (std::strncmp(text, word, std::strlen(word)) == 0) {
      kind = std::string(word, std::strlen(word) - 1);
      text += std::strlen(word);
    }
  }
  int source = 0;
  if (!readNumber(text, source)) return false;
  if (*text == ':') {  // "0:12(5):" or "0:12:"
    ++text;
    if (!readNumber(text, lineNumber)) return false;
    int column = 0;
    std::string place;
    if (*text == '(') {
      ++text;
      if (!readNumber(text, column) || *text != ')') return false;
      ++text;
      place = std::to_string(column) + ":";
    }
    if (*text != ':') return false;
    ++text;
    rest = place + (kind.empty() ? "" : " " + kind) + text;
    return true;
  }
  if (*text == '(') {  // "0(12) :"
    ++text;
    if (!readNumber(text, lineNumber) || *text != ')') return false;
    ++text;
    while (*text == ' ') ++text;
    if (*text != ':') return false;
    rest = std::string(kind.empty() ? "" : " " + kind) + (text + 1);
    return true;
  }
  return false;
}

// The non-empty lines of a driver's info log.
std::vector<std::string> messageLines(const char* infoLog) {
  std::vector<std::string> lines;
  const char* line = infoLog;
  while (*line) {
    const char* end = std::strchr(line, '\n');
    std::string text = end ? std::string(line, end) : std::string(line);
    line = end ? end + 1 : line + text.size();
    if (!text.empty()) lines.push_back(text);
  }
  return lines;
}

}  // namespace

std::string placeShaderMessage(const char* path, const char* infoLog) {
  std::string placed;
  for (const std::string& text : messageLines(infoLog)) {
    int lineNumber = 0;
    std::string rest;
    if (splitPlace(text.c_str(), lineNumber, rest))
      placed += std::string(path) + ":" + std::to_string(lineNumber) + ":" + rest + "\n";
    else
      placed += std::string(path) + ": " + text + "\n";
  }
  // A driver that says nothing still failed the file.
  if (placed.empty()) placed = std::string(path) + ": does not compile (the driver gives no message)\n";
  return placed;
}

std::string placeLinkMessage(const char* const paths[kShaderStages], const char* infoLog) {
  LiveProgram named;
  for (int stage = 0; stage < kShaderStages; ++stage)
    if (paths[stage]) named.paths[stage] = paths[stage];
  std::string lead = fileList(named, false) + ": link: ";
  std::string placed;
  for (const std::string& text : messageLines(infoLog)) placed += lead + text + "\n";
  if (placed.empty()) placed = lead + "failed (the driver gives no message)\n";
  return placed;
}

void rememberProgram(ShaderProgram& program, const char* const paths[kShaderStages], const ProgramSetup& setup,
                     const std::string& failures) {
  LiveProgram* live = findLive(program);
  if (!live) {
    livePrograms().emplace_back();
    live = &livePrograms().back();
    live->program = &program;
  }
  for (int stage = 0; stage < kShaderStages; ++stage) live->paths[stage] = paths[stage] ? paths[stage] : "";
  live->setup = setup;
  setError(*live, "");
  if (!watcher) return;  // the plain show draws with whatever was built, as it always has
  setError(*live, failures);
  refreshLastError();
  if (failures.empty()) return;
  // A failed program would end the show at its first draw; the stand-in keeps it going.
  glDeleteProgram(program.id);
  program.id = buildStandIn();
}

void forgetProgram(const ShaderProgram& program) {
  std::vector<LiveProgram>& programs = livePrograms();
  for (size_t i = 0; i < programs.size(); ++i) {
    if (programs[i].program != &program) continue;
    programs.erase(programs.begin() + static_cast<std::ptrdiff_t>(i));
    refreshLastError();
    return;
  }
}

bool rebuildProgramsUsing(const std::vector<std::string>& files, bool everything) {
  bool any = false;
  // A setup never builds programs, so the list does not change under the loop.
  for (LiveProgram& live : livePrograms()) {
    if (!everything && !reads(live, files)) continue;
    any = true;
    setError(live, rebuild(live));
  }
  refreshLastError();
  return any;
}

int liveProgramCount() { return static_cast<int>(livePrograms().size()); }

bool startShaderWatch() {
  stopShaderWatch();
  watcher = new ShaderWatcher();
  std::string error;
  if (watcher->open(shaderFolderPath(), error)) {
    setGlErrorsFatal(false);
    return true;
  }
  logMessage("%s; saved shaders will not be reloaded.\n", error.c_str());
  delete watcher;
  watcher = nullptr;
  return false;
}

bool reloadChangedShaders() {
  if (!watcher) return false;
  std::vector<std::string> changed;
  bool everything = false;
  if (!watcher->poll(monotonicMs(), changed, everything)) return false;
  return rebuildProgramsUsing(changed, everything);
}

const std::string& lastShaderError() { return lastError; }

void stopShaderWatch() {
  delete watcher;  // closes the inotify instance
  watcher = nullptr;
  setGlErrorsFatal(true);
}
