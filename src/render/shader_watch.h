// Watching a data folder (the shaders, the track files) for saved files (inotify on the folder
// itself). Editors save in many ways: in place, by writing a new file and renaming it over the old one, or by moving
// the old one aside first; each save is a burst of events, gathered here into one report.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

constexpr uint64_t kSaveQuietMs = 30;     // a burst ends once the folder has been quiet this long
constexpr uint64_t kSaveHoldMaxMs = 150;  // a burst that goes on is still reported this long after it began
constexpr int kWatchReadBytes = 16384;    // one read of the event queue; the rest waits for the next poll

// The file names changed over one burst of events.
struct SaveBurst {
  std::set<std::string> names;  // file names, without folder, changed since the last report
  bool everything = false;      // events were lost (queue overflow): treat every file as changed
  uint64_t firstMs = 0;         // clock time of the burst's first event, ms
  uint64_t lastMs = 0;          // clock time of its latest event, ms

  // Adds a name that changed at nowMs.
  void note(const std::string& name, uint64_t nowMs);
  // Marks every file as changed at nowMs.
  void noteEverything(uint64_t nowMs);
  // True when there is something to report at nowMs: quiet long enough, or held long enough.
  bool settled(uint64_t nowMs) const;
  // Empties the burst for the next one.
  void clear();
};

class FolderWatcher {
 public:
  int fd = -1;           // the inotify instance; -1 = not watching
  int watch = -1;        // the folder's watch on it
  std::string folder;    // as given to open()
  const char* what = "shader";  // what the folder holds, for messages: "the shader folder"
  SaveBurst burst;       // what has changed and not been reported yet
  bool folderGone = false;  // the folder was removed or moved away: nothing more will come

  FolderWatcher() = default;
  FolderWatcher(const FolderWatcher&) = delete;
  FolderWatcher& operator=(const FolderWatcher&) = delete;
  ~FolderWatcher() { close(); }

  // Starts watching folder; false with a one-line reason in error when it cannot.
  bool open(const std::string& folder, std::string& error);
  // Reads what the folder reported since the last call, without blocking. Returns true, with
  // the burst's names in changed (and everything set when events were lost), once a burst has
  // settled at nowMs; false while nothing is due.
  bool poll(uint64_t nowMs, std::vector<std::string>& changed, bool& everything);
  // Stops watching; safe when not watching.
  void close();
};

// The monotonic clock in milliseconds, for poll().
uint64_t monotonicMs();
