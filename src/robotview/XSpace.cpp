#include "robotview/XSpace.h"

#include <cmath>

namespace robotview::xspace {

namespace {

// S = diag(1, 1, -1, 1): mirrors z, which turns the left-handed world into a right-handed one.
float flipSign(int i)
{
    return i == 2 ? -1.0f : 1.0f;
}

} // namespace

Mat4 matrixFromRows(const std::array<float, 16>& rows)
{
    // The file's element (r, c) acts on row vectors; transposed it acts on column vectors, and
    // S × Mᵀ × S changes the sign of every element with exactly one index equal to z.
    Mat4 r;
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
            r.at(row, c) =
                rows[static_cast<size_t>(c) * 4 + static_cast<size_t>(row)] * flipSign(row) * flipSign(c);
    return r;
}

Vec3 pointFromX(const Vec3& p)
{
    return {p.x, p.y, -p.z};
}

Vec3 directionFromX(const Vec3& d)
{
    return {d.x, d.y, -d.z};
}

Mat4 turnAboutLocalZ(const Mat4& local, float radians)
{
    // S commutes with a turn about Z, so (Rz × M) there is (S Mᵀ S)(S Rzᵀ S) = ours × Rz here.
    // Only the first two columns change: x' = c x + s y, y' = -s x + c y.
    const float c = std::cos(radians), s = std::sin(radians);
    Mat4 r = local;
    for (int row = 0; row < 4; ++row) {
        const float x = local.at(row, 0), y = local.at(row, 1);
        r.at(row, 0) = c * x + s * y;
        r.at(row, 1) = -s * x + c * y;
    }
    return r;
}

} // namespace robotview::xspace
