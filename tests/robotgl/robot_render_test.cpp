// What the windows draw, read back from their frame buffers: the frame colours of every state,
// the drop-zone marks, the inner colours, the robot (lit, unlit, absent) and the texts; and when
// they animate and draw at all.

#include "RobotWindows.h"

#include <QImage>
#include <QScreen>

#include <functional>

using robotgl::PosePanel;
using robotgltest::Windows;
using robotview::DragState;
using robotview::DropZone;

namespace {

const QColor kWhite(255, 255, 255), kBlack(0, 0, 0), kMark(180, 180, 255), kBlueGrey(89, 135, 179),
    kGrey(150, 150, 150);

QImage frame(robotgl::RobotWindow* w)
{
    return w->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
}

QColor pixel(const QImage& img, int x, int y)
{
    return QColor(img.pixel(x, y));
}

// The outer frame on each side, sampled half-way along it (2 pixels in from the edge).
struct Sides {
    QColor left, right, top, bottom;
};

Sides sides(const QImage& img)
{
    const int w = img.width(), h = img.height();
    return {pixel(img, 2, h / 2), pixel(img, w - 3, h / 2), pixel(img, w / 2, 2), pixel(img, w / 2, h - 3)};
}

bool yellowish(const QColor& c)
{
    return c.red() > 200 && c.green() > 200 && c.blue() < 80;
}

// Pixels of the region that are not the inner colour and not text.
int robotPixels(const QImage& img, const QRect& region, const QColor& inner, double* meanBrightness = nullptr)
{
    int count = 0;
    double sum = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) {
            const QColor c = pixel(img, x, y);
            if (c == inner || yellowish(c))
                continue;
            ++count;
            sum += c.red() + c.green() + c.blue();
        }
    if (meanBrightness)
        *meanBrightness = count ? sum / count / 3 : 0;
    return count;
}

int yellowPixels(const QImage& img, const QRect& region)
{
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            count += yellowish(pixel(img, x, y));
    return count;
}

} // namespace

TEST(RobotRenderTest, PanelFrameShowsPressedSelectedAndDropZones)
{
    Windows w;
    w.goLive();
    PosePanel* p = w.panels[3];
    struct Row {
        const char* what;
        std::function<void()> set;
        Sides want;
        QColor inner;
    };
    const Row rows[] = {
        {"plain", [] {}, {kWhite, kWhite, kWhite, kWhite}, kGrey},
        {"selected", [&] { p->setSelected(true); }, {kWhite, kWhite, kWhite, kWhite}, kBlueGrey},
        {"pressed", [&] { w.pointer.click(p, QPoint(50, 60)); }, {kBlack, kBlack, kBlack, kBlack}, kGrey},
        {"current pose aimed into",
         [&] { p->setDragState(DragState::CurrentPose), p->setDropZone(DropZone::Into); },
         {kMark, kMark, kMark, kMark},
         kGrey},
        {"aimed after: right strip",
         [&] { p->setDragState(DragState::CurrentPose), p->setDropZone(DropZone::After); },
         {kWhite, kMark, kWhite, kWhite},
         kGrey},
        {"aimed before: left strip",
         [&] { p->setDragState(DragState::CurrentPose), p->setDropZone(DropZone::Before); },
         {kMark, kWhite, kWhite, kWhite},
         kGrey},
        {"a panel aimed into",
         [&] { p->setDragState(DragState::Panel), p->setDropZone(DropZone::Into); },
         {kMark, kMark, kMark, kMark},
         kGrey},
        {"the source is never marked",
         [&] { p->setDragState(DragState::Panel), p->setDropZone(DropZone::Into), p->setIsSource(true); },
         {kWhite, kWhite, kWhite, kWhite},
         kGrey},
        {"no drag, no mark",
         [&] { p->setDropZone(DropZone::Into); },
         {kWhite, kWhite, kWhite, kWhite},
         kGrey},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        p->setLive(true); // clears pressed and selected
        p->resetDrag();
        w.pointer.click(w.panels[0], QPoint(50, 60)); // the focus elsewhere
        w.panels[0]->setLive(true);
        r.set();
        const QImage img = frame(p);
        const Sides s = sides(img);
        EXPECT_EQ(s.left, r.want.left);
        EXPECT_EQ(s.right, r.want.right);
        EXPECT_EQ(s.top, r.want.top);
        EXPECT_EQ(s.bottom, r.want.bottom);
        EXPECT_EQ(pixel(img, 6, img.height() - 7), r.inner); // just inside the frame
        // The marks are 5 pixels wide.
        EXPECT_EQ(pixel(img, 5, img.height() / 2), r.inner);
        EXPECT_EQ(pixel(img, img.width() - 6, img.height() / 2), r.inner);
    }
}

