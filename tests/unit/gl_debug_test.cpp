// The --gl-debug report: each distinct message once as it first comes, counts at the end.
#include "base/gl.h"
#include "capture/gl_debug.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GlDebugLog, EachKindPrintedOnceAndCountedInTheReport) {
  GlDebugLog log;
  EXPECT_EQ(log.summary(), "");
  EXPECT_EQ(log.add(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH, "bad blit"),
            "GL debug (error, high, api, id 1282): bad blit");
  for (int again = 0; again < 2; ++again)
    EXPECT_EQ(log.add(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH, "bad blit"), "");
  // The same text of another type, severity or source is another kind.
  EXPECT_NE(log.add(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_PERFORMANCE, 1282, GL_DEBUG_SEVERITY_MEDIUM, "bad blit"), "");
  EXPECT_NE(log.add(GL_DEBUG_SOURCE_SHADER_COMPILER, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH, "bad blit"),
            "");
  EXPECT_NE(log.add(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, 1282, GL_DEBUG_SEVERITY_HIGH, "bad blit!"), "");
  EXPECT_EQ(log.summary(),
            "GL debug: 6 messages of 4 kinds:\n"
            "  3 x GL debug (error, high, api, id 1282): bad blit\n"
            "  1 x GL debug (performance, medium, api, id 1282): bad blit\n"
            "  1 x GL debug (error, high, shader compiler, id 1282): bad blit\n"
            "  1 x GL debug (error, high, api, id 1282): bad blit!\n");
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
