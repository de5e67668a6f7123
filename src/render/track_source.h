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

// Checks a folder named with --tracks: false with a one-line reason in error.
bool checkTrackFolder(const char* folder, std::string& error);
// Reads the tracks from folder instead of tracks/ (before the first read); "" goes back.
void useTrackFolder(const std::string& folder);
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
