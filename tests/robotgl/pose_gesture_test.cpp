// The gestures of the eight windows, driven by real mouse events through the application: drags
// of the current pose and of panels, double-clicks, the context menu, and the offset page.

#include "RobotWindows.h"

#include <QAction>
#include <QMenu>

#include <utility>
#include <vector>

using robotgl::PosePanel;
using robotgltest::Windows;
using robotview::DragState;
using robotview::DropZone;
using robotview::PoseGesture;

namespace {

using Raised = std::vector<std::pair<int, PoseGesture>>;

struct Recorder {
    explicit Recorder(Windows& w)
    {
        for (PosePanel* p : w.panels)
            connections.push_back(
                QObject::connect(p, &PosePanel::notify, p, [this](int id, PoseGesture code) {
                    raised.push_back({id, code});
                }));
    }
    ~Recorder()
    {
        for (const auto& c : connections)
            QObject::disconnect(c);
    }
    Raised raised;
    std::vector<QMetaObject::Connection> connections;
};

const QPoint kMainCentre(160, 120);

// x positions in a 100-pixel panel: w / 4 = 25, 3 × w / 4 = 75.
enum class Aim { Left = 10, Middle = 50, Right = 90 };

} // namespace

TEST(PoseGestureTest, DraggingTheCurrentPoseRaisesByZone)
{
    Windows w;
    w.goLive();
    for (int k = 0; k < 7; ++k)
        for (Aim aim : {Aim::Left, Aim::Middle, Aim::Right}) {
            const PoseGesture want = aim == Aim::Middle           ? PoseGesture::Dropped
                                     : aim == Aim::Left && k > 0  ? PoseGesture::DroppedBefore
                                     : aim == Aim::Right && k < 6 ? PoseGesture::DroppedAfter
                                                                  : PoseGesture::Dropped;
            SCOPED_TRACE("panel " + std::to_string(k) + " at x " + std::to_string(static_cast<int>(aim)));
            Recorder r(w);
            w.pointer.press(w.main, kMainCentre);
            EXPECT_TRUE(w.main->dragging());
            for (PosePanel* p : w.panels)
                EXPECT_EQ(p->dragState(), DragState::CurrentPose);
            const QPoint drop(static_cast<int>(aim), 60);
            w.pointer.glide(w.main, kMainCentre, w.panels[k], drop);
            w.pointer.release(w.panels[k], drop);
            EXPECT_EQ(r.raised, (Raised{{1001 + k, want}}));
            EXPECT_EQ(w.panels[k]->dragState(), DragState::None); // the target resets itself
            EXPECT_EQ(w.panels[k]->dropZone(), DropZone::None);
            for (PosePanel* p : w.panels) // the editor's part when the drag is over
                p->resetDrag();
        }
}

TEST(PoseGestureTest, ReleasingTheCurrentPoseAnywhereElseRaisesNothing)
{
    Windows w;
    w.goLive();
    struct Row {
        const char* what;
        QWidget* over;
        QPoint at;
        DragState panelsAfter;
    };
    const Row rows[] = {
        // Over the robot itself the drag is cancelled on every panel.
        {"over the main view", w.main, QPoint(100, 100), DragState::None},
        // Outside every robot window the editor resets the panels; nothing is raised.
        {"over the form", w.top.get(), QPoint(400, 400), DragState::CurrentPose},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Recorder r(w);
        w.pointer.press(w.main, kMainCentre);
        w.pointer.glide(w.main, kMainCentre, w.panels[3], QPoint(50, 60)); // over a panel first
        w.pointer.glide(w.panels[3], QPoint(50, 60), row.over, row.at);
        EXPECT_EQ(w.panels[3]->dropZone(), DropZone::None); // left behind
        w.pointer.release(row.over, row.at);
        EXPECT_TRUE(r.raised.empty());
        for (PosePanel* p : w.panels)
            EXPECT_EQ(p->dragState(), row.panelsAfter);
        for (PosePanel* p : w.panels)
            p->resetDrag();
    }
}

TEST(PoseGestureTest, MainViewStartsNoDragUnlessLiveCompleteAndAllowed)
{
    struct Row {
        const char* what;
        bool live, known, mayDrag;
    };
    const Row rows[] = {{"some joint unknown", true, false, true},
                        {"user may not act", true, true, false},
                        {"not live", false, true, true}};
    Windows w;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        w.main->setLive(row.live);
        w.main->setAllJointsKnown(row.known);
        w.main->setMayDrag(row.mayDrag);
        for (PosePanel* p : w.panels)
            p->setLive(true), p->setInteractive(true);
        Recorder r(w);
        w.pointer.press(w.main, kMainCentre);
        EXPECT_FALSE(w.main->dragging());
        w.pointer.glide(w.main, kMainCentre, w.panels[2], QPoint(50, 60));
        w.pointer.release(w.panels[2], QPoint(50, 60));
        EXPECT_TRUE(r.raised.empty());
        for (PosePanel* p : w.panels)
            EXPECT_EQ(p->dragState(), DragState::None);
    }
}

