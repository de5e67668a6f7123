// Keyframe tracks: keys of value and Hermite tangent at times in centiseconds, evaluated
// by unscaled cubic Hermite interpolation with a binary search and a one-entry cache.
#pragma once

#include "render/vec.h"

#include <algorithm>
#include <cstdint>
#include <vector>

template <typename T>
struct Keyframe {
  T value{};       // at the key
  T tangent{};     // derivative with respect to u (0..1 across the interval), not per centisecond
  uint32_t time;   // centiseconds since the scene became current
};

template <typename T>
struct KeyframeTrack {
  T cachedValue{};          // last interpolated value
  uint32_t cachedTime = 0;  // time of cachedValue; meaningless until cacheValid
  bool cacheValid = false;  // a new track's cache matches no time
  std::vector<Keyframe<T>> keys;  // ascending time once finished
  int32_t count = 0;              // keys, stored by finish()

  // Appends a key; keys may come in any order.
  void addKey(T value, T tangent, uint32_t time) { keys.push_back({value, tangent, time}); }

  // Sorts the keys by time and records their count; called once after the last addKey.
  void finish() {
    std::sort(keys.begin(), keys.end(),
              [](const Keyframe<T>& a, const Keyframe<T>& b) { return a.time < b.time; });
    count = static_cast<int32_t>(keys.size());
  }

  // The value at t centiseconds of the finished track; zero for an empty one (its file
  // could not be read), which the programs never show: they refuse such a file at start-up.
  T evaluate(uint32_t t) {
    if (count <= 0) return T{};
    if (cacheValid && t == cachedTime) return cachedValue;
    int32_t lo = 0, hi = count - 1;
    while (hi - 1 > lo) {
      int32_t mid = (lo + hi) / 2;
      if (t > keys[mid].time)
        lo = mid;
      else
        hi = mid;
    }
    if (lo == hi) return keys[lo].value;
    if (t >= keys[hi].time) return keys[hi].value;
    if (t <= keys[lo].time) return keys[lo].value;
    float u = static_cast<float>(t - keys[lo].time) / static_cast<float>(keys[hi].time - keys[lo].time);
    float u2 = u * u, u3 = u2 * u;
    float h00 = 2 * u3 - 3 * u2 + 1;
    float h10 = u3 - 2 * u2 + u;
    float h01 = -2 * u3 + 3 * u2;
    float h11 = u3 - u2;
    cachedValue = keys[lo].value * h00 + keys[lo].tangent * h10 + keys[hi].value * h01 + keys[hi].tangent * h11;
    cachedTime = t;
    cacheValid = true;
    return cachedValue;
  }
};
