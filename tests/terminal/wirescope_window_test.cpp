// Wirescope's window under the offscreen platform, connected to a pseudo-terminal peer.

#include "support/PtyPeer.h"
#include "support/TempFolder.h"
#include "RecordingPrompter.h"

#include "platform/PortMap.h"
#include "termcore/TerminalTexts.h"
#include "terminal/ColorSetupDialog.h"
#include "terminal/MainWindow.h"
#include "terminal/SerialSetupDialog.h"
#include "terminal/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using testsupport::PortFolder;
using testsupport::PtyPeer;

#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using terminal::MainWindow;
using terminal::WindowOptions;

// fontconfig keeps a cache for the life of the process; it is not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

namespace {

void ensureApp()
{
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "wirescope_window_tests";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)app;
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

std::string pattern(size_t n)
{
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 13 + 1);
    return s;
}

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
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
    void TearDown() override
    {
        window.reset();
    }
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
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
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
    ASSERT_TRUE(window->isConnected()) << (prompter.errors.empty() ? "" : prompter.errors[0].text);
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

TEST_F(Window, FailedOpenShowsTheMessageWithTheReason)
{
    open(true, "COM9");
    EXPECT_FALSE(window->isConnected());
    ASSERT_EQ(prompter.errors.size(), 1u);
    EXPECT_EQ(prompter.errors[0].text, "Can not open COM9, 57600 bps!");
    EXPECT_FALSE(prompter.errors[0].detail.empty());
    EXPECT_TRUE(enabled("&Connect"));
    EXPECT_FALSE(enabled("&Disconnect"));
}

TEST_F(Window, TransmitStatusCancelAndRecentOrder)
{
    open(true);
    ASSERT_TRUE(window->isConnected());
    // Nobody reads yet: the job is busy for a while, and its end comes only as a queued event.
    const std::string big = folder.write("big.bin", pattern(400000));
    prompter.fileAnswers.push_back(big);
    window->transmit(-1);
    ASSERT_TRUE(window->transmitting());
    EXPECT_EQ(prompter.fileTitles.back(), "Find transmitted file");
    const QString status = window->statusText(0);
    EXPECT_TRUE(status.startsWith("TX data... ")) << status.toStdString();
    EXPECT_TRUE(status.contains(QRegularExpression("^TX data\\.\\.\\. [0-9]+/400000byte [0-9]+% ")))
        << status.toStdString();
    EXPECT_TRUE(status.endsWith("(Cancel to press ESC)"));
    EXPECT_FALSE(enabled("&Transmit file"));
    EXPECT_FALSE(enabled("&Recieve file"));
    EXPECT_FALSE(enabled("Recent &files"));
    // Keys other than ESC do nothing; ESC cancels.
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->transmitting());
    EXPECT_TRUE(enabled("&Transmit file"));
    EXPECT_EQ(window->statusText(0),
              "Latest file => Tx: " + QString::fromStdString(dir.filename().string()) + "/big.bin");

    // Two small files, then the big one again: newest first, no duplicates. What the big one
    // left in the pty goes first.
    peer.startCollecting();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    peer.reset();
    const std::string a = folder.write("a.txt", "AAAA");
    const std::string b = folder.write("b.hex", ":0100000042BD\n:00000001FF\n");
    for (const std::string& path : {a, b}) {
        prompter.fileAnswers.push_back(path);
        window->transmit(-1);
        ASSERT_TRUE(waitUntil([&] { return !window->transmitting(); }));
    }
    window->toggleBytesum(); // off
    EXPECT_FALSE(window->action("&Add bytesum")->isChecked());
    // Page Down sends the newest transmitted entry (b.hex) again.
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    ASSERT_TRUE(waitUntil([&] { return !window->transmitting(); }));
    const std::string sumA = std::string(1, static_cast<char>(4 * 'A'));
    const std::string sumB = std::string(1, static_cast<char>(0x42));
    const std::string expected = "AAAA" + sumA + "\x42" + sumB + "\x42";
    EXPECT_EQ(peer.waitFor(expected.size()), expected);
    const QString folder = QString::fromStdString(dir.filename().string());
    EXPECT_EQ(recentTexts(), (QStringList{"Tx: " + folder + "/b.hex", "Tx: " + folder + "/a.txt",
                                          "Tx: " + folder + "/big.bin"}));
    // A recent entry runs its file.
    peer.reset();
    window->recentMenu()->actions()[1]->trigger();
    ASSERT_TRUE(waitUntil([&] { return !window->transmitting(); }));
    EXPECT_EQ(peer.waitFor(4), "AAAA");
    EXPECT_EQ(recentTexts()[0], "Tx: " + folder + "/a.txt");
}

