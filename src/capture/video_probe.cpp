// Reading a finished video back with ffprobe and comparing it with what was encoded.
#include "capture/video_probe.h"

#include "base/output_file.h"
#include "capture/child_process.h"

#include <poll.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

constexpr size_t kMaxReportBytes = 65536;     // ffprobe's report for two streams is far smaller
constexpr int kMaxExtraAudioPackets = 2;      // the encoder's priming packet and a partial last one
constexpr double kDurationToleranceSeconds = 0.2;
constexpr int kProbePollMilliseconds = 200;   // longest sleep between looks at ffprobe

// The report's "key=value" lines, quotes removed.
std::map<std::string, std::string> parseFlat(const std::string& report) {
  std::map<std::string, std::string> fields;
  size_t begin = 0;
  while (begin < report.size()) {
    size_t end = report.find('\n', begin);
    if (end == std::string::npos) end = report.size();
    std::string line = report.substr(begin, end - begin);
    size_t equals = line.find('=');
    if (equals != std::string::npos) {
      std::string value = line.substr(equals + 1);
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      fields[line.substr(0, equals)] = value;
    }
    begin = end + 1;
  }
  return fields;
}

// The field at key as a whole number; -1 when missing or not a number.
long long number(const std::map<std::string, std::string>& fields, const std::string& key) {
  auto it = fields.find(key);
  if (it == fields.end() || it->second.empty()) return -1;
  char* end = nullptr;
  long long value = std::strtoll(it->second.c_str(), &end, 10);
  return *end ? -1 : value;
}

// The field at key; empty when missing.
std::string text(const std::map<std::string, std::string>& fields, const std::string& key) {
  auto it = fields.find(key);
  return it == fields.end() ? "" : it->second;
}

}  // namespace

bool checkProbeReport(const std::string& report, const VideoExpectation& expected, std::string& error) {
  std::map<std::string, std::string> fields = parseFlat(report);
  int videoStreams = 0, audioStreams = 0, dataStreams = 0;
  for (int i = 0; fields.count("streams.stream." + std::to_string(i) + ".codec_type"); ++i) {
    std::string prefix = "streams.stream." + std::to_string(i) + ".";
    std::string type = text(fields, prefix + "codec_type");
    long long packets = number(fields, prefix + "nb_read_packets");
    if (type == "video") {
      ++videoStreams;
      std::string kind = text(fields, prefix + "codec_name") + " " + text(fields, prefix + "pix_fmt") + " " +
                         text(fields, prefix + "color_space");
      std::string wanted = expected.videoCodec + " " + expected.pixelFormat + " " + expected.colorSpace;
      if (kind != wanted) {
        error = "the video stream is " + kind + ", not " + wanted;
        return false;
      }
      if (number(fields, prefix + "width") != expected.width || number(fields, prefix + "height") != expected.height) {
        error = "the video is " + text(fields, prefix + "width") + "x" + text(fields, prefix + "height") + ", not " +
                std::to_string(expected.width) + "x" + std::to_string(expected.height);
        return false;
      }
      if (packets != expected.frames) {
        error = "the video holds " + std::to_string(packets) + " of " + std::to_string(expected.frames) + " frames";
        return false;
      }
    } else if (type == "audio") {
      ++audioStreams;
      long long least = (expected.audioFrames + expected.audioPacketFrames - 1) / expected.audioPacketFrames;
      if (text(fields, prefix + "codec_name") != expected.audioCodec) {
        error = "the audio stream is " + text(fields, prefix + "codec_name") + ", not " + expected.audioCodec;
        return false;
      }
      if (expected.exactAudio && (packets < least || packets > least + kMaxExtraAudioPackets)) {
        error = "the audio holds " + std::to_string(packets) + " packets, expected " + std::to_string(least) +
                " (" + std::to_string(expected.audioFrames) + " sample frames)";
        return false;
      }
    } else if (type == "data" && dataStreams < expected.chapterTracks) {
      ++dataStreams;
    } else {
      error = "the file holds an unexpected " + type + " stream";
      return false;
    }
  }
  int chapters = 0;
  while (fields.count("chapters.chapter." + std::to_string(chapters) + ".id")) ++chapters;
  if ((expected.chapters >= 0 && chapters != expected.chapters) || dataStreams != expected.chapterTracks) {
    error = "the file holds " + std::to_string(chapters) + " chapters, not " + std::to_string(expected.chapters);
    return false;
  }
  if (videoStreams != 1 || audioStreams != 1) {
    error = "the file holds " + std::to_string(videoStreams) + " video and " + std::to_string(audioStreams) +
            " audio streams, not one of each";
    return false;
  }
  std::string duration = text(fields, "format.duration");
  char* end = nullptr;
  double seconds = std::strtod(duration.c_str(), &end);
  if (duration.empty() || *end || std::fabs(seconds - expected.seconds) > kDurationToleranceSeconds) {
    error = "the file lasts " + (duration.empty() ? std::string("an unknown time") : duration + " s") +
            ", expected " + std::to_string(expected.seconds) + " s";
    return false;
  }
  return true;
}

bool probeVideo(const std::string& ffprobe, const std::string& path, const VideoExpectation& expected,
                double stallSeconds, std::string& error) {
  std::vector<std::string> args = {ffprobe, "-v", "error", "-count_packets", "-show_entries",
                                   "stream=codec_type,codec_name,width,height,pix_fmt,color_space,nb_read_packets:format=duration:chapter=id",
                                   "-of", "flat", toolPath(path)};
  ChildProcess child;
  if (!startChild(child, args, false, true, error)) return false;
  std::string report, complaints;
  // Given up, as the encoder is, after stallSeconds of its own lack of progress: reading the
  // file or saying something is progress, time this process was stopped is not idle time.
  ProgressWatch watch;
  startWatch(watch, child.pid, "");
  while (child.output >= 0 || child.errors >= 0) {
    pollfd watched[2] = {{child.output, POLLIN, 0}, {child.errors, POLLIN, 0}};
    poll(watched, 2, kProbePollMilliseconds);  // a negative descriptor is skipped
    size_t before = report.size() + complaints.size();
    if (child.output >= 0 && watched[0].revents && !drainPipe(child.output, report, kMaxReportBytes)) {
      close(child.output);
      child.output = -1;
    }
    if (child.errors >= 0 && watched[1].revents && !drainPipe(child.errors, complaints, kMaxReportBytes)) {
      close(child.errors);
      child.errors = -1;
    }
    if (lookForProgress(watch, report.size() + complaints.size() != before) > stallSeconds) {
      killChild(child);
      error = "ffprobe made no progress reading the video back for " + std::to_string(static_cast<int>(stallSeconds)) +
              " s; stopped it";
      return false;
    }
  }
  int status = 0;
  int reaped;
  while ((reaped = reapChild(child, status, error)) == 0) {
    poll(nullptr, 0, kProbePollMilliseconds);
    if (lookForProgress(watch, false) > stallSeconds) {
      killChild(child);
      error = "ffprobe did not end after reading the video; stopped it";
      return false;
    }
  }
  if (reaped < 0) return false;
  std::string failure = describeExit("ffprobe", status);
  complaints = trimmed(complaints);
  if (!failure.empty() || !complaints.empty()) {
    error = "the finished video cannot be read back" + (complaints.empty() ? ": " + failure : ":\n  " + complaints);
    return false;
  }
  return checkProbeReport(report, expected, error);
}
