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

bool parse(std::vector<std::string> words, CaptureOptions& options, std::string& error) {
  std::vector<char*> argv = {const_cast<char*>("demo-capture")};
  for (std::string& w : words) argv.push_back(&w[0]);
  return parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CaptureOptions, StillsWithSizeRateTimesAndContextOptions) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--size", "640x360", "--fps", "30", "--at", "8,25.5,0.001", "--out", "dir"}, o, error))
      << error;
  EXPECT_EQ(std::vector<int>({o.width, o.height, o.fps}), std::vector<int>({640, 360, 30}));
  EXPECT_EQ(o.atMs, (std::vector<uint32_t>{8000, 25500, 1}));
  EXPECT_EQ(eglRequest(o).samples, 0);
  EXPECT_FALSE(eglRequest(o).debug);
  // --gl-debug takes no value: the option after it is still read as an option.
  CaptureOptions c;
  ASSERT_TRUE(parse({"--gl-debug", "--samples", "4", "--at", "5", "--out", "dir"}, c, error)) << error;
  EXPECT_EQ(c.atMs, std::vector<uint32_t>{5000});
  EXPECT_EQ(eglRequest(c).samples, 4);
  EXPECT_TRUE(eglRequest(c).debug);
  CaptureOptions last;
  ASSERT_TRUE(parse({"--at", "5", "--out", "dir", "--gl-debug"}, last, error)) << error;
  EXPECT_TRUE(eglRequest(last).debug);
  CaptureOptions help;
  ASSERT_TRUE(parse({"--help"}, help, error));
  EXPECT_TRUE(help.help);
}

