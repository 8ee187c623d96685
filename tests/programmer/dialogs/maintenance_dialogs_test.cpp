// The firmware update, servo update and motion data dialogs end to end against kz7sim through
// their real widgets, with the user's answers scripted and START pressed through the
// simulator's control channel when the dialog asks for it.

#include "DialogTestKit.h"

#include "link/ControllerLink.h"
#include "link/ControllerMode.h"
#include "link/LinkMessages.h"
#include "link/Maintenance.h"
#include "programmer/dialogs/ConsoleView.h"
#include "programmer/dialogs/FirmwareUpdateDialog.h"
#include "programmer/dialogs/MotionDataDialog.h"
#include "programmer/dialogs/PercentBar.h"
#include "programmer/dialogs/ServoUpdateDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

#include <gtest/gtest.h>

using dialogtest::SimRig;
using dialogtest::text;
using dialogtest::waitUntil;

namespace {

constexpr uint32_t kMotionAddress = 0xE000;
constexpr size_t kMotionSize = 0x10000;

std::string sample(const char* name)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/data/samples/" + name;
}

bool connected(programmer::ControllerDialogBase& dialog)
{
    dialog.show();
    return waitUntil([&] { return dialog.link().isConnected() && !dialog.busy(); });
}

bool finished(programmer::ControllerDialogBase& dialog)
{
    return waitUntil([&] { return !dialog.busy(); });
}

std::string told(const SimRig& rig)
{
    return rig.prompter.told.join(" | ").toStdString();
}

// START is pressed while the box that asks for it is open, as the user would.
void pressStartWhenAsked(SimRig& rig)
{
    rig.prompter.onInform = [&rig](const QString& message) {
        if (message.contains("\"START\" button of KZ-7"))
            rig.control("press START");
    };
}

// Waits until the simulator reports the mode (a controller just switched on boots for half a
// second, and a probe meanwhile hears nothing).
bool simIn(SimRig& rig, const std::string& mode)
{
    const std::string file = rig.path("state.txt");
    return waitUntil(
        [&] {
            rig.control("dump " + file);
            QThread::msleep(50);
            std::vector<uint8_t> line = dialogtest::readFile(file);
            return std::string(line.begin(), line.end()).find("mode=" + mode + " ") != std::string::npos;
        },
        20000);
}

} // namespace

TEST(FirmwareUpdateDialog, ShowsTheVersionSendsReadsBackAndShowsTheNewVersion)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    pressStartWhenAsked(rig);
    rig.firmwarePath = QString::fromStdString(rig.path("old.hex"));
    auto firmware = dialogtest::pattern(3000, 4);
    dialogtest::writeHex(rig.path("fw.hex"), firmware);

    programmer::FirmwareUpdateDialog dialog(rig.context());
    EXPECT_EQ(dialog.fileNameLabel()->text(), "No file");
    ASSERT_TRUE(connected(dialog)) << told(rig);
    const QString before = dialog.versionLabel()->text();
    EXPECT_TRUE(before.startsWith("KZ-7 firmware")) << before.toStdString();

    rig.prompter.files.push_back(QString::fromStdString(rig.path("fw.hex")));
    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.closeButton()->isEnabled());
    ASSERT_TRUE(finished(dialog));
    EXPECT_EQ(rig.prompter.fileStarts, QStringList{QString::fromStdString(rig.path("old.hex"))});
    EXPECT_EQ(rig.firmwarePath, QString::fromStdString(rig.path("fw.hex")));
    EXPECT_EQ(dialog.fileNameLabel()->text(), "fw.hex");
    EXPECT_EQ(rig.prompter.told,
              (QStringList{text(comm::kMsgPressStartToVerify), text(comm::kMsgFirmwareUpdated)}));
    EXPECT_TRUE(dialog.versionLabel()->text().startsWith("KZ-7 firmware"));
    EXPECT_NE(dialog.versionLabel()->text(), before);
    EXPECT_TRUE(rig.memoryHolds(0, firmware));

    // A file that is no Intel hex is refused before anything is sent.
    rig.prompter.told.clear();
    dialogtest::writeFile(rig.path("bad.hex"), {'x', '\n'});
    rig.prompter.files.push_back(QString::fromStdString(rig.path("bad.hex")));
    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(finished(dialog));
    ASSERT_EQ(rig.prompter.told.size(), 1);
    EXPECT_TRUE(rig.prompter.told[0].endsWith(text(comm::kMsgNotFirmwareFile))) << told(rig);
    EXPECT_TRUE(dialog.link().isConnected());

    dialog.reject();
    ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(dialog.versionLabel()->text(), "Unknown version");
    EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu));
}

