// Reading track files: a pass that holds the bytes to text within the limits, then one that
// reads the tracks and keys, each failure named by its line.
#include "base/track_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kMaxQuotedBytes = 40;  // of a word a message repeats

// A line of the file: its bytes without the line end, and its number from 1.
struct Line {
  const char* text;
  size_t length;
  int number;
};

// "fileName:line: what".
std::string at(const std::string& fileName, int line, const std::string& what) {
  return fileName + ":" + std::to_string(line) + ": " + what;
}

// The word in quotes, cut (at a character's start) when long.
std::string quoted(const std::string& word) {
  if (word.size() <= kMaxQuotedBytes) return "'" + word + "'";
  size_t cut = kMaxQuotedBytes;
  while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80) --cut;
  return "'" + word.substr(0, cut) + "...'";
}

// The length of the UTF-8 sequence at s (n bytes left): 0 unless it is one character in its
// shortest form, not a surrogate and at most U+10FFFF.
size_t utf8Length(const unsigned char* s, size_t n) {
  auto follows = [&](size_t i, unsigned char low, unsigned char high) { return i < n && s[i] >= low && s[i] <= high; };
  unsigned char c = s[0];
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return follows(1, 0x80, 0xBF) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    unsigned char low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
    return follows(1, low, high) && follows(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    unsigned char low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
    return follows(1, low, high) && follows(2, 0x80, 0xBF) && follows(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

// Why the line is not text (empty when it is): a NUL, another control character, or bytes
// that are not UTF-8. A tab is text.
std::string textFault(const Line& line) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(line.text);
  for (size_t i = 0; i < line.length;) {
    unsigned char c = s[i];
    if (c == 0) return "not text: a NUL byte";
    if ((c < 0x20 && c != '\t') || c == 0x7F) {
      char text[64];
      std::snprintf(text, sizeof text, "not text: the control character 0x%02x", c);
      return text;
    }
    size_t length = utf8Length(s + i, line.length - i);
    if (length == 0) return "not text: bytes that are not UTF-8";
    i += length;
  }
  return "";
}

// Splits bytes into lines (a "\r\n" ends a line as "\n" does) after checking the limits and
// that every line is text; false with the message in error.
bool splitLines(const std::string& bytes, const std::string& fileName, std::vector<Line>& lines, std::string& error) {
  if (bytes.size() > kMaxTrackFileBytes) {
    int line = 1;
    for (size_t i = 0; i < kMaxTrackFileBytes; ++i) line += bytes[i] == '\n';
    error = at(fileName, line, "the file is larger than 1 MiB (" + std::to_string(kMaxTrackFileBytes) + " bytes)");
    return false;
  }
  size_t begin = 0;
  while (begin < bytes.size()) {
    size_t end = bytes.find('\n', begin);
    size_t next = end == std::string::npos ? bytes.size() : end + 1;
    if (end == std::string::npos) end = bytes.size();
    if (end > begin && end < bytes.size() && bytes[end - 1] == '\r') --end;
    Line line{bytes.data() + begin, end - begin, static_cast<int>(lines.size()) + 1};
    if (line.number > kMaxTrackFileLines) {
      error = at(fileName, line.number, "more than " + std::to_string(kMaxTrackFileLines) + " lines");
      return false;
    }
    if (line.length > kMaxTrackLineBytes) {
      error = at(fileName, line.number, "the line is longer than " + std::to_string(kMaxTrackLineBytes) + " bytes");
      return false;
    }
    std::string fault = textFault(line);
    if (!fault.empty()) {
      error = at(fileName, line.number, fault);
      return false;
    }
    lines.push_back(line);
    begin = next;
  }
  return true;
}

// Reads a time of whole centiseconds; false with what is wrong with it in error.
bool parseTime(const std::string& word, uint32_t& time, std::string& error) {
  bool negative = word[0] == '-';
  size_t digits = negative ? 1 : 0;
  uint64_t value = 0;
  bool past = false;
  for (; digits < word.size() && word[digits] >= '0' && word[digits] <= '9'; ++digits) {
    value = value * 10 + static_cast<uint64_t>(word[digits] - '0');
    if (value > UINT32_MAX) {
      past = true;
      value = UINT32_MAX;
    }
  }
  if (digits != word.size() || digits == (negative ? 1u : 0u)) {
    error = "the time " + quoted(word) + " is not a whole number of centiseconds";
  } else if (negative) {
    error = "the time " + quoted(word) + " is negative";
  } else if (past) {
    error = "the time " + quoted(word) + " is past " + std::to_string(UINT32_MAX) + " centiseconds";
  } else {
    time = static_cast<uint32_t>(value);
    return true;
  }
  return false;
}

// Reads a finite float written in decimal (an exponent allowed); false with why in error.
bool parseNumber(const std::string& word, float& number, std::string& error) {
  const char* end = word.data() + word.size();
  std::from_chars_result result = std::from_chars(word.data(), end, number, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    error = quoted(word) + " is out of a float's range";
  } else if (result.ec != std::errc() || result.ptr != end) {
    error = quoted(word) + " is not a number";
  } else if (!std::isfinite(number)) {
    error = quoted(word) + " is not a finite number";
  } else {
    return true;
  }
  return false;
}

// Reads the line's key into the keys of the track that kind describes; false with what is wrong in error.
bool readKey(const Line& line, const std::vector<std::string>& words, const TrackSpec& kind, TrackKeys& track,
             std::string& error) {
  size_t numbers = 2 * static_cast<size_t>(kind.components);
  if (words.size() != 1 + numbers) {
    error = "a key of " + std::string(kind.name) + " is a time and " + std::to_string(numbers) + " numbers (" +
            std::to_string(kind.components) + " of the value, " + std::to_string(kind.components) +
            " of the tangent); this line has " + std::to_string(words.size() - 1) + " after its time";
    return false;
  }
  TrackKey key;
  key.line = line.number;
  if (!parseTime(words[0], key.time, error)) return false;
  for (size_t i = 0; i < numbers; ++i) {
    float* slot = i < numbers / 2 ? &key.value[i] : &key.tangent[i - numbers / 2];
    if (!parseNumber(words[1 + i], *slot, error)) return false;
  }
  for (const TrackKey& other : track.keys) {
    if (other.time != key.time) continue;
    error = "time " + words[0] + " is already a key of " + kind.name + " (line " + std::to_string(other.line) + ")";
    return false;
  }
  if (track.keys.size() >= static_cast<size_t>(kMaxTrackKeys)) {
    error = "track " + std::string(kind.name) + " has more than " + std::to_string(kMaxTrackKeys) + " keys";
    return false;
  }
  track.keys.push_back(key);
  return true;
}

// The track names of format, for a message: "tint, distance and yaw".
std::string trackNames(const TrackFileFormat& format) {
  std::string names;
  for (int i = 0; i < format.count; ++i)
    names += (i == 0 ? "" : i + 1 == format.count ? " and " : ", ") + std::string(format.tracks[i].name);
  return names;
}

// Reads a "track NAME" line, making its track current; false with what is wrong in error.
bool readTrackLine(const Line& line, const std::vector<std::string>& words, const TrackFileFormat& format,
                   TrackFileKeys& out, int& current, std::string& error) {
  if (words.size() != 2) {
    error = "a track line is 'track' and one name";
    return false;
  }
  int index = findTrack(format, words[1]);
  if (index < 0) {
    error = "unknown track " + quoted(words[1]) + " (this file holds " + trackNames(format) + ")";
    return false;
  }
  if (out.tracks[index].line != 0) {
    error = "track " + words[1] + " again (it began at line " + std::to_string(out.tracks[index].line) + ")";
    return false;
  }
  out.tracks[index].line = line.number;
  current = index;
  return true;
}

}  // namespace

void splitTrackLine(const std::string& line, std::vector<TrackWord>& words, size_t& commentAt) {
  words.clear();
  commentAt = line.find('#');
  if (commentAt == std::string::npos) commentAt = line.size();
  size_t i = 0;
  while (i < commentAt) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    TrackWord word;
    word.start = i;
    while (i < commentAt && line[i] != ' ' && line[i] != '\t') ++i;
    word.length = i - word.start;
    words.push_back(word);
  }
}

