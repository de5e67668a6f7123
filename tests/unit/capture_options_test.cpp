// The capture tool's command line: good input parsed exactly and handed on to the span and the
// EGL context, bad input refused.
#include "capture/encoder.h"
#include "capture/offscreen.h"
#include "capture/options.h"
#include "capture/span.h"
#include "show/show.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses a command line split at spaces; a word in single quotes may hold spaces or be empty.
bool parse(const std::string& line, CaptureOptions& options, std::string& error) {
  std::vector<std::string> words;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ') continue;
    size_t end = line[i] == '\'' ? line.find('\'', i + 1) : line.find(' ', i);
    if (end == std::string::npos) end = line.size();
    words.push_back(line[i] == '\'' ? line.substr(i + 1, end - i - 1) : line.substr(i, end - i));
    i = end;
  }
  std::vector<char*> argv = {const_cast<char*>("demo-capture")};
  for (std::string& w : words) argv.push_back(&w[0]);
  return parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

// Why the command line is refused; "" when it is accepted.
std::string refusal(const std::string& line) {
  CaptureOptions options;
  std::string error;
  return parse(line, options, error) ? "" : "refused: " + error;
}

// Any regular file will do for a master to encode; quoted, as its path may hold spaces.
const std::string kMaster = "'" + std::string(__FILE__) + "'";

TEST(CaptureOptions, GoodInputIsParsedExactlyAndHandedToTheContext) {
  CaptureOptions o, c, last, help, plain, jobs, preset;
  std::string error;
  ASSERT_TRUE(parse("--size 640x360 --fps 30 --at 8,25.5,0.001 --out dir --shaders /tmp --tracks /", o, error))
      << error;
  EXPECT_EQ(std::vector<int>({o.width, o.height, o.fps, o.jobs}), std::vector<int>({640, 360, 30, 1}));
  EXPECT_EQ(o.atMs, (std::vector<uint32_t>{8000, 25500, 1}));
  EXPECT_EQ(o.shaders + " " + o.tracks, "/tmp /");
  EXPECT_TRUE(eglRequest(o).samples == 0 && !eglRequest(o).debug);
  // --gl-debug takes no value: the option after it is still read as an option.
  EXPECT_TRUE(parse("--gl-debug --samples 4 --at 5 --out dir", c, error) && c.atMs == std::vector<uint32_t>{5000} &&
              eglRequest(c).samples == 4 && eglRequest(c).debug) << error;
  EXPECT_TRUE(parse("--at 5 --out dir --gl-debug", last, error) && eglRequest(last).debug) << error;
  EXPECT_TRUE(parse("--help", help, error) && help.help);
  EXPECT_TRUE(parse("--out v.mp4", plain, error) && plain.encoderPreset == kDefaultEncoderPreset) << error;
  EXPECT_TRUE(parse("--jobs 16 --frames d --audio a.wav", jobs, error) && jobs.jobs == 16) << error;
  EXPECT_TRUE(parse("--out v.mkv --encoder-preset ultrafast", preset, error) && preset.encoderPreset == "ultrafast");
  for (const char* option : {"--jobs N", "--supersample N", "--crf N", "--master ", "--encode-master FILE"})
    EXPECT_NE(std::string(captureUsage()).find(option), std::string::npos) << option;
}