// The firmware is in the controller whether or not anybody reads it back: a read-back that is
// skipped, closed or never answered ends "updated, not checked", never as a failure.
TEST(FirmwareUpdateDialog, AReadBackNobodyAnswersEndsUpdatedNotChecked)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    auto firmware = dialogtest::pattern(2000, 6);
    dialogtest::writeHex(rig.path("fw.hex"), firmware);
    const QStringList unchecked{text(comm::kMsgPressStartToVerify), text(comm::kMsgFirmwareUpdatedUnchecked)};
    enum Way { NobodyThere, Skip, Close, NoCheck };
    for (Way way : {NobodyThere, Skip, Close, NoCheck}) {
        SCOPED_TRACE(way);
        programmer::DialogContext context = rig.context();
        // Nobody there: the wait for START gives up after a second. Otherwise it would outlast the
        // test, so only the skip can end it.
        context.linkTiming.receiveIdleBeforeData = way == NobodyThere ? 100 : 100000;
        programmer::FirmwareUpdateDialog dialog(context);
        EXPECT_TRUE(dialog.checkBox()->isChecked());
        ASSERT_TRUE(connected(dialog)) << told(rig);
        EXPECT_FALSE(dialog.skipButton()->isEnabled());
        if (way == NoCheck)
            dialog.checkBox()->setChecked(false);
        rig.prompter.told.clear();
        rig.prompter.onInform = [&](const QString& message) {
            if (message != text(comm::kMsgPressStartToVerify))
                return;
            // The user reads the box, closes it, then gives up waiting.
            QTimer::singleShot(300, &dialog, [&] {
                EXPECT_TRUE(dialog.skipButton()->isEnabled());
                EXPECT_TRUE(dialog.closeButton()->isEnabled());
                if (way == Skip)
                    QTest::mouseClick(dialog.skipButton(), Qt::LeftButton);
                if (way == Close)
                    dialog.reject();
            });
        };
        rig.prompter.files.push_back(QString::fromStdString(rig.path("fw.hex")));
        QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
        EXPECT_FALSE(dialog.skipButton()->isEnabled()) << "nothing to skip while the firmware goes out";
        ASSERT_TRUE(finished(dialog));
        EXPECT_EQ(rig.prompter.told, way == NoCheck ? unchecked.mid(1) : unchecked);
        if (way != Close) { // a closing dialog disconnects, which empties the bar
            EXPECT_EQ(dialog.percentBar()->percent(), 100) << "the firmware went out whole";
        }
        EXPECT_TRUE(rig.memoryHolds(0, firmware));
        EXPECT_EQ(rig.checkFirmware, way != NoCheck) << "the choice is remembered";
        if (way == Close) {
            EXPECT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
        } else {
            EXPECT_TRUE(dialog.link().isConnected());
            dialog.reject();
            ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
        }
        rig.checkFirmware = true;
    }
    rig.prompter.onInform = nullptr;
}

// The version shown is the controller's now: firmware changed while the dialog was
// disconnected shows its own version after Connect.
TEST(FirmwareUpdateDialog, ReadsTheVersionAfreshOnEveryConnect)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    programmer::FirmwareUpdateDialog dialog(rig.context());
    ASSERT_TRUE(connected(dialog)) << told(rig);
    const QString before = dialog.versionLabel()->text();
    QTest::mouseClick(dialog.connectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !dialog.link().isConnected() && !dialog.busy(); }));
    EXPECT_EQ(dialog.percentBar()->percent(), 0);

    // Meanwhile somebody else puts other firmware in.
    {
        struct Nobody : comm::MaintenanceHost {
            void acknowledge(int) override {}
        } host;
        comm::LinkTiming timing;
        timing.lineBaud = 0;
        comm::ControllerLink other(timing);
        ASSERT_TRUE(other.connect(rig.device()));
        comm::Maintenance jobs(other, host);
        dialogtest::writeHex(rig.path("other.hex"), dialogtest::pattern(1000, 8));
        ASSERT_TRUE(jobs.updateFirmware(rig.path("other.hex"), false).ok);
        other.disconnect();
    }
    QTest::mouseClick(dialog.connectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.link().isConnected() && !dialog.busy(); })) << told(rig);
    EXPECT_TRUE(dialog.versionLabel()->text().startsWith("KZ-7 firmware"));
    EXPECT_NE(dialog.versionLabel()->text(), before);
    dialog.reject();
    ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
}

