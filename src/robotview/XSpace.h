#pragma once
// The one conversion between the .x world and ours. The .x world is left-handed and its
// matrices act on row vectors (p' = p × M); ours is right-handed (OpenGL) with column vectors.
// A point (x, y, z) there is (x, y, -z) here, and a .x matrix M becomes S × Mᵀ × S with
// S = diag(1, 1, -1, 1). Everything read from a model file, and everything stated in .x terms
// (the camera, the light, the trackball's screen mapping), passes through here.

#include "robotview/Mat4.h"

#include <array>

namespace robotview::xspace {

// A .x matrix given row by row as the file writes it (row-vector convention).
Mat4 matrixFromRows(const std::array<float, 16>& rows);
Vec3 pointFromX(const Vec3& p);
Vec3 directionFromX(const Vec3& d);
// The .x turn of a frame about its local Z axis, M' = Rz(a) × M, is M' = M × Rz(a) here.
Mat4 turnAboutLocalZ(const Mat4& local, float radians);

} // namespace robotview::xspace
