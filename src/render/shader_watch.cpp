// A data folder's watch: inotify events gathered into bursts.
#include "render/shader_watch.h"

#include "base/log.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

// What counts as a save: written and closed, renamed or linked in, created, removed, or moved
// away (the first step of an editor that keeps a backup). The folder's own removal ends the watch.
constexpr uint32_t kWatchedEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

void SaveBurst::note(const std::string& name, uint64_t nowMs) {
  if (names.empty() && !everything) firstMs = nowMs;
  names.insert(name);
  lastMs = nowMs;
}

void SaveBurst::noteEverything(uint64_t nowMs) {
  if (names.empty() && !everything) firstMs = nowMs;
  everything = true;
  lastMs = nowMs;
}

bool SaveBurst::settled(uint64_t nowMs) const {
  if (names.empty() && !everything) return false;
  return nowMs - lastMs >= kSaveQuietMs || nowMs - firstMs >= kSaveHoldMaxMs;
}

void SaveBurst::clear() {
  names.clear();
  everything = false;
}

bool FolderWatcher::open(const std::string& path, std::string& error) {
  close();
  folder = path;
  folderGone = false;
  burst.clear();
  fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot watch the ") + what + " folder: " + std::strerror(errno);
    return false;
  }
  // IN_ONLYDIR: a file put in the folder's place is refused rather than watched.
  watch = inotify_add_watch(fd, path.c_str(), kWatchedEvents | IN_ONLYDIR);
  if (watch < 0) {
    error = std::string("cannot watch the ") + what + " folder " + path + ": " + std::strerror(errno);
    close();
    return false;
  }
  return true;
}

bool FolderWatcher::poll(uint64_t nowMs, std::vector<std::string>& changed, bool& everything) {
  alignas(inotify_event) char buffer[kWatchReadBytes];
  while (fd >= 0) {
    ssize_t length = read(fd, buffer, sizeof buffer);
    if (length <= 0) break;  // EAGAIN: nothing more for now
    for (ssize_t at = 0; at < length;) {
      const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) {
        burst.noteEverything(nowMs);
      } else if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        if (!folderGone) logMessage("The %s folder %s is gone; its saved files are no longer watched.\n", what, folder.c_str());
        folderGone = true;
      } else if (event->len > 0 && !(event->mask & IN_ISDIR)) {
        burst.note(event->name, nowMs);
      }
    }
  }
  if (!burst.settled(nowMs)) return false;
  changed.assign(burst.names.begin(), burst.names.end());
  everything = burst.everything;
  burst.clear();
  return true;
}

void FolderWatcher::close() {
  if (fd >= 0) ::close(fd);  // drops the watch with it
  fd = -1;
  watch = -1;
}

uint64_t monotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}
