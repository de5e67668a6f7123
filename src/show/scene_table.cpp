// The build's check of the show's scene table (show/show.h holds the end it must stay before),
// and the reading of its rows' track files.
#include "show/scene_table.h"

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

bool loadShowTracks(std::string& error) {
  for (const SceneRow& row : kSceneTable)
    if (row.tracks && !loadTrackFile(*row.tracks, error)) return false;
  return true;
}
