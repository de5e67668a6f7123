// The capture tool's command line: good input parsed exactly, bad input refused.
#include "capture/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool parse(std::vector<std::string> words, CaptureOptions& options, std::string& error) {
  std::vector<char*> argv = {const_cast<char*>("demo-capture")};
  for (std::string& w : words) argv.push_back(&w[0]);
  return parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CaptureOptions, StillsWithSizeRateAndTimes) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--size", "640x360", "--fps", "30", "--at", "8,25.5,0.001", "--out", "dir"}, o, error))
      << error;
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 360);
  EXPECT_EQ(o.fps, 30);
  EXPECT_EQ(o.atMs, (std::vector<uint32_t>{8000, 25500, 1}));
  EXPECT_EQ(o.out, "dir");
}

TEST(CaptureOptions, BadInputIsRefusedWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--size", "640"},           {"--size", "0x10"},          {"--size", "64x-1"},
      {"--fps", "0"},              {"--fps", "ten"},            {"--at", "8,,9", "--out", "d"},
      {"--at", "192", "--out", "d"}, {"--at", "-1", "--out", "d"}, {"--at", "5"},
      {"--bogus", "1"},            {"--out"},                   {},
      {"--from", "10", "--to", "5", "--audio", "a.wav"},        {"--to", "300", "--audio", "a.wav"},
      {"stray"},
  };
  for (const auto& words : bad) {
    CaptureOptions o;
    std::string error;
    std::string joined;
    for (const auto& w : words) joined += w + " ";
    EXPECT_FALSE(parse(words, o, error)) << joined;
    EXPECT_FALSE(error.empty()) << joined;
  }
}

TEST(CaptureOptions, HelpNeedsNothingElse) {
  CaptureOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--help"}, o, error));
  EXPECT_TRUE(o.help);
  EXPECT_NE(std::string(captureUsage()).find("--at"), std::string::npos);
}

}  // namespace