TEST(PoseGestureTest, DraggingAPanelOntoAnotherRaisesMoveFromTheTarget)
{
    Windows w;
    w.goLive();
    struct Row {
        int from, to;
        Raised want;
    };
    const Row rows[] = {
        {1, 4, {{1005, PoseGesture::PoseMoved}}},
        {5, 0, {{1001, PoseGesture::PoseMoved}}},
        {3, 4, {{1005, PoseGesture::PoseMoved}}},
        {2, 2, {}}, // released on the source: nothing
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.from) + " onto " + std::to_string(row.to));
        Recorder r(w);
        PosePanel* source = w.panels[row.from];
        PosePanel* target = w.panels[row.to];
        w.pointer.press(source, QPoint(50, 60));
        EXPECT_TRUE(source->pressed());
        EXPECT_TRUE(source->isSource());
        EXPECT_EQ(source->dragSourceId(), 1001 + row.from);
        w.pointer.glide(source, QPoint(50, 60), target, QPoint(8, 60));
        // A dragged panel always aims into a panel, even at its edge.
        if (row.from != row.to) {
            EXPECT_EQ(target->dropZone(), DropZone::Into);
        }
        w.pointer.release(target, QPoint(8, 60));
        EXPECT_EQ(r.raised, row.want);
        if (!row.want.empty()) {
            EXPECT_EQ(target->dragSourceId(), 1001 + row.from); // what the editor reads
        }
        for (PosePanel* p : w.panels)
            p->resetDrag();
    }
}

TEST(PoseGestureTest, APanelDragFromNoKnownPanelRaisesNothing)
{
    Windows w;
    w.goLive();
    for (int staleId : {0, 1000, 1008, 1004 /* the target itself */}) {
        Recorder r(w);
        PosePanel* p = w.panels[3];
        p->setDragState(DragState::Panel);
        p->setIsSource(false);
        p->setDragSourceId(staleId);
        // A press the main view refuses to turn into a drag: the pointer is held by the main view
        // and the release lands on the panel with the state the editor left there.
        w.main->setMayDrag(false);
        w.pointer.press(w.main, kMainCentre);
        w.pointer.glide(w.main, kMainCentre, p, QPoint(50, 60));
        w.pointer.release(p, QPoint(50, 60));
        EXPECT_TRUE(r.raised.empty()) << staleId;
        EXPECT_EQ(p->dragState(), DragState::None);
    }
}

TEST(PoseGestureTest, DoubleClickAndFocus)
{
    Windows w;
    w.goLive();
    Recorder r(w);
    w.pointer.doubleClick(w.panels[4], QPoint(50, 60));
    EXPECT_EQ(r.raised, (Raised{{1005, PoseGesture::DoubleClicked}}));
    EXPECT_TRUE(w.panels[4]->pressed());
    // Pressing another panel takes the focus away: the first is no longer pressed.
    w.pointer.click(w.panels[5], QPoint(50, 60), Qt::LeftButton);
    EXPECT_FALSE(w.panels[4]->pressed());
    EXPECT_TRUE(w.panels[5]->pressed());
    // Not interactive: no double-click, no press.
    w.panels[6]->setInteractive(false);
    r.raised.clear();
    w.pointer.doubleClick(w.panels[6], QPoint(50, 60));
    EXPECT_TRUE(r.raised.empty());
    EXPECT_FALSE(w.panels[6]->pressed());
    // setLive clears pressed and selected.
    w.panels[5]->setSelected(true);
    w.panels[5]->setLive(true);
    EXPECT_FALSE(w.panels[5]->pressed());
    EXPECT_FALSE(w.panels[5]->selected());
}

TEST(PoseGestureTest, ContextMenuOpensBesideThePointerAndRaisesItsItems)
{
    Windows w;
    w.goLive();
    struct Row {
        int x;
        bool rightEdgeAtPointer;
        int item; // 0 "Mirror pose", 1 "Delete pose"
        PoseGesture want;
    };
    for (Row row : {Row{80, true, 0, PoseGesture::MirrorPose}, Row{20, false, 1, PoseGesture::DeletePose}}) {
        SCOPED_TRACE(row.x);
        Recorder r(w);
        PosePanel* p = w.panels[3];
        w.pointer.click(p, QPoint(row.x, 60), Qt::LeftButton);
        ASSERT_TRUE(p->pressed());
        w.pointer.click(p, QPoint(row.x, 60), Qt::RightButton);
        QMenu* menu = p->contextMenu();
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 2);
        EXPECT_EQ(actions[0]->text(), "Mirror pose");
        EXPECT_EQ(actions[1]->text(), "Delete pose");
        const QPoint pointer = p->mapToGlobal(QPoint(row.x, 60));
        const QRect g = menu->geometry();
        if (row.rightEdgeAtPointer)
            EXPECT_NEAR(g.x() + g.width(), pointer.x(), 1);
        else
            EXPECT_NEAR(g.x(), pointer.x(), 1);
        QAction* item = actions[row.item];
        // The menu is a window of its own.
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(item).center());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 5000));
        EXPECT_EQ(r.raised, (Raised{{1004, row.want}}));
    }
}

