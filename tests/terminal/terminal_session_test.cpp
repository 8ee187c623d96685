// The terminal's session without a window: a pseudo-terminal peer at the far end, a host that
// records what would be shown and runs posted work when the test pumps it.

#include "RecordingPrompter.h"
#include "TerminalTestData.h"
#include "support/PtyPeer.h"
#include "support/TempFolder.h"

#include "platform/PortMap.h"
#include "termcore/RecentFileList.h"
#include "termcore/TerminalTexts.h"
#include "termsession/TerminalSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using termcore::KeyCommand;
using termcore::KeyPress;
using termcore::TerminalKey;
using terminal::TerminalSession;
using testsupport::PortFolder;
using testsupport::PtyPeer;

namespace {

struct RecordingHost : TerminalSession::Host {
    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    std::string shown;
    int changes = 0;

    void post(std::function<void()> fn) override
    {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(fn));
    }
    void display(const uint8_t* bytes, size_t count) override
    {
        shown.append(reinterpret_cast<const char*>(bytes), count);
    }
    bool atLineStart() const override { return shown.empty() || shown.back() == '\n'; }
    void changed() override { ++changes; }
    // Runs what other threads posted, as the window's event loop does.
    void pump()
    {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(mutex);
            now.swap(posted);
        }
        for (auto& fn : now)
            fn();
    }
};

KeyPress key(TerminalKey k, bool shift = false)
{
    KeyPress press;
    press.key = k;
    press.shift = shift;
    return press;
}

KeyPress typed(const std::string& text)
{
    KeyPress press;
    press.text = text;
    return press;
}

struct Session : ::testing::Test {
    PortFolder folder{"wirescope-session", "ports"};
    RecordingPrompter prompter;
    RecordingHost host;
    PtyPeer peer;
    std::unique_ptr<TerminalSession> session;

    void SetUp() override
    {
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(platform::linkPort(7, peer.slavePath()));
        session = std::make_unique<TerminalSession>(prompter, host);
        session->load(folder.file("Wirescope v1.07.cfg"));
        ASSERT_TRUE(session->connect("COM7", 57600));
    }
    void TearDown() override { session.reset(); }
    // The recent list as its submenu shows it, newest first.
    std::vector<std::string> recentLabels()
    {
        const auto& recent = session->config().recent();
        std::vector<std::string> out;
        for (int i = recent.count() - 1; i >= 0; --i)
            out.push_back(recent.label(i));
        return out;
    }
    std::string folderName() const { return folder.path().filename().string(); }

    // Pumps the host until done() holds or the time is up (a bound only a hang breaks).
    template <class F> bool waitUntil(F done, int timeoutMs = 10000)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int rounds = 0;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            host.pump();
            if (++rounds % 25 == 0)
                session->tick(); // the window's watchdog
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
};

// A receiver that stops reading: the transmit fails part-way and says how far it got, the
// port stays open (nothing is reopened behind the user's back) and what it says went out is
// what arrived.
TEST_F(Session, TransmitThatStallsSaysSoWithTheBytesSent)
{
    const std::string file = folder.write("long.bin", pattern(2'000'000));
    prompter.fileAnswers.push_back(file);
    session->transmit(-1);
    ASSERT_TRUE(session->transmitting());
    ASSERT_TRUE(waitUntil([&] { return !session->transmitting(); }, 30000));
    ASSERT_EQ(prompter.errors.size(), 1u);
    const std::string& text = prompter.errors[0].text;
    EXPECT_EQ(text.rfind("Can not send the whole file! ", 0), 0u) << text;
    EXPECT_NE(text.find(" of 2000000 bytes went out."), std::string::npos) << text;
    EXPECT_TRUE(session->isConnected());
    EXPECT_EQ(session->connectionStatus(), "COM7-57600");
    EXPECT_FALSE(session->waitingForDevice());
    // The count in the message is what the peer gets.
    peer.startCollecting();
    const size_t sent = std::stoul(text.substr(std::string("Can not send the whole file! ").size()));
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, 2'000'000u);
    EXPECT_EQ(peer.waitFor(sent).size(), sent);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(peer.collected(), pattern(sent));
    // A failed line says nothing about the file: the recent list is left as it was.
    EXPECT_EQ(session->config().recent().count(), 0);
    EXPECT_EQ(session->fileStatus(), "No recent file");
}

