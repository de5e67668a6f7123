// Track files: a scene's keyframe tracks as plain text. '#' starts a comment; "track NAME"
// starts a track; then one key a line: the time in whole centiseconds, the value's numbers
// and the tangent's numbers (1 + 1 for a float track, 3 + 3 for a 3-vector), separated by
// spaces or tabs:
//
//   track distance
//   0     4  0
//   1700  8 -1     # the tangent lifts the curve above 8 before this key
//
// The reader is strict and bounded whatever the bytes: every failure is one message,
// "FILE:LINE: what is wrong".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kMaxTrackFileBytes = 1u << 20;  // 1 MiB: far beyond any scene's tracks
constexpr size_t kMaxTrackLineBytes = 4096;      // bytes of one line, its line end left out
constexpr int kMaxTrackFileLines = 65536;        // lines of one file
constexpr int kMaxTracksPerFile = 8;             // tracks of one scene
constexpr int kMaxTrackComponents = 3;           // numbers of a 3-vector
constexpr int kMaxTrackKeys = 1024;              // keys of one track

// One track a file must hold.
struct TrackSpec {
  const char* name = nullptr;  // as the file names it: the member's name without Track ("camPos")
  int components = 1;          // 1 for a float track, 3 for a 3-vector
};

// The tracks of one file, each exactly once, in any order in the file.
struct TrackFileFormat {
  TrackSpec tracks[kMaxTracksPerFile];  // the first count are used
  int count = 0;
};

// One key as read.
struct TrackKey {
  uint32_t time = 0;                        // centiseconds since the scene became current
  float value[kMaxTrackComponents] = {};    // the first `components` numbers are used
  float tangent[kMaxTrackComponents] = {};  // the same
  int line = 0;                             // the line that holds it, from 1
};

// One track's keys in the order of the file.
struct TrackKeys {
  std::vector<TrackKey> keys;  // never empty in a file that read
  int line = 0;                // its "track" line, from 1; 0 = not met
};

// Everything a file holds, in its format's order.
struct TrackFileKeys {
  TrackKeys tracks[kMaxTracksPerFile];  // the first format.count are used
};

// A word of a line: where it starts and its length, in bytes.
struct TrackWord {
  size_t start = 0;
  size_t length = 0;
};

// The words (runs of bytes other than space and tab) of line before its comment, and where
// the comment starts ('#'; line.size() when there is none).
void splitTrackLine(const std::string& line, std::vector<TrackWord>& words, size_t& commentAt);
// The index of the track called name in format, or -1.
int findTrack(const TrackFileFormat& format, const std::string& name);
// Checks and reads the file's bytes: false with "fileName:LINE: what is wrong" in error (out
// then holds nothing of use).
bool parseTrackFile(const std::string& bytes, const std::string& fileName, const TrackFileFormat& format,
                    TrackFileKeys& out, std::string& error);
// Reads the regular file at path into bytes, at most one byte past kMaxTrackFileBytes (so
// that the parser can tell a file that is too large); false with "path: why" in error.
bool readTrackBytes(const std::string& path, std::string& bytes, std::string& error);
// readTrackBytes, then parseTrackFile with path as the file's name.
bool readTrackFile(const std::string& path, const TrackFileFormat& format, TrackFileKeys& out, std::string& error);