// Malformed input, options given twice or that the request would ignore, values out of range,
// and requests that would fail late are refused with the cause (the numbers' strictness is the
// shared parsers', tested with the demo's options).
TEST(CaptureOptions, BadInputAndRequestsThatCannotBeMetAreRefusedBeforeAnyWork) {
  std::string most = "0";
  for (int i = 1; i < kMaxAtTimes; ++i) most += "," + std::to_string(i);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"--size 0x10 --frames d", "--size"}, {"--fps 0 --frames d", "--fps"}, {"--fps 1001 --frames d", "--fps"},
      {"--bogus 1", "unknown option --bogus"}, {"stray", "unknown argument stray"}, {"", "nothing to do"},
      {"--at 5 --out dir --samples", "--samples needs a value"}, {"--at 5", "--at needs --out"},
      {"--at 8,,9 --out d", "--at"}, {"--at 191.9996 --out d", "--at"}, {"--out d --at " + most + ",100", "at most 64"},
      {"--samples 33 --at 5 --out dir", "--samples"}, {"--from 10 --to 5 --audio a.wav", "--to must be after"},
      {"--to 300 --audio a.wav", "--to"}, {"--out x.mp4 --stats ''", "--stats"},
      {"--frames d --pass-stats ''", "--pass-stats"}, {"--out ''", "--out"}, {"--audio ''", "--audio"},
      {"--frames ''", "--frames"}, {"--out v.mp4 --size 161x90", "even"}, {"--out v.mkv --size 160x91", "even"},
      {"--at 5 --out d --size 3x100", "4 pixels"}, {"--frames d --size 100x2", "4 pixels"},
      {"--audio a.wav --from 192", "empty"},
      {"--out v.mp4 --from 191.9996", "empty"},  // rounds to the show's end
      {"--frames d --from 80 --to 80.0004", "empty"}, {"--at 5 --out d --frames e", "--at"},
      {"--at 5 --out d --from 1", "--at"}, {"--at 5 --out d --to 9", "--at"}, {"--frames d --out v.mp4", "--frames"},
      {"--audio a.wav --out v.avi", "v.avi"}, {"--out v.mp4/", ".mp4 or .mkv"},
      {"--audio a.wav --encoder-timeout 0", "--encoder-timeout"},
      {"--audio m.wav --stats s.csv", "--stats"},  // the music alone has no frames to measure
      {"--audio m.wav --pass-stats p.csv", "--pass-stats"},
      {"--frames d --fps 10 --fps 20", "--fps is given more than once"},
      {"--list-scenes --list-scenes", "more than once"}, {"--audio a.wav --list-scenes", "--list-scenes takes no"},
      {"--audio a.wav --size 64x36", "--size"}, {"--audio a.wav --fps 10", "--fps"},
      {"--audio a.wav --supersample 2", "--supersample"}, {"--frames d --encoder-timeout 5", "--encoder-timeout"},
      {"--at 5 --out d --encoder-timeout 5", "--encoder-timeout"},  // --out with --at is a folder
      {"--frames d --encoder-preset fast", "--encoder-preset"},
      {"--out v.mp4 --encoder-preset Fast", "--encoder-preset"},
      {"--out v.mp4 --encoder-preset 'fast -crf 0'", "--encoder-preset"},
      {"--audio - --frames d --stats -", "standard output"}, {"--frames d --stats - --pass-stats -", "standard output"},
      {"--frames d --stats s.csv --pass-stats s.csv", "--pass-stats"},
      // Supersampling, quality, the lossless master in Matroska, and a readable master to encode.
      {"--frames d --supersample 5", "from 2 to 4"},
      {"--frames d --size 20000x64 --supersample 4", "renders 80000x256, more than 65536"},
      {"--out v.mp4 --crf 52", "--crf"}, {"--frames d --crf 5", "--crf"}, {"--out v.mp4 --master", ".mkv"},
      {"--at 5 --out d --master", "--master"}, {"--out v.mkv --master --crf 10", "lossless"},
      {"--out v.mkv --master --encoder-preset fast", "lossless"},
      {"--out v.mp4 --encode-master /no/such.mkv", "No such file"},
      {"--out v.mp4 --encode-master /tmp", "not a regular"},
      {"--frames d --encode-master " + kMaster, "--encode-master"},
      {"--out v.mkv --master --encode-master " + kMaster, "--master"},
      {"--out " + kMaster + " --encode-master " + kMaster, "same file"},
      {"--out v.mp4 --encode-master " + kMaster + " --jobs 2", "renders nothing"},
      {"--out v.mp4 --encode-master " + kMaster + " --supersample 2", "renders nothing"},
      // The folders must be there before any work, and shape pictures only.
      {"--shaders /no/such/folder --at 5 --out d", "--shaders /no/such/folder: No such file"},
      {"--shaders /dev/null --at 5 --out d", "--shaders /dev/null: not a folder"},
      {"--shaders '' --at 5 --out d", "--shaders needs a folder"},
      {"--tracks /dev/null --at 5 --out d", "--tracks /dev/null: not a folder"},
      {"--shaders /tmp --audio a.wav", "--shaders serves the pictures"},
      {"--tracks /tmp --audio a.wav", "--tracks serves the pictures"},
      // --jobs: in range, once, for a span's frames only, not beside what needs one process.
      {"--frames d --jobs 0", "from 1 to 16"}, {"--frames d --jobs 17", "from 1 to 16"},
      {"--at 5 --out d --jobs 2", "--at"}, {"--audio a.wav --jobs 2", "music alone"},
      {"--frames d --jobs 2 --stats s.csv", "--stats"}, {"--out v.mkv --jobs 1 --pass-stats p.csv", "--pass-stats"},
      {"--frames d --gl-debug --jobs 2", "--gl-debug"},
  };
  for (const auto& request : refused)
    EXPECT_NE(refusal(request.first).find(request.second), std::string::npos) << request.first << ": "
                                                                             << refusal(request.first);
  // Their near neighbours are fine: odd sizes for pictures, the smallest size, the last
  // millisecond of the show, the music beside stills, the most --at times, no samples.
  const std::vector<std::string> accepted = {
      "--frames d --size 161x91", "--at 5 --out d --size 4x4", "--audio a.wav --from 191.999",
      "--at 5 --out d --audio a.wav", "--out V.MKV --size 4x4 --encoder-timeout 5", "--audio -",
      "--frames seq --stats s.csv", "--frames d --stats -", "--out d --at " + most, "--samples 0 --at 5 --out dir",
      "--samples 32 --at 5 --out dir", "--at 5 --out d --pass-stats p.csv", "--frames d --stats s.csv --pass-stats -",
      "--list-scenes", "--out v.mkv --master --jobs 2", "--out v.mp4 --crf 0", "--out v.mp4 --crf 51 --supersample 4",
      "--at 5 --out d --supersample 3", "--out v.mkv --encode-master " + kMaster + " --audio a.wav --crf 20",
      "--fps 1000 --frames d --jobs 1", "--out v.mkv --encoder-preset veryslow"};
  for (const std::string& line : accepted) EXPECT_EQ(refusal(line), "") << line;
}