TEST(RobotRenderTest, MainViewFrameIsBlackWhileTheCurrentPoseIsDragged)
{
    Windows w;
    w.goLive();
    EXPECT_EQ(sides(frame(w.main)).left, kWhite);
    EXPECT_EQ(pixel(frame(w.main), 6, 6 + 30), kBlueGrey); // the main view's inner area
    w.pointer.press(w.main, QPoint(160, 120));
    ASSERT_TRUE(w.main->dragging());
    EXPECT_EQ(sides(frame(w.main)).top, kBlack);
    w.pointer.release(w.main, QPoint(160, 120));
    w.pointer.click(w.panels[2], QPoint(50, 60)); // focus lost: dragging ends
    EXPECT_FALSE(w.main->dragging());
    EXPECT_EQ(sides(frame(w.main)).top, kWhite);
}

TEST(RobotRenderTest, RobotIsDrawnWhileLiveAndLitBrighterThanUnlit)
{
    Windows w;
    const QRect mainRegion(20, 30, 280, 80); // above the centred text
    EXPECT_EQ(robotPixels(frame(w.main), mainRegion, kBlueGrey), 0);
    w.goLive();
    EXPECT_GT(robotPixels(frame(w.main), mainRegion, kBlueGrey), 1000);

    PosePanel* p = w.panels[1];
    const QRect panelRegion(20, 25, 60, 80);
    double lit = 0, unlit = 0;
    const int litCount = robotPixels(frame(p), panelRegion, kGrey, &lit);
    p->setLit(false);
    const int unlitCount = robotPixels(frame(p), panelRegion, kGrey, &unlit);
    EXPECT_GT(litCount, 300);
    EXPECT_NEAR(unlitCount, litCount, litCount / 10); // the same robot, in the dark
    EXPECT_GT(lit, 3 * unlit) << "lit " << lit << ", unlit " << unlit;
    EXPECT_GT(unlit, 2.0); // the ambient light still shows it
}

TEST(RobotRenderTest, TextsByStateAndPage)
{
    Windows w;
    const QRect captionArea(5, 5, 60, 16);
    for (auto* p : w.panels)
        p->setCaption("Pose");
    w.main->setCaption("Current");
    // Not live: "Connect KZ-7!" about the middle, no caption.
    QImage img = frame(w.panels[2]);
    EXPECT_GT(yellowPixels(img, QRect(5, img.height() / 2, img.width() - 10, 18)), 20);
    EXPECT_EQ(yellowPixels(img, captionArea), 0);
    w.goLive();
    img = frame(w.panels[2]);
    EXPECT_GT(yellowPixels(img, captionArea), 20);
    EXPECT_EQ(yellowPixels(img, QRect(5, img.height() / 2 + 30, img.width() - 10, 18)), 0);
    EXPECT_GT(yellowPixels(frame(w.main), captionArea), 20);
    // The offset page names the two robots on panels 0 and 1 and nothing on the others.
    for (auto* p : w.panels)
        p->setOffsetPage(true);
    const int original = yellowPixels(frame(w.panels[0]), QRect(5, 5, 90, 16));
    const int user = yellowPixels(frame(w.panels[1]), QRect(5, 5, 90, 16));
    EXPECT_GT(original, user); // "Original Robot" is the longer text
    EXPECT_GT(user, 20);
    EXPECT_EQ(yellowPixels(frame(w.panels[2]), QRect(5, 5, 90, 16)), 0);
}

TEST(RobotRenderTest, AModelThatFailsToLoadLeavesFrameAndText)
{
    robotgltest::app();
    QWidget top;
    auto* view =
        new robotgl::Main3DView(QStringLiteral(TESSABAN_SOURCE_DIR "/no such folder/none.rbt"), &top);
    view->setGeometry(0, 0, 200, 150);
    top.resize(200, 150);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    EXPECT_FALSE(view->modelLoaded());
    EXPECT_TRUE(view->loadError().contains("none.rbt")) << view->loadError().toStdString();
    QImage img = frame(view);
    EXPECT_EQ(sides(img).left, kWhite);
    EXPECT_GT(yellowPixels(img, QRect(5, 75, 190, 18)), 20);
    view->setLive(true);
    view->setCaption("Current");
    view->model().setJointTarget(1, 100); // no joints: nothing to move, nothing breaks
    view->tick();
    img = frame(view);
    EXPECT_GT(yellowPixels(img, QRect(5, 5, 60, 16)), 20);
    EXPECT_EQ(robotPixels(img, QRect(10, 30, 180, 110), kBlueGrey), 0);
}

