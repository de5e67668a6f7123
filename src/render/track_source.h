// Where a scene's keyframe tracks come from: its file in the track folder (the folder given
// with --tracks, else the working folder's tracks/, else the installed copy, found as the
// shaders are). The programs read and check every file at start-up, before the first frame;
// a scene's start then fills its tracks from the keys read.
#pragma once

#include "base/track_file.h"
#include "render/track.h"
#include "render/vec.h"

#include <string>

constexpr const char* kTrackFolderName = "tracks";  // relative to the working folder

// One scene's track file and the keys last read from it.
struct SceneTrackFile {
  const char* fileName;    // in the track folder: "forest.txt"
  TrackFileFormat format;  // the tracks it holds
  TrackFileKeys keys;      // as last read and checked
  bool loaded = false;     // keys hold a read that passed

  SceneTrackFile(const char* name, const TrackFileFormat& tracks) : fileName(name), format(tracks) {}
};

// A scene's keyframe track, by its name in the scene's file; one of the two is set.
struct TrackRef {
  const char* name = nullptr;              // as the file names it: "yaw"
  KeyframeTrack<float>* scalar = nullptr;  // a float track
  KeyframeTrack<Vec3>* vector = nullptr;   // a 3-vector track
  bool camera = false;                     // part of the scene's camera, which the maker steers
};

// One number of a scene's camera that a gesture of the maker's mode moves.
struct CameraAxis {
  const char* track = nullptr;  // its track's name; null: the gesture moves nothing
  int component = 0;            // the number of a 3-vector track it is
  float step = 0;               // change per pixel of mouse motion, or per wheel step
};

// A scene's tracks, the file they come from and how its camera is steered.
struct SceneTracks {
  SceneTrackFile* file = nullptr;  // null: the scene has no tracks
  TrackRef tracks[kMaxTracksPerFile];
  int count = 0;
  CameraAxis turn;   // horizontal mouse motion with a button held (a yaw)
  CameraAxis tilt;   // vertical motion with a button held (a pitch)
  CameraAxis dolly;  // the wheel, a step up going in

  // Appends a track; one past kMaxTracksPerFile is dropped.
  void add(const char* name, KeyframeTrack<float>& track, bool camera = false);
  void add(const char* name, KeyframeTrack<Vec3>& track, bool camera = false);
  // The index of the track called name, or -1.
  int find(const char* name) const;
};

// Checks a folder named with --tracks: false with a one-line reason in error.
bool checkTrackFolder(const char* folder, std::string& error);
// Reads the tracks from folder instead of tracks/ (before the first read); "" goes back.
void useTrackFolder(const std::string& folder);
// The folder the track files are read from, as trackFilePath names it.
std::string trackFolderPath();
// The path file is read from.
std::string trackFilePath(const SceneTrackFile& file);
// Reads and checks file: false with "PATH:LINE: what is wrong" in error, the keys then left
// as they were.
bool loadTrackFile(SceneTrackFile& file, std::string& error);
// Empties track, adds the keys of file's track name and finishes it; reads the file first
// when no read has passed yet (where the programs have not: a benchmark, a test), logging a
// failure and leaving the track empty.
void fillTrack(SceneTrackFile& file, const char* name, KeyframeTrack<float>& track);
void fillTrack(SceneTrackFile& file, const char* name, KeyframeTrack<Vec3>& track);
// Fills every track of tracks from the keys of from (a file of the same format), or of
// tracks.file when from is null, as a scene's start does: each track starts afresh, its cache empty.
void fillTracks(SceneTracks& tracks, SceneTrackFile* from = nullptr);
// The numbers of a value of track: 1 or 3.
int trackComponents(const TrackRef& track);
// track's value at t centiseconds; a float in x.
Vec3 trackValue(const TrackRef& track, uint32_t t);
// Makes track hold value at every time (one key), until it is filled again.
void holdTrack(const TrackRef& track, Vec3 value);
