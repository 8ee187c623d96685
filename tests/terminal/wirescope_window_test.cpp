// Wirescope's window under the offscreen platform, connected to a pseudo-terminal peer.

#include "support/Kz7SimProcess.h"
#include "support/PtyPeer.h"
#include "support/TempFolder.h"
#include "termsession/RecordingPrompter.h"
#include "termsession/TerminalTestData.h"

#include "platform/PortMap.h"
#include "support/TestApp.h"
#include "termcore/PastePacer.h"
#include "termcore/TerminalTexts.h"
#include "terminal/ColorSetupDialog.h"
#include "terminal/FindBar.h"
#include "terminal/MainWindow.h"
#include "terminal/SendStringsDialog.h"
#include "terminal/SerialSetupDialog.h"
#include "terminal/TerminalView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using testsupport::PortFolder;
using testsupport::PtyPeer;

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using terminal::MainWindow;
using terminal::WindowOptions;

namespace {

void ensureApp()
{
    testsupport::testApp();
}

// Processes events until done() holds or the time is up.
template <class F> bool waitUntil(F done, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct Window : ::testing::Test {
    PortFolder folder{"wirescope-ui", "ports"};
    const fs::path dir = folder.path();
    RecordingPrompter prompter;
    PtyPeer peer;
    std::unique_ptr<MainWindow> window;

    void SetUp() override
    {
        ensureApp();
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(platform::linkPort(7, peer.slavePath()));
    }
    void TearDown() override { window.reset(); }
    std::string configPath() const { return (dir / "Wirescope v1.07.cfg").string(); }
    void open(bool connect, const std::string& port = "COM7")
    {
        WindowOptions options;
        options.configPath = configPath();
        options.connectAtStart = connect;
        options.port = port;
        window = std::make_unique<MainWindow>(prompter, options);
        ASSERT_TRUE(window->initialised());
        window->show();
        // Shortcuts (Ctrl+Shift+C, ...) act in the active window.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    bool enabled(const char* name) { return window->action(QString::fromLatin1(name))->isEnabled(); }
    QStringList recentTexts()
    {
        QStringList out;
        for (QAction* a : window->recentMenu()->actions())
            out << a->text();
        return out;
    }
};

TEST_F(Window, DisconnectedStartWithoutConfigurationFile)
{
    open(false);
    EXPECT_TRUE(enabled("&Connect"));
    EXPECT_FALSE(enabled("&Disconnect"));
    EXPECT_FALSE(enabled("&Transmit file"));
    EXPECT_FALSE(enabled("&Recieve file"));
    EXPECT_FALSE(enabled("Recent &files"));
    EXPECT_TRUE(enabled("C&lear screen"));
    EXPECT_TRUE(window->action("&Add bytesum")->isChecked());
    EXPECT_EQ(window->statusText(0), "No recent file");
    EXPECT_EQ(window->statusText(1), "Disconnect");
    ASSERT_EQ(recentTexts(), QStringList{"Empty path"});
    EXPECT_FALSE(window->recentMenu()->actions()[0]->isEnabled());
    EXPECT_EQ(window->windowTitle(), "Wirescope v1.07");
    EXPECT_LT(window->minimumSize().width(), window->width()); // it can be sized
    EXPECT_EQ(window->action("&Connect")->shortcut(), QKeySequence("Ctrl+C"));
    EXPECT_EQ(window->action("C&lear screen")->shortcut(), QKeySequence("Ctrl+L"));
    // With the port closed, typing sends nothing and says nothing.
    peer.startCollecting();
    QTest::keyClicks(window.get(), "abc");
    QTest::keyClick(window.get(), Qt::Key_Up);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.collected(), "");
    EXPECT_TRUE(prompter.errors.empty());
    window.reset();
    // At exit a 2134-byte file with the defaults is written.
    const std::string bytes = slurp(configPath());
    ASSERT_EQ(bytes.size(), 2134u);
    EXPECT_EQ(bytes.substr(0, 5), std::string("COM1\0", 5));
}

TEST_F(Window, ConnectedMenusKeysAndSavedPort)
{
    open(true);
    ASSERT_TRUE(window->session().isConnected()) << (prompter.errors.empty() ? "" : prompter.errors[0].text);
    EXPECT_FALSE(enabled("&Connect"));
    EXPECT_TRUE(enabled("&Disconnect"));
    EXPECT_TRUE(enabled("&Transmit file"));
    EXPECT_TRUE(enabled("&Recieve file"));
    EXPECT_TRUE(enabled("Recent &files"));
    EXPECT_EQ(window->statusText(1), "COM7-57600");

    peer.startCollecting();
    QTest::keyClicks(window.get(), "hi\r");
    QTest::keyClick(window.get(), Qt::Key_Up);
    QTest::keyClick(window.get(), Qt::Key_End);
    QTest::keyClick(window.get(), Qt::Key_T, Qt::ControlModifier); // an accelerator: never sent
    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(peer.waitFor(10), "hi\r\x1b[A\x1b[K\x01");

    // What arrives is shown.
    ASSERT_TRUE(peer.send("Hello\r\nKZ-7"));
    ASSERT_TRUE(waitUntil([&] { return window->view()->screen().cursorColumn() == 4; }));
    EXPECT_EQ(window->view()->screen().cell(0, 0), 'H');
    EXPECT_EQ(window->view()->screen().cell(3, 1), '7');

    window->disconnectPort();
    EXPECT_TRUE(enabled("&Connect"));
    EXPECT_FALSE(enabled("&Transmit file"));
    EXPECT_EQ(window->statusText(1), "Disconnect");
    // Connect through the setup dialog's answer.
    window->setSetupChooser([](const std::vector<std::string>& ports, const std::string& saved, int rate) {
        EXPECT_EQ(saved, "COM7");
        EXPECT_EQ(rate, 57600);
        EXPECT_NE(std::find(ports.begin(), ports.end(), "COM7"), ports.end());
        return std::optional<terminal::PortChoice>({"COM7", 115200});
    });
    window->connectPort();
    EXPECT_EQ(window->statusText(1), "COM7-115200");
    window.reset();
    const std::string bytes = slurp(configPath());
    ASSERT_EQ(bytes.size(), 2134u);
    EXPECT_EQ(bytes.substr(0, 10), std::string("COM7\0\0\0\0\0\0", 10));
    EXPECT_EQ(bytes.substr(14, 4), std::string("\x00\xC2\x01\x00", 4));
}

TEST_F(Window, ColourDialogPageRightPreviewAndCancel)
{
    open(false);
    auto* view = window->view();
    QTimer::singleShot(0, [&] {
        auto* dialog = window->findChild<terminal::ColorSetupDialog*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Setup color");
        EXPECT_TRUE(dialog->backgroundButton()->isChecked());
        EXPECT_EQ(dialog->number(0)->text(), "255");
        EXPECT_FALSE(dialog->previewButton()->isEnabled());
        dialog->textButton()->click();
        EXPECT_EQ(dialog->number(0)->text(), "0");
        dialog->bar(0)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        dialog->bar(0)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(dialog->number(0)->text(), "20");
        EXPECT_EQ(dialog->bar(0)->value(), 20);
        EXPECT_TRUE(dialog->previewButton()->isEnabled());
        dialog->previewButton()->click();
        EXPECT_FALSE(dialog->previewButton()->isEnabled());
        EXPECT_EQ(view->textColour(), QColor(20, 0, 0));
        dialog->cancelButton()->click();
    });
    window->modifyColor();
    EXPECT_EQ(view->textColour(), QColor(0, 0, 0));
    EXPECT_EQ(window->session().config().text(), (termcore::Rgb{0, 0, 0}));

    // Preview then OK stores exactly the previewed colours.
    QTimer::singleShot(0, [&] {
        auto* dialog = window->findChild<terminal::ColorSetupDialog*>();
        ASSERT_NE(dialog, nullptr);
        dialog->bar(2)->triggerAction(QAbstractSlider::SliderPageStepSub);
        dialog->bar(1)->triggerAction(QAbstractSlider::SliderSingleStepSub);
        dialog->previewButton()->click();
        dialog->okButton()->click();
    });
    window->modifyColor();
    EXPECT_EQ(window->session().config().background(), (termcore::Rgb{255, 254, 245}));
    EXPECT_EQ(view->background(), QColor(255, 254, 245));
}

TEST_F(Window, RecentSubmenuFromTheConfigurationFileNewestFirst)
{
    termcore::TerminalConfig config;
    config.setPath(configPath());
    config.recent().add("/w/one.bin", termcore::FileKind::Transmitted);
    config.recent().add("/w/two.bin", termcore::FileKind::Received);
    config.recent().add("/w/three.hex", termcore::FileKind::Transmitted);
    ASSERT_TRUE(config.save());
    open(false);
    EXPECT_EQ(recentTexts(), (QStringList{"Tx: w/three.hex", "Rx: w/two.bin", "Tx: w/one.bin"}));
    EXPECT_EQ(window->statusText(0), "Latest file => Tx: w/three.hex");
}

TEST(SerialSetupDialog, SelectsTheSavedPortOrTheFirstAndNeedsOne)
{
    ensureApp();
    terminal::SerialSetupDialog dialog({"COM1", "COM3", "COM10"}, "COM3", 115200);
    EXPECT_EQ(dialog.windowTitle(), "Serial setup");
    EXPECT_EQ(dialog.selectedPort(), "COM3");
    EXPECT_EQ(dialog.selectedRate(), 115200);
    // Each port names what stands behind it; the choice is still the port's name.
    dialog.setDescriptions({"", "KZ-7 Simulator", "FT232R USB UART A50285BI"});
    EXPECT_EQ(dialog.portList()->itemText(0), "COM1");
    EXPECT_EQ(dialog.portList()->itemText(1), "COM3  KZ-7 Simulator");
    EXPECT_EQ(dialog.portList()->itemText(2), "COM10  FT232R USB UART A50285BI");
    EXPECT_EQ(dialog.selectedPort(), "COM3");
    terminal::SerialSetupDialog other({"COM1", "COM3"}, "COM9", 57600);
    EXPECT_EQ(other.selectedPort(), "COM1");
    terminal::SerialSetupDialog none({}, "COM1", 57600);
    EXPECT_FALSE(none.connectButton()->isEnabled());
}

TEST(SerialSetupDialog, AnyRateTheSerialLayerCanSetMayBeTyped)
{
    ensureApp();
    terminal::SerialSetupDialog dialog({"COM1"}, "COM1", 57600);
    EXPECT_EQ(dialog.rateList()->count(), 14); // the usual rates stay listed
    struct Case {
        const char* typed;
        int rate; // 0: refused
    };
    const Case cases[] = {{"31250", 31250}, {"250000", 250000}, {"12", 0}, {"4000001", 0},
                          {"", 0},          {"9600", 9600}};
    for (const Case& c : cases) {
        dialog.rateList()->setEditText(QString::fromLatin1(c.typed));
        EXPECT_EQ(dialog.selectedRate(), c.rate) << c.typed;
        EXPECT_EQ(dialog.connectButton()->isEnabled(), c.rate != 0) << c.typed;
        EXPECT_EQ(dialog.rateHint().isEmpty(), c.rate != 0) << c.typed;
    }
    // The hint is never cut off: the dialog makes room for every line of it.
    dialog.show();
    dialog.rateList()->setEditText(QStringLiteral("12"));
    QApplication::processEvents();
    const QLabel* hint = nullptr;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text() == dialog.rateHint())
            hint = label;
    ASSERT_NE(hint, nullptr);
    EXPECT_GE(hint->height(), hint->heightForWidth(hint->width()));
    EXPECT_LE(hint->geometry().bottom(), dialog.height());
    // A typed rate that was saved is offered again.
    terminal::SerialSetupDialog again({"COM1"}, "COM1", 31250);
    EXPECT_EQ(again.selectedRate(), 31250);
}

// The send strings' editor keeps what the side file can hold on one line per string: no '|'
// in a name, no control code, names and texts cut to their length.
TEST(SendStringsDialog, KeepsWhatTheSideFileCanHold)
{
    ensureApp();
    using termcore::SessionSettings;
    terminal::SendStringsDialog dialog(SessionSettings::defaultSendStrings());
    QTableWidget* table = dialog.table();
    ASSERT_EQ(table->rowCount(), 9);
    EXPECT_EQ(table->item(2, 1)->text(), "\\rexit\\ry");
    table->item(3, 0)->setText(QStringLiteral("A|B\tC"));
    table->item(3, 1)->setText(QStringLiteral("ver\\r\n") + QString(3000, QLatin1Char('x')));
    table->item(4, 0)->setText(QString(60, QLatin1Char('n')));
    const auto strings = dialog.strings();
    EXPECT_EQ(strings[3].name, "ABC");
    EXPECT_EQ(strings[3].text.substr(0, 5), "ver\\r");
    EXPECT_EQ(strings[3].text.size(), size_t(SessionSettings::kMaxTextLength));
    EXPECT_EQ(strings[4].name.size(), size_t(SessionSettings::kMaxNameLength));
    EXPECT_EQ(strings[2].text, "\\rexit\\ry");
    // What the editor gives back survives the side file.
    SessionSettings settings;
    settings.sendStrings = strings;
    SessionSettings back;
    ASSERT_TRUE(back.parse(settings.serialise()));
    EXPECT_EQ(back.serialise(), settings.serialise());
}

TEST_F(Window, ScreenshotShowsTextInTheRightCells)
{
    open(false);
    auto* view = window->view();
    const std::string text = "\x1b[2;3H#####";
    view->write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const QImage image = view->viewport()->grab().toImage();
    const auto m = view->metrics();
    ASSERT_GT(m.charWidth, 4);
    ASSERT_GT(m.charHeight, 8);
    auto inkIn = [&](int col, int row) {
        int dark = 0;
        for (int y = row * m.charHeight; y < (row + 1) * m.charHeight; ++y)
            for (int x = col * m.charWidth; x < (col + 1) * m.charWidth; ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    ++dark;
        return dark;
    };
    EXPECT_GT(inkIn(2, 1), 0);
    EXPECT_GT(inkIn(6, 1), 0);
    EXPECT_EQ(inkIn(1, 1), 0);
    EXPECT_EQ(inkIn(8, 1), 0);
    EXPECT_EQ(inkIn(2, 0), 0);
    EXPECT_EQ(qGray(image.pixel(image.width() - 2, image.height() - 2)), 255);
}

// ---- Everyday work: selection and copy, paste, find, time stamps, hex view, log, reopening.

void received(MainWindow& w, const std::string& text)
{
    w.view()->write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string rowText(MainWindow& w, int row)
{
    auto& screen = w.view()->screen();
    std::string out;
    for (int c = 0; c < screen.columns(); ++c)
        out.push_back(static_cast<char>(screen.cell(c, row)));
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

QPoint cellCentre(terminal::TerminalView* view, int column, int row)
{
    const auto m = view->metrics();
    return {column * m.charWidth + m.charWidth / 2 - view->screen().scrollX(),
            row * m.charHeight + m.charHeight / 2 - view->screen().scrollY()};
}

void mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Pixels of exactly this colour inside a cell of the view.
int pixelsOf(terminal::TerminalView* view, int column, int row, QColor colour)
{
    const QImage image = view->viewport()->grab().toImage();
    const auto m = view->metrics();
    int n = 0;
    for (int y = row * m.charHeight; y < (row + 1) * m.charHeight; ++y)
        for (int x = column * m.charWidth; x < (column + 1) * m.charWidth; ++x)
            if (QColor(image.pixel(x, y)) == colour)
                ++n;
    return n;
}

// Pixels of a cell that are not the background: the ink of whatever glyph the installed fonts
// draw, black in one face and anti-aliased grey in another.
int inkedPixels(terminal::TerminalView* view, int column, int row)
{
    const QImage image = view->viewport()->grab().toImage();
    const auto m = view->metrics();
    const QRgb background = view->background().rgb();
    int n = 0;
    for (int y = row * m.charHeight; y < (row + 1) * m.charHeight; ++y)
        for (int x = column * m.charWidth; x < (column + 1) * m.charWidth; ++x)
            if (image.pixel(x, y) != background)
                ++n;
    return n;
}

TEST_F(Window, MouseSelectionCopiesThroughTheClipboard)
{
    open(false);
    auto* view = window->view();
    QWidget* vp = view->viewport();
    received(*window, "ID:12 pos=0512 /dev/pts/5\r\nsecond line\r\n");
    const QAction* copy = window->action("&Copy");
    EXPECT_EQ(copy->shortcut(), QKeySequence("Ctrl+Shift+C"));
    struct Case {
        const char* name;
        std::function<void()> gesture;
        std::string copied; // empty: nothing selected, Copy disabled
    };
    const auto at = [&](int c, int r) { return cellCentre(view, c, r); };
    const Case cases[] = {
        {"drag",
         [&] {
             mouse(vp, QEvent::MouseButtonPress, at(6, 0), Qt::LeftButton);
             mouse(vp, QEvent::MouseMove, at(7, 0), Qt::LeftButton);
             mouse(vp, QEvent::MouseMove, at(8, 0), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(8, 0), Qt::NoButton);
         },
         "pos"},
        {"double click takes a word",
         [&] {
             mouse(vp, QEvent::MouseButtonPress, at(19, 0), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(19, 0), Qt::NoButton);
             mouse(vp, QEvent::MouseButtonDblClick, at(19, 0), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(19, 0), Qt::NoButton);
         },
         "/dev/pts/5"},
        {"triple click takes the line",
         [&] {
             mouse(vp, QEvent::MouseButtonPress, at(3, 1), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(3, 1), Qt::NoButton);
             mouse(vp, QEvent::MouseButtonDblClick, at(3, 1), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(3, 1), Qt::NoButton);
             mouse(vp, QEvent::MouseButtonPress, at(3, 1), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(3, 1), Qt::NoButton);
         },
         "second line"},
        {"drag over two rows",
         [&] {
             mouse(vp, QEvent::MouseButtonPress, at(15, 0), Qt::LeftButton);
             mouse(vp, QEvent::MouseMove, at(5, 1), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(5, 1), Qt::NoButton);
         },
         "/dev/pts/5\nsecond"},
        {"a click clears",
         [&] {
             mouse(vp, QEvent::MouseButtonPress, at(2, 2), Qt::LeftButton);
             mouse(vp, QEvent::MouseButtonRelease, at(2, 2), Qt::NoButton);
         },
         ""},
    };
    for (const Case& c : cases) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        c.gesture();
        EXPECT_EQ(copy->isEnabled(), !c.copied.empty()) << c.name;
        QTest::keyClick(window.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        const QString expected =
            c.copied.empty() ? QStringLiteral("before") : QString::fromStdString(c.copied);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), expected) << c.name;
    }
    // The selection is drawn in the text colour.
    mouse(vp, QEvent::MouseButtonDblClick, at(1, 0), Qt::LeftButton);
    mouse(vp, QEvent::MouseButtonRelease, at(1, 0), Qt::NoButton);
    EXPECT_GT(pixelsOf(view, 1, 0, Qt::black), pixelsOf(view, 1, 0, Qt::white));
    EXPECT_GT(pixelsOf(view, 7, 0, Qt::white), pixelsOf(view, 7, 0, Qt::black));
    // Clear screen drops the selection.
    window->clearScreen();
    EXPECT_FALSE(copy->isEnabled());
}

TEST_F(Window, DraggingBeyondAnEdgeScrollsAndKeepsSelecting)
{
    open(false);
    auto* view = window->view();
    QWidget* vp = view->viewport();
    std::string lines;
    for (int i = 0; i < 200; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    received(*window, lines);
    auto& screen = view->screen();
    const int lineHeight = view->metrics().charHeight;
    const int bottom = screen.scrollY();
    ASSERT_GT(bottom, 20 * lineHeight) << "the view follows the text to its end";
    const int topRow = bottom / lineHeight + 1; // the first row wholly in view
    mouse(vp, QEvent::MouseButtonPress, cellCentre(view, 2, topRow), Qt::LeftButton);
    // Held above the view, the text scrolls down into it line by line and the selection grows.
    mouse(vp, QEvent::MouseMove, QPoint(cellCentre(view, 2, topRow).x(), -20), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return screen.scrollY() <= bottom - 5 * lineHeight; }));
    EXPECT_EQ(view->verticalScrollBar()->value(), screen.scrollY()) << "the scroll bar follows";
    const std::string selected = view->selectedText();
    EXPECT_LT(selected.find("line " + std::to_string(topRow - 4)), selected.size()) << selected;
    // Back inside the view, or released, it stops.
    mouse(vp, QEvent::MouseMove, cellCentre(view, 2, screen.scrollY() / lineHeight + 2), Qt::LeftButton);
    int held = screen.scrollY();
    QTest::qWait(200);
    EXPECT_EQ(screen.scrollY(), held);
    mouse(vp, QEvent::MouseMove, QPoint(10, vp->height() + 20), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return screen.scrollY() > held; }));
    mouse(vp, QEvent::MouseButtonRelease, QPoint(10, vp->height() + 20), Qt::NoButton);
    held = screen.scrollY();
    QTest::qWait(200);
    EXPECT_EQ(screen.scrollY(), held);
}

