// The capture tool's context options: --samples and --gl-debug, parsed and handed to EGL.
#include "capture/offscreen.h"
#include "capture/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool parseWords(std::vector<std::string> words, CaptureOptions& options, std::string& error) {
  std::vector<char*> argv = {const_cast<char*>("demo-capture")};
  for (std::string& w : words) argv.push_back(&w[0]);
  return parseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CaptureContextOptions, SamplesAndDebugReachTheContextRequest) {
  CaptureOptions plain;
  std::string error;
  ASSERT_TRUE(parseWords({"--at", "5", "--out", "dir"}, plain, error)) << error;
  EXPECT_EQ(eglRequest(plain).samples, 0);
  EXPECT_FALSE(eglRequest(plain).debug);

  CaptureOptions o;
  // --gl-debug takes no value: the option after it is still read as an option.
  ASSERT_TRUE(parseWords({"--gl-debug", "--samples", "4", "--at", "5", "--out", "dir"}, o, error)) << error;
  EXPECT_EQ(o.samples, 4);
  EXPECT_TRUE(o.glDebug);
  EXPECT_EQ(o.atMs, std::vector<uint32_t>{5000});
  EXPECT_EQ(eglRequest(o).samples, 4);
  EXPECT_TRUE(eglRequest(o).debug);

  CaptureOptions last;
  ASSERT_TRUE(parseWords({"--at", "5", "--out", "dir", "--gl-debug"}, last, error)) << error;
  EXPECT_TRUE(last.glDebug);
  CaptureOptions none;
  ASSERT_TRUE(parseWords({"--samples", "0", "--at", "5", "--out", "dir"}, none, error)) << error;
  EXPECT_EQ(none.samples, 0);
}

TEST(CaptureContextOptions, BadSampleCountsAreRefused) {
  for (const char* bad : {"", "-1", "33", "4x", "four", "1e1", "99999999999999999999"}) {
    CaptureOptions o;
    std::string error;
    EXPECT_FALSE(parseWords({"--samples", bad, "--at", "5", "--out", "dir"}, o, error)) << bad;
    EXPECT_NE(error.find("--samples"), std::string::npos) << bad << ": " << error;
  }
  CaptureOptions o;
  std::string error;
  EXPECT_FALSE(parseWords({"--at", "5", "--out", "dir", "--samples"}, o, error));
  EXPECT_NE(error.find("--samples needs a value"), std::string::npos) << error;
}

}  // namespace
