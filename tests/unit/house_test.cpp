// The folders of src/ are rooms on floors (the build's DEMO_FLOORS, ground floor first): a
// file includes its own room and the rooms of the floors below, never a room beside or above
// it, and a scene's folder never another scene's. So no include runs back up and no circle of
// folders can form.
// GCC 12 at -O2 warns falsely inside libstdc++'s <regex> (its automaton's std::function).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Floors = std::map<std::string, int>;  // room -> floor, 0 the ground

// The rooms and their floors from "base|synth,render|...".
Floors parseFloors(const std::string& text) {
  Floors floors;
  std::istringstream levels(text);
  std::string level, room;
  for (int floor = 0; std::getline(levels, level, '|'); ++floor)
    for (std::istringstream rooms(level); std::getline(rooms, room, ',');) floors[room] = floor;
  return floors;
}

// The first n folders of a path ("scenes/tv/x.h", 2: "scenes/tv"); empty when it has fewer.
std::string leadingFolders(const std::string& path, int n) {
  size_t at = 0;
  for (int i = 0; i < n; ++i, ++at)
    if ((at = path.find('/', at)) == std::string::npos) return "";
  return path.substr(0, at - 1);
}

// What is wrong with the includes of the file at path (relative to src/) whose text is given;
// empty when nothing is. includes counts the quoted includes seen.
std::vector<std::string> houseFaults(const Floors& floors, const std::string& path, const std::string& text,
                                     int& includes) {
  auto own = floors.find(leadingFolders(path, 1));
  if (own == floors.end()) return {path + " is in no room"};
  std::vector<std::string> faults;
  static const std::regex directive("^[ \t]*#include \"([^\"]*)\"");
  std::istringstream lines(text);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (!std::regex_search(line, match, directive)) continue;
    ++includes;
    const std::string target = match[1], what = path + " includes " + target;
    auto other = floors.find(leadingFolders(target, 1));
    if (other == floors.end()) faults.push_back(what + ", which names no room");
    else if (other != own && other->second >= own->second) faults.push_back(what + ", a room beside or above");
    else if (own->first == "scenes" && other == own && leadingFolders(target, 2) != leadingFolders(path, 2))
      faults.push_back(what + ", another scene's");
  }
  return faults;
}

TEST(HouseRules, FloorsAndTheRuleCatchEveryWayOut) {
  const Floors floors = parseFloors("base|synth,render|scenes|show|demo,capture");
  struct Case {
    const char* path;
    const char* text;
    int faults;
  } cases[] = {
      {"base/gl.cpp", "#include \"base/gl.h\"\n#include \"base/gl_entry_points.inc\"\n#include <cstdlib>\n", 0},
      {"capture/span.cpp", "  #include \"show/show.h\"\n#include \"synth/sample_rate.h\"\n", 0},
      {"base/log.cpp", "#include \"synth/process_state.h\"\n", 1},            // up
      {"synth/voice.h", "#include \"render/scene.h\"\n", 1},                  // beside
      {"scenes/forest/a.cpp", "#include \"scenes/tv/tv_scene.h\"\n", 1},      // another scene
      {"scenes/forest/a.cpp", "#include \"scenes/forest/captions.h\"\n", 0},  // its own
      {"render/quad.cpp", "#include \"quad.h\"\n#include \"shell/gl.h\"\n", 2},  // no room named
      {"player/x.cpp", "", 1},                                                // a folder that is no room
  };
  for (const Case& c : cases) {
    int includes = 0;
    EXPECT_EQ(static_cast<int>(houseFaults(floors, c.path, c.text, includes).size()), c.faults) << c.path << ": " << c.text;
  }
}

TEST(HouseRules, NoIncludeInTheSourcesRunsUpOrAcross) {
  Floors floors = parseFloors(DEMO_FLOORS);
  ASSERT_EQ(floors.at("base"), 0);  // the foundation is the ground floor, alone
  for (const auto& [room, floor] : floors) EXPECT_TRUE(room == "base" || floor > 0) << room;

  const std::filesystem::path src = std::filesystem::path(DEMO_SOURCE_DIR) / "src";
  int files = 0, includes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
    std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".h" && extension != ".inc") continue;
    ++files;
    std::string path = entry.path().lexically_relative(src).generic_string();
    for (const std::string& fault : houseFaults(floors, path, readFile(entry.path().string()), includes))
      ADD_FAILURE() << fault;
  }
  EXPECT_GT(files, 80);
  EXPECT_GT(includes, 200);
}

}  // namespace