TEST(RobotAnimationTest, JointsHoldWhileNotLiveAndCatchUpAfterwards)
{
    Windows w;
    PosePanel* p = w.panels[0];
    const int joint = p->model().profile().indexOfId(1);
    ASSERT_EQ(p->model().displayedValue(joint), 512);
    p->model().setJointTarget(1, 1000);
    for (int i = 0; i < 5; ++i)
        p->tick();
    EXPECT_EQ(p->model().displayedValue(joint), 512);
    p->setLive(true);
    std::vector<int> shown;
    for (int i = 0; i < 11; ++i) {
        p->tick();
        shown.push_back(p->model().displayedValue(joint));
    }
    EXPECT_EQ(shown, (std::vector<int>{562, 612, 662, 712, 762, 812, 862, 912, 962, 1000, 1000}));
}

TEST(RobotAnimationTest, WindowsAreDrawnOnlyWhenSomethingTheyShowChanged)
{
    Windows w;
    w.goLive();
    PosePanel* p = w.panels[4];
    auto settle = [&] {
        for (int i = 0; i < 3; ++i) {
            p->tick();
            QTest::qWait(20);
        }
    };
    settle();
    int drawn = p->framesDrawn();
    settle();
    EXPECT_EQ(p->framesDrawn(), drawn); // nothing changed: nothing drawn

    struct Row {
        const char* what;
        std::function<void()> change;
    };
    const Row rows[] = {
        {"caption", [&] { p->setCaption("New"); }},
        {"flag", [&] { p->setSelected(true); }},
        {"light", [&] { p->setLit(false); }},
        {"joint still moving", [&] { p->model().setJointTarget(3, 900); }},
        {"reset view", [&] { p->resetView(); }},
        {"resize", [&] { p->resize(104, 120); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        drawn = p->framesDrawn();
        r.change();
        p->tick();
        EXPECT_TRUE(QTest::qWaitFor([&] { return p->framesDrawn() > drawn; }, 5000));
        // Once the change is shown (and the joint has arrived) the window rests again.
        for (int i = 0; i < 12; ++i)
            p->tick();
        QTest::qWait(20);
        drawn = p->framesDrawn();
        settle();
        EXPECT_EQ(p->framesDrawn(), drawn);
    }
}

TEST(RobotRenderTest, AWindowMovedToAnotherTopLevelWindowDrawsAgain)
{
    Windows w;
    w.goLive();
    PosePanel* p = w.panels[1];
    const QRect region(20, 25, 60, 80);
    ASSERT_GT(robotPixels(frame(p), region, kGrey), 300);
    // Another top-level window, another backing store: the picture still reaches the screen.
    QWidget other;
    p->setParent(&other);
    p->setGeometry(0, 0, 100, 120);
    other.resize(100, 120);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    EXPECT_GT(robotPixels(frame(p), region, kGrey), 300);
    p->setParent(w.top.get());
}

TEST(RobotRenderTest, TheScreenShowsEachWindowsPictureTheRightWayUp)
{
    Windows w;
    w.goLive();
    PosePanel* p = w.panels[3];
    p->setCaption("Up");
    p->setSelected(true);
    p->tick();
    // What the X server holds for the top-level window, not what a grab would draw anew.
    QImage screen;
    const bool shown = QTest::qWaitFor(
        [&] {
            screen =
                w.top->screen()->grabWindow(w.top->winId()).toImage().convertToFormat(QImage::Format_RGB32);
            return !screen.isNull() && pixel(screen, p->x() + 10, p->y() + p->height() - 10) == kBlueGrey;
        },
        5000);
    ASSERT_TRUE(shown);
    const QImage picture = frame(p);
    const QImage onScreen = screen.copy(p->geometry());
    ASSERT_EQ(onScreen.size(), picture.size());
    EXPECT_EQ(onScreen, picture);
    EXPECT_GT(yellowPixels(onScreen, QRect(5, 5, 30, 16)), 10); // the caption at the top
    EXPECT_GT(robotPixels(onScreen, QRect(20, 25, 60, 80), kBlueGrey), 300);
}

TEST(RobotAnimationTest, TheSharedTimerDrivesEveryWindow)
{
    Windows w;
    w.goLive();
    for (robotgl::RobotWindow* win : std::initializer_list<robotgl::RobotWindow*>{w.main, w.panels[6]})
        win->model().setJointTarget(5, 100);
    const int joint = w.main->model().profile().indexOfId(5);
    robotgl::ViewDriver::shared().setRunning(true);
    // Generous: the joint needs 10 ticks of 40 or 60 ms.
    const bool arrived = QTest::qWaitFor(
        [&] {
            return w.main->model().displayedValue(joint) == 100 &&
                   w.panels[6]->model().displayedValue(joint) == 100;
        },
        20000);
    robotgl::ViewDriver::shared().setRunning(false);
    EXPECT_TRUE(arrived);
    EXPECT_EQ(w.panels[5]->model().displayedValue(joint), 572); // the others were not asked to move
}
