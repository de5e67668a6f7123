// The maker's mode's tracks: the track folder watched as the shader folder is, a saved file
// read again and the current scene's tracks refilled before its next frame (a file that does
// not read keeps the last good keys); keys added, removed and set from the picture and the
// panel and written back to their files at once through TrackDocument, with undo; and the
// camera held by the mouse, the picture following at once, until K keys it.
#pragma once

#include "base/track_document.h"
#include "render/scene.h"
#include "render/shader_watch.h"
#include "show/scene_table.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kSessionUndoDepth = kSceneCount * kTrackUndoDepth;  // edits Ctrl+Z reaches, all files together

// The camera as the maker's mouse holds it: its tracks' values while it acts.
struct CameraHold {
  bool active = false;
  int entry = -1;                  // the timeline entry of the scene it holds
  uint32_t frameMs = 0;            // the frame it holds; another frame with no button held lets it go
  bool buttonDown = false;         // a mouse button is held on the picture
  Vec3 values[kMaxTracksPerFile];  // by the scene's track index; the camera tracks' are used
};

// A key whose fields the panel is changing: drawn live, written when the field lets go.
struct KeyPreview {
  bool active = false;
  int entry = -1;  // the timeline entry of the scene
  int track = -1;  // an index of the scene's tracks
  TrackKey key;    // the key at key.time with its changed value and tangent
};

class DevTracks {
 public:
  FolderWatcher watcher;                 // the track folder's
  std::string errors[kSceneCount];       // by scene row: why its file does not read now; "" = it does
  std::string lastGood[kSceneCount];     // by row: the bytes its keys were last taken from
  bool stale[kSceneCount] = {};          // by row: keys taken since its scene's tracks were filled
  TrackDocument documents[kSceneCount];  // by row, opened at the first edit of the file
  bool opened[kSceneCount] = {};
  std::vector<int> undoRows;  // the row of each edit Ctrl+Z can take back, the last last
  bool touched = false;       // the current scene's tracks are not its file's (a hold or a preview)
  int entry = -1;             // the timeline entry of the frame last prepared
  uint32_t frameMs = 0;       // that frame's tick
  int selected = 0;           // the selected track, an index of the current scene's tracks
  bool keySelected = false;   // one of its keys is selected
  uint32_t selectedKey = 0;   // that key's time, centiseconds
  CameraHold hold;
  KeyPreview preview;
  TrackFileKeys previewKeys;  // the file's keys with the preview's key changed, while it is active
  std::string message;        // the last edit's outcome, for the panel

  // Starts watching the track folder; says why on stderr and the log when it cannot.
  void start();
  // Reads again every track file saved since the last call (after the folder's quiet time).
  void reloadChanged();
  // Before the frame of entry at frameMs renders scene: refills its tracks where their keys
  // changed, lets a hold or a preview go when its time is over, and applies those that last.
  void prepare(Scene& scene, int frameEntry, uint32_t tick);
  // K: a key at scene's time on the selected track with the track's value there and a zero
  // tangent; with the camera held, keys of the held values on every camera track instead.
  void keyNow(Scene& scene);
  // Delete: removes the selected track's key at scene's time.
  void removeNow(Scene& scene);
  // Gives the selected track's key at key.time key's value and tangent.
  void setSelectedKey(Scene& scene, const TrackKey& key);
  // Ctrl+Z: takes the last edit back, in whichever file it was.
  void undo();
  // Tab: selects the next (step 1) or previous (-1) track of scene.
  void cycle(Scene& scene, int step);
  // A mouse button pressed (down) or released on the picture.
  void pressButton(bool down);
  // The mouse moved dx, dy pixels over the picture: turns scene's camera while a button is held.
  void turn(Scene& scene, int dx, int dy);
  // The wheel turned steps (up: positive): moves scene's camera in or out.
  void dolly(Scene& scene, int steps);
  // The messages of the files that do not read now, one after another; "" when every one reads.
  std::string errorText() const;
  // The keys the panel shows for scene's file: the preview's where it is active.
  const TrackFileKeys& shownKeys(const SceneTracks& tracks) const;
  // Stops watching.
  void stop();
};
