// The trackball on the CPU: SHIFT gating, the quarter turn of a drag to the edge, opposite points,
// translation, composition and windows of no size.

#include "robotview/Trackball.h"

#include <gtest/gtest.h>

#include <cmath>

using robotview::Mat4;
using robotview::MouseAction;
using robotview::MouseButton;
using robotview::MouseInput;
using robotview::Trackball;
using robotview::Vec3;

namespace {

constexpr int kW = 400, kH = 300;

MouseInput at(MouseAction a, int x, int y, MouseButton b = MouseButton::None, bool shift = true)
{
    MouseInput in;
    in.action = a;
    in.button = b;
    in.x = x;
    in.y = y;
    in.shift = shift;
    return in;
}

void drag(Trackball& t, MouseButton b, int x0, int y0, int x1, int y1, bool shift = true)
{
    t.handle(at(MouseAction::Press, x0, y0, b, shift));
    t.handle(at(MouseAction::Move, x1, y1, MouseButton::None, shift));
    t.handle(at(MouseAction::Release, x1, y1, b, shift));
}

void expectVec(const Vec3& got, const Vec3& want, float tolerance = 1e-5f)
{
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

bool finite(const Mat4& m)
{
    for (float v : m.m)
        if (!std::isfinite(v))
            return false;
    return true;
}

// The robot faces the viewer along +Z; where its front ends up says how it turned.
const Vec3 kFront{0, 0, 1};

} // namespace

TEST(TrackballTest, WithoutShiftNothingTurnsOrMoves)
{
    Trackball t;
    t.setWindow(kW, kH);
    for (MouseButton b : {MouseButton::Left, MouseButton::Right, MouseButton::Middle}) {
        EXPECT_FALSE(t.handle(at(MouseAction::Press, kW / 2, kH / 2, b, false)));
        EXPECT_FALSE(t.handle(at(MouseAction::Move, kW, kH / 3, MouseButton::None, false)));
        EXPECT_FALSE(t.dragging());
    }
    EXPECT_EQ(t.world(), Mat4::identity());
}

TEST(TrackballTest, DragFromTheCentreToAnEdgeTurnsAQuarterTurn)
{
    struct Row {
        const char* what;
        int x, y;
        Vec3 front; // where the robot's front goes
    };
    const Row rows[] = {
        {"right edge: about the vertical axis, front to the right", kW, kH / 2, {1, 0, 0}},
        {"left edge", 0, kH / 2, {-1, 0, 0}},
        {"bottom edge: about the horizontal axis, front down", kW / 2, kH, {0, -1, 0}},
        {"top edge", kW / 2, 0, {0, 1, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Trackball t;
        t.setWindow(kW, kH);
        drag(t, MouseButton::Left, kW / 2, kH / 2, r.x, r.y);
        const Mat4 w = t.world();
        expectVec(w.transformDirection(kFront), r.front);
        // A quarter turn: the trace of the rotation is 1 + 2 cos 90° = 1.
        EXPECT_NEAR(w.at(0, 0) + w.at(1, 1) + w.at(2, 2), 1.0f, 1e-5f);
    }
}

TEST(TrackballTest, TurnsComposeAndResetReturnsToRest)
{
    Trackball t;
    t.setWindow(kW, kH);
    drag(t, MouseButton::Left, kW / 2, kH / 2, kW, kH / 2);
    drag(t, MouseButton::Left, kW / 2, kH / 2, kW, kH / 2);
    expectVec(t.world().transformDirection(kFront), {0, 0, -1}); // two quarter turns: facing away
    // Moving further without a press does nothing; a release ends the drag.
    EXPECT_FALSE(t.handle(at(MouseAction::Move, 0, 0)));
    t.reset();
    EXPECT_EQ(t.world(), Mat4::identity());
}

TEST(TrackballTest, OppositePointsGiveAHalfTurnNotNaN)
{
    Trackball t;
    t.setWindow(kW, kH);
    // The left and right rims map to opposite points of the sphere: p + c = 0.
    drag(t, MouseButton::Left, 0, kH / 2, kW, kH / 2);
    const Mat4 w = t.world();
    ASSERT_TRUE(finite(w));
    expectVec(w.transformDirection({1, 0, 0}), {-1, 0, 0});          // p turned onto c
    EXPECT_NEAR(w.at(0, 0) + w.at(1, 1) + w.at(2, 2), -1.0f, 1e-5f); // half turn: 1 + 2 cos 180°
}

TEST(TrackballTest, RightAndMiddleDragsMoveTheScene)
{
    struct Row {
        const char* what;
        MouseButton button;
        int dx, dy;
        Vec3 translation;
    };
    const Row rows[] = {
        // 2 × pixels × 600 / window size across; up the screen is +Y.
        {"right drag to the right", MouseButton::Right, 40, 0, {2 * 40 * 600.0f / kW, 0, 0}},
        {"right drag up", MouseButton::Right, 0, -30, {0, 2 * 30 * 600.0f / kH, 0}},
        // 5 × pixels × 600 / height along the view: dragging up moves the scene away (-Z).
        {"middle drag up", MouseButton::Middle, 0, -30, {0, 0, -5 * 30 * 600.0f / kH}},
        {"middle drag sideways", MouseButton::Middle, 50, 0, {0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Trackball t;
        t.setWindow(kW, kH);
        t.handle(at(MouseAction::Press, 100, 100, r.button));
        // Two moves of half the distance add up: the remembered point follows the pointer.
        t.handle(at(MouseAction::Move, 100 + r.dx / 2, 100 + r.dy / 2));
        t.handle(at(MouseAction::Move, 100 + r.dx, 100 + r.dy));
        expectVec(t.translation(), r.translation, 1e-3f);
        expectVec(t.world().transformPoint({0, 0, 0}), r.translation, 1e-3f);
        EXPECT_EQ(t.rotation().w, 1.0f);
    }
}

TEST(TrackballTest, LeavingTheWindowEndsTheDrag)
{
    Trackball t;
    t.setWindow(kW, kH);
    t.handle(at(MouseAction::Press, kW / 2, kH / 2, MouseButton::Left));
    t.endDrag();
    EXPECT_FALSE(t.handle(at(MouseAction::Move, kW, kH / 2)));
    EXPECT_EQ(t.world(), Mat4::identity());
}

TEST(TrackballTest, WindowOfNoSizeNeverDividesByZero)
{
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 200}, std::pair{300, 0}}) {
        Trackball t;
        t.setWindow(w, h);
        drag(t, MouseButton::Left, 0, 0, 10, 10);
        drag(t, MouseButton::Right, 0, 0, 10, 10);
        drag(t, MouseButton::Middle, 0, 0, 10, 10);
        EXPECT_TRUE(finite(t.world())) << w << "x" << h;
    }
}