// One chapter per scene shown in the span, named as the scene, from its start or the span's,
// to the next one's start or the span's end, in milliseconds from the span's start.
TEST(CaptureSpan, ChaptersAreTheScenesOfTheSpan) {
  std::string chapters, head = "[CHAPTER]\nTIMEBASE=1/1000\nSTART=";
  for (const char* chapter : {"0\nEND=34000\ntitle=forest", "34000\nEND=78000\ntitle=tv",
                              "78000\nEND=110000\ntitle=pacman", "110000\nEND=126000\ntitle=cubes",
                              "126000\nEND=192000\ntitle=curves"})
    chapters += head + chapter + "\n";
  EXPECT_EQ(chapterMetadata(0, kShowEndMs), ";FFMETADATA1\n" + chapters);
  EXPECT_EQ(chapterMetadata(77000, 79500), ";FFMETADATA1\n" + head + "0\nEND=1000\ntitle=tv\n" + head +
                                               "1000\nEND=2500\ntitle=pacman\n");
  EXPECT_EQ(chapterCount(78000, 110000), 1);  // the scene's own span: no chapter of the next
}

// The span in whole milliseconds; its music starts at the tick of its frame 0, off the
// second grid or not.
TEST(CaptureSpan, WholeMillisecondsAndMusicFromTheFirstFramesInstant) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse("--frames d --fps 10 --from 80.0504 --to 81", o, error)) << error;
  SpanPlan plan = planSpan(o);
  EXPECT_EQ(plan.fromMs, 80050u);
  EXPECT_EQ(plan.frameCount, 10);
  EXPECT_EQ(plan.firstSample, 3530205);  // 80.050 s * 44100
  EXPECT_EQ(plan.endSample, 81 * 44100);
  o.fromSeconds = 80.0004;  // frame 0 runs at tick 80000, and so does the music
  plan = planSpan(o);
  EXPECT_EQ(plan.firstSample, 80 * 44100);
  EXPECT_EQ(plan.frameCount, 10);
  uint32_t fromMs = 0, toMs = 0;
  o.toSeconds = -1;
  spanMilliseconds(o, fromMs, toMs);
  EXPECT_EQ(toMs, 192000u);  // no end given: the end of the show
}

}  // namespace
