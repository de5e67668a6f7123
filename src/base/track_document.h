// A track file held as its lines, for editing a key at a time. An edit changes only the lines
// it touches: a new key is one new line among its track's keys by time, laid out like the key
// line beside it; a removed key takes its line away; a changed key rewrites its own line,
// keeping the text of the numbers that stay, its spacing, its comment and its line end. Every
// other line stays byte for byte. A number is written in the shortest form that reads back to
// the same float. The file is written at once, by a new file made beside it and renamed over
// it, so it is never half-written; it is not written when it is no longer a regular file (a
// link is never followed) or no longer holds the bytes last read or written. Undo takes the
// last edits back, up to kTrackUndoDepth of them, and the file follows, byte for byte.
//
//   TrackDocument document;
//   if (!document.open("tracks/forest.txt", forestTrackFile.format, error)) ...
//   TrackKey key;  // time, value, tangent
//   document.addKey(findTrack(document.format, "yaw"), key, error);
//   document.undo(error);
#pragma once

#include "base/track_file.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kTrackUndoDepth = 32;  // edits undo can take back

class TrackDocument {
 public:
  std::string path;                // the file, as it is read, written and named in messages
  TrackFileFormat format;          // the tracks it holds
  std::vector<std::string> lines;  // its lines, each with its own end ("\n", "\r\n"; none for a last line without one)
  TrackFileKeys keys;              // what the lines hold (each key's line counts lines from 1)
  std::string onDisk;              // the bytes last read or written
  std::vector<std::vector<std::string>> history;  // the lines before each edit undo can take back, the last edit last

  // Reads and checks the file: false with the reader's message, the document then as it was.
  bool open(const std::string& file, const TrackFileFormat& tracks, std::string& error);
  // Adds key (time, value, tangent) to track (an index of format) as a new line; false when
  // the track has a key at that time already, a number is not finite, or the file cannot be
  // written.
  bool addKey(int track, const TrackKey& key, std::string& error);
  // Removes track's key at time; false when there is none, it is the track's only key, or the
  // file cannot be written.
  bool removeKey(int track, uint32_t time, std::string& error);
  // Sets the value and tangent of track's key at key.time; false when there is none, a number
  // is not finite, or the file cannot be written. A key left as it was writes nothing.
  bool setKey(int track, const TrackKey& key, std::string& error);
  // Gives each tracks[i] the key keys[i], added where the track has no key at its time and set
  // where it has, as one edit (one write, one step of undo); false, nothing written, when any
  // of them cannot be made or the file cannot be written.
  bool putKeys(const int* tracks, const TrackKey* keys, int count, std::string& error);
  // Takes the last edit back; false when there is none left or the file cannot be written.
  bool undo(std::string& error);
  // The lines, joined: what the file holds.
  std::string text() const;
};
