// The maker's live tracks: reloads, refills, edits written back, undo, and the held camera.
#include "demo/dev_tracks.h"

#include "base/log.h"

#include <algorithm>
#include <cstdio>

namespace {

// The scene row whose track file is file, or -1.
int rowOf(const SceneTrackFile* file) {
  for (int row = 0; row < kSceneCount; ++row)
    if (file && kSceneTable[row].tracks == file) return row;
  return -1;
}

// The key of keys at time, or null.
TrackKey* keyAt(TrackKeys& keys, uint32_t time) {
  for (TrackKey& key : keys.keys)
    if (key.time == time) return &key;
  return nullptr;
}

// The track's name with the time of a key: "yaw at 1200".
std::string keyName(const char* track, uint32_t time) { return std::string(track) + " at " + std::to_string(time); }

// Takes keys (read from bytes) as row's keys: the next frame of its scene refills from them.
void adopt(DevTracks& tracks, int row, const TrackFileKeys& keys, const std::string& bytes) {
  SceneTrackFile& file = *kSceneTable[row].tracks;
  file.keys = keys;
  file.loaded = true;
  tracks.lastGood[row] = bytes;
  tracks.errors[row].clear();
  tracks.stale[row] = true;
}

// Forgets the edits of row that undo could take back: its document was read again.
void dropUndo(DevTracks& tracks, int row) {
  tracks.undoRows.erase(std::remove(tracks.undoRows.begin(), tracks.undoRows.end(), row), tracks.undoRows.end());
}

// Makes the document of row hold the file as it is now: read at its first use, and read again
// when the file changed behind its back (the maker's editor saved it), which its edits before
// then can no longer undo. False with the reason (the file does not read) in error.
bool syncDocument(DevTracks& tracks, int row, std::string& error) {
  SceneTrackFile& file = *kSceneTable[row].tracks;
  TrackDocument& document = tracks.documents[row];
  std::string path = trackFilePath(file);
  std::string bytes, ignored;
  if (tracks.opened[row] && document.path == path && readTrackBytes(path, bytes, ignored) && bytes == document.onDisk)
    return true;
  bool reread = tracks.opened[row];
  tracks.opened[row] = false;
  dropUndo(tracks, row);
  if (!document.open(path, file.format, error)) return false;
  tracks.opened[row] = true;
  adopt(tracks, row, document.keys, document.onDisk);
  if (reread)
    std::fprintf(stderr, "demo: %s changed outside the maker's mode: read again; the edits before cannot be undone\n",
                 path.c_str());
  return true;
}

// Shows text as the last edit's outcome, on the panel and stderr.
void say(DevTracks& tracks, const std::string& text) {
  tracks.message = text;
  std::fprintf(stderr, "demo: %s\n", text.c_str());
}

// After an edit of row's document was written: its keys are the file's, and undo can take it back.
void edited(DevTracks& tracks, int row, const std::string& what) {
  TrackDocument& document = tracks.documents[row];
  adopt(tracks, row, document.keys, document.onDisk);
  tracks.undoRows.push_back(row);
  if (tracks.undoRows.size() > static_cast<size_t>(kSessionUndoDepth)) tracks.undoRows.erase(tracks.undoRows.begin());
  say(tracks, document.path + ": " + what);
}

// The value at t of track as file's keys have it, whatever a hold or a preview left in the scene's member.
Vec3 keyedValue(SceneTrackFile& file, const TrackRef& track, uint32_t t) {
  KeyframeTrack<float> scalar;
  KeyframeTrack<Vec3> vector;
  TrackRef keyed = track;
  keyed.scalar = track.scalar ? &scalar : nullptr;
  keyed.vector = track.vector ? &vector : nullptr;
  if (keyed.scalar) fillTrack(file, track.name, scalar);
  if (keyed.vector) fillTrack(file, track.name, vector);
  return trackValue(keyed, t);
}

// Starts holding scene's camera at the values drawn in its last frame; false when it has none.
bool holdCamera(DevTracks& tracks, Scene& scene, const SceneTracks& list) {
  if (tracks.hold.active) return true;
  bool any = false;
  for (int i = 0; i < list.count; ++i) {
    if (!list.tracks[i].camera) continue;
    tracks.hold.values[i] = trackValue(list.tracks[i], scene.centiseconds);
    any = true;
  }
  if (!any) return false;
  tracks.hold.active = true;
  tracks.hold.entry = tracks.entry;
  tracks.hold.frameMs = tracks.frameMs;
  return true;
}

// Moves the number axis names by amount, when it is one of the camera's.
void moveAxis(DevTracks& tracks, const SceneTracks& list, const CameraAxis& axis, float amount) {
  int index = list.find(axis.track);
  if (index < 0 || !list.tracks[index].camera || amount == 0) return;
  component(tracks.hold.values[index], std::clamp(axis.component, 0, trackComponents(list.tracks[index]) - 1)) +=
      amount * axis.step;
}

}  // namespace

