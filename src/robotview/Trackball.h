#pragma once
// The virtual trackball of a robot window: a left drag turns the scene on a sphere filling 0.9
// of the half-window, a right drag moves it across the view and a middle drag towards or away
// from the viewer. It acts only on input with SHIFT held.

#include "robotview/Mat4.h"

namespace robotview {

enum class MouseButton { None, Left, Right, Middle };
enum class MouseAction { Press, Move, Release };

struct MouseInput {
    MouseAction action = MouseAction::Move;
    MouseButton button = MouseButton::None; // the button pressed or released
    int x = 0, y = 0;                       // window pixels, y down
    bool shift = false;
};

class Trackball {
  public:
    static constexpr float kSphereRadius = 0.9f;
    static constexpr float kTranslationRadius = 600.0f;

    void setWindow(int width, int height, float sphereRadius = kSphereRadius);
    void setTranslationRadius(float radius) { translationRadius_ = radius; }
    // Returns whether the rotation or translation changed. Input without SHIFT is ignored.
    bool handle(const MouseInput& input);
    // Ends any drag (the pointer left the window).
    void endDrag() { drag_ = MouseButton::None; }
    bool dragging() const { return drag_ != MouseButton::None; }
    // No rotation, no translation.
    void reset();

    const Quat& rotation() const { return now_; }
    const Vec3& translation() const { return translation_; }
    // The placement of the scene: first the rotation, then the translation.
    Mat4 world() const;

  private:
    Vec3 toSphere(int x, int y) const;

    int width_ = 1, height_ = 1;
    float sphereRadius_ = kSphereRadius;
    float translationRadius_ = kTranslationRadius;
    MouseButton drag_ = MouseButton::None;
    Quat down_, now_;
    Vec3 pressVector_;
    int lastX_ = 0, lastY_ = 0;
    Vec3 translation_;
};

} // namespace robotview