TEST(ServoUpdateDialog, ShowsTheControllersReportAndRefusesABadContainer)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    programmer::ServoUpdateDialog dialog(rig.context());
    EXPECT_EQ(dialog.windowTitle(), "Update VQ program");
    ASSERT_TRUE(connected(dialog)) << told(rig);

    rig.prompter.files.push_back(QString::fromStdString(sample("vq-servo.rom")));
    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.downloadButton()->isEnabled());
    ASSERT_TRUE(finished(dialog));
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgServoUpdated)});
    const std::string report = dialog.console()->consoleText();
    EXPECT_NE(report.find("[update]"), std::string::npos) << report;
    EXPECT_NE(report.find("finished"), std::string::npos) << report;
    EXPECT_EQ(report.find('<'), std::string::npos) << "the end mark is not shown";
    EXPECT_EQ(dialog.fileNameLabel()->text(), "vq-servo.rom");

    // The sixth word (the target kind) 3 is no known kind.
    std::vector<uint8_t> rom = dialogtest::readFile(sample("vq-servo.rom"));
    ASSERT_GT(rom.size(), 14u);
    rom[10] = 3;
    rom[11] = 0;
    dialogtest::writeFile(rig.path("k3.rom"), rom);
    rig.prompter.told.clear();
    rig.prompter.files.push_back(QString::fromStdString(rig.path("k3.rom")));
    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(finished(dialog));
    ASSERT_EQ(rig.prompter.told.size(), 1);
    EXPECT_TRUE(rig.prompter.told[0].endsWith(text(comm::kMsgNotServoProgram))) << told(rig);
    EXPECT_EQ(dialog.fileNameLabel()->text(), "vq-servo.rom") << "a refused file leaves the field as it was";
    EXPECT_FALSE(dialogtest::fileExists(rig.path("k3.rom.tmp")));
    EXPECT_TRUE(dialog.link().isConnected());
}

TEST(MotionDataDialog, ReadsTheMotionMemoryAndRefusesAFileOfTheWrongSize)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    programmer::MotionDataDialog dialog(rig.context());
    ASSERT_TRUE(connected(dialog)) << told(rig);
    EXPECT_TRUE(dialog.readButton()->isEnabled());

    // 10017 tells the user to press MODE: the controller must still be in its boot loader then.
    int modeWhenDone = -1;
    rig.prompter.onInform = [&](const QString& message) {
        if (message.contains("\"START\" button of KZ-7"))
            rig.control("press START");
        if (message == text(comm::kMsgMotionReadDone))
            modeWhenDone = dialog.link().mode();
    };
    const std::string target = rig.path("backup.mtn");
    rig.motionDocPath = QString::fromStdString(rig.path("last.mtn"));
    rig.prompter.files.push_back(QString::fromStdString(target));
    QTest::mouseClick(dialog.readButton(), Qt::LeftButton);
    ASSERT_TRUE(finished(dialog));
    EXPECT_EQ(rig.prompter.told, (QStringList{text(comm::kMsgPressStart), text(comm::kMsgPressStartAgain),
                                              text(comm::kMsgMotionReadDone)}));
    EXPECT_EQ(modeWhenDone, comm::modeValue(comm::ControllerMode::BootLoader));
    EXPECT_EQ(rig.prompter.fileStarts, QStringList{QString::fromStdString(rig.path("last.mtn"))});
    EXPECT_EQ(rig.motionDocPath, QString::fromStdString(target));
    std::vector<uint8_t> file = dialogtest::readFile(target);
    ASSERT_EQ(file.size(), kMotionSize);
    std::vector<uint8_t> memory = rig.memory();
    if (memory.size() >= kMotionAddress + kMotionSize)
        EXPECT_TRUE(std::equal(file.begin(), file.end(), memory.begin() + kMotionAddress));
    else
        EXPECT_EQ(file, std::vector<uint8_t>(kMotionSize, 0xFF))
            << "an untouched controller's memory is erased";
    EXPECT_EQ(dialog.percentBar()->percent(), 100);

    // 65,535 bytes are no motion data: refused, nothing sent, the dialog still connected.
    rig.prompter.told.clear();
    dialogtest::writeFile(rig.path("short.mtn"), std::vector<uint8_t>(kMotionSize - 1, 7));
    rig.prompter.files.push_back(QString::fromStdString(rig.path("short.mtn")));
    const std::vector<uint8_t> before = rig.memory();
    QTest::mouseClick(dialog.writeButton(), Qt::LeftButton);
    ASSERT_TRUE(finished(dialog));
    ASSERT_EQ(rig.prompter.told.size(), 1);
    EXPECT_TRUE(rig.prompter.told[0].endsWith(text(comm::kMsgNotMotionData))) << told(rig);
    EXPECT_TRUE(rig.prompter.told[0].contains("short.mtn")) << "the refused file is named";
    EXPECT_EQ(rig.memory(), before);
    EXPECT_TRUE(dialog.link().isConnected());

    dialog.reject();
    ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu));
}

