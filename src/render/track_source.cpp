// Scene tracks from their files.
#include "render/track_source.h"

#include "base/log.h"
#include "render/data_folder.h"

#include <cstring>

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

std::string trackFolderPath() { return trackFolder().path(); }

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

void SceneTracks::add(const char* name, KeyframeTrack<float>& track, bool camera) {
  if (count >= kMaxTracksPerFile) return;
  tracks[count++] = {name, &track, nullptr, camera};
}

void SceneTracks::add(const char* name, KeyframeTrack<Vec3>& track, bool camera) {
  if (count >= kMaxTracksPerFile) return;
  tracks[count++] = {name, nullptr, &track, camera};
}

int SceneTracks::find(const char* name) const {
  for (int i = 0; i < count; ++i)
    if (name && std::strcmp(tracks[i].name, name) == 0) return i;
  return -1;
}

void fillTracks(SceneTracks& tracks, SceneTrackFile* from) {
  SceneTrackFile* file = from ? from : tracks.file;
  if (!file) return;
  for (int i = 0; i < tracks.count; ++i) {
    const TrackRef& track = tracks.tracks[i];
    if (track.scalar) fillTrack(*file, track.name, *track.scalar);
    if (track.vector) fillTrack(*file, track.name, *track.vector);
  }
}

int trackComponents(const TrackRef& track) { return track.vector ? 3 : 1; }

Vec3 trackValue(const TrackRef& track, uint32_t t) {
  if (track.vector) return track.vector->evaluate(t);
  return Vec3(track.scalar ? track.scalar->evaluate(t) : 0.0f, 0.0f, 0.0f);
}

void holdTrack(const TrackRef& track, Vec3 value) {
  if (track.vector) {
    *track.vector = KeyframeTrack<Vec3>();
    track.vector->addKey(value, Vec3(0, 0, 0), 0);
    track.vector->finish();
  }
  if (track.scalar) {
    *track.scalar = KeyframeTrack<float>();
    track.scalar->addKey(value.x, 0.0f, 0);
    track.scalar->finish();
  }
}