void DevTracks::start() {
  watcher.what = "track";
  std::string error;
  if (!watcher.open(trackFolderPath(), error))
    logMessage("%s; saved track files will not be read again.\n", error.c_str());
}

void DevTracks::stop() { watcher.close(); }

void DevTracks::reloadChanged() {
  std::vector<std::string> changed;
  bool everything = false;
  if (!watcher.poll(monotonicMs(), changed, everything)) return;
  for (int row = 0; row < kSceneCount; ++row) {
    SceneTrackFile* file = kSceneTable[row].tracks;
    if (!file || (!everything && std::find(changed.begin(), changed.end(), file->fileName) == changed.end())) continue;
    std::string path = trackFilePath(*file);
    std::string bytes, error;
    TrackFileKeys keys;
    if (readTrackBytes(path, bytes, error) && bytes == lastGood[row]) {
      // The mode's own edit, or the last good keys saved back over a broken file.
      if (!errors[row].empty()) logMessage("Track reload: read %s; its keys are the last good ones.\n", path.c_str());
      errors[row].clear();
      continue;
    }
    if (error.empty() && parseTrackFile(bytes, path, file->format, keys, error)) {
      adopt(*this, row, keys, bytes);
      logMessage("Track reload: read %s; the next frame draws with its keys.\n", path.c_str());
      if (opened[row] && bytes != documents[row].onDisk) syncDocument(*this, row, error);
      continue;
    }
    if (error != errors[row])
      logMessage("Track reload of %s failed; the last good keys stay in use:\n%s\n", path.c_str(), error.c_str());
    errors[row] = error;
  }
}

void DevTracks::prepare(Scene& scene, int frameEntry, uint32_t tick) {
  if (frameEntry != entry) {
    selected = 0;
    keySelected = false;
  }
  entry = frameEntry;
  frameMs = tick;
  // A hold lasts while a button is held, then until the frame's time moves.
  if (hold.active && (hold.entry != entry || (!hold.buttonDown && hold.frameMs != tick))) hold.active = false;
  if (hold.active) hold.frameMs = tick;
  if (preview.active && preview.entry != entry) preview.active = false;
  SceneTracks tracks;
  scene.listTracks(tracks);
  int row = rowOf(tracks.file);
  if (row < 0) return;
  if (preview.active && preview.track >= tracks.count) preview.active = false;
  if (preview.active) {
    SceneTrackFile draft = *tracks.file;
    int index = findTrack(draft.format, tracks.tracks[preview.track].name);
    TrackKey* key = index < 0 ? nullptr : keyAt(draft.keys.tracks[index], preview.key.time);
    if (key) {
      std::copy(preview.key.value, preview.key.value + kMaxTrackComponents, key->value);
      std::copy(preview.key.tangent, preview.key.tangent + kMaxTrackComponents, key->tangent);
    }
    previewKeys = draft.keys;
    fillTracks(tracks, &draft);
    touched = true;
  } else if (touched || stale[row]) {
    fillTracks(tracks);
    touched = false;
  }
  stale[row] = false;
  if (!hold.active) return;
  for (int i = 0; i < tracks.count; ++i)
    if (tracks.tracks[i].camera) holdTrack(tracks.tracks[i], hold.values[i]);
  touched = true;
}