TEST_F(Window, HexErrorAndMissingRecentFile)
{
    open(true);
    peer.startCollecting();
    const std::string bad = folder.write("bad.hex", ":00000006FA\n");
    prompter.fileAnswers.push_back(bad);
    window->transmit(-1);
    ASSERT_TRUE(waitUntil([&] { return !window->transmitting(); }));
    ASSERT_EQ(prompter.errors.size(), 1u);
    EXPECT_EQ(prompter.errors[0].text, "Error in converting hex file! #4");
    EXPECT_EQ(window->config().recent().count(), 0);
    EXPECT_EQ(peer.collected(), "");
    // A recent entry whose file went away is removed with a message.
    const std::string gone = folder.write("gone.bin", "x");
    prompter.fileAnswers.push_back(gone);
    window->transmit(-1);
    ASSERT_TRUE(waitUntil([&] { return !window->transmitting(); }));
    ASSERT_EQ(window->config().recent().count(), 1);
    fs::remove(gone);
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(prompter.errors.back().text, "Can not find the selected file!");
    EXPECT_EQ(window->config().recent().count(), 0);
    EXPECT_EQ(recentTexts(), QStringList{"Empty path"});
    EXPECT_EQ(window->statusText(0), "No recent file");
}

TEST_F(Window, CaptureStatusEndKeyAndWholeFile)
{
    open(true);
    const std::string path = (dir / "capture.bin").string();
    prompter.fileAnswers.push_back(path);
    window->receive(-1);
    ASSERT_TRUE(window->receiving());
    EXPECT_EQ(prompter.fileTitles.back(), "Set recieved file");
    EXPECT_EQ(window->statusText(0), "RX data... 0 byte (Quit to press END)");
    EXPECT_FALSE(enabled("&Transmit file"));
    const std::string data = pattern(3000);
    ASSERT_TRUE(peer.send(data));
    ASSERT_TRUE(waitUntil([&] { return window->capture().receivedBytes() == 3000; }));
    EXPECT_EQ(window->statusText(0), "RX data... 3000 byte (Quit to press END)");
    // Captured bytes do not reach the screen; typed characters are dropped.
    EXPECT_EQ(window->view()->screen().cursor(), 0);
    peer.startCollecting();
    QTest::keyClicks(window.get(), "zz");
    QTest::keyClick(window.get(), Qt::Key_End);
    EXPECT_FALSE(window->receiving());
    EXPECT_TRUE(enabled("&Recieve file"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.collected(), ""); // End stopped the capture and sent nothing
    EXPECT_EQ(slurp(path), data);
    EXPECT_EQ(window->statusText(0),
              "Latest file => Rx: " + QString::fromStdString(dir.filename().string()) + "/capture.bin");

    // Page Up captures into the newest Rx entry again: the file exists, so the question comes.
    prompter.overwriteAnswers.push_back(false);
    QTest::keyClick(window.get(), Qt::Key_PageUp);
    EXPECT_FALSE(window->receiving());
    ASSERT_EQ(prompter.questions.size(), 1u);
    EXPECT_EQ(prompter.questions[0], "Are you sure?");
    prompter.overwriteAnswers.push_back(true);
    QTest::keyClick(window.get(), Qt::Key_PageUp);
    EXPECT_TRUE(window->receiving());
    EXPECT_EQ(fs::file_size(path), 0u);
    window->disconnectPort(); // also ends the capture
    EXPECT_FALSE(window->receiving());
}

TEST_F(Window, UnpluggingDuringTransmissionEndsItAndReportsThePortClosed)
{
    open(true);
    peer.startCollecting();
    const std::string big = folder.write("huge.bin", pattern(20'000'000));
    prompter.fileAnswers.push_back(big);
    window->transmit(-1);
    ASSERT_TRUE(window->transmitting());
    ASSERT_FALSE(peer.waitFor(1000).empty());
    peer.unplug();
    ASSERT_TRUE(waitUntil([&] { return !window->transmitting(); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return !window->isConnected(); }, 2000));
    EXPECT_EQ(window->statusText(1), "Disconnect");
    EXPECT_TRUE(enabled("&Connect"));
    EXPECT_FALSE(enabled("&Transmit file"));
    ASSERT_FALSE(prompter.errors.empty());
    EXPECT_EQ(prompter.errors.back().text, "Can not open COM7, 57600 bps!");
    EXPECT_LT(window->sentBytes(), 20'000'000u);
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
    EXPECT_EQ(window->config().text(), (termcore::Rgb{0, 0, 0}));

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
    EXPECT_EQ(window->config().background(), (termcore::Rgb{255, 254, 245}));
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
    terminal::SerialSetupDialog other({"COM1", "COM3"}, "COM9", 57600);
    EXPECT_EQ(other.selectedPort(), "COM1");
    terminal::SerialSetupDialog none({}, "COM1", 57600);
    EXPECT_FALSE(none.connectButton()->isEnabled());
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

} // namespace