// Malformed input, options given twice (the second would silently win) or that the request
// would ignore, numbers that are not plain decimals, and requests that would fail late or
// render for nothing are refused whole with a reason, naming the cause where one is given here.
TEST(CaptureOptions, BadInputAndRequestsThatCannotBeMetAreRefusedBeforeAnyWork) {
  std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--size", "640"}, ""}, {{"--size", "0x10"}, ""}, {{"--size", "64x-1"}, ""}, {{"--fps", "0"}, ""},
      {{"--fps", "ten"}, ""}, {{"--at", "8,,9", "--out", "d"}, ""}, {{"--at", "192", "--out", "d"}, ""},
      {{"--at", "-1", "--out", "d"}, ""}, {{"--at", "5"}, ""}, {{"--bogus", "1"}, ""}, {{"--out"}, ""}, {{}, ""},
      {{"stray"}, ""}, {{"--from", "10", "--to", "5", "--audio", "a.wav"}, ""},
      {{"--to", "300", "--audio", "a.wav"}, ""}, {{"--out", "x.mp4", "--stats", ""}, ""},
      {{"--out", "v.mp4", "--size", "161x90"}, "even"}, {{"--out", "v.mkv", "--size", "160x91"}, "even"},
      {{"--at", "5", "--out", "d", "--size", "3x100"}, "4 pixels"}, {{"--frames", "d", "--size", "100x2"}, "4 pixels"},
      {{"--audio", "a.wav", "--from", "192"}, "empty"},
      {{"--out", "v.mp4", "--from", "191.9996"}, "empty"},  // rounds to the end of the show
      {{"--frames", "d", "--from", "80", "--to", "80.0004"}, "empty"},
      {{"--at", "5", "--out", "d", "--frames", "e"}, "--at"}, {{"--at", "5", "--out", "d", "--from", "1"}, "--at"},
      {{"--at", "5", "--out", "d", "--to", "9"}, "--at"}, {{"--at", "191.9996", "--out", "d"}, "--at"},
      {{"--frames", "d", "--out", "v.mp4"}, "--frames"}, {{"--audio", "a.wav", "--out", "v.avi"}, "v.avi"},
      {{"--out", "v.mp4/"}, ".mp4 or .mkv"}, {{"--audio", "a.wav", "--encoder-timeout", "0"}, "--encoder-timeout"},
      {{"--audio", "m.wav", "--stats", "s.csv"}, "--stats"},  // the music alone has no frames to measure
      {{"--out", "a.mp4", "--out", "b.mp4"}, "--out"}, {{"--frames", "d", "--fps", "10", "--fps", "20"}, "--fps"},
      {{"--audio", "a.wav", "--to", "5", "--to", "6"}, "--to"}, {{"--at", "5", "--at", "6", "--out", "d"}, "--at"},
      {{"--audio", "a.wav", "--size", "64x36"}, "--size"}, {{"--audio", "a.wav", "--fps", "10"}, "--fps"},
      {{"--audio", "a.wav", "--encoder-timeout", "5"}, "--encoder-timeout"},
      {{"--at", "5", "--out", "d", "--encoder-timeout", "5"}, "--encoder-timeout"},
      {{"--frames", "d", "--encoder-timeout", "5"}, "--encoder-timeout"},
      // The encoder's speed: a video's only, one of its names, once.
      {{"--frames", "d", "--encoder-preset", "fast"}, "--encoder-preset"},
      {{"--at", "5", "--out", "d", "--encoder-preset", "fast"}, "--encoder-preset"},
      {{"--audio", "a.wav", "--encoder-preset", "fast"}, "--encoder-preset"},
      {{"--out", "v.mp4", "--encoder-preset", "Fast"}, "--encoder-preset"},
      {{"--out", "v.mp4", "--encoder-preset", ""}, "--encoder-preset"},
      {{"--out", "v.mp4", "--encoder-preset", "fast -crf 0"}, "--encoder-preset"},
      {{"--out", "v.mp4", "--encoder-preset", "fast", "--encoder-preset", "slow"}, "more than once"},
      {{"--audio", "-", "--frames", "d", "--stats", "-"}, "standard output"},
      // Per-pass figures: frames to measure, one file of their own, given once.
      {{"--audio", "m.wav", "--pass-stats", "p.csv"}, "--pass-stats"},
      {{"--frames", "d", "--pass-stats", "p.csv", "--pass-stats", "q.csv"}, "--pass-stats"},
      {{"--frames", "d", "--pass-stats", ""}, "--pass-stats"},
      {{"--frames", "d", "--stats", "-", "--pass-stats", "-"}, "standard output"},
      {{"--audio", "-", "--frames", "d", "--pass-stats", "-"}, "standard output"},
      {{"--frames", "d", "--stats", "s.csv", "--pass-stats", "s.csv"}, "--pass-stats"},
      {{"--frames", "d", "--from", "0x10"}, "0x10"}, {{"--frames", "d", "--from", " 16"}, "--from"},
      {{"--frames", "d", "--fps", "+10"}, "--fps"}, {{"--frames", "d", "--size", "64x 36"}, "--size"},
      {{"--at", "1e1", "--out", "d"}, "--at"}, {{"--at", "5", "--out", "dir", "--samples"}, "--samples needs a value"},
      {{"--audio", "a.wav", "--list-scenes"}, "--list-scenes takes no other"},
      {{"--list-scenes", "--list-scenes"}, "more than once"},
  };
  for (const char* bad : {"", "-1", "33", "4x", "four", "1e1", "99999999999999999999"})
    refused.push_back({{"--samples", bad, "--at", "5", "--out", "dir"}, "--samples"});
  // Supersampling, quality and the master: in range, where each applies, the master lossless
  // in Matroska; a master to encode must be a readable file other than the video.
  const std::string master = __FILE__;  // any regular file will do for the options
  const std::vector<std::pair<std::vector<std::string>, std::string>> publishing = {
      {{"--frames", "d", "--supersample", "5"}, "from 2 to 4"},
      {{"--audio", "a.wav", "--supersample", "2"}, "--supersample"},
      {{"--frames", "d", "--size", "20000x64", "--supersample", "4"}, "renders 80000x256, more than 65536"},
      {{"--out", "v.mp4", "--crf", "52"}, "--crf"}, {{"--frames", "d", "--crf", "5"}, "--crf"},
      {{"--out", "v.mp4", "--master"}, ".mkv"}, {{"--at", "5", "--out", "d", "--master"}, "--master"},
      {{"--out", "v.mkv", "--master", "--crf", "10"}, "lossless"},
      {{"--out", "v.mkv", "--master", "--encoder-preset", "fast"}, "lossless"},
      {{"--out", "v.mp4", "--encode-master", "/no/such.mkv"}, "No such file"},
      {{"--out", "v.mp4", "--encode-master", "/tmp"}, "not a regular file"},
      {{"--frames", "d", "--encode-master", master}, "--encode-master"},
      {{"--out", "v.mkv", "--master", "--encode-master", master}, "--master"},
      {{"--out", master, "--encode-master", master}, "same file"},
      {{"--out", "v.mp4", "--encode-master", master, "--jobs", "2"}, "renders nothing"},
      {{"--out", "v.mp4", "--encode-master", master, "--supersample", "2"}, "renders nothing"},
  };
  refused.insert(refused.end(), publishing.begin(), publishing.end());
  for (const auto& request : refused) {
    CaptureOptions o;
    std::string error;
    EXPECT_TRUE(!parse(request.first, o, error) && !error.empty()) << testing::PrintToString(request.first);
    EXPECT_NE(error.find(request.second), std::string::npos) << testing::PrintToString(request.first) << ": " << error;
  }
  // Their near neighbours are fine: odd sizes for pictures, the smallest size, the last
  // millisecond of the show, the music beside stills, the most --at times, no samples.
  std::string most = "0";
  for (int i = 1; i < kMaxAtTimes; ++i) most += "," + std::to_string(i);
  const std::vector<std::vector<std::string>> accepted = {
      {"--frames", "d", "--size", "161x91"}, {"--at", "5", "--out", "d", "--size", "4x4"},
      {"--audio", "a.wav", "--from", "191.999"}, {"--at", "5", "--out", "d", "--audio", "a.wav"},
      {"--out", "V.MKV", "--size", "4x4", "--encoder-timeout", "5"}, {"--audio", "-"},
      {"--frames", "seq", "--stats", "s.csv"}, {"--frames", "d", "--stats", "-"}, {"--out", "d", "--at", most},
      {"--samples", "0", "--at", "5", "--out", "dir"}, {"--at", "5", "--out", "d", "--pass-stats", "p.csv"},
      {"--frames", "d", "--stats", "s.csv", "--pass-stats", "-"}, {"--list-scenes"},
      {"--out", "v.mkv", "--master", "--jobs", "2"}, {"--out", "v.mp4", "--crf", "0"},
      {"--out", "v.mp4", "--crf", "51", "--supersample", "4"}, {"--at", "5", "--out", "d", "--supersample", "3"},
      {"--out", "v.mkv", "--encode-master", master, "--audio", "a.wav", "--crf", "20"},
  };
  for (const auto& words : accepted) {
    CaptureOptions o;
    std::string error;
    EXPECT_TRUE(parse(words, o, error)) << testing::PrintToString(words) << ": " << error;
  }
  for (const char* preset : kEncoderPresets) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--out", "v.mkv", "--encoder-preset", preset}, o, error)) << preset << ": " << error;
    EXPECT_EQ(o.encoderPreset, preset);
  }
  CaptureOptions plain;
  std::string error;
  ASSERT_TRUE(parse({"--out", "v.mp4"}, plain, error)) << error;
  EXPECT_EQ(plain.encoderPreset, std::string(kDefaultEncoderPreset));
  CaptureOptions tooMany;
  EXPECT_FALSE(parse({"--out", "d", "--at", most + ",100"}, tooMany, error));
}

