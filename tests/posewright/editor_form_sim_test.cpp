// The editor form end to end: real widgets (under a virtual X display, since the form holds GL
// views) driving kz7sim through the motion link. Each case checks the form and the simulator's
// page (its memory file after a save).

#include "FormSession.h"
#include "posewright_texts/PosewrightTexts.h"

#include "posewright/CommandLine.h"
#include "posewright/InfoGridWidgets.h"
#include "posewright/JointListWidget.h"
#include "posewright/ValueControl.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>

#include <set>

using namespace posewright;
using posewrighttest::FormSession;
using posewrighttest::storePage;

TEST(EditorFormSim, StartFillsTheFormFromTheFirstRepaint)
{
    FormSession s([](sim::ControllerMemory& m) { storePage(m, 1, 3); });
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    EXPECT_EQ(v.messageLine()->text().trimmed(), "Motion editor: page 1");
    EXPECT_EQ(v.pageGrid()->item(0, 1)->text().trimmed(), "Steps");
    EXPECT_EQ(v.pageGrid()->item(1, 1)->text(), "1");
    EXPECT_EQ(v.pageGrid()->item(4, 1)->text(), "3");
    EXPECT_EQ(v.pageNumberEdit()->text(), "1");
    EXPECT_EQ(v.poseGrid()->item(1, 2)->text(), "70"); // speed of pose 1
    EXPECT_EQ(v.poseGrid()->item(1, 5)->text(), "2");  // pause of pose 2
    EXPECT_TRUE(v.speed()->isVisible());
    EXPECT_TRUE(v.pageSave()->isEnabled());
    EXPECT_TRUE(v.addPose()->isEnabled());
    EXPECT_TRUE(v.commandLine()->isEnabled());
    EXPECT_EQ(JointList::cellText(s.core().jointList().joints()[0]), "0512");
    EXPECT_TRUE(v.mainView()->live());
    for (int k = 0; k < 7; ++k) {
        EXPECT_TRUE(v.panel(k)->live()) << k;
        EXPECT_EQ(v.panel(k)->lit(), k < 3) << k;
    }
    EXPECT_EQ(s.panelTarget(2, 1), 300);
    EXPECT_EQ(s.panelTarget(2, 2), 700);
    EXPECT_EQ(s.mainTarget(1), 512);
    EXPECT_TRUE(s.prompter.informs.isEmpty()) << s.prompter.informs.join("; ").toStdString();

    // What the user sees: the robot drawn in the main view, lit poses brighter than unlit ones.
    for (int i = 0; i < 30; ++i) {
        v.mainView()->tick();
        for (int k = 0; k < 7; ++k)
            v.panel(k)->tick();
        QTest::qWait(20);
    }
    const QImage shot = v.grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto brightness = [&](QWidget* w) {
        const QRect r(w->mapTo(&v, QPoint(w->width() / 4, w->height() / 4)),
                      QSize(w->width() / 2, w->height() / 2));
        double sum = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                sum += qGray(shot.pixel(x, y));
        return sum / (r.width() * r.height());
    };
    std::set<QRgb> mainColours;
    const QRect m = v.mainView()->geometry();
    for (int y = m.top() + 10; y < m.bottom() - 10; y += 7)
        mainColours.insert(shot.pixel(m.center().x(), y));
    EXPECT_GT(mainColours.size(), 3u) << "the robot is drawn in the main view";
    EXPECT_GT(brightness(v.panel(1)), brightness(v.panel(5)) + 5) << "pose 1 lit, pose 5 unlit";
}

