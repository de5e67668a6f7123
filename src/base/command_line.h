// Value parsers shared by the demo's and the capture tool's command lines. They are strict:
// plain decimal digits only (no sign, no hexadecimal, no exponent, no spaces), so that what
// is accepted is exactly what the usage text shows.
#pragma once

#include <set>
#include <string>

constexpr int kMaxDecimalDigits = 9;  // fits an int with room to spare

// A whole number of plain digits in [low, high].
bool parseWholeNumber(const char* text, int low, int high, int& out);
// Seconds as plain digits with an optional fraction ("12", "12.5", "0.25") in [0, high].
bool parseSeconds(const char* text, double high, double& out);
// A size "WxH" of two whole numbers, each in [1, maxSide].
bool parseSize(const char* text, int maxSide, int& width, int& height);

// The options met so far on one command line, so that a repeated one can be refused.
struct OptionsSeen {
  std::set<std::string> names;  // the flags given so far
  // Records flag; false when it was already given.
  bool first(const std::string& flag) { return names.insert(flag).second; }
  // True when flag was given.
  bool has(const std::string& flag) const { return names.count(flag) != 0; }
};