// --shaders and --tracks: the folder must be there before any work; it shapes pictures only; once.
TEST(CaptureOptions, ShaderAndTrackFoldersAreCheckedAtOnce) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--shaders", "/tmp", "--tracks", "/", "--at", "5", "--out", "d"}, o, error)) << error;
  EXPECT_EQ(o.shaders, "/tmp");
  EXPECT_EQ(o.tracks, "/");
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--shaders", "/no/such/folder", "--at", "5", "--out", "d"}, "--shaders /no/such/folder: No such file"},
      {{"--shaders", "/dev/null", "--at", "5", "--out", "d"}, "--shaders /dev/null: not a folder"},
      {{"--shaders", "", "--at", "5", "--out", "d"}, "--shaders needs a folder"},
      {{"--shaders", "/tmp", "--shaders", "/tmp", "--at", "5", "--out", "d"}, "--shaders is given more than once"},
      {{"--shaders", "/tmp", "--audio", "a.wav"}, "--shaders serves the pictures"},
      {{"--at", "5", "--out", "d", "--shaders"}, "--shaders needs a value"},
      {{"--tracks", "/dev/null", "--at", "5", "--out", "d"}, "--tracks /dev/null: not a folder"},
      {{"--tracks", "/tmp", "--audio", "a.wav"}, "--tracks serves the pictures"},
  };
  for (const auto& request : refused) {
    CaptureOptions refusedOptions;
    EXPECT_FALSE(parse(request.first, refusedOptions, error)) << testing::PrintToString(request.first);
    EXPECT_NE(error.find(request.second), std::string::npos) << error;
  }
}

