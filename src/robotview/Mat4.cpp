#include "robotview/Mat4.h"

#include <cmath>

namespace robotview {

float dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float length(const Vec3& a)
{
    return std::sqrt(dot(a, a));
}

Vec3 normalized(const Vec3& a)
{
    float l = length(a);
    return l > 0 ? a * (1.0f / l) : Vec3{};
}

Mat4 Mat4::identity()
{
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        r.at(i, i) = 1;
    return r;
}

Mat4 Mat4::translation(const Vec3& t)
{
    Mat4 r = identity();
    r.at(0, 3) = t.x;
    r.at(1, 3) = t.y;
    r.at(2, 3) = t.z;
    return r;
}

Mat4 Mat4::rotationZ(float radians)
{
    Mat4 r = identity();
    float c = std::cos(radians), s = std::sin(radians);
    r.at(0, 0) = c;
    r.at(0, 1) = -s;
    r.at(1, 0) = s;
    r.at(1, 1) = c;
    return r;
}

Mat4 Mat4::operator*(const Mat4& o) const
{
    Mat4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += at(row, k) * o.at(k, c);
            r.at(row, c) = sum;
        }
    return r;
}

Mat4 Mat4::transposed() const
{
    Mat4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            r.at(row, c) = at(c, row);
    return r;
}

Vec3 Mat4::transformPoint(const Vec3& p) const
{
    return {at(0, 0) * p.x + at(0, 1) * p.y + at(0, 2) * p.z + at(0, 3),
            at(1, 0) * p.x + at(1, 1) * p.y + at(1, 2) * p.z + at(1, 3),
            at(2, 0) * p.x + at(2, 1) * p.y + at(2, 2) * p.z + at(2, 3)};
}

Vec3 Mat4::transformDirection(const Vec3& d) const
{
    return {at(0, 0) * d.x + at(0, 1) * d.y + at(0, 2) * d.z,
            at(1, 0) * d.x + at(1, 1) * d.y + at(1, 2) * d.z,
            at(2, 0) * d.x + at(2, 1) * d.y + at(2, 2) * d.z};
}

Quat Quat::operator*(const Quat& o) const
{
    return {w * o.x + x * o.w + y * o.z - z * o.y, w * o.y - x * o.z + y * o.w + z * o.x,
            w * o.z + x * o.y - y * o.x + z * o.w, w * o.w - x * o.x - y * o.y - z * o.z};
}

Quat Quat::normalized() const
{
    float l = std::sqrt(x * x + y * y + z * z + w * w);
    if (!(l > 0))
        return {};
    return {x / l, y / l, z / l, w / l};
}

Mat4 Quat::toMatrix() const
{
    Mat4 r = Mat4::identity();
    r.at(0, 0) = 1 - 2 * (y * y + z * z);
    r.at(0, 1) = 2 * (x * y - z * w);
    r.at(0, 2) = 2 * (x * z + y * w);
    r.at(1, 0) = 2 * (x * y + z * w);
    r.at(1, 1) = 1 - 2 * (x * x + z * z);
    r.at(1, 2) = 2 * (y * z - x * w);
    r.at(2, 0) = 2 * (x * z - y * w);
    r.at(2, 1) = 2 * (y * z + x * w);
    r.at(2, 2) = 1 - 2 * (x * x + y * y);
    return r;
}

Quat arcRotation(const Vec3& from, const Vec3& to)
{
    Vec3 p = normalized(from);
    Vec3 h = normalized(p + normalized(to));
    if (length(h) == 0) {
        // Opposite points: the halfway vector is undefined, so turn half way round an axis
        // perpendicular to p (the one closest to the view's vertical where possible).
        Vec3 axis = cross(p, Vec3{0, 1, 0});
        if (length(axis) < 1e-6f)
            axis = cross(p, Vec3{1, 0, 0});
        axis = normalized(axis);
        return {axis.x, axis.y, axis.z, 0};
    }
    Vec3 v = cross(p, h);
    return Quat{v.x, v.y, v.z, dot(p, h)}.normalized();
}

Mat4 lookAt(const Vec3& eye, const Vec3& centre, const Vec3& up)
{
    Vec3 f = normalized(centre - eye);
    Vec3 s = normalized(cross(f, up));
    Vec3 u = cross(s, f);
    Mat4 r = Mat4::identity();
    r.at(0, 0) = s.x;
    r.at(0, 1) = s.y;
    r.at(0, 2) = s.z;
    r.at(1, 0) = u.x;
    r.at(1, 1) = u.y;
    r.at(1, 2) = u.z;
    r.at(2, 0) = -f.x;
    r.at(2, 1) = -f.y;
    r.at(2, 2) = -f.z;
    r.at(0, 3) = -dot(s, eye);
    r.at(1, 3) = -dot(u, eye);
    r.at(2, 3) = dot(f, eye);
    return r;
}

Mat4 perspective(float fovY, float aspect, float zNear, float zFar)
{
    if (!(aspect > 0) || !std::isfinite(aspect))
        aspect = 1;
    float f = 1.0f / std::tan(fovY / 2);
    Mat4 r;
    r.at(0, 0) = f / aspect;
    r.at(1, 1) = f;
    r.at(2, 2) = (zFar + zNear) / (zNear - zFar);
    r.at(2, 3) = 2 * zFar * zNear / (zNear - zFar);
    r.at(3, 2) = -1;
    return r;
}

} // namespace robotview