TEST(EditorFormSim, PoseGesturesReachTheSimulatorsPage)
{
    FormSession s([](sim::ControllerMemory& m) { storePage(m, 1, 3); });
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;

    // Set joint 1 through the joint list, then capture the pose into panel 3 (appends pose 3).
    JointListWidget* list = v.jointList();
    QTest::mouseClick(list, Qt::LeftButton, {}, list->cellCentre(0));
    ASSERT_TRUE(list->valueEditor()->isVisible());
    ASSERT_TRUE(s.settle()); // the cursor move
    s.enter(list->valueEditor()->edit(), "333");
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(JointList::cellText(s.core().jointList().joints()[0]), "0333");
    EXPECT_EQ(s.mainTarget(1), 333);

    s.dropCurrentPose(3, v.panel(3)->width() / 2);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.panelTarget(3, 1), 333) << "panel 3's model follows the simulator";
    EXPECT_EQ(v.pageGrid()->item(4, 1)->text(), "4");
    EXPECT_TRUE(v.panel(3)->lit());

    // Insert before panel 1 (its left quarter) and after panel 0 (its right quarter).
    s.dropCurrentPose(1, 4);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.panelTarget(1, 1), 333);
    EXPECT_EQ(s.panelTarget(2, 1), 200) << "old pose 1 moved right";
    s.dropCurrentPose(0, v.panel(0)->width() - 4);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(v.pageGrid()->item(4, 1)->text(), "6");
    // Poses now: 100 333 333 200 300 333 (joint 1). Move panel 4 onto panel 0.
    s.dragPanel(4, 0);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.panelTarget(0, 1), 300);
    EXPECT_EQ(s.panelTarget(1, 1), 100);
    // Mirror pose 0 (joint 2 of 700 becomes 1023 - 700 on the other side) and delete pose 5.
    s.contextMenu(0, 0);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.panelTarget(0, 1), 1023 - 700);
    EXPECT_EQ(s.panelTarget(0, 2), 1023 - 300);
    s.contextMenu(5, 1);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(v.pageGrid()->item(4, 1)->text(), "5");
    EXPECT_FALSE(v.panel(5)->lit());
    // A double-click makes the robot take the pose.
    s.pointer.doubleClick(v.panel(4), v.panel(4)->rect().center());
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.mainTarget(1), 200);
    EXPECT_EQ(JointList::cellText(s.core().jointList().joints()[0]), "0200");

    s.click(v.pageSave());
    ASSERT_TRUE(s.settle());
    EXPECT_TRUE(v.pageSave()->isEnabled()) << "re-enabled by the controller's \"Writing\"";
    ASSERT_TRUE(s.waitStored(1, [](const sim::MotionPage& p) { return p.poseCount == 5; }));
    const sim::MotionPage page = s.storedPage(1);
    const int joint1[] = {1023 - 700, 100, 333, 333, 200};
    for (int p = 0; p < 5; ++p)
        EXPECT_EQ(page.poses[p].values[1], joint1[p]) << "pose " << p;
}

TEST(EditorFormSim, ReleasingADragAwayFromThePanelsSendsNothing)
{
    FormSession s([](sim::ControllerMemory& m) { storePage(m, 1, 3); });
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    robotgl::Main3DView* main = v.mainView();
    const QPoint from = main->rect().center();
    s.pointer.move(main, from);
    s.pointer.press(main, from);
    ASSERT_TRUE(main->dragging());
    s.pointer.glide(main, from, v.panel(2), v.panel(2)->rect().center());
    s.pointer.glide(v.panel(2), v.panel(2)->rect().center(), v.jointList(), QPoint(100, 390));
    s.pointer.release(v.jointList(), QPoint(100, 390));
    EXPECT_FALSE(s.link().isWaiting()) << "no command went out";
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(v.panel(k)->dragState(), robotview::DragState::None) << k;
        EXPECT_EQ(v.panel(k)->dropZone(), robotview::DropZone::None) << k;
    }
    QTest::qWait(400);
    EXPECT_EQ(v.pageGrid()->item(4, 1)->text(), "3");
}

