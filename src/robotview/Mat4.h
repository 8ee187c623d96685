#pragma once
// Small float vector, matrix and quaternion types for the robot view. Matrices are column-major
// and act on column vectors (p' = M × p), as OpenGL expects them; the .x file's row-vector
// matrices are turned into these in XSpace only.

#include <array>
#include <cstddef>

namespace robotview {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    bool operator==(const Vec3&) const = default;
};

float dot(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
float length(const Vec3& a);
// a scaled to length 1; the zero vector stays zero.
Vec3 normalized(const Vec3& a);

struct Mat4 {
    std::array<float, 16> m{}; // m[column * 4 + row]

    static Mat4 identity();
    static Mat4 translation(const Vec3& t);
    static Mat4 rotationZ(float radians); // counter-clockwise about +Z in a right-handed frame
    float& at(int row, int column) { return m[index(row, column)]; }
    float at(int row, int column) const { return m[index(row, column)]; }
    Mat4 operator*(const Mat4& o) const;
    Mat4 transposed() const;
    Vec3 transformPoint(const Vec3& p) const;
    Vec3 transformDirection(const Vec3& d) const;
    const float* data() const { return m.data(); }
    bool operator==(const Mat4&) const = default;

    static std::size_t index(int row, int column)
    {
        return static_cast<std::size_t>(column) * 4 + static_cast<std::size_t>(row);
    }
};

struct Quat {
    float x = 0, y = 0, z = 0, w = 1; // vector part (x, y, z), scalar part w

    // a × b: first b, then a.
    Quat operator*(const Quat& o) const;
    Quat normalized() const;
    Mat4 toMatrix() const;
};

// The rotation that turns the unit vector from onto the unit vector to along the shorter arc.
// Opposite vectors give a half turn about an axis perpendicular to both, never NaN.
Quat arcRotation(const Vec3& from, const Vec3& to);

// Right-handed view and projection as OpenGL uses them.
Mat4 lookAt(const Vec3& eye, const Vec3& centre, const Vec3& up);
// Aspect ratio width / height; a height of 0 counts as 1.
Mat4 perspective(float fovY, float aspect, float zNear, float zFar);

} // namespace robotview
