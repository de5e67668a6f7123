// Helpers several unit tests share: an independent copy of the random rule, vector
// comparison, file reads and checks, and a scratch folder.
#pragma once

#include "render/matrix.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

// The runtime generator's rule, written out independently of the program's.
struct Lcg {
  uint32_t state;
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// Expects each coordinate within tolerance.
inline void expectVec(Vec3 actual, Vec3 expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// The whole file as text; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether anything (a link included) is at path.
inline bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// A fresh folder under /tmp, removed with everything in it afterwards.
struct TempFolder {
  char path[40] = "/tmp/unit_test.XXXXXX";
  TempFolder() { EXPECT_NE(mkdtemp(path), nullptr); }
  ~TempFolder() { EXPECT_EQ(std::system(("rm -rf " + std::string(path)).c_str()), 0); }
  std::string at(const std::string& name) const { return std::string(path) + "/" + name; }
};
