// The show's scene table: its rows give the fixed timeline, and each row makes objects of its
// own scene's class.
#include "base/noop_gl.h"
#include "show/show.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <typeinfo>

namespace {

TEST(SceneTable, RowsGiveTheTimelineThenTheEndAndMakeObjectsOfTheirOwnClass) {
  NoopGlScope noop;  // a scene's destructor releases its GL objects
  const char* names[] = {"forest", "tv", "pacman", "cubes", "curves"};
  const uint32_t starts[] = {0, 34000, 78000, 110000, 126000, 192000};
  ASSERT_EQ(kSceneCount, 5);
  Show show;
  buildDemoTimeline(show);
  EXPECT_EQ(show.position, 0);
  EXPECT_EQ(show.timeline[kSceneCount].scene, nullptr);
  std::set<std::string> classes;
  for (int i = 0; i <= kSceneCount; ++i) EXPECT_EQ(show.timeline[i].startMs, starts[i]) << i;
  for (int i = 0; i < kSceneCount; ++i) {
    const SceneRow& row = kSceneTable[i];
    EXPECT_STREQ(row.shortName, names[i]);
    EXPECT_EQ(row.startMs, starts[i]) << i;
    ASSERT_NE(*row.object, nullptr) << row.shortName;
    EXPECT_EQ(show.timeline[i].scene, *row.object) << i;
    Scene* made = row.make();
    EXPECT_NE(made, *row.object) << row.shortName;
    EXPECT_EQ(typeid(*made), typeid(**row.object)) << row.shortName;
    classes.insert(typeid(*made).name());
    delete made;
  }
  EXPECT_EQ(classes.size(), static_cast<size_t>(kSceneCount));
}

}  // namespace