TEST(MotionDataDialog, WritesAPresetFileOnceWithoutAskingThenAsksLikeAnyOther)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    auto motion = dialogtest::pattern(kMotionSize, 9);
    dialogtest::writeFile(rig.path("WALK.MTN"), motion);
    programmer::MotionDataDialog dialog(rig.context(), QString::fromStdString(rig.path("WALK.MTN")));
    EXPECT_EQ(dialog.fileNameLabel()->text(), "WALK.MTN");
    ASSERT_TRUE(connected(dialog)) << told(rig);
    EXPECT_FALSE(dialog.readButton()->isEnabled());
    EXPECT_TRUE(dialog.writeButton()->isEnabled());

    QTest::mouseClick(dialog.writeButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.closeButton()->isEnabled());
    ASSERT_TRUE(finished(dialog));
    EXPECT_TRUE(rig.prompter.fileStarts.isEmpty()) << "the preset is written without a file dialog";
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgMotionWriteDone)});
    EXPECT_TRUE(rig.memoryHolds(kMotionAddress, motion));
    EXPECT_TRUE(dialog.presetPath().isEmpty());
    EXPECT_TRUE(dialog.readButton()->isEnabled());

    // Used up: the next write asks (and a cancelled dialog sends nothing).
    QTest::mouseClick(dialog.writeButton(), Qt::LeftButton);
    EXPECT_EQ(rig.prompter.fileStarts.size(), 1);
    EXPECT_FALSE(dialog.busy());
}

TEST(MotionDataDialog, AReadThatLosesBytesOrItsControllerWritesNoFile)
{
    dialogtest::ensureApp();
    struct Case {
        const char* fault;
        bool deviceStays; // the controller can be reached again afterwards
    } cases[] = {{"drop 100", true}, {"vanish 1000", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        SimRig rig;
        ASSERT_TRUE(rig.ok());
        auto older = dialogtest::pattern(kMotionSize, 2);
        const std::string target = rig.path("keep.mtn");
        dialogtest::writeFile(target, older);
        programmer::MotionDataDialog dialog(rig.context());
        ASSERT_TRUE(connected(dialog)) << told(rig);
        rig.prompter.onInform = [&](const QString& message) {
            if (message.contains("\"START\" button of KZ-7")) {
                rig.control(c.fault);
                rig.control("press START");
            }
        };
        rig.prompter.files.push_back(QString::fromStdString(target));
        QTest::mouseClick(dialog.readButton(), Qt::LeftButton);
        ASSERT_TRUE(finished(dialog));
        EXPECT_EQ(rig.prompter.told,
                  (QStringList{text(comm::kMsgPressStart), text(comm::kMsgMotionReadFailed)}));
        EXPECT_EQ(dialogtest::readFile(target), older) << "the older backup survives";
        EXPECT_EQ(QDir(QString::fromStdString(rig.path(""))).entryList({"*.mtn*"}, QDir::Files),
                  QStringList{"keep.mtn"});
        EXPECT_TRUE(dialog.closeButton()->isEnabled());
        dialog.reject();
        ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
        if (c.deviceStays) {
            EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu));
        }
    }
}