// ESC stops a transmission and throws away what the driver still holds: the controller gets
// less than was handed to the port, not the whole queue.
TEST_F(Session, EscapeDiscardsTheQueuedOutput)
{
    const std::string file = folder.write("big.bin", pattern(400'000));
    prompter.fileAnswers.push_back(file);
    session->transmit(-1);
    // Nobody reads: the queue fills up and the sender waits on it.
    ASSERT_TRUE(waitUntil([&] {
        const uint64_t before = session->job().sentBytes();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return before > 0 && session->job().sentBytes() == before;
    }));
    const uint64_t handedOver = session->job().sentBytes();
    const auto action = session->key(typed("\x1b"));
    EXPECT_EQ(action.command, KeyCommand::CancelTransmit);
    EXPECT_FALSE(session->transmitting());
    peer.startCollecting();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const size_t arrived = peer.collected().size();
    EXPECT_LT(arrived, handedOver);
    EXPECT_EQ(peer.collected(), pattern(arrived)); // what arrived is the file's start, intact
    EXPECT_TRUE(prompter.errors.empty());
    EXPECT_EQ(session->fileStatus(), "Latest file => Tx: " + folder.path().filename().string() + "/big.bin");
}

// The keys through the session, as the window hands them over: the table's bytes go out, the
// view's commands come back, and the state decides.
TEST_F(Session, KeysSendBytesOrComeBackAsViewCommands)
{
    peer.startCollecting();
    struct Case {
        KeyPress press;
        KeyCommand command;
        const char* sent;
    };
    KeyPress ctrlA = key(TerminalKey::Letter);
    ctrlA.ctrl = true;
    ctrlA.symbol = 'A';
    KeyPress ctrlT = ctrlA;
    ctrlT.symbol = 'T';
    KeyPress held = typed("x");
    held.repeat = 40; // folded into one write of at most 12
    const Case cases[] = {
        {typed("\t"), KeyCommand::Send, "\t"},
        {key(TerminalKey::Up), KeyCommand::Send, "\x1b[A"},
        {key(TerminalKey::End), KeyCommand::Send, "\x1b[K"},
        {ctrlA, KeyCommand::Send, "\x01"},
        {ctrlT, KeyCommand::Swallow, ""},
        {held, KeyCommand::Send, "xxxxxxxxxxxx"},
        {key(TerminalKey::PageUp, true), KeyCommand::ScrollPageUp, ""},
        {key(TerminalKey::PageDown, true), KeyCommand::ScrollPageDown, ""},
        {key(TerminalKey::ScrollLock), KeyCommand::ToggleScrollLock, ""},
        {key(TerminalKey::PageUp), KeyCommand::ReceiveRecent, ""}, // no Rx entry: nothing
    };
    std::string expected;
    for (const Case& c : cases) {
        EXPECT_EQ(session->key(c.press).command, c.command) << c.sent;
        expected += c.sent;
    }
    EXPECT_EQ(peer.waitFor(expected.size()), expected);
    EXPECT_FALSE(session->receiving());

    // Ctrl+1..9 send the send strings; the third of the defaults goes back to the menu.
    peer.reset();
    KeyPress ctrl3 = key(TerminalKey::Digit);
    ctrl3.ctrl = true;
    ctrl3.symbol = '3';
    EXPECT_EQ(session->key(ctrl3).command, KeyCommand::SendString);
    EXPECT_EQ(peer.waitFor(7), "\rexit\ry");
    peer.reset();
    session->sendString(2);
    EXPECT_EQ(peer.waitFor(255), std::string(255, '\x55'));

    // With the port closed typing sends nothing and raises nothing.
    session->disconnect();
    peer.reset();
    EXPECT_EQ(session->key(typed("a")).command, KeyCommand::Swallow);
    EXPECT_EQ(session->key(key(TerminalKey::PageUp, true)).command, KeyCommand::ScrollPageUp);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.collected(), "");
    EXPECT_TRUE(prompter.errors.empty());
}

// The log with time stamps: every line of what arrives begins with the time of day; the
// switches are remembered in the side file while the configuration file keeps its 2134 bytes.
TEST_F(Session, LogTimestampsAndSwitchesSurviveARestart)
{
    const std::string logPath = folder.file("sensors.log");
    session->setLogTimestamps(true);
    ASSERT_TRUE(session->startLog(logPath));
    ASSERT_TRUE(peer.send("A=12\r\nA=13\r\n"));
    ASSERT_TRUE(waitUntil([&] {
        session->drain();
        return host.shown.size() == 12;
    }));
    session->stopLog();
    const std::string log = slurp(logPath);
    ASSERT_EQ(log.size(), 2 * 13 + 12u) << log;
    for (size_t at : {size_t(0), size_t(19)}) {
        const std::string stamp = log.substr(at, 13);
        EXPECT_TRUE(stamp[2] == ':' && stamp[5] == ':' && stamp[8] == '.' && stamp[12] == ' ') << stamp;
    }
    EXPECT_EQ(log.substr(13, 6), "A=12\r\n");
    EXPECT_EQ(log.substr(32, 6), "A=13\r\n");

    session->setTimestamps(true);
    session->setHexView(true);
    session->setLogSent(true);
    session->settings().sendStrings[8] = {"Version", "ver\\r"};
    session->save();
    EXPECT_EQ(fs::file_size(folder.file("Wirescope v1.07.cfg")), 2134u);
    session.reset();

    TerminalSession again(prompter, host);
    again.load(folder.file("Wirescope v1.07.cfg"));
    EXPECT_TRUE(again.formatter().timestamps());
    EXPECT_TRUE(again.formatter().hex());
    EXPECT_TRUE(again.settings().logSent);
    EXPECT_TRUE(again.log().timestamps());
    EXPECT_EQ(again.settings().sendStrings[8].name, "Version");
    EXPECT_EQ(again.settings().sendStrings[8].text, "ver\\r");
}

TEST_F(Session, FailedOpenShowsTheMessageWithTheReason)
{
    session->disconnect();
    EXPECT_FALSE(session->connect("COM9", 57600));
    EXPECT_FALSE(session->isConnected());
    ASSERT_EQ(prompter.errors.size(), 1u);
    EXPECT_EQ(prompter.errors[0].text, "Can not open COM9, 57600 bps!");
    EXPECT_FALSE(prompter.errors[0].detail.empty());
    EXPECT_FALSE(session->canTransfer());
    EXPECT_EQ(session->config().portName(), "COM7"); // only a port that opened is saved
}

TEST_F(Session, TransmitStatusCancelAndRecentOrder)
{
    // Nobody reads yet: the job is busy for a while, and its end comes only as posted work.
    const std::string big = folder.write("big.bin", pattern(400000));
    prompter.fileAnswers.push_back(big);
    session->transmit(-1);
    ASSERT_TRUE(session->transmitting());
    EXPECT_EQ(prompter.fileTitles.back(), "Find transmitted file");
    const std::string status = session->fileStatus();
    EXPECT_EQ(status.rfind("TX data... ", 0), 0u) << status;
    EXPECT_NE(status.find("/400000byte "), std::string::npos) << status;
    EXPECT_EQ(status.substr(status.size() - 21), "(Cancel to press ESC)");
    EXPECT_FALSE(session->canTransfer());
    // Keys other than ESC do nothing; ESC cancels.
    session->key(key(TerminalKey::PageDown));
    session->key(typed("\x1b"));
    EXPECT_FALSE(session->transmitting());
    EXPECT_TRUE(session->canTransfer());
    EXPECT_EQ(session->fileStatus(), "Latest file => Tx: " + folderName() + "/big.bin");

    // Two small files, then the newest again: newest first, no duplicates.
    peer.startCollecting();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    peer.reset();
    const std::string a = folder.write("a.txt", "AAAA");
    const std::string b = folder.write("b.hex", ":0100000042BD\n:00000001FF\n");
    for (const std::string& path : {a, b}) {
        prompter.fileAnswers.push_back(path);
        session->transmit(-1);
        ASSERT_TRUE(waitUntil([&] { return !session->transmitting(); }));
    }
    session->toggleBytesum(); // off
    EXPECT_FALSE(session->config().bytesum());
    // Page Down sends the newest transmitted entry (b.hex) again.
    session->key(key(TerminalKey::PageDown));
    ASSERT_TRUE(waitUntil([&] { return !session->transmitting(); }));
    const std::string sumA = std::string(1, static_cast<char>(4 * 'A'));
    const std::string sumB = std::string(1, static_cast<char>(0x42));
    const std::string expected = "AAAA" + sumA + "\x42" + sumB + "\x42";
    EXPECT_EQ(peer.waitFor(expected.size()), expected);
    const std::string name = folderName();
    EXPECT_EQ(recentLabels(), (std::vector<std::string>{"Tx: " + name + "/b.hex", "Tx: " + name + "/a.txt",
                                                        "Tx: " + name + "/big.bin"}));
    // A recent entry runs its file (the second in the submenu).
    peer.reset();
    session->recentCommand(termcore::RecentFileList::indexToCommand(session->config().recent().count() - 2));
    ASSERT_TRUE(waitUntil([&] { return !session->transmitting(); }));
    EXPECT_EQ(peer.waitFor(4), "AAAA");
    EXPECT_EQ(recentLabels()[0], "Tx: " + name + "/a.txt");
}

TEST_F(Session, HexErrorAndMissingRecentFile)
{
    peer.startCollecting();
    const std::string bad = folder.write("bad.hex", ":00000006FA\n");
    prompter.fileAnswers.push_back(bad);
    session->transmit(-1);
    ASSERT_TRUE(waitUntil([&] { return !session->transmitting(); }));
    ASSERT_EQ(prompter.errors.size(), 1u);
    EXPECT_EQ(prompter.errors[0].text, "Error in converting hex file! #4");
    EXPECT_EQ(session->config().recent().count(), 0);
    EXPECT_EQ(peer.collected(), "");
    // A recent entry whose file went away is removed with a message.
    const std::string gone = folder.write("gone.bin", "x");
    prompter.fileAnswers.push_back(gone);
    session->transmit(-1);
    ASSERT_TRUE(waitUntil([&] { return !session->transmitting(); }));
    ASSERT_EQ(session->config().recent().count(), 1);
    fs::remove(gone);
    session->key(key(TerminalKey::PageDown));
    EXPECT_EQ(prompter.errors.back().text, "Can not find the selected file!");
    EXPECT_EQ(session->config().recent().count(), 0);
    EXPECT_EQ(session->fileStatus(), "No recent file");
}

TEST_F(Session, CaptureStatusEndKeyAndWholeFile)
{
    const std::string path = folder.file("capture.bin");
    prompter.fileAnswers.push_back(path);
    session->receive(-1);
    ASSERT_TRUE(session->receiving());
    EXPECT_EQ(prompter.fileTitles.back(), "Set recieved file");
    EXPECT_EQ(session->fileStatus(), "RX data... 0 byte (Quit to press END)");
    EXPECT_FALSE(session->canTransfer());
    const std::string data = pattern(3000);
    ASSERT_TRUE(peer.send(data));
    ASSERT_TRUE(waitUntil([&] { return session->capture().receivedBytes() == 3000; }));
    EXPECT_EQ(session->fileStatus(), "RX data... 3000 byte (Quit to press END)");
    // Captured bytes do not reach the screen; typed characters are dropped.
    EXPECT_EQ(host.shown, "");
    peer.startCollecting();
    session->key(typed("z"));
    session->key(typed("z"));
    EXPECT_EQ(session->key(key(TerminalKey::End)).command, KeyCommand::StopReceive);
    EXPECT_FALSE(session->receiving());
    EXPECT_TRUE(session->canTransfer());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.collected(), ""); // End stopped the capture and sent nothing
    EXPECT_EQ(slurp(path), data);
    EXPECT_EQ(session->fileStatus(), "Latest file => Rx: " + folderName() + "/capture.bin");

    // Page Up captures into the newest Rx entry again: the file exists, so the question comes.
    prompter.overwriteAnswers.push_back(false);
    session->key(key(TerminalKey::PageUp));
    EXPECT_FALSE(session->receiving());
    ASSERT_EQ(prompter.questions.size(), 1u);
    EXPECT_EQ(prompter.questions[0], "Are you sure?");
    prompter.overwriteAnswers.push_back(true);
    session->key(key(TerminalKey::PageUp));
    EXPECT_TRUE(session->receiving());
    EXPECT_EQ(fs::file_size(path), 0u);
    session->disconnect(); // also ends the capture
    EXPECT_FALSE(session->receiving());
}

