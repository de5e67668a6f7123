// The demo's command line and the strict value parsers it shares with the capture tool;
// where the installed shaders are looked for, and the folders --shaders and --tracks name.
#include "base/command_line.h"
#include "demo/demo_options.h"
#include "demo/display_check.h"
#include "render/shader_folder.h"
#include "test_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// Parses the words as a demo command line; error receives the refusal.
bool parse(std::vector<std::string> words, DemoOptions& options, std::string& error) {
  words.insert(words.begin(), "demo");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  options = DemoOptions();
  error.clear();
  return parseDemoOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(ValueParsers, OnlyPlainDigitsAreNumbers) {
  int n = -1;
  EXPECT_TRUE(parseWholeNumber("640", 1, 16384, n) && n == 640);
  EXPECT_TRUE(parseWholeNumber("1", 1, 1, n));
  for (const char* bad : {"", "+5", "-5", " 5", "5 ", "0x10", "1e3", "5.0", "99999999999", "0", "16385"})
    EXPECT_FALSE(parseWholeNumber(bad, 1, 16384, n)) << "'" << bad << "'";
  EXPECT_EQ(n, 1);  // untouched by the refusals

  double s = -1;
  EXPECT_TRUE(parseSeconds("110", 192, s) && s == 110.0);
  EXPECT_TRUE(parseSeconds("0.25", 192, s) && s == 0.25);
  EXPECT_TRUE(parseSeconds("192", 192, s));
  for (const char* bad : {"", ".5", "5.", "+1", "-0", "1e2", "0x1p3", "inf", "nan", " 1", "1 ", "192.001", "1,5", "1..2"})
    EXPECT_FALSE(parseSeconds(bad, 192, s)) << "'" << bad << "'";

  int w = 0, h = 0;
  EXPECT_TRUE(parseSize("640x360", 16384, w, h) && w == 640 && h == 360);
  for (const char* bad : {"640", "640x", "x360", "640X360", "640x360x2", "+640x360", "640x 360", "16385x10", "0x10"})
    EXPECT_FALSE(parseSize(bad, 16384, w, h)) << "'" << bad << "'";
  EXPECT_TRUE(w == 640 && h == 360);  // a refused size leaves both sides as they were
}

TEST(DemoOptions, NoOptionIsTheFullScreenShowAndEachOptionSetsItsPart) {
  DemoOptions o;
  std::string error;
  ASSERT_TRUE(parse({}, o, error));
  EXPECT_FALSE(o.window || o.seek || o.loop || o.mute || o.glInfo || o.help);
  ASSERT_TRUE(parse({"--window", "--mute"}, o, error));  // the size is optional
  EXPECT_TRUE(o.window && o.mute);
  EXPECT_EQ(std::to_string(o.width) + "x" + std::to_string(o.height), "1280x720");
  ASSERT_TRUE(parse({"--window", "640x360", "--from", "110", "--loop"}, o, error));
  EXPECT_EQ(std::to_string(o.width) + "x" + std::to_string(o.height), "640x360");
  EXPECT_TRUE(o.seek && o.loop);
  EXPECT_EQ(o.fromMs, 110000u);
  ASSERT_TRUE(parse({"--from", "0"}, o, error));
  EXPECT_TRUE(o.seek);
  ASSERT_TRUE(parse({"--from", "191.9994"}, o, error));
  EXPECT_EQ(o.fromMs, 191999u);
  ASSERT_TRUE(parse({"--gl-info", "--window", "4x4"}, o, error));
  EXPECT_TRUE(o.glInfo);
  ASSERT_TRUE(parse({"--from", "5", "--help"}, o, error));
  EXPECT_TRUE(o.help);
  // The maker's mode is windowed, 1280x720 unless a size is given.
  ASSERT_TRUE(parse({"--dev", "--from", "34", "--mute"}, o, error));
  EXPECT_TRUE(o.dev && o.window && o.mute && o.fromMs == 34000u);
  EXPECT_EQ(std::to_string(o.width) + "x" + std::to_string(o.height), "1280x720");
  ASSERT_TRUE(parse({"--window", "320x180", "--dev"}, o, error));
  EXPECT_EQ(std::to_string(o.width) + "x" + std::to_string(o.height), "320x180");
}

TEST(DemoOptions, RefusalsSayWhatIsWrongOnOneLine) {
  struct Case {
    std::vector<std::string> words;
    std::string error;
  } cases[] = {
      {{"--fullscreen"}, "unknown option --fullscreen"},
      {{"window"}, "unknown argument 'window'"},
      {{"--mute", "now"}, "unknown argument 'now'"},
      {{"--window", "640"}, "bad value for --window: '640' (expected WxH, such as 1280x720)"},
      {{"--window", "3x720"}, "--window 3x720 is too small: the scenes need at least 4 pixels a side"},
      {{"--window", "16385x720"}, "bad value for --window: '16385x720' (expected WxH, such as 1280x720)"},
      {{"--from"}, "--from needs a value in seconds"},
      {{"--from", "192"}, "bad value for --from: '192' (seconds, 0 <= S < 192)"},
      {{"--from", "191.9996"}, "bad value for --from: '191.9996' (seconds, 0 <= S < 192)"},
      {{"--from", "--loop"}, "bad value for --from: '--loop' (seconds, 0 <= S < 192)"},
      {{"--loop", "--loop"}, "--loop is given twice"},
      {{"--from", "1", "--from", "2"}, "--from is given twice"},
      {{"--window", "--window", "640x360"}, "--window is given twice"},
      {{"-h", "--help"}, "--help is given twice"},
      {{"--gl-info", "--mute"}, "--gl-info plays nothing: it does not go with --from, --loop, --mute or --dev"},
      {{"--dev", "--gl-info"}, "--gl-info plays nothing: it does not go with --from, --loop, --mute or --dev"},
      {{"--dev", "--loop"}, "--dev holds the last frame at the end of the show: it does not go with --loop"},
      {{"--dev", "--dev"}, "--dev is given twice"},
  };
  for (const Case& c : cases) {
    DemoOptions o;
    std::string error;
    EXPECT_FALSE(parse(c.words, o, error)) << c.words[0];
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(ShaderFolder, InstalledCopyIsBesideTheProgramsFolder) {
  EXPECT_EQ(installedDataFolderFor("/opt/x y/bin/demo-capture"), "/opt/x y/share/demo");
  EXPECT_EQ(installedDataFolderFor("/bin/demo"), "/share/demo");
  EXPECT_EQ(installedDataFolderFor("/demo"), "");  // no folder above the program's
  EXPECT_EQ(locateShaderFile("shadersx/a.glsl"), "shadersx/a.glsl");  // not the show's: as given
}

// --shaders names a folder that must serve at once: missing, a file or an unreadable one is
// refused with its reason; the folder named replaces shaders/ for every shader read.
TEST(ShaderFolder, TheChosenFolderIsCheckedAndReadInsteadOfShaders) {
  TempFolder folder;
  std::ofstream(folder.at("file")) << "x";
  std::string error;
  EXPECT_TRUE(checkShaderFolder(folder.path, error)) << error;
  EXPECT_FALSE(checkShaderFolder(folder.at("none").c_str(), error));
  EXPECT_EQ(error, "--shaders " + folder.at("none") + ": No such file or directory");
  EXPECT_FALSE(checkShaderFolder(folder.at("file").c_str(), error));
  EXPECT_EQ(error, "--shaders " + folder.at("file") + ": not a folder");
  EXPECT_FALSE(checkShaderFolder("", error));
  ASSERT_EQ(mkdir(folder.at("closed").c_str(), 0), 0);
  if (geteuid() != 0) {  // root reads any folder
    EXPECT_FALSE(checkShaderFolder(folder.at("closed").c_str(), error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
  }

  DemoOptions o;
  ASSERT_TRUE(parse({"--shaders", folder.path, "--window"}, o, error)) << error;
  EXPECT_EQ(o.shaders, folder.path);
  EXPECT_FALSE(parse({"--shaders", folder.at("file")}, o, error));
  EXPECT_EQ(error, "--shaders " + folder.at("file") + ": not a folder");
  EXPECT_FALSE(parse({"--shaders"}, o, error));
  EXPECT_EQ(error, "--shaders needs a folder");
  EXPECT_FALSE(parse({"--shaders", folder.path, "--shaders", folder.path}, o, error));
  EXPECT_EQ(error, "--shaders is given twice");
  EXPECT_FALSE(parse({"--gl-info", "--shaders", folder.path}, o, error));
  EXPECT_EQ(error, "--gl-info reads no shaders: it does not go with --shaders");
  // --tracks, by the same rules.
  ASSERT_TRUE(parse({"--tracks", folder.path, "--shaders", folder.path}, o, error) && o.tracks == folder.path);
  EXPECT_FALSE(parse({"--tracks", folder.at("file")}, o, error));
  EXPECT_EQ(error, "--tracks " + folder.at("file") + ": not a folder");
  EXPECT_FALSE(parse({"--gl-info", "--tracks", folder.path}, o, error));
  EXPECT_EQ(error, "--gl-info reads no tracks: it does not go with --tracks");

  useShaderFolder(std::string(folder.path) + "//");
  EXPECT_EQ(locateShaderFile("shaders/a_f.glsl"), folder.at("a_f.glsl"));
  EXPECT_EQ(shaderFolderPath(), folder.path);
  EXPECT_TRUE(shaderFolderFound());
  useShaderFolder("");  // back to shaders/ for the tests after this one
  EXPECT_EQ(locateShaderFile("shaders/a_f.glsl").find(folder.path), std::string::npos);
}

// Without a display SDL would take the terminal over; a user's own SDL_VIDEODRIVER is theirs.
TEST(DisplayCheck, ADisplayAWaylandDisplayOrAChosenDriverIsNeeded) {
  EXPECT_FALSE(displayReachable(nullptr, nullptr, nullptr));
  EXPECT_FALSE(displayReachable("", "", ""));  // set but empty names nothing
  EXPECT_TRUE(displayReachable(":0", nullptr, nullptr));
  EXPECT_TRUE(displayReachable(nullptr, "wayland-0", nullptr));
  EXPECT_TRUE(displayReachable(nullptr, nullptr, "dummy"));
  const std::string message = kNoDisplayMessage;
  EXPECT_NE(message.find("demo-capture"), std::string::npos);
  EXPECT_EQ(message.find('\n'), std::string::npos);
}

}  // namespace