TEST(MotionDataDialog, AControllerThatStallsDuringAWriteGetsItsMessageAndAnswersAgainAfterwards)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    dialogtest::writeFile(rig.path("m.mtn"), dialogtest::pattern(kMotionSize, 3));
    programmer::MotionDataDialog dialog(rig.context());
    ASSERT_TRUE(connected(dialog)) << told(rig);
    // With the first chunk the controller freezes for longer than the link waits for its answer.
    bool stalled = false;
    dialog.link().setChunkObserver([&](size_t, int) {
        if (!stalled) {
            stalled = true;
            rig.control("stall 2500");
        }
    });
    rig.prompter.files.push_back(QString::fromStdString(rig.path("m.mtn")));
    QTest::mouseClick(dialog.writeButton(), Qt::LeftButton);
    ASSERT_TRUE(finished(dialog));
    EXPECT_TRUE(stalled);
    // (What the controller makes of the bytes it takes in after the stall is its own business:
    // the unpaced pty may have queued the whole image by then.)
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgMotionWriteFailed)});
    EXPECT_TRUE(dialog.closeButton()->isEnabled());
    dialog.reject();
    ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
    EXPECT_TRUE(rig.answersAgain());
}

TEST(UpdateDialogs, AFaultDuringTheTransferGetsItsMessageLeavesTheDialogUsableAndTheControllerAnswers)
{
    dialogtest::ensureApp();
    struct Case {
        bool firmware; // the firmware update dialog, else the servo update dialog
        const char* fault;
        const char* clear; // what the user does to bring the controller back ("" for none)
        int message;
    } cases[] = {
        {true, "power off", "power on", comm::kMsgFirmwareUpdateFailed},
        {true, "vanish 0", "", comm::kMsgFirmwareUpdateFailed},
        {false, "power off", "power on", comm::kMsgServoUpdateFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.firmware ? "firmware: " : "servo: ") + c.fault);
        SimRig rig;
        ASSERT_TRUE(rig.ok());
        pressStartWhenAsked(rig);
        std::unique_ptr<programmer::ControllerDialogBase> dialog;
        QPushButton* download = nullptr;
        if (c.firmware) {
            dialogtest::writeHex(rig.path("fw.hex"), dialogtest::pattern(3000, 8));
            rig.prompter.files.push_back(QString::fromStdString(rig.path("fw.hex")));
            auto* d = new programmer::FirmwareUpdateDialog(rig.context());
            dialog.reset(d);
            download = d->downloadButton();
        } else {
            rig.prompter.files.push_back(QString::fromStdString(sample("vq-servo.rom")));
            auto* d = new programmer::ServoUpdateDialog(rig.context());
            dialog.reset(d);
            download = d->downloadButton();
        }
        ASSERT_TRUE(connected(*dialog)) << told(rig);
        const std::vector<uint8_t> before = rig.memory();
        // With the first chunk of the image the fault strikes.
        bool struck = false;
        dialog->link().setChunkObserver([&](size_t, int) {
            if (!struck) {
                struck = true;
                rig.control(c.fault);
            }
        });
        QTest::mouseClick(download, Qt::LeftButton);
        ASSERT_TRUE(finished(*dialog));
        EXPECT_TRUE(struck);
        EXPECT_EQ(rig.prompter.told, QStringList{text(c.message)});
        EXPECT_TRUE(dialog->closeButton()->isEnabled());
        EXPECT_TRUE(dialog->connectButton()->isEnabled());
        dialog->reject();
        ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible(); }));
        if (*c.clear)
            rig.control(c.clear);
        const std::string fault = c.fault;
        if (fault == "power off") {
            // The boot loader writes nothing of an image that did not arrive whole, so the old
            // firmware still runs: switched on again, the controller is in its menu.
            ASSERT_TRUE(simIn(rig, "menu"));
            EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu));
            EXPECT_EQ(rig.memory(), before) << "nothing of the cut image is written";
        } else {
            EXPECT_FALSE(dialog->link().isPortOpen()) << "the device that went away is let go";
        }
    }
}
