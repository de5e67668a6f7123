// Strict reading of numbers from the command line: plain decimal digits only, so that
// " 5", "+5", "0x10", "1e3", "inf" and "5s" are refused rather than read as something else.
// Header-only, so any program can share it.
#pragma once

#include <cstdint>
#include <cstdlib>

// Reads a whole number of decimal digits (no sign, no spaces) within [low, high] into out;
// false and out untouched otherwise.
inline bool parseStrictInt(const char* text, int64_t low, int64_t high, int64_t& out) {
  if (!text || !*text) return false;
  int64_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    int digit = *p - '0';
    if (value > (INT64_MAX - digit) / 10) return false;  // would overflow
    value = value * 10 + digit;
  }
  if (value < low || value > high) return false;
  out = value;
  return true;
}

// The same for an int.
inline bool parseStrictInt(const char* text, int low, int high, int& out) {
  int64_t value = 0;
  if (!parseStrictInt(text, static_cast<int64_t>(low), static_cast<int64_t>(high), value)) return false;
  out = static_cast<int>(value);
  return true;
}

// Reads digits with an optional fraction ("12", "12.5"; not ".5", "12.", signs, exponents or
// spaces) within [low, high] into out; false and out untouched otherwise.
inline bool parseStrictDecimal(const char* text, double low, double high, double& out) {
  constexpr int kMaxChars = 32;  // far more digits than a double holds
  if (!text || *text < '0' || *text > '9') return false;
  const char* p = text;
  while (*p >= '0' && *p <= '9') ++p;
  if (*p == '.') {
    ++p;
    if (*p < '0' || *p > '9') return false;
    while (*p >= '0' && *p <= '9') ++p;
  }
  if (*p || p - text > kMaxChars) return false;
  // The text is now plain decimal, which strtod reads correctly rounded.
  double value = std::strtod(text, nullptr);
  if (!(value >= low && value <= high)) return false;
  out = value;
  return true;
}
