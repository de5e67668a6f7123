// The show's scene table: its rows give the fixed timeline, each row makes objects of its own
// scene's class, and the scripts that list the scenes by hand agree with it.
#include "base/noop_gl.h"
#include "show/show.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

TEST(SceneTable, TheTimelineIsTheRowsThenTheEnd) {
  const std::vector<std::pair<std::string, uint32_t>> expected = {
      {"forest", 0}, {"tv", 34000}, {"pacman", 78000}, {"cubes", 110000}, {"curves", 126000}};
  ASSERT_EQ(static_cast<size_t>(kSceneCount), expected.size());
  Show show;
  buildDemoTimeline(show);
  for (int i = 0; i < kSceneCount; ++i) {
    EXPECT_EQ(kSceneTable[i].shortName, expected[i].first) << i;
    EXPECT_EQ(kSceneTable[i].startMs, expected[i].second) << i;
    EXPECT_EQ(show.timeline[i].scene, *kSceneTable[i].object) << i;
    EXPECT_EQ(show.timeline[i].startMs, expected[i].second) << i;
  }
  EXPECT_EQ(kTimelineEntries, kSceneCount + 1);
  EXPECT_EQ(show.timeline[kSceneCount].scene, nullptr);
  EXPECT_EQ(show.timeline[kSceneCount].startMs, 192000u);
  EXPECT_EQ(show.position, 0);
}

TEST(SceneTable, EachRowMakesObjectsOfItsOwnScenesClass) {
  NoopGlScope noop;  // a scene's destructor releases its GL objects
  std::set<std::string> classes;
  for (const SceneRow& row : kSceneTable) {
    ASSERT_NE(*row.object, nullptr) << row.shortName;
    Scene* made = row.make();
    EXPECT_NE(made, *row.object) << row.shortName;
    EXPECT_EQ(typeid(*made), typeid(**row.object)) << row.shortName;
    classes.insert(typeid(*made).name());
    delete made;
  }
  EXPECT_EQ(classes.size(), static_cast<size_t>(kSceneCount));
}

// The text of line `key...` in text between key and the first of `end` after it; empty when absent.
std::string valueAfter(const std::string& text, const std::string& key, char end) {
  size_t at = text.find("\n" + key);
  if (at == std::string::npos) return "";
  at += key.size() + 1;
  return text.substr(at, text.find(end, at) - at);
}

// The words of text split at any of separators, empty ones dropped.
std::vector<std::string> words(const std::string& text, const std::string& separators) {
  std::vector<std::string> out;
  std::string word;
  for (char c : text + separators[0]) {
    if (separators.find(c) == std::string::npos) {
      word += c;
    } else if (!word.empty()) {
      out.push_back(word);
      word.clear();
    }
  }
  return out;
}

// The row whose slot (its start to the next row's, or the end) holds show time ms; -1 outside.
int rowAt(double ms) {
  for (int i = kSceneCount - 1; i >= 0; --i)
    if (ms >= kSceneTable[i].startMs) return ms < kShowEndMs ? i : -1;
  return -1;
}

// The scripts list the scenes or times inside them by hand, for bash; a new row must reach them.
TEST(SceneTable, ScriptsThatListTheScenesAgreeWithTheTable) {
  std::vector<std::string> names;
  for (const SceneRow& row : kSceneTable) names.push_back(row.shortName);
  const std::string root = DEMO_SOURCE_DIR;

  // The sanitized capture: a time inside every scene, and the frames it then looks for.
  std::string sanitizer = readFile(root + "/tests/sanitizers/capture_every_scene.sh");
  std::vector<std::string> times = words(valueAfter(sanitizer, "times=\"", '"'), ",");
  std::vector<std::string> frames = words(valueAfter(sanitizer, "for ms in ", ';'), " ");
  ASSERT_FALSE(times.empty());
  std::set<int> covered;
  for (size_t i = 0; i < times.size(); ++i) {
    double ms = std::stod(times[i]) * 1000;
    covered.insert(rowAt(ms));
    EXPECT_EQ(i < frames.size() ? frames[i] : "", std::to_string(static_cast<long>(ms))) << times[i];
  }
  EXPECT_EQ(frames.size(), times.size());
  for (int i = 0; i < kSceneCount; ++i) EXPECT_TRUE(covered.count(i)) << names[i] << " has no time in capture_every_scene.sh";
  EXPECT_FALSE(covered.count(-1)) << "a time past the show in capture_every_scene.sh";

  // The GPU check: each scene by name with a stretch starting inside it, and its test's list.
  std::string gpuCheck = readFile(root + "/tools/gpu_check.sh");
  EXPECT_EQ(words(valueAfter(gpuCheck, "scenes=(", ')'), " "), names);
  std::vector<std::string> starts = words(valueAfter(gpuCheck, "starts=(", ')'), " ");
  ASSERT_EQ(starts.size(), names.size());
  for (int i = 0; i < kSceneCount; ++i) EXPECT_EQ(rowAt(std::stod(starts[i]) * 1000), i) << starts[i];
  std::string gpuCheckTest = readFile(root + "/tests/integration/gpu_check_quick.sh");
  EXPECT_EQ(words(valueAfter(gpuCheckTest, "for scene in ", ';'), " "), names);
}

}  // namespace
