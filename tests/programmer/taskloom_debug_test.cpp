// Taskloom's Debug menu against kz7sim through the real port and the simulator's debug socket,
// as a teacher uses it: a breakpoint clicked into the line-number column of button_counter.tpg,
// Start Debugging, the button pressed on the robot, the stop on COMPUTE with `count` in the
// Variables dock, Continue with `count` one higher, an edit that asks to stop, Step Over out of
// the CALL, and Stop.

#include "ScriptedPrompter.h"
#include "support/Kz7SimProcess.h"
#include "support/TempFolder.h"
#include "support/TestApp.h"

#include "programmer/CEditorDoc.h"
#include "programmer/CEditorView.h"
#include "programmer/CGridCtrl.h"
#include "programmer/CMainFrame.h"
#include "programmer/DebugController.h"
#include "programmer/LineClipboard.h"
#include "programmer/VariablesDock.h"
#include "taskloom_base/TaskloomSettings.h"

#include "motion/DeviceTable.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace programmer;
using SessionState = debugclient::DebugSession::State;

namespace {

std::string source(const std::string& rel)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/" + rel;
}

// Only a hang or a lost wake-up takes this long.
constexpr int kPatienceMs = 20000;

TEST(TaskloomDebug, ButtonCounterBreaksOnComputeStepsAndStops)
{
    testsupport::testApp();
    testsupport::PortFolder ports;
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--com", "7", "--sensors", "100"})) << sim.error();

    ScriptedPrompter prompter;
    SystemClipboard clipboard;
    TaskloomSettings settings;
    settings.window = {1200, 800, 0, 0};
    settings.comPort = 7;
    motion::DeviceTable devices;
    ASSERT_TRUE(devices.load(source("data/Robot files/default.rbt")));
    CMainFrame frame(settings, devices, prompter, clipboard,
                     QString::fromStdString(source("data/Robot files/")));
    frame.show();
    DebugController& debug = *frame.debugger();
    debug.updateMenu();
    ASSERT_TRUE(debug.menu()->menuAction()->isVisible());

    testsupport::TempFolder folder{"taskloom-debug"};
    const std::string copy = folder.file("button_counter.tpg");
    std::filesystem::copy_file(source("data/examples/button_counter.tpg"), copy);
    ASSERT_TRUE(frame.openFile(QString::fromStdString(copy)));
    CEditorView* view = frame.activeView();
    CEditorDoc* doc = &view->document();
    CGridCtrl* grid = view->grid();
    const int compute = 6; // line 7: COMPUTE count = count + 1, inside the "beep" subroutine
    QApplication::processEvents();

    // The dot's strip of the line number toggles the breakpoint; the rest of it still selects.
    const QRect number = grid->targetRect({GridTarget::Kind::LineNumber, compute, -1});
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(number.left() + 3, number.center().y()));
    EXPECT_TRUE(debug.hasBreakpoint(doc, compute));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(number.right() - 3, number.center().y()));
    EXPECT_TRUE(debug.hasBreakpoint(doc, compute));
    EXPECT_EQ(doc->program().selFirst(), compute);

    debug.action("start")->trigger();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return debug.session().state() == SessionState::Running; }, kPatienceMs))
        << prompter.messages.join("|").toStdString();
    // Until somebody presses Up+Left the program waits in its loop.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return debug.session().lastState().program == "running"; }, kPatienceMs));
    EXPECT_EQ(debug.session().state(), SessionState::Running);
    EXPECT_TRUE(debug.action("pause")->isEnabled());
    EXPECT_FALSE(debug.action("stepOver")->isEnabled());

    ASSERT_TRUE(sim.control("press u"));
    ASSERT_TRUE(sim.control("press l"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return debug.currentLine(doc) == compute; }, kPatienceMs));
    EXPECT_EQ(frame.statusBar()->currentMessage(), "Paused at line 7: breakpoint");
    EXPECT_EQ(debug.action("start")->text(), "&Continue");
    QTableWidget* vars = debug.variablesDock()->table();
    ASSERT_GE(vars->rowCount(), 1);
    EXPECT_EQ(vars->item(0, 0)->text(), "count");
    EXPECT_EQ(vars->item(0, 1)->text(), "0");

    // Continue: the button is still held, so the next press is counted and it stops again at
    // once; the time to the highlight bounds the time from a hit to its highlighted line.
    QElapsedTimer continued;
    continued.start();
    debug.action("start")->trigger();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return debug.session().state() == SessionState::Paused; }, kPatienceMs));
    std::printf("continue to the next breakpoint hit, highlighted: %lld ms\n",
                static_cast<long long>(continued.elapsed()));
    EXPECT_LT(continued.elapsed(), kPatienceMs);
    EXPECT_EQ(debug.currentLine(doc), compute);
    EXPECT_EQ(vars->item(0, 1)->text(), "1");
    EXPECT_TRUE(vars->item(0, 1)->font().bold());

    // An edit while paused asks to stop; No keeps debugging.
    prompter.confirmAnswers = {false};
    doc->program().toggleEnabled(30, 30);
    doc->commit(30, 30);
    ASSERT_EQ(prompter.questions.size(), 1);
    EXPECT_TRUE(prompter.questions[0].contains("Stop debugging?"));
    EXPECT_EQ(debug.session().state(), SessionState::Paused);

    // Over the COMPUTE, over the RETURN: out of the CALL onto the line after the chain.
    ASSERT_TRUE(sim.control("release u"));
    ASSERT_TRUE(sim.control("release l"));
    for (int expected : {7, 10}) {
        debug.action("stepOver")->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return debug.currentLine(doc) == expected; }, kPatienceMs))
            << expected;
    }
    EXPECT_EQ(vars->item(0, 1)->text(), "2");

    debug.action("stop")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !debug.action("stop")->isEnabled(); }, kPatienceMs));
    EXPECT_EQ(debug.session().state(), SessionState::Idle);
    EXPECT_EQ(debug.currentLine(doc), -1);
    EXPECT_TRUE(debug.hasBreakpoint(doc, compute)); // kept for the next session
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.messages.join("|").toStdString();
}

} // namespace
