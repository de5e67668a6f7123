// Small single-precision vector type shared by tracks, meshes and scenes.
#pragma once

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  Vec3() = default;
  constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return a * s; }
inline bool operator==(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
// Coordinate c of v: 0 is x, 1 is y, 2 is z.
inline float& component(Vec3& v, int c) { return c == 0 ? v.x : c == 1 ? v.y : v.z; }
// Scalar product.
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// Right-handed vector product.
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
// Euclidean length.
float length(Vec3 a);
// Unit vector along a; a zero vector has no direction and comes back as NaNs.
Vec3 normalize(Vec3 a);
