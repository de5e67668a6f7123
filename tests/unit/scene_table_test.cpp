// The show's scene table: its rows give the fixed timeline, and each row makes objects of its
// own scene's class.
#include "base/noop_gl.h"
#include "show/show.h"

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

}  // namespace
