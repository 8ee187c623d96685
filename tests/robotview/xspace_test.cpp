// The .x world (left-handed, row vectors) taken into ours, checked on matrices worked out by hand.

#include "robotview/XSpace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using robotview::Mat4;
using robotview::Vec3;
namespace xspace = robotview::xspace;

namespace {

// A .x matrix row by row, as the file writes it, and what it must be here.
struct Case {
    const char* what;
    std::array<float, 16> rows;
    std::array<float, 16> oursRowByRow;
};

Mat4 fromRowByRow(const std::array<float, 16>& r)
{
    Mat4 m;
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
            m.at(row, c) = r[static_cast<size_t>(row * 4 + c)];
    return m;
}

// p × M, the .x way.
Vec3 rowTimes(const Vec3& p, const std::array<float, 16>& m)
{
    auto e = [&](int r, int c) { return m[static_cast<size_t>(r * 4 + c)]; };
    return {p.x * e(0, 0) + p.y * e(1, 0) + p.z * e(2, 0) + e(3, 0),
            p.x * e(0, 1) + p.y * e(1, 1) + p.z * e(2, 1) + e(3, 1),
            p.x * e(0, 2) + p.y * e(1, 2) + p.z * e(2, 2) + e(3, 2)};
}

std::array<float, 16> rowProduct(const std::array<float, 16>& a, const std::array<float, 16>& b)
{
    std::array<float, 16> r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r[static_cast<size_t>(i * 4 + j)] +=
                    a[static_cast<size_t>(i * 4 + k)] * b[static_cast<size_t>(k * 4 + j)];
    return r;
}

void expectNear(const Mat4& a, const Mat4& b, float tolerance = 1e-5f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.at(r, c), b.at(r, c), tolerance) << "element (" << r << ", " << c << ")";
}

const float c30 = std::sqrt(3.0f) / 2, s30 = 0.5f;

// .x rotations about Z and Y as the toolkit builds them for row vectors.
std::array<float, 16> xRotZ(float c, float s)
{
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

const Case kCases[] = {
    {"identity",
     {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
     {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    // The translation sits in the bottom row there and in the right column here, z mirrored.
    {"translation",
     {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1},
     {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, -30, 0, 0, 0, 1}},
    // A turn about Z keeps its sense: the xy block is only transposed.
    {"turn about Z by 30 degrees",
     xRotZ(c30, s30),
     {c30, -s30, 0, 0, s30, c30, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    // A quarter turn about Y there takes +x to -z; here +x goes to +z.
    {"quarter turn about Y",
     {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1},
     {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}},
    // Scale along z keeps its sign (both signs flip).
    {"scale and move",
     {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, -5, 6, -7, 1},
     {2, 0, 0, -5, 0, 3, 0, 6, 0, 0, 4, 7, 0, 0, 0, 1}},
};

} // namespace

TEST(XSpaceTest, MatricesAsWorkedOutByHand)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        expectNear(xspace::matrixFromRows(c.rows), fromRowByRow(c.oursRowByRow));
    }
}

TEST(XSpaceTest, ConvertedMatricesMoveConvertedPointsTheSameWay)
{
    const Vec3 points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {3, -4, 5}};
    for (const Case& c : kCases) {
        // A product of two cases exercises the off-diagonal terms together with the translation.
        const auto combined = rowProduct(c.rows, kCases[4].rows);
        for (const auto& m : {c.rows, combined}) {
            const Mat4 ours = xspace::matrixFromRows(m);
            for (const Vec3& p : points) {
                const Vec3 expected = xspace::pointFromX(rowTimes(p, m));
                const Vec3 got = ours.transformPoint(xspace::pointFromX(p));
                EXPECT_NEAR(got.x, expected.x, 1e-4f) << c.what;
                EXPECT_NEAR(got.y, expected.y, 1e-4f) << c.what;
                EXPECT_NEAR(got.z, expected.z, 1e-4f) << c.what;
            }
        }
    }
}

TEST(XSpaceTest, TurningAFrameAboutItsLocalZIsTheFilesRzTimesM)
{
    const float angles[] = {0.0f, 50 * 0.0051132683f, -0.3f, std::numbers::pi_v<float>};
    for (const Case& c : kCases)
        for (float a : angles) {
            SCOPED_TRACE(std::string(c.what) + " by " + std::to_string(a));
            const auto turned = rowProduct(xRotZ(std::cos(a), std::sin(a)), c.rows);
            expectNear(xspace::turnAboutLocalZ(xspace::matrixFromRows(c.rows), a),
                       xspace::matrixFromRows(turned));
        }
}
