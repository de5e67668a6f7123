// The demo's command line and the strict value parsers it shares with the capture tool;
// where the installed shaders are looked for, and the folders --shaders and --tracks name.
#include "base/command_line.h"
#include "demo/demo_options.h"
#include "demo/display_check.h"
#include "render/shader_folder.h"
#include "test_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const std::string kShaders = DEMO_SOURCE_DIR "/shaders", kTracks = DEMO_SOURCE_DIR "/tracks";
const std::string kFile = DEMO_SOURCE_DIR "/CMakeLists.txt", kNone = DEMO_SOURCE_DIR "/no-such-folder";

// The demo's reading of the words as its command line: its refusal, else what the options ask
// for in words ("window 640x360 from 110000 loop ").
std::string outcome(std::vector<std::string> words) {
  words.insert(words.begin(), "demo");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  DemoOptions o;
  std::string error, text;
  if (!parseDemoOptions(static_cast<int>(argv.size()), argv.data(), o, error)) return error.empty() ? "refused" : error;
  if (o.window) text += "window " + std::to_string(o.width) + "x" + std::to_string(o.height) + " ";
  if (o.seek) text += "from " + std::to_string(o.fromMs) + " ";
  const std::pair<bool, const char*> flags[] = {
      {o.loop, "loop"}, {o.mute, "mute"}, {o.glInfo, "gl-info"}, {o.help, "help"}, {o.dev, "dev"}};
  for (const auto& [set, name] : flags) text += set ? std::string(name) + " " : "";
  if (!o.shaders.empty()) text += "shaders " + o.shaders + " ";
  if (!o.tracks.empty()) text += "tracks " + o.tracks + " ";
  return text;
}

TEST(ValueParsers, OnlyPlainDigitsAreNumbersAndARefusalLeavesTheValue) {
  int n = -1, w = 0, h = 0;
  EXPECT_TRUE(parseWholeNumber("640", 1, 16384, n) && n == 640 && parseWholeNumber("1", 1, 1, n));
  for (const char* bad : {"", "+5", "-5", " 5", "5 ", "0x10", "1e3", "5.0", "99999999999", "0", "16385"})
    EXPECT_FALSE(parseWholeNumber(bad, 1, 16384, n)) << "'" << bad << "'";
  EXPECT_EQ(n, 1);
  double s = -1;
  EXPECT_TRUE(parseSeconds("110", 192, s) && s == 110.0 && parseSeconds("0.25", 192, s) && s == 0.25);
  EXPECT_TRUE(parseSeconds("192", 192, s));
  for (const char* bad : {"", ".5", "5.", "+1", "-0", "1e2", "0x1p3", "inf", "nan", " 1", "1 ", "192.001", "1,5", "1..2"})
    EXPECT_FALSE(parseSeconds(bad, 192, s)) << "'" << bad << "'";
  EXPECT_TRUE(parseSize("640x360", 16384, w, h) && w == 640 && h == 360);
  for (const char* bad : {"640", "x360", "640X360", "640x360x2", "+640x360", "640x 360", "16385x10", "0x10", "320x"})
    EXPECT_FALSE(parseSize(bad, 16384, w, h)) << "'" << bad << "'";
  EXPECT_TRUE(w == 640 && h == 360);  // neither side changed
}

TEST(DemoOptions, NoOptionIsTheFullScreenShowAndEachOptionSetsItsPart) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, ""}, {{"--window", "--mute"}, "window 1280x720 mute "},  // the size is optional
      {{"--window", "640x360", "--from", "110", "--loop"}, "window 640x360 from 110000 loop "},
      {{"--from", "0"}, "from 0 "}, {{"--from", "191.9994"}, "from 191999 "},
      {{"--from", "5", "--help"}, "from 5000 help "}, {{"--gl-info", "--window", "4x4"}, "window 4x4 gl-info "},
      // The maker's mode is windowed, 1280x720 unless a size is given.
      {{"--dev", "--from", "34", "--mute"}, "window 1280x720 from 34000 mute dev "},
      {{"--window", "320x180", "--dev"}, "window 320x180 dev "},
      {{"--tracks", kTracks, "--shaders", kShaders}, "shaders " + kShaders + " tracks " + kTracks + " "},
  };
  for (const auto& [words, expected] : cases) EXPECT_EQ(outcome(words), expected);
}

