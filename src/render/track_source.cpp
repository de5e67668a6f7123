// Scene tracks from their files.
#include "render/track_source.h"

#include "base/log.h"
#include "render/data_folder.h"

namespace {

// Made at its first use, whatever runs before main.
DataFolder& trackFolder() {
  static DataFolder folder(kTrackFolderName, "--tracks");
  return folder;
}

// The keys of file's track name with components numbers each, after reading the file if it
// has not been read; null (after a log line) when it cannot be read or holds no such track.
const TrackKeys* keysFor(SceneTrackFile& file, const char* name, int components) {
  std::string error;
  if (!file.loaded && !loadTrackFile(file, error)) {
    logMessage("%s\n", error.c_str());
    return nullptr;
  }
  int index = findTrack(file.format, name);
  if (index < 0 || file.format.tracks[index].components != components) {
    logMessage("%s holds no track %s of %d numbers.\n", file.fileName, name, components);
    return nullptr;
  }
  return &file.keys.tracks[index];
}

}  // namespace

bool checkTrackFolder(const char* folder, std::string& error) { return trackFolder().check(folder, error); }

void useTrackFolder(const std::string& folder) { trackFolder().use(folder); }

std::string trackFilePath(const SceneTrackFile& file) {
  return trackFolder().locate(std::string(kTrackFolderName) + "/" + file.fileName);
}

bool loadTrackFile(SceneTrackFile& file, std::string& error) {
  TrackFileKeys keys;
  if (!readTrackFile(trackFilePath(file), file.format, keys, error)) return false;
  file.keys = keys;
  file.loaded = true;
  return true;
}

void fillTrack(SceneTrackFile& file, const char* name, KeyframeTrack<float>& track) {
  track = KeyframeTrack<float>();
  const TrackKeys* keys = keysFor(file, name, 1);
  if (keys)
    for (const TrackKey& key : keys->keys) track.addKey(key.value[0], key.tangent[0], key.time);
  track.finish();
}

void fillTrack(SceneTrackFile& file, const char* name, KeyframeTrack<Vec3>& track) {
  track = KeyframeTrack<Vec3>();
  const TrackKeys* keys = keysFor(file, name, 3);
  if (keys)
    for (const TrackKey& key : keys->keys) {
      const float* v = key.value;
      const float* t = key.tangent;
      track.addKey(Vec3(v[0], v[1], v[2]), Vec3(t[0], t[1], t[2]), key.time);
    }
  track.finish();
}
