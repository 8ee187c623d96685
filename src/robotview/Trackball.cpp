#include "robotview/Trackball.h"

#include "robotview/XSpace.h"

#include <algorithm>
#include <cmath>

namespace robotview {

void Trackball::setWindow(int width, int height, float sphereRadius)
{
    // A window of no size still maps and moves: it counts as one pixel wide or high.
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    sphereRadius_ = sphereRadius > 0 ? sphereRadius : kSphereRadius;
}

void Trackball::reset()
{
    drag_ = MouseButton::None;
    down_ = now_ = Quat{};
    translation_ = Vec3{};
}

Vec3 Trackball::toSphere(int px, int py) const
{
    // The screen mapping is stated in the .x world (x mirrored, y down, z away from the viewer);
    // the vector is then taken into ours.
    const float halfW = width_ / 2.0f, halfH = height_ / 2.0f;
    float x = -(px - halfW) / (sphereRadius_ * halfW);
    float y = (py - halfH) / (sphereRadius_ * halfH);
    float z = 0;
    float mag = x * x + y * y;
    if (mag > 1) {
        float scale = 1 / std::sqrt(mag);
        x *= scale;
        y *= scale;
    } else {
        z = std::sqrt(1 - mag);
    }
    return xspace::pointFromX({x, y, z});
}

bool Trackball::handle(const MouseInput& in)
{
    if (!in.shift)
        return false;
    switch (in.action) {
    case MouseAction::Press:
        if (in.button == MouseButton::Left) {
            drag_ = MouseButton::Left;
            pressVector_ = toSphere(in.x, in.y);
            down_ = now_;
        } else if (in.button == MouseButton::Right || in.button == MouseButton::Middle) {
            drag_ = in.button;
            lastX_ = in.x;
            lastY_ = in.y;
        }
        return false;
    case MouseAction::Move:
        if (drag_ == MouseButton::Left) {
            now_ = (arcRotation(pressVector_, toSphere(in.x, in.y)) * down_).normalized();
            return true;
        }
        if (drag_ == MouseButton::Right || drag_ == MouseButton::Middle) {
            Vec3 delta;
            if (drag_ == MouseButton::Right)
                delta = {-2.0f * (lastX_ - in.x) * translationRadius_ / width_,
                         2.0f * (lastY_ - in.y) * translationRadius_ / height_, 0};
            else
                delta = {0, 0, 5.0f * (lastY_ - in.y) * translationRadius_ / height_};
            translation_ = translation_ + xspace::directionFromX(delta);
            lastX_ = in.x;
            lastY_ = in.y;
            return true;
        }
        return false;
    case MouseAction::Release:
        drag_ = MouseButton::None;
        return false;
    }
    return false;
}

Mat4 Trackball::world() const
{
    return Mat4::translation(translation_) * now_.toMatrix();
}

} // namespace robotview