TEST_F(Window, PasteGoesToThePortPacedAndEscStopsIt)
{
    open(true);
    ASSERT_TRUE(window->session().isConnected());
    peer.startCollecting();
    QGuiApplication::clipboard()->setText(QStringLiteral("ver\nhelp\r\nexit"));
    QTest::keyClick(window.get(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(window->session().pasting());
    ASSERT_TRUE(waitUntil([&] { return !window->session().pasting(); }));
    EXPECT_EQ(peer.waitFor(13), "ver\rhelp\rexit");

    // During a paste typed keys are held back; ESC stops what is left.
    peer.reset();
    QGuiApplication::clipboard()->setText(QString(200, QLatin1Char('a')));
    window->paste();
    ASSERT_TRUE(window->session().pasting());
    QTest::keyClicks(window.get(), "zz");
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->session().pasting());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QCoreApplication::processEvents();
    const std::string sent = peer.collected();
    EXPECT_EQ(sent, std::string(termcore::PastePacer::kChunkBytes, 'a'));
    // Ctrl+Shift+V with nothing to paste sends nothing (never its control code).
    peer.reset();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(window.get(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.collected(), "");
    // With the port closed nothing is pasted.
    window->disconnectPort();
    window->paste();
    EXPECT_FALSE(window->session().pasting());
}

TEST_F(Window, FindHighlightsMatchesAndStepsThroughThem)
{
    open(false);
    auto* view = window->view();
    received(*window, "ok one\r\nOK two\r\nnothing\r\nlast ok");
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QLineEdit* edit = window->findBar()->edit();
    ASSERT_TRUE(edit->isVisible());
    QTest::keyClicks(edit, "ok");
    struct Step {
        const char* how;
        std::function<void()> press;
        int64_t start; // -1: no current match
        const char* status;
    };
    const auto enter = [&](Qt::KeyboardModifiers mods) {
        return [&, mods] { QTest::keyClick(edit, Qt::Key_Return, mods); };
    };
    const Step steps[] = {
        {"Enter", enter(Qt::NoModifier), 0, "3 matches"},
        {"Enter", enter(Qt::NoModifier), 80, "3 matches"},
        {"F3", [&] { window->action("Find &next")->trigger(); }, 245, "3 matches"},
        {"wraps to the top", enter(Qt::NoModifier), 0, "3 matches"},
        {"Shift+Enter wraps back", enter(Qt::ShiftModifier), 245, "3 matches"},
        {"Shift+F3", [&] { window->action("Find &previous")->trigger(); }, 80, "3 matches"},
    };
    for (const Step& s : steps) {
        s.press();
        ASSERT_TRUE(view->currentMatch().has_value()) << s.how;
        EXPECT_EQ(view->currentMatch()->start, s.start) << s.how;
        EXPECT_EQ(window->findBar()->status(), s.status) << s.how;
    }
    // The current match (row 1) is orange, the others yellow, the rest not highlighted.
    const QColor orange(255, 150, 40), yellow(255, 230, 90);
    EXPECT_GT(pixelsOf(view, 0, 1, orange), 0);
    EXPECT_EQ(pixelsOf(view, 0, 1, yellow), 0);
    EXPECT_GT(pixelsOf(view, 1, 0, yellow), 0);
    EXPECT_GT(pixelsOf(view, 5, 3, yellow), 0);
    EXPECT_EQ(pixelsOf(view, 0, 2, yellow) + pixelsOf(view, 0, 2, orange), 0);

    edit->setText(QStringLiteral("absent"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(view->currentMatch().has_value());
    EXPECT_EQ(window->findBar()->status(), "Not found");
    EXPECT_EQ(pixelsOf(view, 1, 0, yellow), 0);
    // ESC closes the bar and typing goes to the port again.
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());
}

// Keys go where a user typing expects them: to the controller whenever the terminal has the
// keys (Tab drives the KZ-7's menus), to the find field only once it was opened or clicked.
TEST_F(Window, TerminalKeepsTheKeysWhileTheFindBarIsOpen)
{
    open(true);
    ASSERT_TRUE(window->session().isConnected());
    peer.startCollecting();
    QLineEdit* edit = window->findBar()->edit();
    auto typed = [](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, mods); // as the keyboard does
    };
    typed(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(edit->isVisible());
    typed(Qt::Key_O);
    typed(Qt::Key_K);
    EXPECT_EQ(edit->text(), "ok");

    // A click on the terminal: Tab, letters and ESC go to the port, the field keeps its text.
    mouse(window->view()->viewport(), QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton);
    mouse(window->view()->viewport(), QEvent::MouseButtonRelease, {20, 20}, Qt::NoButton);
    typed(Qt::Key_Tab);
    typed(Qt::Key_Tab);
    typed(Qt::Key_X);
    typed(Qt::Key_Escape);
    EXPECT_EQ(peer.waitFor(4), "\t\tx\x1b");
    EXPECT_EQ(edit->text(), "ok");
    EXPECT_TRUE(edit->isVisible());

    // A click on the field gives it the keys; Escape closes the bar and hands them back.
    peer.reset();
    QTest::mouseClick(edit, Qt::LeftButton);
    typed(Qt::Key_Z);
    EXPECT_EQ(edit->text(), "okz");
    typed(Qt::Key_Escape);
    EXPECT_FALSE(edit->isVisible());
    typed(Qt::Key_Tab);
    EXPECT_EQ(peer.waitFor(1), "\t");

    // Opened without taking the keys (as --find does), the bar leaves them with the terminal.
    window->findBar()->open(QStringLiteral("KZ"), false);
    peer.reset();
    typed(Qt::Key_Tab);
    EXPECT_EQ(peer.waitFor(1), "\t");
    EXPECT_EQ(edit->text(), "KZ");
}

TEST_F(Window, TimestampsAndHexViewFromTheViewMenu)
{
    open(true);
    ASSERT_TRUE(window->session().isConnected());
    auto& screen = window->view()->screen();
    window->action("&Timestamps")->trigger();
    EXPECT_TRUE(window->action("&Timestamps")->isChecked());
    ASSERT_TRUE(peer.send("first\r\nsecond"));
    ASSERT_TRUE(waitUntil([&] { return rowText(*window, 1).find("second") != std::string::npos; }));
    const QRegularExpression stamp(QStringLiteral("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3} "));
    EXPECT_TRUE(stamp.match(QString::fromStdString(rowText(*window, 0) + "|")).hasMatch())
        << rowText(*window, 0);
    EXPECT_EQ(rowText(*window, 0).substr(13), "first");
    EXPECT_EQ(rowText(*window, 1).substr(13), "second");

    // The hex view starts on a line of its own; with time stamps a line holds 8 bytes.
    window->action("&Hex view")->trigger();
    ASSERT_TRUE(peer.send(std::string("AB\x01\x7f"
                                      "efghijk",
                                      11)));
    ASSERT_TRUE(waitUntil([&] { return screen.cursorRow() == 4; }));
    EXPECT_EQ(rowText(*window, 2).substr(13), "00000000  41 42 01 7F 65 66 67 68   AB..efgh");
    EXPECT_EQ(rowText(*window, 3).substr(13), "00000008  69 6A 6B" + std::string(18, ' ') + "ijk");
    EXPECT_EQ(rowText(*window, 2).substr(0, 13), rowText(*window, 3).substr(0, 13)); // one burst, one time
    window->action("&Timestamps")->trigger();
    ASSERT_TRUE(peer.send("Z"));
    ASSERT_TRUE(waitUntil([&] { return screen.cursorRow() == 5; }));
    EXPECT_EQ(rowText(*window, 4), "0000000B  5A                                                 Z");
    // Back to text; stamps switched on in the middle of a line wait for the next line.
    window->action("&Hex view")->trigger();
    ASSERT_TRUE(peer.send("plain"));
    ASSERT_TRUE(waitUntil([&] { return rowText(*window, 5) == "plain"; }));
    window->action("&Timestamps")->trigger();
    ASSERT_TRUE(peer.send(" more\r\nnext"));
    ASSERT_TRUE(waitUntil([&] { return screen.cursorRow() == 6 && screen.cursorColumn() > 13; }));
    EXPECT_EQ(rowText(*window, 5), "plain more");
    EXPECT_EQ(rowText(*window, 6).substr(13), "next");
}

TEST_F(Window, LogFileKeepsWhatArrivesAndWhatIsSentWhileTheScreenShowsIt)
{
    open(true);
    ASSERT_TRUE(window->session().isConnected());
    const std::string path = (dir / "session.log").string();
    prompter.fileAnswers.push_back(path);
    window->action("&Log to file...")->trigger();
    EXPECT_EQ(prompter.fileTitles.back(), "Log file");
    ASSERT_TRUE(window->session().log().isOpen());
    EXPECT_TRUE(window->action("&Log to file...")->isChecked());
    window->action("Log &sent bytes too")->trigger();

    ASSERT_TRUE(peer.send("hello\r\n"));
    ASSERT_TRUE(waitUntil([&] { return rowText(*window, 0) == "hello"; }));
    peer.startCollecting();
    QTest::keyClicks(window.get(), "k");
    EXPECT_EQ(peer.waitFor(1), "k");
    // On disk within a second or so, with the log still open.
    ASSERT_TRUE(waitUntil([&] { return slurp(path) == "hello\r\nk"; }, 5000)) << slurp(path);
    EXPECT_TRUE(window->session().log().isOpen());

    // A capture hides what arrives from the screen, not from the log.
    prompter.fileAnswers.push_back((dir / "capture.bin").string());
    window->session().receive(-1);
    ASSERT_TRUE(window->session().receiving());
    ASSERT_TRUE(peer.send("cap"));
    ASSERT_TRUE(waitUntil([&] { return window->session().capture().receivedBytes() == 3; }));
    window->session().stopReceive();
    // Sent bytes only when chosen; the rest is there when the window closes.
    window->action("Log &sent bytes too")->trigger();
    QTest::keyClicks(window.get(), "q");
    ASSERT_TRUE(peer.send("bye"));
    ASSERT_TRUE(waitUntil([&] { return rowText(*window, 1) == "bye"; }));
    window.reset();
    EXPECT_EQ(slurp(path), "hello\r\nkcapbye");

    // A log that cannot be made says so.
    open(false);
    prompter.fileAnswers.push_back((dir / "missing" / "x.log").string());
    window->action("&Log to file...")->trigger();
    ASSERT_FALSE(prompter.errors.empty());
    EXPECT_EQ(prompter.errors.back().text, "Can not make the log file!");
    EXPECT_FALSE(window->action("&Log to file...")->isChecked());
}

TEST_F(Window, Kz7SimThatVanishesAndComesBackIsPickedUpAgain)
{
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--com", "5"})) << sim.error();
    open(true, "COM5");
    ASSERT_TRUE(window->session().isConnected());
    EXPECT_EQ(window->statusText(1), "COM5-57600");
    EXPECT_EQ(window->deviceText().toStdString(), sim.devicePath());
    ASSERT_TRUE(sim.control("vanish 0"));
    ASSERT_TRUE(waitUntil([&] { return window->session().waitingForDevice(); }));
    EXPECT_EQ(window->statusText(1), "Disconnect");
    EXPECT_EQ(window->deviceText().toStdString(), "COM5 gone (" + sim.devicePath() + "), waiting for it");
    EXPECT_TRUE(enabled("&Connect"));
    EXPECT_TRUE(enabled("&Disconnect")); // stops the waiting
    EXPECT_FALSE(enabled("&Transmit file"));

    testsupport::Kz7SimProcess again;
    ASSERT_TRUE(again.start({"--com", "5"})) << again.error();
    ASSERT_TRUE(waitUntil([&] { return window->session().isConnected(); }, 10000));
    EXPECT_EQ(window->statusText(1), "COM5-57600");
    EXPECT_EQ(window->deviceText().toStdString(), again.devicePath());
    EXPECT_TRUE(prompter.errors.empty());
    // It is live: a carriage return from the menu opens the console.
    window->session().sendText("\r");
    auto& screen = window->view()->screen();
    ASSERT_TRUE(waitUntil([&] {
        for (int r = 0; r <= screen.cursorRow(); ++r)
            if (rowText(*window, r).find("[KZ-7]>") != std::string::npos)
                return true;
        return false;
    }));
}

TEST_F(Window, ResizingShowsAsManyCellsAsFit)
{
    open(false);
    auto* view = window->view();
    const auto m = view->metrics();
    auto& screen = view->screen();
    EXPECT_EQ(screen.viewWidth(), 80 * m.charWidth);
    EXPECT_EQ(screen.viewHeight(), 36 * m.charHeight);
    window->resize(window->size() + QSize(20 * m.charWidth, 10 * m.charHeight));
    ASSERT_TRUE(waitUntil([&] { return screen.viewWidth() == 100 * m.charWidth; }));
    EXPECT_EQ(screen.viewHeight(), 46 * m.charHeight);
    EXPECT_EQ(screen.columns(), 80);
    EXPECT_EQ(screen.rows(), 1200);
    // The columns beyond the model's 80 stay blank.
    received(*window, std::string(80, '#'));
    EXPECT_GT(inkedPixels(view, 79, 0), 0);
    EXPECT_EQ(inkedPixels(view, 85, 0), 0);
    window->resize(window->minimumSize());
    ASSERT_TRUE(waitUntil([&] { return screen.viewWidth() < 40 * m.charWidth; }));
    EXPECT_GT(screen.viewHeight(), 0);
}

// A user reading back through what the robot printed while it keeps talking, with a larger
// font and the send strings on their keys; what they set is there again at the next start.
TEST_F(Window, ScrollLockFontAndSendStringsAsAUserWorks)
{
    open(true);
    ASSERT_TRUE(window->session().isConnected());
    peer.startCollecting();
    auto& screen = window->view()->screen();
    for (int i = 0; i < 200; ++i)
        received(*window, "sensor " + std::to_string(i) + "\r\n");
    const int bottom = screen.scrollY();
    // Shift+Page Up scrolls the history; it starts no capture.
    QTest::keyClick(window.get(), Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_LT(screen.scrollY(), bottom);
    EXPECT_FALSE(window->session().receiving());
    // Scroll Lock holds the view while the robot talks on; the View menu and the status say so.
    QTest::keyClick(window.get(), Qt::Key_ScrollLock);
    EXPECT_TRUE(window->action("Scroll &lock\tScroll Lock")->isChecked());
    const int held = screen.scrollY();
    ASSERT_TRUE(peer.send("more\r\nand more\r\n"));
    ASSERT_TRUE(waitUntil([&] { return screen.usedRows() == 203; }));
    EXPECT_EQ(screen.scrollY(), held);
    QTest::keyClick(window.get(), Qt::Key_ScrollLock);
    EXPECT_FALSE(window->action("Scroll &lock\tScroll Lock")->isChecked());

    // Ctrl+3 sends the third send string, "\rexit\ry" by default; the Send menu names it.
    QTest::keyClick(window.get(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(peer.waitFor(7), "\rexit\ry");
    EXPECT_NE(window->action("Back to the menu\tCtrl+3"), nullptr);

    // Larger: the cell follows the font actually chosen and the window keeps its cells.
    const auto small = window->view()->metrics();
    const QSize cells = window->view()->visibleCells();
    window->action("&Larger")->trigger();
    window->action("&Larger")->trigger();
    const auto large = window->view()->metrics();
    EXPECT_GT(large.charHeight, small.charHeight);
    EXPECT_EQ(screen.lineHeight(), large.charHeight);
    ASSERT_TRUE(waitUntil([&] { return window->view()->visibleCells() == cells; }));
    window->action("&Hex view")->trigger();
    window.reset();

    EXPECT_EQ(slurp(configPath()).size(), 2134u);
    open(false);
    EXPECT_EQ(window->view()->metrics().charHeight, large.charHeight);
    EXPECT_EQ(window->view()->visibleCells(), cells);
    EXPECT_TRUE(window->action("&Hex view")->isChecked());
}

// The program itself: signals end it as File / Exit does, a refused --baud says why, and a
// screenshot run is not held up by a message box.
TEST(WirescopeProgram, SignalsBaudRateAndScreenshotRuns)
{
    ensureApp();
    PortFolder folder("wirescope-program", "ports");
    const QString program = QStringLiteral(TESSABAN_BIN_DIR "/wirescope");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(folder.path().string()));
    auto catches = [](qint64 pid, int signal) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("SigCgt:", 0) == 0)
                return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) != 0;
        return false;
    };
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string config = folder.file("signal" + std::to_string(signal) + ".cfg");
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {"--no-connect", "--config", QString::fromStdString(config)});
        ASSERT_TRUE(p.waitForStarted(5000));
        ASSERT_TRUE(waitUntil([&] { return catches(p.processId(), signal); }, 10000));
        ::kill(static_cast<pid_t>(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(20000)) << signal;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(p.exitCode(), 0) << signal;
        EXPECT_EQ(slurp(config).size(), 2134u) << signal;
    }
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {"--baud", "fast", "--no-connect"});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 2);
        EXPECT_TRUE(p.readAllStandardError().contains("\"fast\" is not a baud rate"));
    }
    {
        const std::string shot = folder.file("error.png");
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {"--port", "COM99", "--config", QString::fromStdString(folder.file("shot.cfg")),
                          "--screenshot", QString::fromStdString(shot), "--screenshot-delay", "200"});
        ASSERT_TRUE(p.waitForFinished(30000)); // the open failure's message box does not wait for OK
        EXPECT_EQ(p.exitCode(), 0);
        const QImage image(QString::fromStdString(shot));
        ASSERT_FALSE(image.isNull());
        // The box is in the picture: its middle is not the terminal's white.
        EXPECT_NE(QColor(image.pixel(image.width() / 2, image.height() / 2)), QColor(Qt::white));
    }
}

} // namespace