TEST(EditorFormSim, JointListValueControlsAndCommandLine)
{
    FormSession s;
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    JointListWidget* list = v.jointList();

    // Step joint 2 up twice and down once with the editor's spin.
    QTest::mouseClick(list, Qt::LeftButton, {}, list->cellCentre(1));
    ASSERT_TRUE(s.settle());
    s.click(list->valueEditor()->upButton());
    ASSERT_TRUE(s.settle());
    s.click(list->valueEditor()->upButton());
    ASSERT_TRUE(s.settle());
    QTest::keyClick(list->valueEditor()->edit(), Qt::Key_Down);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(JointList::cellText(s.core().jointList().joints()[1]), "0513");
    EXPECT_TRUE(list->valueEditor()->isVisible());
    EXPECT_EQ(list->valueEditor()->text(), "0513") << "the editor shows the joint it is on";

    // Ctrl-click a second joint: both selected, no editor; "Off" then names both.
    QTest::mouseClick(list, Qt::LeftButton, Qt::ControlModifier, list->cellCentre(4));
    EXPECT_FALSE(list->valueEditor()->isVisible());
    EXPECT_EQ(s.core().jointList().selectedIds(), " 2 5");
    s.click(list->offButton());
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(v.messageLine()->text().trimmed(), "Torque off for 2 joint(s)");

    // Speed and Pause of the current pose, then a pose that carries them.
    s.enter(v.speed()->edit(), "80");
    ASSERT_TRUE(s.settle());
    s.click(v.pause()->upButton());
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(v.speed()->text(), "80");
    EXPECT_EQ(v.pause()->text(), "1");
    s.click(v.addPose());
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(v.poseGrid()->item(1, 0)->text(), "80");
    EXPECT_EQ(v.poseGrid()->item(1, 1)->text(), "1");

    // A free command on the command line.
    s.enter(v.commandLine(), "save");
    EXPECT_TRUE(v.commandLine()->text().isEmpty());
    ASSERT_TRUE(s.settle());
    ASSERT_TRUE(s.waitStored(1, [](const sim::MotionPage& p) { return p.poseCount == 1; }));
    const sim::MotionPage page = s.storedPage(1);
    EXPECT_EQ(page.poses[0].values[2], 513);
    EXPECT_EQ(page.poses[0].speed, 80);
    EXPECT_EQ(page.poses[0].pause, 1);
}

TEST(EditorFormSim, PageGridEditsThePageInformation)
{
    FormSession s([](sim::ControllerMemory& m) { storePage(m, 5, 2, "Five"); });
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    PageGridWidget* grid = v.pageGrid();

    // Page number: 200 opens nothing, 5 opens page 5.
    s.doubleClickCell(grid, 1, 1);
    ASSERT_TRUE(grid->valueEditor()->isVisible());
    s.enter(grid->valueEditor()->edit(), "200");
    QTest::qWait(300);
    EXPECT_FALSE(s.link().isWaiting());
    s.doubleClickCell(grid, 1, 1);
    s.enter(grid->valueEditor()->edit(), "5");
    EXPECT_FALSE(v.pageSave()->isEnabled()) << "disabled until the repaint";
    ASSERT_TRUE(s.ready());
    EXPECT_EQ(grid->item(1, 1)->text(), "5");
    EXPECT_EQ(grid->item(0, 1)->text().trimmed(), "Five");

    // The name and the play count, then a save.
    s.doubleClickCell(grid, 0, 1);
    ASSERT_TRUE(s.core().pageGrid().editorOpen());
    ASSERT_TRUE(grid->nameEditor()->isVisible());
    s.enter(grid->nameEditor(), "Walk");
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(grid->item(0, 1)->text().trimmed(), "Walk");
    s.doubleClickCell(grid, 3, 1);
    ASSERT_TRUE(s.settle());
    s.enter(grid->valueEditor()->edit(), "4");
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(grid->item(3, 1)->text(), "4");
    s.click(v.pageSave());
    ASSERT_TRUE(s.settle());
    ASSERT_TRUE(s.waitStored(5, [](const sim::MotionPage& p) { return p.name == "Walk"; }));
    EXPECT_EQ(s.storedPage(5).playCount, 4);

    // The page number steps up with the spin (and the editor closes).
    s.doubleClickCell(grid, 1, 1);
    s.click(grid->valueEditor()->upButton());
    EXPECT_FALSE(grid->valueEditor()->isVisible());
    ASSERT_TRUE(s.ready());
    EXPECT_EQ(grid->item(1, 1)->text(), "6");
}