TEST_F(Session, UnpluggingDuringTransmissionEndsItAndWaitsForTheDevice)
{
    peer.startCollecting();
    const std::string big = folder.write("huge.bin", pattern(20'000'000));
    prompter.fileAnswers.push_back(big);
    session->transmit(-1);
    ASSERT_TRUE(session->transmitting());
    ASSERT_FALSE(peer.waitFor(1000).empty());
    peer.unplug();
    ASSERT_TRUE(waitUntil([&] { return !session->transmitting(); }));
    ASSERT_TRUE(waitUntil([&] { return !session->isConnected(); }, 2000));
    EXPECT_EQ(session->connectionStatus(), "Disconnect");
    EXPECT_FALSE(session->canTransfer());
    // The device is gone: the status says so, and no message waits for OK.
    EXPECT_TRUE(session->waitingForDevice());
    EXPECT_TRUE(prompter.errors.empty());
    EXPECT_LT(session->job().sentBytes(), 20'000'000u);
}

TEST_F(Session, DeviceThatGoesAwayIsReopenedWhenItsNameComesBack)
{
    const std::string first = peer.slavePath();
    EXPECT_EQ(session->deviceStatus(), first);
    peer.unplug();
    ASSERT_TRUE(waitUntil([&] { return session->waitingForDevice(); }));
    EXPECT_EQ(session->connectionStatus(), "Disconnect");
    EXPECT_EQ(session->deviceStatus(), "COM7 gone (" + first + "), waiting for it");
    EXPECT_TRUE(prompter.errors.empty()); // a device that went away is no error to confirm
    EXPECT_FALSE(session->canTransfer());

    // Without its link, COM7 names a default device: never opened in its place.
    ASSERT_TRUE(platform::unlinkPort(7));
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        session->tick();
    }
    EXPECT_TRUE(session->waitingForDevice());
    EXPECT_FALSE(session->isConnected());

    PtyPeer second;
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(platform::linkPort(7, second.slavePath()));
    ASSERT_TRUE(waitUntil([&] { return session->isConnected(); }));
    EXPECT_FALSE(session->waitingForDevice());
    EXPECT_EQ(session->connectionStatus(), "COM7-57600");
    EXPECT_EQ(session->deviceStatus(), second.slavePath());
    EXPECT_TRUE(session->canTransfer());
    ASSERT_TRUE(second.send("back"));
    ASSERT_TRUE(waitUntil([&] { return host.shown == "back"; }));

    // Disconnect while waiting stops it.
    second.unplug();
    ASSERT_TRUE(waitUntil([&] { return session->waitingForDevice(); }));
    session->disconnect();
    EXPECT_FALSE(session->waitingForDevice());
    EXPECT_EQ(session->deviceStatus(), "");
}

} // namespace