TEST(DemoOptions, RefusalsSayWhatIsWrongOnOneLine) {
  const std::string glInfoPlays = "--gl-info plays nothing: it does not go with --from, --loop, --mute or --dev";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--fullscreen"}, "unknown option --fullscreen"}, {{"window"}, "unknown argument 'window'"},
      {{"--mute", "now"}, "unknown argument 'now'"}, {{"--from"}, "--from needs a value in seconds"},
      {{"--window", "640"}, "bad value for --window: '640' (expected WxH, such as 1280x720)"},
      {{"--window", "3x720"}, "--window 3x720 is too small: the scenes need at least 4 pixels a side"},
      {{"--window", "640x3"}, "--window 640x3 is too small: the scenes need at least 4 pixels a side"},
      {{"--window", "16385x720"}, "bad value for --window: '16385x720' (expected WxH, such as 1280x720)"},
      {{"--from", "192"}, "bad value for --from: '192' (seconds, 0 <= S < 192)"},
      {{"--from", "191.9996"}, "bad value for --from: '191.9996' (seconds, 0 <= S < 192)"},
      {{"--from", "--loop"}, "bad value for --from: '--loop' (seconds, 0 <= S < 192)"},
      {{"--loop", "--loop"}, "--loop is given twice"}, {{"--from", "1", "--from", "2"}, "--from is given twice"},
      {{"--window", "--window", "640x360"}, "--window is given twice"}, {{"-h", "--help"}, "--help is given twice"},
      {{"--dev", "--dev"}, "--dev is given twice"}, {{"--gl-info", "--mute"}, glInfoPlays},
      {{"--dev", "--gl-info"}, glInfoPlays},
      {{"--dev", "--loop"}, "--dev holds the last frame at the end of the show: it does not go with --loop"},
      {{"--shaders"}, "--shaders needs a folder"}, {{"--shaders", ""}, "--shaders needs a folder"},
      {{"--shaders", kNone}, "--shaders " + kNone + ": No such file or directory"},
      {{"--shaders", kFile}, "--shaders " + kFile + ": not a folder"},
      {{"--tracks", kFile}, "--tracks " + kFile + ": not a folder"},
      {{"--shaders", kShaders, "--shaders", kShaders}, "--shaders is given twice"},
      {{"--gl-info", "--shaders", kShaders}, "--gl-info reads no shaders: it does not go with --shaders"},
      {{"--gl-info", "--tracks", kTracks}, "--gl-info reads no tracks: it does not go with --tracks"},
  };
  for (const auto& [words, message] : cases) EXPECT_EQ(outcome(words), message);  // one line, as these are
}

// A folder that cannot be listed is refused too; the folder named replaces shaders/ for every
// shader read, and the installed copy is looked for beside the program's folder.
TEST(ShaderFolder, TheChosenFolderIsCheckedAndReadInsteadOfShaders) {
  TempFolder folder;
  std::string error;
  ASSERT_EQ(mkdir(folder.at("closed").c_str(), 0), 0);
  if (geteuid() != 0) {  // root reads any folder
    EXPECT_FALSE(checkShaderFolder(folder.at("closed").c_str(), error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
  }
  useShaderFolder(std::string(folder.path) + "//");
  EXPECT_EQ(locateShaderFile("shaders/a_f.glsl"), folder.at("a_f.glsl"));
  EXPECT_EQ(shaderFolderPath(), folder.path);
  EXPECT_TRUE(shaderFolderFound());
  useShaderFolder("");  // back to shaders/ for the tests after this one
  EXPECT_EQ(locateShaderFile("shaders/a_f.glsl").find(folder.path), std::string::npos);
  EXPECT_EQ(locateShaderFile("shadersx/a.glsl"), "shadersx/a.glsl");  // not the show's: as given
  EXPECT_EQ(installedDataFolderFor("/opt/x y/bin/demo-capture"), "/opt/x y/share/demo");
  EXPECT_EQ(installedDataFolderFor("/bin/demo"), "/share/demo");
  EXPECT_EQ(installedDataFolderFor("/demo"), "");  // no folder above the program's
}

// Without a display SDL would take the terminal over; a user's own SDL_VIDEODRIVER is theirs.
TEST(DisplayCheck, ADisplayAWaylandDisplayOrAChosenDriverIsNeeded) {
  EXPECT_FALSE(displayReachable(nullptr, nullptr, nullptr) || displayReachable("", "", ""));  // empty names nothing
  EXPECT_TRUE(displayReachable(":0", nullptr, nullptr) && displayReachable(nullptr, "wayland-0", nullptr) &&
              displayReachable(nullptr, nullptr, "dummy"));
}

}  // namespace
