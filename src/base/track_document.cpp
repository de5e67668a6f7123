// Editing a track file line by line, writing it whole through a renamed temporary.
#include "base/track_document.h"

#include "base/output_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr mode_t kPermissionBits = 07777;  // of a file's mode, kept by the file written over it

// The line without its end, and the end.
void splitEnd(const std::string& line, std::string& content, std::string& end) {
  size_t cut = line.size();
  if (cut > 0 && line[cut - 1] == '\n') --cut;
  if (cut > 0 && cut < line.size() && line[cut - 1] == '\r') --cut;
  content = line.substr(0, cut);
  end = line.substr(cut);
}

// The bytes as lines, each keeping its end.
std::vector<std::string> splitKeepingEnds(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < bytes.size()) {
    size_t end = bytes.find('\n', begin);
    end = end == std::string::npos ? bytes.size() : end + 1;
    lines.push_back(bytes.substr(begin, end - begin));
    begin = end;
  }
  return lines;
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

// The shortest text that reads back to exactly number.
std::string shortestText(float number) {
  char text[32];
  std::to_chars_result result = std::to_chars(text, text + sizeof text, number);
  return std::string(text, result.ptr);
}

bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Whether value and tangent of key are finite in their first components numbers.
bool finiteKey(const TrackKey& key, int components) {
  for (int i = 0; i < components; ++i)
    if (!std::isfinite(key.value[i]) || !std::isfinite(key.tangent[i])) return false;
  return true;
}

// A key line for key laid out like the line like (a key line of the same track): its leading
// space, each word at its column (or after its tabs), one space at least between words. When
// old is the key like holds, the words of numbers that stay keep their text, and like's
// comment stays at its column.
std::string keyLine(const std::string& like, const TrackKey* old, const TrackKey& key, int components) {
  std::vector<TrackWord> words;
  size_t commentAt;
  splitTrackLine(like, words, commentAt);
  std::vector<std::string> fields = {std::to_string(key.time)};
  for (int i = 0; i < 2 * components; ++i) {
    bool value = i < components;
    float now = value ? key.value[i] : key.tangent[i - components];
    bool kept = old && static_cast<size_t>(1 + i) < words.size() &&
                sameFloat(now, value ? old->value[i] : old->tangent[i - components]);
    fields.push_back(kept ? like.substr(words[1 + i].start, words[1 + i].length) : shortestText(now));
  }
  // The space before the word that starts at column, after text of written bytes.
  auto gap = [&](size_t wordEnd, size_t column, const std::string& text) {
    std::string space = like.substr(wordEnd, column - wordEnd);
    if (space.find('\t') != std::string::npos) return space;
    return std::string(column > text.size() ? column - text.size() : 1, ' ');
  };
  std::string text = words.empty() ? "" : like.substr(0, words[0].start);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0)
      text += i < words.size() ? gap(words[i - 1].start + words[i - 1].length, words[i].start, text) : " ";
    text += fields[i];
  }
  if (old && commentAt < like.size()) {
    size_t lastEnd = words.empty() ? 0 : words.back().start + words.back().length;
    text += gap(lastEnd, commentAt, text) + like.substr(commentAt);
  }
  return text;
}

// Writes text over the regular file at path, which must still hold expected: a new file made
// exclusively beside it with its permissions, written, flushed to the disk and renamed over
// it. False with the reason in error; a temporary made is removed.
bool replaceFile(const std::string& path, const std::string& expected, const std::string& text, std::string& error) {
  struct stat info;
  std::string current;
  if (lstat(path.c_str(), &info) != 0) {
    error = path + ": not written: " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = path + ": not written: it is no longer a regular file (a link is not followed)";
    return false;
  }
  if (!readTrackBytes(path, current, error)) return false;
  if (current != expected) {
    error = path + ": not written: it changed since it was read";
    return false;
  }
  // mkstemp's way (O_EXCL) never opens a planted link or an existing file.
  std::string temporary = path + ".XXXXXX" + kTemporarySuffix;
  int fd = mkostemps(&temporary[0], static_cast<int>(std::strlen(kTemporarySuffix)), O_CLOEXEC);
  if (fd < 0) {
    error = path + ": not written: " + std::strerror(errno);
    return false;
  }
  int failure = fchmod(fd, info.st_mode & kPermissionBits) == 0 ? 0 : errno;
  for (size_t done = 0; failure == 0 && done < text.size();) {
    ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) failure = wrote < 0 ? errno : EIO;
    if (wrote > 0) done += static_cast<size_t>(wrote);
  }
  if (failure == 0 && fsync(fd) != 0) failure = errno;
  if (close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
  if (failure == 0) return true;
  unlink(temporary.c_str());  // made here, so ours to remove
  error = path + ": not written: " + std::strerror(failure);
  return false;
}

