#pragma once
// The eight robot windows in one top-level window, as the editor lays them out, for the GL
// tests: the main view on top, the seven panels in a row below, and a strip of empty space.

#include "robotgl/Main3DView.h"
#include "robotgl/PosePanel.h"
#include "robotgl/ViewDriver.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace robotgltest {

inline const QString kDefaultProfile = QStringLiteral(TESSABAN_SOURCE_DIR "/data/Robot files/default.rbt");

// One application for the test binary; the windows need a real X display.
inline QApplication& app()
{
    static QApplication& instance = []() -> QApplication& {
        QApplication& a = testsupport::testApp("xcb");
        // The tests tick the windows themselves.
        robotgl::ViewDriver::shared().setRunning(false);
        return a;
    }();
    return instance;
}

// Mouse input through the platform layer of the top-level window, so that the application
// delivers it as it delivers a user's: the pressed window keeps the pointer until release, and
// enter and leave events follow the pointer. Positions are in the given widget's pixels.
struct Pointer {
    QWidget* top;
    QPoint at(QWidget* w, QPoint p) const { return w->mapTo(top, p); }
    void press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseEvent(QTest::MousePress, top->windowHandle(), b, m, at(w, p));
    }
    void release(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseEvent(QTest::MouseRelease, top->windowHandle(), b, m, at(w, p));
    }
    void move(QWidget* w, QPoint p, Qt::KeyboardModifiers m = {})
    {
        QTest::mouseEvent(QTest::MouseMove, top->windowHandle(), Qt::NoButton, m, at(w, p));
    }
    void click(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        move(w, p, m);
        press(w, p, b, m);
        release(w, p, b, m);
    }
    void doubleClick(QWidget* w, QPoint p)
    {
        move(w, p);
        QTest::mouseEvent(QTest::MouseDClick, top->windowHandle(), Qt::LeftButton, {}, at(w, p));
    }
    // Moves in steps from where the pointer is (start, in from's pixels) to p, crossing whatever lies
    // between.
    void glide(QWidget* from, QPoint start, QWidget* to, QPoint p, Qt::KeyboardModifiers m = {})
    {
        const QPoint a = at(from, start), b = at(to, p);
        for (int i = 1; i <= 16; ++i)
            QTest::mouseEvent(QTest::MouseMove, top->windowHandle(), Qt::NoButton, m, a + (b - a) * i / 16);
    }
};

struct Windows {
    explicit Windows(const QString& profile = kDefaultProfile)
    {
        app();
        top = std::make_unique<QWidget>();
        pointer.top = top.get();
        main = new robotgl::Main3DView(profile, top.get());
        main->setGeometry(0, 0, 320, 240);
        for (int k = 0; k < 7; ++k) {
            auto* p = new robotgl::PosePanel(k, profile, top.get());
            p->setGeometry(k * 110, 250, 100, 120);
            panels.append(p);
        }
        for (int k = 0; k < 7; ++k)
            panels[k]->setNeighbours(k > 0 ? panels[k - 1] : nullptr, k < 6 ? panels[k + 1] : nullptr);
        main->setPosePanels(panels);
        top->resize(800, 420); // below y = 370 nothing but the form
        top->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(top.get()));
        top->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(top.get()));
    }
    void goLive(bool interactive = true)
    {
        main->setLive(true);
        main->setMayDrag(true);
        main->setAllJointsKnown(true);
        for (auto* p : panels) {
            p->setLive(true);
            p->setInteractive(interactive);
        }
    }
    std::unique_ptr<QWidget> top;
    Pointer pointer{nullptr};
    robotgl::Main3DView* main = nullptr;
    QList<robotgl::PosePanel*> panels;
};

} // namespace robotgltest