TEST(EditorFormSim, TheUnsavedPageQuestionAnsweredNo)
{
    FormSession s;
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    s.click(v.addPose());
    ASSERT_TRUE(s.settle());
    s.doubleClickCell(v.pageGrid(), 1, 1);
    s.enter(v.pageGrid()->valueEditor()->edit(), "9");
    ASSERT_TRUE(s.waitFor([&] { return !s.prompter.questions.isEmpty(); }));
    EXPECT_EQ(s.prompter.questions.front().toStdString(),
              posewright::text(posewright::Txt::IncorrectPoseQuestion));
    ASSERT_TRUE(s.ready()) << "No re-enables the form";
    EXPECT_EQ(s.prompter.questions.size(), 1);
    EXPECT_EQ(v.pageGrid()->item(1, 1)->text(), "1");
    EXPECT_EQ(v.messageLine()->text().trimmed(), "Cancelled");
    EXPECT_EQ(v.pageGrid()->item(4, 1)->text(), "1") << "the unsaved pose is still there";
}

TEST(EditorFormSim, PlayingAPageAnimatesTheMainViewUntilTheControllersOk)
{
    // 150 ms + 10 ms per pause unit for each pose: the line falls quiet between poses.
    FormSession s([](sim::ControllerMemory& m) { storePage(m, 1, 3, "Slow", 100); });
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    v.pageNumberEdit()->setText("200");
    s.click(v.pagePlay());
    EXPECT_EQ(v.pageNumberEdit()->text(), "1") << "out of range: the grid's page is played";
    EXPECT_EQ(v.pagePlay()->text(), "Stop");
    EXPECT_TRUE(v.pagePlay()->isEnabled());
    EXPECT_FALSE(v.pageSave()->isEnabled());
    EXPECT_FALSE(v.addPose()->isEnabled());
    EXPECT_FALSE(v.commandLine()->isEnabled());

    std::set<int> seen;
    ASSERT_TRUE(s.waitFor(
        [&] {
            seen.insert(s.mainTarget(1));
            return !s.core().playing();
        },
        30000));
    EXPECT_GE(seen.size(), 3u) << "the current column followed the playback";
    EXPECT_EQ(v.pagePlay()->text(), "Page Play");
    EXPECT_TRUE(v.addPose()->isEnabled());

    // Stop while playing: ESC, and the controller's "OK" restores the form.
    s.click(v.pagePlay());
    const int last = s.mainTarget(1);
    ASSERT_TRUE(s.waitFor([&] { return s.mainTarget(1) != last; }, 10000));
    s.click(v.pagePlay());
    ASSERT_TRUE(s.waitFor([&] { return !s.core().playing(); }, 10000));
    EXPECT_TRUE(v.messageLine()->text().contains("OK"));
    EXPECT_TRUE(v.pageSave()->isEnabled());
}

TEST(EditorFormSim, TheOffsetPageLocksThePoseControls)
{
    FormSession s;
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    s.prompter.answers = {true};
    v.menu(MenuCommand::OffsetConfiguration);
    ASSERT_EQ(s.prompter.questions.size(), 1);
    ASSERT_TRUE(s.ready());
    EXPECT_EQ(v.pageGrid()->item(1, 1)->text(), "0");
    EXPECT_FALSE(v.pagePlay()->isEnabled());
    EXPECT_FALSE(v.addPose()->isEnabled());
    EXPECT_FALSE(v.pageNumberEdit()->isEnabled());
    EXPECT_FALSE(v.speed()->isEnabled());
    EXPECT_TRUE(v.pageSave()->isEnabled());
    EXPECT_FALSE(v.menuEnabled(MenuCommand::OffsetConfiguration));
    for (int k = 0; k < 7; ++k)
        EXPECT_TRUE(v.panel(k)->offsetPage()) << k;
    // Only the page number opens: back to page 2.
    s.doubleClickCell(v.poseGrid(), 1, 0);
    EXPECT_FALSE(v.poseGrid()->valueEditor()->isVisible());
    s.doubleClickCell(v.pageGrid(), 1, 1);
    s.enter(v.pageGrid()->valueEditor()->edit(), "2");
    ASSERT_TRUE(s.ready());
    EXPECT_TRUE(v.addPose()->isEnabled());
    EXPECT_FALSE(v.panel(0)->offsetPage());
}