// Makes newLines the document's lines after checking them and writing the file; remember
// keeps the old lines for undo. False (the document as it was) when they do not read back or
// the file cannot be written.
bool commit(TrackDocument& document, const std::vector<std::string>& newLines, bool remember, std::string& error) {
  std::string text = join(newLines);
  TrackFileKeys keys;
  if (!parseTrackFile(text, document.path, document.format, keys, error)) return false;
  if (!replaceFile(document.path, document.onDisk, text, error)) return false;
  if (remember) {
    document.history.push_back(document.lines);
    if (document.history.size() > static_cast<size_t>(kTrackUndoDepth))
      document.history.erase(document.history.begin());
  }
  document.lines = newLines;
  document.keys = keys;
  document.onDisk = text;
  return true;
}

// The index in track's keys of the key at time, or -1.
int keyAt(const TrackKeys& track, uint32_t time) {
  for (size_t i = 0; i < track.keys.size(); ++i)
    if (track.keys[i].time == time) return static_cast<int>(i);
  return -1;
}

// False with a message when track is not an index of the document's format.
bool knownTrack(const TrackDocument& document, int track, std::string& error) {
  if (track >= 0 && track < document.format.count) return true;
  error = document.path + ": no track " + std::to_string(track);
  return false;
}

// "track NAME".
std::string named(const TrackDocument& document, int track) {
  return "track " + std::string(document.format.tracks[track].name);
}

// The document's lines with key added to track as a new line, in edited; false with the reason.
bool addedLines(const TrackDocument& document, int track, const TrackKey& key, std::vector<std::string>& edited,
                std::string& error) {
  const std::string& path = document.path;
  const TrackFileFormat& format = document.format;
  const std::vector<std::string>& lines = document.lines;
  if (!knownTrack(document, track, error)) return false;
  const TrackKeys& held = document.keys.tracks[track];
  if (keyAt(held, key.time) >= 0) {
    error = path + ": " + named(document, track) + " has a key at " + std::to_string(key.time) + " already";
    return false;
  }
  if (!finiteKey(key, format.tracks[track].components)) {
    error = path + ": a key's numbers must be finite";
    return false;
  }
  // After the latest key before it, else before the earliest key after it.
  const TrackKey* before = nullptr;
  const TrackKey* after = nullptr;
  for (const TrackKey& other : held.keys) {
    if (other.time < key.time && (!before || other.time > before->time)) before = &other;
    if (other.time > key.time && (!after || other.time < after->time)) after = &other;
  }
  const TrackKey& beside = before ? *before : *after;
  std::string like, end;
  splitEnd(lines[beside.line - 1], like, end);
  edited = lines;
  size_t at = before ? static_cast<size_t>(before->line) : static_cast<size_t>(after->line - 1);
  std::string line = keyLine(like, nullptr, key, format.tracks[track].components);
  if (end.empty()) {
    // After a last line without an end: that line gets one, and the new last line goes without.
    edited[at - 1] += "\n";
  } else {
    line += end;
  }
  edited.insert(edited.begin() + static_cast<long>(at), line);
  return true;
}