// Exit tears the window down with the focus wherever the user left it; nothing may run on a
// widget already destroyed, and the configuration is written.
TEST_F(Window, ExitWithTheFocusInAnyControlClosesCleanlyAndWritesTheConfiguration)
{
    struct Case {
        const char* name;
        std::function<QWidget*(MainWindow&)> focus;
    };
    const Case cases[] = {
        {"terminal",
         [](MainWindow& w) {
             w.view()->setFocus();
             return static_cast<QWidget*>(w.view());
         }},
        {"find text",
         [](MainWindow& w) {
             w.findBar()->open(QStringLiteral("KZ"), true);
             return static_cast<QWidget*>(w.findBar()->edit());
         }},
        {"find bar button",
         [](MainWindow& w) {
             w.findBar()->open(QString(), true);
             auto* button = w.findBar()->findChild<QAbstractButton*>();
             button->setFocus();
             return static_cast<QWidget*>(button);
         }},
    };
    for (const Case& c : cases)
        for (const bool byMenu : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (byMenu ? ", Exit" : ", window close"));
            fs::remove(configPath());
            open(true);
            QWidget* target = c.focus(*window);
            ASSERT_NE(target, nullptr);
            ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() == target; }, 2000));
            if (byMenu) {
                window->action(QStringLiteral("E&xit"))->trigger();
            } else {
                QCloseEvent close;
                QApplication::sendEvent(window->windowHandle(), &close);
            }
            EXPECT_FALSE(window->isVisible());
            window.reset();
            ASSERT_TRUE(fs::exists(configPath()));
            EXPECT_EQ(fs::file_size(configPath()), 2134u);
        }
}
