// Vector operations that need the math library.
#include "render/vec.h"

#include <cmath>

float length(Vec3 a) { return std::sqrt(dot(a, a)); }

Vec3 normalize(Vec3 a) { return a * (1.0f / length(a)); }