TEST(EditorFormSim, AStalledControllerTimesOutAndOnlyConnectIsLeft)
{
    FormSession s;
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    ASSERT_TRUE(s.sim.control("stall 60000"));
    s.click(v.addPose());
    ASSERT_TRUE(s.waitFor([&] { return !s.link().isOpen(); }, 20000));
    ASSERT_EQ(s.prompter.informs.size(), 1);
    EXPECT_TRUE(s.prompter.informs[0].startsWith("|Can not find KZ-7! Please, try again"));
    EXPECT_EQ(v.messageLine()->text(), "Disconnected to KZ-7.");
    EXPECT_FALSE(s.core().busy());
    EXPECT_TRUE(v.menuEnabled(MenuCommand::Connect));
    EXPECT_FALSE(v.menuEnabled(MenuCommand::Disconnect));
    EXPECT_FALSE(v.addPose()->isEnabled());
    EXPECT_FALSE(v.mainView()->live());
    EXPECT_TRUE(s.core().jointList().joints().size() > 0);
    EXPECT_FALSE(s.core().jointList().live());
}

// A repaint writes every field it paints, also with the value it already had: what was typed and
// not entered gives way to the controller's value. Disconnect leaves nothing of the old page.
TEST(EditorFormSim, RepaintedFieldsShowTheControllersValueAndDisconnectClearsThePage)
{
    FormSession s([](sim::ControllerMemory& m) { storePage(m, 1, 3); });
    ASSERT_TRUE(s.ready());
    CPosewrightView& v = *s.view;
    const QString speed = v.speed()->text();

    QTest::mouseClick(v.jointList(), Qt::LeftButton, {}, v.jointList()->cellCentre(0));
    ASSERT_TRUE(s.settle());
    JointListWidget* list = v.jointList();
    list->valueEditor()->setText("0999");
    v.speed()->setText("80");
    v.menu(MenuCommand::RefreshPage);
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(v.speed()->text(), speed);
    EXPECT_EQ(list->valueEditor()->text(), "0512");

    s.doubleClickCell(v.pageGrid(), 3, 1);
    ASSERT_TRUE(v.pageGrid()->valueEditor()->isVisible());
    ASSERT_TRUE(s.settle());
    const QString playCount = v.pageGrid()->valueEditor()->text();
    v.pageGrid()->valueEditor()->setText("77");
    v.menu(MenuCommand::RefreshPage);
    ASSERT_TRUE(s.settle());
    EXPECT_FALSE(v.pageGrid()->valueEditor()->isVisible()) << "a refresh closes the grid's editor";
    EXPECT_EQ(v.pageGrid()->item(3, 1)->text(), playCount);

    // A name cut to fit is whole on hover; a drag refused for an unknown joint says why.
    const QPoint firstName(40, 30);
    QHelpEvent help(QEvent::ToolTip, firstName, list->mapToGlobal(firstName));
    QApplication::sendEvent(list, &help);
    EXPECT_EQ(QToolTip::text().trimmed(), "01  Right shoulder pitch");
    v.mainView()->setAllJointsKnown(false);
    s.pointer.press(v.mainView(), v.mainView()->rect().center());
    s.pointer.release(v.mainView(), v.mainView()->rect().center());
    EXPECT_EQ(v.messageLine()->text(), posewright::text(posewright::Txt::UnknownJoint));
    EXPECT_EQ(v.messageLine()->toolTip(), v.messageLine()->text()) << "the whole text on hover";

    s.pointer.doubleClick(v.panel(2), v.panel(2)->rect().center());
    ASSERT_TRUE(s.waitFor([&] { return v.panel(2)->selected(); }));
    v.menu(MenuCommand::Disconnect);
    for (int k = 0; k < 7; ++k) {
        EXPECT_FALSE(v.panel(k)->selected()) << k;
        EXPECT_FALSE(v.panel(k)->lit()) << k;
    }
    EXPECT_EQ(v.pageGrid()->item(0, 1)->text().trimmed(), "No name");
    EXPECT_EQ(v.pageGrid()->item(4, 1)->text(), "0");
    EXPECT_EQ(v.poseGrid()->item(1, 2)->text(), "0");
    EXPECT_FALSE(v.pageGrid()->valueEditor()->isVisible());
}