TEST(PoseGestureTest, ContextMenuIsRefusedWithShiftUnpressedOrOnTheOffsetPage)
{
    Windows w;
    w.goLive();
    PosePanel* p = w.panels[2];
    // Never left-clicked: not pressed.
    w.pointer.click(p, QPoint(50, 60), Qt::RightButton);
    QTest::qWait(50);
    EXPECT_FALSE(p->contextMenu()->isVisible());
    // SHIFT held.
    w.pointer.click(p, QPoint(50, 60), Qt::LeftButton);
    w.pointer.click(p, QPoint(50, 60), Qt::RightButton, Qt::ShiftModifier);
    QTest::qWait(50);
    EXPECT_FALSE(p->contextMenu()->isVisible());
    // The offset page: panel 0 can be pressed, but opens no menu.
    for (PosePanel* q : w.panels)
        q->setOffsetPage(true);
    w.pointer.click(w.panels[0], QPoint(50, 60), Qt::LeftButton);
    EXPECT_TRUE(w.panels[0]->pressed());
    w.pointer.click(w.panels[0], QPoint(50, 60), Qt::RightButton);
    QTest::qWait(50);
    EXPECT_FALSE(w.panels[0]->contextMenu()->isVisible());
}

TEST(PoseGestureTest, OffsetPageTakesTheCurrentPoseOnPanelOneOnly)
{
    Windows w;
    w.goLive();
    for (PosePanel* p : w.panels)
        p->setOffsetPage(true);
    for (int k = 0; k < 7; ++k)
        for (Aim aim : {Aim::Left, Aim::Middle, Aim::Right}) {
            SCOPED_TRACE("panel " + std::to_string(k) + " at x " + std::to_string(static_cast<int>(aim)));
            Recorder r(w);
            w.pointer.press(w.main, kMainCentre);
            const QPoint drop(static_cast<int>(aim), 60);
            w.pointer.glide(w.main, kMainCentre, w.panels[k], drop);
            w.pointer.release(w.panels[k], drop);
            const Raised want = k == 1 ? Raised{{1002, PoseGesture::Dropped}} : Raised{};
            EXPECT_EQ(r.raised, want);
            for (PosePanel* p : w.panels)
                p->resetDrag();
        }
    // Panel 0 is pressed but starts no drag; only panels 0 and 1 take a double-click.
    w.pointer.press(w.panels[0], QPoint(50, 60));
    EXPECT_TRUE(w.panels[0]->pressed());
    EXPECT_EQ(w.panels[0]->dragState(), DragState::None);
    EXPECT_FALSE(w.panels[0]->isSource());
    w.pointer.release(w.panels[0], QPoint(50, 60));
    w.pointer.press(w.panels[3], QPoint(50, 60));
    EXPECT_FALSE(w.panels[3]->pressed());
    w.pointer.release(w.panels[3], QPoint(50, 60));
    Recorder r(w);
    for (int k = 0; k < 7; ++k)
        w.pointer.doubleClick(w.panels[k], QPoint(50, 60));
    EXPECT_EQ(r.raised, (Raised{{1001, PoseGesture::DoubleClicked}, {1002, PoseGesture::DoubleClicked}}));
}

TEST(PoseGestureTest, ShiftDragTurnsTheViewAndStillStartsADrag)
{
    Windows w;
    w.goLive();
    // Without SHIFT the model never turns.
    w.pointer.press(w.main, kMainCentre);
    w.pointer.move(w.main, QPoint(319, 120));
    w.pointer.release(w.main, QPoint(319, 120));
    EXPECT_EQ(w.main->model().world(), robotview::Mat4::identity());
    // With SHIFT from the centre to the right edge: a quarter turn about the vertical.
    w.pointer.press(w.main, kMainCentre, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_TRUE(w.main->dragging());
    w.pointer.move(w.main, QPoint(320, 120), Qt::ShiftModifier);
    const robotview::Vec3 front = w.main->model().world().transformDirection({0, 0, 1});
    EXPECT_NEAR(front.x, 1, 1e-3);
    EXPECT_NEAR(front.z, 0, 1e-3);
    w.pointer.release(w.main, QPoint(320, 120), Qt::LeftButton, Qt::ShiftModifier);
    // Reset returns the robot to rest and keeps its joints.
    const int shown = w.main->model().displayedValue(2);
    w.main->resetView();
    EXPECT_EQ(w.main->model().world(), robotview::Mat4::identity());
    EXPECT_EQ(w.main->model().displayedValue(2), shown);
}