// The document's lines without track's key at time, in edited; false with the reason.
bool removedLines(const TrackDocument& document, int track, uint32_t time, std::vector<std::string>& edited,
                  std::string& error) {
  const std::string& path = document.path;
  if (!knownTrack(document, track, error)) return false;
  const TrackKeys& held = document.keys.tracks[track];
  int index = keyAt(held, time);
  if (index < 0) {
    error = path + ": " + named(document, track) + " has no key at " + std::to_string(time);
    return false;
  }
  if (held.keys.size() == 1) {
    error = path + ": the key at " + std::to_string(time) + " is the only one of " + named(document, track);
    return false;
  }
  edited = document.lines;
  size_t at = static_cast<size_t>(held.keys[index].line - 1);
  // A last line without an end leaves the line before it as the file's end, without one too.
  std::string content, end, previous, previousEnd;
  splitEnd(edited[at], content, end);
  if (end.empty() && at > 0) {
    splitEnd(edited[at - 1], previous, previousEnd);
    edited[at - 1] = previous;
  }
  edited.erase(edited.begin() + static_cast<long>(at));
  return true;
}

// The document's lines with track's key at key.time given key's value and tangent, in edited;
// false with the reason.
bool setLines(const TrackDocument& document, int track, const TrackKey& key, std::vector<std::string>& edited,
              std::string& error) {
  if (!knownTrack(document, track, error)) return false;
  int index = keyAt(document.keys.tracks[track], key.time);
  int components = document.format.tracks[track].components;
  if (index < 0) {
    error = document.path + ": " + named(document, track) + " has no key at " + std::to_string(key.time);
    return false;
  }
  if (!finiteKey(key, components)) {
    error = document.path + ": a key's numbers must be finite";
    return false;
  }
  const TrackKey& old = document.keys.tracks[track].keys[index];
  std::string like, end;
  splitEnd(document.lines[old.line - 1], like, end);
  edited = document.lines;
  edited[old.line - 1] = keyLine(like, &old, key, components) + end;
  return true;
}

}  // namespace

bool TrackDocument::open(const std::string& file, const TrackFileFormat& tracks, std::string& error) {
  std::string bytes;
  TrackFileKeys read;
  if (!readTrackBytes(file, bytes, error) || !parseTrackFile(bytes, file, tracks, read, error)) return false;
  path = file;
  format = tracks;
  lines = splitKeepingEnds(bytes);
  keys = read;
  onDisk = bytes;
  history.clear();
  return true;
}

bool TrackDocument::addKey(int track, const TrackKey& key, std::string& error) {
  std::vector<std::string> edited;
  return addedLines(*this, track, key, edited, error) && commit(*this, edited, true, error);
}

bool TrackDocument::removeKey(int track, uint32_t time, std::string& error) {
  std::vector<std::string> edited;
  return removedLines(*this, track, time, edited, error) && commit(*this, edited, true, error);
}

bool TrackDocument::setKey(int track, const TrackKey& key, std::string& error) {
  std::vector<std::string> edited;
  if (!setLines(*this, track, key, edited, error)) return false;
  return edited == lines || commit(*this, edited, true, error);
}

bool TrackDocument::putKeys(const int* tracks, const TrackKey* keys, int count, std::string& error) {
  // Each key goes into a draft in turn, so that the next one finds its line; the draft is
  // written once.
  TrackDocument draft = *this;
  for (int i = 0; i < count; ++i) {
    std::vector<std::string> edited;
    bool held = knownTrack(draft, tracks[i], error) && keyAt(draft.keys.tracks[tracks[i]], keys[i].time) >= 0;
    if (!(held ? setLines : addedLines)(draft, tracks[i], keys[i], edited, error)) return false;
    if (!parseTrackFile(join(edited), path, format, draft.keys, error)) return false;
    draft.lines = edited;
  }
  return draft.lines == lines || commit(*this, draft.lines, true, error);
}

bool TrackDocument::undo(std::string& error) {
  if (history.empty()) {
    error = path + ": nothing to undo";
    return false;
  }
  if (!commit(*this, history.back(), false, error)) return false;
  history.pop_back();
  return true;
}

std::string TrackDocument::text() const { return join(lines); }
