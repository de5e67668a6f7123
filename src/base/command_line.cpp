// Strict parsing of the values the programs' options take.
#include "base/command_line.h"

#include <cstdlib>
#include <cstring>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Counts the digits at the start of text.
size_t digitRun(const char* text) {
  size_t n = 0;
  while (isDigit(text[n])) ++n;
  return n;
}

}  // namespace

bool parseWholeNumber(const char* text, int low, int high, int& out) {
  size_t digits = digitRun(text);
  if (digits == 0 || digits > kMaxDecimalDigits || text[digits] != '\0') return false;
  long value = std::strtol(text, nullptr, 10);
  if (value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

bool parseSeconds(const char* text, double high, double& out) {
  size_t whole = digitRun(text);
  if (whole == 0 || whole > kMaxDecimalDigits) return false;
  const char* rest = text + whole;
  if (*rest == '.') {
    size_t fraction = digitRun(rest + 1);
    if (fraction == 0) return false;
    rest += 1 + fraction;
  }
  if (*rest != '\0') return false;
  // Only digits and one point are left: strtod reads them the same in every locale that
  // uses the point, and the C locale is the program's.
  double value = std::strtod(text, nullptr);
  if (value > high) return false;
  out = value;
  return true;
}

bool parseSize(const char* text, int maxSide, int& width, int& height) {
  const char* x = std::strchr(text, 'x');
  if (!x) return false;
  std::string w(text, x - text);
  int parsedWidth, parsedHeight;
  if (!parseWholeNumber(w.c_str(), 1, maxSide, parsedWidth) || !parseWholeNumber(x + 1, 1, maxSide, parsedHeight))
    return false;
  width = parsedWidth;
  height = parsedHeight;
  return true;
}
