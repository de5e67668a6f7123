// The --gl-debug report: each distinct message once as it first comes, counts at the end.
#include "base/gl.h"
#include "capture/gl_debug.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(GlDebugLog, EachKindPrintedOnceAndCountedInTheReport) {
  constexpr uint32_t api = GL_DEBUG_SOURCE_API, error = GL_DEBUG_TYPE_ERROR, high = GL_DEBUG_SEVERITY_HIGH;
  GlDebugLog log;
  EXPECT_EQ(log.summary(), "");
  EXPECT_EQ(log.add(api, error, 1282, high, "bad blit"), "GL debug (error, high, api, id 1282): bad blit");
  for (int again = 0; again < 2; ++again) EXPECT_EQ(log.add(api, error, 1282, high, "bad blit"), "");
  // The same message of another type, severity, source or id, or another text, is another kind.
  const std::vector<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, const char*>> others = {
      {api, GL_DEBUG_TYPE_PERFORMANCE, 1282, high, "bad blit"}, {api, error, 1283, high, "bad blit"},
      {api, error, 1282, GL_DEBUG_SEVERITY_MEDIUM, "bad blit"}, {api, error, 1282, high, "bad blit!"},
      {GL_DEBUG_SOURCE_SHADER_COMPILER, error, 1282, high, "bad blit"}};
  for (const auto& [source, type, id, severity, text] : others) log.add(source, type, id, severity, text);
  EXPECT_EQ(log.summary(),
            "GL debug: 8 messages of 6 kinds:\n"
            "  3 x GL debug (error, high, api, id 1282): bad blit\n"
            "  1 x GL debug (performance, high, api, id 1282): bad blit\n"
            "  1 x GL debug (error, high, api, id 1283): bad blit\n"
            "  1 x GL debug (error, medium, api, id 1282): bad blit\n"
            "  1 x GL debug (error, high, api, id 1282): bad blit!\n"
            "  1 x GL debug (error, high, shader compiler, id 1282): bad blit\n");
}

TEST(GlDebugLog, KindsBeyondTheLimitAreStillCounted) {
  GlDebugLog log;
  for (size_t i = 0; i < kMaxDistinctGlMessages + 3; ++i)
    log.add(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_OTHER, static_cast<uint32_t>(i), GL_DEBUG_SEVERITY_LOW, "m");
  // A kept kind is still counted as such.
  EXPECT_EQ(log.add(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_OTHER, 0, GL_DEBUG_SEVERITY_LOW, "m"), "");
  const std::string report = log.summary();
  EXPECT_EQ(report.rfind("GL debug: 516 messages of 512 kinds:\n  2 x GL debug (other, low, api, id 0): m\n", 0), 0u)
      << report.substr(0, 80);
  EXPECT_NE(report.find("\n  3 more of kinds not kept apart\n"), std::string::npos);
  // Unknown enumerants are named as such rather than misread.
  EXPECT_EQ(describeGlDebugMessage(1, 2, 3, 4, "x"), "GL debug (unknown, unknown, unknown, id 3): x");
}

}  // namespace
