// The CAP, NUM and SCRL panes against a real X server's keyboard: the locks are set through XKB,
// as the user's keys would set them, and the panes follow on the next lock key.

#include "programmer/LockIndicators.h"
#include "support/TestApp.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>

#include <gtest/gtest.h>

#include <X11/XKBlib.h>

using programmer::LockIndicators;
using programmer::LockStates;

namespace {

QStringList paneTexts(QStatusBar* bar)
{
    QStringList texts;
    for (QLabel* l : bar->findChildren<QLabel*>())
        if (!l->text().isEmpty())
            texts << l->text();
    texts.sort();
    return texts;
}

} // namespace

TEST(LockIndicators, ShowEachLockThatIsOnAndFollowTheLockKeys)
{
    testsupport::testApp("xcb");
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11 && x11->display()) << "needs an X display";
    Display* display = x11->display();
    const auto setLocks = [&](unsigned mods) {
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask | Mod2Mask, mods);
        XSync(display, False);
    };
    setLocks(0);

    QMainWindow window;
    auto* locks = new LockIndicators(window.statusBar());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(locks->shown(), LockStates{});
    EXPECT_TRUE(paneTexts(window.statusBar()).isEmpty());

    setLocks(LockMask);
    QTest::keyClick(window.windowHandle(), Qt::Key_A);
    EXPECT_EQ(locks->shown(), LockStates{}) << "other keys are not looked at";
    QTest::keyClick(window.windowHandle(), Qt::Key_CapsLock);
    EXPECT_EQ(locks->shown(), (LockStates{true, false, false}));
    EXPECT_EQ(paneTexts(window.statusBar()), QStringList{"CAP"});

    setLocks(LockMask | Mod2Mask);
    QTest::keyClick(window.windowHandle(), Qt::Key_NumLock);
    EXPECT_EQ(locks->shown(), (LockStates{true, true, false}));
    EXPECT_EQ(paneTexts(window.statusBar()), (QStringList{"CAP", "NUM"}));

    setLocks(0);
    QTest::keyClick(window.windowHandle(), Qt::Key_CapsLock);
    EXPECT_EQ(locks->shown(), LockStates{});
    EXPECT_TRUE(paneTexts(window.statusBar()).isEmpty());
}
