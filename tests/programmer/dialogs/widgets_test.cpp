// The dialogs' own widgets under the offscreen platform: the percent bar's drawing, the console
// pane's text and its refusal of input, and the port combo's choice of the saved port.

#include "DialogTestKit.h"

#include "platform/PortMap.h"
#include "programmer/dialogs/ConsoleView.h"
#include "programmer/dialogs/PercentBar.h"
#include "programmer/dialogs/PortCombo.h"
#include "support/HeldLine.h"
#include "support/PtyPeer.h"

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using programmer::ConsoleView;
using programmer::PercentBar;
using programmer::PortCombo;

namespace {

QImage render(QWidget& w)
{
    return w.grab().toImage();
}

} // namespace

TEST(PercentBar, FillsThePercentOfItsWidthAndClampsTheValue)
{
    struct Case {
        int width, percent, filled;
    } cases[] = {{200, 0, 0}, {200, 42, 84},   {199, 50, 99}, {3, 99, 2},  {200, 100, 200},
                 {0, 50, 0},  {200, 150, 200}, {200, -5, 0},  {-10, 50, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(PercentBar::filledWidth(c.width, c.percent), c.filled) << c.width << " x " << c.percent;

    dialogtest::ensureApp();
    PercentBar bar;
    bar.setPercent(140);
    EXPECT_EQ(bar.percent(), 100);
    bar.setPercent(-1);
    EXPECT_EQ(bar.percent(), 0);
}

TEST(PercentBar, DrawsTheFillInTheBarColourAndTheRestWhite)
{
    dialogtest::ensureApp();
    PercentBar bar;
    bar.resize(200, 24);
    struct Case {
        int percent;
        int x;
        QColor colour;
    } cases[] = {
        {42, 2, PercentBar::kBarColour},
        {42, 80, PercentBar::kBarColour},
        {42, 90, Qt::white},
        {42, 197, Qt::white},
        {0, 2, Qt::white},
        {100, 197, PercentBar::kBarColour},
    };
    for (const Case& c : cases) {
        bar.setPercent(c.percent);
        QImage image = render(bar);
        // Row 1 lies above the centred text.
        EXPECT_EQ(QColor(image.pixel(c.x, 1)), c.colour) << c.percent << "% at x " << c.x;
    }
    // The text in the middle: at 0% drawn in the bar colour over white, at 100% in white over
    // the bar colour (anti-aliased edges blend the two).
    struct Text {
        int percent;
        QColor background;
    } texts[] = {{0, Qt::white}, {100, PercentBar::kBarColour}};
    for (const Text& t : texts) {
        bar.setPercent(t.percent);
        QImage image = render(bar);
        int inked = 0;
        for (int x = 70; x < 130; ++x)
            for (int y = 2; y < 22; ++y) {
                QColor c(image.pixel(x, y));
                if (c != t.background) {
                    ++inked;
                    // Ink lies between the two colours: never redder than white or the bar.
                    EXPECT_GE(c.blue(), 250) << x << "," << y;
                }
            }
        EXPECT_GT(inked, 10) << t.percent << "%: the text must be seen";
    }
}

TEST(ConsoleView, ShowsTheControllerTextFilteredAndScrolledToTheNewest)
{
    dialogtest::ensureApp();
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::string console; // the pane's text as the filter keeps it
        QString shown;       // what is drawn
    } cases[] = {
        {"a line feed without CR is dropped", {"AB\nC"}, " ABC", " ABC"},
        {"CR LF stays one line end", {"A\r\nB"}, " A\r\nB", " A\nB"},
        {"CR LF split across chunks", {"A\r", "\nB"}, " A\r\nB", " A\nB"},
        {"a lone CR ends a line", {"A\rB"}, " A\rB", " A\nB"},
        {"control and high bytes dropped",
         {std::string("A\x01\x7F\xC8"
                      "B\t",
                      6)},
         " AB",
         " AB"},
        {"leading backspaces erase but keep the last character", {"ABCD", "\b\bX"}, " AXD", " AXD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConsoleView view;
        for (const std::string& chunk : c.chunks)
            view.append(chunk);
        EXPECT_EQ(view.consoleText(), c.console);
        EXPECT_EQ(view.toPlainText(), c.shown);
        EXPECT_EQ(view.toPlainText(), ConsoleView::displayText(view.consoleText()));
    }

    ConsoleView view;
    view.resize(300, 120);
    view.show();
    for (int i = 0; i < 200; ++i)
        view.append("line " + std::to_string(i) + "\r\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);
    view.clear();
    EXPECT_EQ(view.toPlainText(), " ");
}

TEST(ConsoleView, KeepsItsTextWithinTheLimitByDroppingTheOlderHalf)
{
    dialogtest::ensureApp();
    ConsoleView view;
    std::string block(100000, 'x');
    block.back() = 'y';
    for (int i = 0; i < 12; ++i)
        view.append(block);
    EXPECT_LE(view.consoleText().size(), comm::ConsoleFilter::kTextLimit);
    EXPECT_EQ(view.toPlainText(), ConsoleView::displayText(view.consoleText()));
    EXPECT_EQ(view.consoleText().back(), 'y');
}

TEST(ConsoleView, SwallowsKeysAndClicks)
{
    dialogtest::ensureApp();
    ConsoleView view;
    view.resize(300, 120);
    view.show();
    view.append("ready\r\n");
    const QString before = view.toPlainText();
    QTest::keyClicks(&view, "typed");
    QTest::keyClick(&view, Qt::Key_Backspace);
    QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(view.toPlainText(), before);
    EXPECT_TRUE(view.isReadOnly());
    EXPECT_EQ(view.cursorWidth(), 0);
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST(PortCombo, SelectsTheSavedPortByItsWholeName)
{
    dialogtest::ensureApp();
    struct Case {
        QStringList names;
        int saved;
        QString selected;
    } cases[] = {
        {{"COM1", "COM3", "COM12"}, 3, "COM3"},
        {{"COM1", "COM3", "COM12"}, 7, "COM1"}, // missing: the first entry
        {{"COM3", "COM12"}, 1, "COM3"},         // COM12 is not COM1
        {{"COM3", "COM12"}, 12, "COM12"},
        {{}, 1, ""},
    };
    for (const Case& c : cases) {
        PortCombo combo;
        combo.fill(c.names, c.saved);
        EXPECT_EQ(combo.selectedPort(), c.selected) << c.saved;
        EXPECT_EQ(combo.count(), c.names.size());
    }

    struct Number {
        QString name;
        int n;
    } numbers[] = {{"COM1", 1},  {"COM256", 256}, {"COM0", 0},       {"COM257", 0}, {"COM", 0},
                   {"COM+3", 0}, {"COM3x", 0},    {"/dev/pts/3", 0}, {"com3", 0}};
    for (const Number& n : numbers)
        EXPECT_EQ(PortCombo::portNumber(n.name), n.n) << n.name.toStdString();
}

TEST(PortCombo, ListsTheLinkedPorts)
{
    dialogtest::ensureApp();
    dialogtest::SimRig rig({}, 9);
    ASSERT_TRUE(rig.ok());
    PortCombo combo;
    combo.refill(9);
    EXPECT_EQ(combo.selectedPort(), "COM9");
    EXPECT_EQ(combo.currentText(), "COM9 - KZ-7 Simulator");
}

TEST(PortCombo, OpeningTheListLooksAgainWithoutTouchingLinesInUse)
{
    dialogtest::ensureApp();
    dialogtest::SimRig rig({}, 9);
    ASSERT_TRUE(rig.ok());
    testsupport::HeldLine held;
    ASSERT_TRUE(held.ok());
    ASSERT_TRUE(platform::linkPort(4, held.slavePath()));
    PortCombo combo;
    combo.refill(9);
    EXPECT_NE(combo.findData(QStringLiteral("COM4")), -1);

    // A cable plugged in while the dialog is open shows up when the list is opened; the choice
    // made before stays.
    testsupport::PtyPeer plugged;
    ASSERT_TRUE(plugged.ok());
    ASSERT_TRUE(platform::linkPort(12, plugged.slavePath()));
    EXPECT_EQ(combo.findData(QStringLiteral("COM12")), -1);
    combo.showPopup();
    EXPECT_NE(combo.findData(QStringLiteral("COM12")), -1);
    EXPECT_EQ(combo.selectedPort(), "COM9");
    combo.hidePopup();
    EXPECT_EQ(held.untouched(), "");
}