void DevTracks::keyNow(Scene& scene) {
  SceneTracks tracks;
  scene.listTracks(tracks);
  int row = rowOf(tracks.file);
  std::string error;
  if (row < 0 || tracks.count == 0) return say(*this, "this scene has no tracks");
  bool camera = hold.active && hold.entry == entry;
  uint32_t time = scene.centiseconds;
  if (!syncDocument(*this, row, error)) return say(*this, error);
  TrackDocument& document = documents[row];
  int indices[kMaxTracksPerFile];
  TrackKey keys[kMaxTracksPerFile];
  int count = 0;
  std::string names;
  for (int i = 0; i < tracks.count; ++i) {
    if (camera ? !tracks.tracks[i].camera : i != selected) continue;
    int index = findTrack(document.format, tracks.tracks[i].name);
    if (index < 0) continue;
    TrackKey key;
    key.time = time;
    const TrackKey* old = keyAt(document.keys.tracks[index], time);
    if (old && !camera) return say(*this, keyName(tracks.tracks[i].name, time) + ": there is a key already");
    // The held value, else the value the file's keys give there (an outside edit just read included).
    Vec3 value = camera ? hold.values[i] : keyedValue(*tracks.file, tracks.tracks[i], time);
    for (int c = 0; c < trackComponents(tracks.tracks[i]); ++c) {
      key.value[c] = component(value, c);
      key.tangent[c] = old ? old->tangent[c] : 0.0f;  // a new key eases in and out flat
    }
    indices[count] = index;
    keys[count++] = key;
    names += (names.empty() ? "" : ", ") + std::string(tracks.tracks[i].name);
  }
  if (count == 0) return say(*this, "no track is selected");
  if (!document.putKeys(indices, keys, count, error)) return say(*this, error);
  hold.active = false;
  keySelected = !camera;
  selectedKey = time;
  edited(*this, row, names + ": " + (camera ? "keys set" : "key added") + " at " + std::to_string(time));
}

void DevTracks::removeNow(Scene& scene) {
  SceneTracks tracks;
  scene.listTracks(tracks);
  int row = rowOf(tracks.file);
  std::string error;
  if (row < 0 || selected >= tracks.count) return say(*this, "this scene has no tracks");
  if (!syncDocument(*this, row, error)) return say(*this, error);
  const char* name = tracks.tracks[selected].name;
  int index = findTrack(documents[row].format, name);
  // The key at the frame's time; where there is none, the one selected in the panel.
  uint32_t time = scene.centiseconds;
  if (keySelected && index >= 0 && !keyAt(documents[row].keys.tracks[index], time)) time = selectedKey;
  if (!documents[row].removeKey(index, time, error)) return say(*this, error);
  keySelected = false;
  edited(*this, row, keyName(name, time) + ": key removed");
}

void DevTracks::setSelectedKey(Scene& scene, const TrackKey& key) {
  preview.active = false;
  SceneTracks tracks;
  scene.listTracks(tracks);
  int row = rowOf(tracks.file);
  std::string error;
  if (row < 0 || selected >= tracks.count) return;
  if (!syncDocument(*this, row, error)) return say(*this, error);
  const char* name = tracks.tracks[selected].name;
  if (!documents[row].setKey(findTrack(documents[row].format, name), key, error)) return say(*this, error);
  edited(*this, row, keyName(name, key.time) + ": key set");
}

void DevTracks::undo() {
  preview.active = false;
  hold.active = false;
  if (undoRows.empty()) return say(*this, "nothing to undo");
  int row = undoRows.back();
  std::string error;
  if (!syncDocument(*this, row, error)) return say(*this, error);
  // Read again, it has nothing left to undo: the edits went with the old text.
  if (undoRows.empty() || undoRows.back() != row)
    return say(*this, documents[row].path + ": its edits cannot be undone");
  undoRows.pop_back();
  TrackDocument& document = documents[row];
  if (!document.undo(error)) return say(*this, error);
  adopt(*this, row, document.keys, document.onDisk);
  keySelected = false;
  say(*this, document.path + ": the last edit undone");
}

void DevTracks::cycle(Scene& scene, int step) {
  SceneTracks tracks;
  scene.listTracks(tracks);
  if (tracks.count == 0) return;
  selected = ((selected + step) % tracks.count + tracks.count) % tracks.count;
  keySelected = false;
}

void DevTracks::pressButton(bool down) { hold.buttonDown = down; }

void DevTracks::turn(Scene& scene, int dx, int dy) {
  SceneTracks list;
  scene.listTracks(list);
  if (!hold.buttonDown || !holdCamera(*this, scene, list)) return;
  moveAxis(*this, list, list.turn, static_cast<float>(dx));
  moveAxis(*this, list, list.tilt, static_cast<float>(dy));
}

void DevTracks::dolly(Scene& scene, int steps) {
  SceneTracks list;
  scene.listTracks(list);
  if (holdCamera(*this, scene, list)) moveAxis(*this, list, list.dolly, static_cast<float>(steps));
}

std::string DevTracks::errorText() const {
  std::string text;
  for (const std::string& error : errors)
    if (!error.empty()) text += error + "\n";
  return text;
}

const TrackFileKeys& DevTracks::shownKeys(const SceneTracks& tracks) const {
  return preview.active && preview.entry == entry ? previewKeys : tracks.file->keys;
}