// --jobs: a whole number in range, once, for a span's frames only, and not beside what needs
// one rendering process.
TEST(CaptureOptions, JobsForSpansOnly) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--frames", "d"}, o, error)) << error;
  EXPECT_EQ(o.jobs, 1);
  CaptureOptions video;
  ASSERT_TRUE(parse({"--out", "v.mp4", "--jobs", "16"}, video, error)) << error;
  EXPECT_EQ(video.jobs, 16);
  CaptureOptions frames;
  ASSERT_TRUE(parse({"--jobs", "3", "--frames", "d", "--audio", "a.wav"}, frames, error)) << error;
  EXPECT_EQ(frames.jobs, 3);
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--frames", "d", "--jobs", "0"}, "from 1 to 16"}, {{"--frames", "d", "--jobs", "17"}, "from 1 to 16"},
      {{"--frames", "d", "--jobs", "2.0"}, "--jobs"}, {{"--frames", "d", "--jobs", "-2"}, "--jobs"},
      {{"--frames", "d", "--jobs", " 2"}, "--jobs"}, {{"--frames", "d", "--jobs", ""}, "--jobs"},
      {{"--frames", "d", "--jobs"}, "--jobs needs a value"},
      {{"--frames", "d", "--jobs", "2", "--jobs", "3"}, "--jobs is given more than once"},
      {{"--at", "5", "--out", "d", "--jobs", "2"}, "--at"}, {{"--audio", "a.wav", "--jobs", "2"}, "music alone"},
      {{"--frames", "d", "--jobs", "2", "--stats", "s.csv"}, "--stats"},
      {{"--out", "v.mkv", "--jobs", "1", "--pass-stats", "p.csv"}, "--pass-stats"},
      {{"--frames", "d", "--gl-debug", "--jobs", "2"}, "--gl-debug"},
  };
  for (const auto& request : refused) {
    CaptureOptions refusedOptions;
    EXPECT_FALSE(parse(request.first, refusedOptions, error)) << testing::PrintToString(request.first);
    EXPECT_NE(error.find(request.second), std::string::npos) << testing::PrintToString(request.first) << ": " << error;
  }
  for (const char* option : {"--jobs N", "--supersample N", "--crf N", "--master ", "--encode-master FILE"})
    EXPECT_NE(std::string(captureUsage()).find(option), std::string::npos) << option;
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
  ASSERT_TRUE(parse({"--frames", "d", "--fps", "10", "--from", "80.0504", "--to", "81"}, o, error)) << error;
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