int findTrack(const TrackFileFormat& format, const std::string& name) {
  for (int i = 0; i < format.count; ++i)
    if (name == format.tracks[i].name) return i;
  return -1;
}

bool parseTrackFile(const std::string& bytes, const std::string& fileName, const TrackFileFormat& format,
                    TrackFileKeys& out, std::string& error) {
  out = TrackFileKeys();
  std::vector<Line> lines;
  if (!splitLines(bytes, fileName, lines, error)) return false;
  int current = -1;  // the track the keys go to
  std::vector<TrackWord> spans;
  std::vector<std::string> words;
  for (const Line& line : lines) {
    std::string text(line.text, line.length);
    size_t commentAt;
    splitTrackLine(text, spans, commentAt);
    if (spans.empty()) continue;
    words.clear();
    for (const TrackWord& span : spans) words.push_back(text.substr(span.start, span.length));
    std::string what;
    bool ok;
    if (words[0] == "track") {
      ok = readTrackLine(line, words, format, out, current, what);
    } else if (current < 0) {
      ok = false;
      what = "a key before the first track line";
    } else {
      ok = readKey(line, words, format.tracks[current], out.tracks[current], what);
    }
    if (!ok) {
      error = at(fileName, line.number, what);
      return false;
    }
  }
  int last = lines.empty() ? 1 : lines.back().number;
  for (int i = 0; i < format.count; ++i) {
    const TrackKeys& track = out.tracks[i];
    if (track.line == 0) {
      error = at(fileName, last, "the file ends without track " + std::string(format.tracks[i].name));
      return false;
    }
    if (track.keys.empty()) {
      error = at(fileName, track.line, "track " + std::string(format.tracks[i].name) + " has no keys");
      return false;
    }
  }
  return true;
}

bool readTrackBytes(const std::string& path, std::string& bytes, std::string& error) {
  // Only a regular file is read, opened without blocking so that a FIFO cannot hold the open.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": cannot be opened: " + std::strerror(errno);
    return false;
  }
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (!ok) error = path + ": not a regular file";
  bytes.clear();
  char buffer[65536];
  while (ok && bytes.size() <= kMaxTrackFileBytes) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = path + ": cannot be read: " + std::strerror(errno);
      ok = false;
    }
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  if (bytes.size() > kMaxTrackFileBytes + 1) bytes.resize(kMaxTrackFileBytes + 1);
  return ok;
}

bool readTrackFile(const std::string& path, const TrackFileFormat& format, TrackFileKeys& out, std::string& error) {
  std::string bytes;
  return readTrackBytes(path, bytes, error) && parseTrackFile(bytes, path, format, out, error);
}
