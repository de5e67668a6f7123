// The build's check of the show's scene table (show/show.h holds the end it must stay before).
#include "show/show.h"

namespace {

// True when every row is filled (a row left out has no name) and the start times rise from 0
// to before the show's end. The pointers are left alone: a sanitized build cannot compare a
// global's address at compile time.
constexpr bool rowsInOrder(const SceneRow* rows, int count) {
  for (int i = 0; i < count; ++i) {
    const SceneRow& row = rows[i];
    if (!row.shortName || row.startMs >= kShowEndMs) return false;
    if (i == 0 ? row.startMs != 0 : row.startMs <= rows[i - 1].startMs) return false;
  }
  return true;
}

}  // namespace

static_assert(rowsInOrder(kSceneTable, kSceneCount), "start times rising from 0 to before the show's end");
