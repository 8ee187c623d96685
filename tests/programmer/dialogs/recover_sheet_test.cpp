// The recovery wizard end to end against a kz7sim that is switched off with its firmware erased:
// the six pages with their buttons, power switched on through the control channel while page 3
// waits, a wait that runs out (a short one injected) and the ways out of the wizard.

#include "DialogTestKit.h"

#include "link/ControllerMode.h"
#include "link/LinkMessages.h"
#include "programmer/dialogs/CKZ7RecoverPages.h"
#include "programmer/dialogs/CKZ7RecoverSheet.h"
#include "programmer/dialogs/PercentBar.h"
#include "programmer/dialogs/PortCombo.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <gtest/gtest.h>

using dialogtest::SimRig;
using dialogtest::text;
using dialogtest::waitUntil;
using programmer::CKZ7RecoverSheet;

namespace {

// Which of Back, Next and Finish are there to press, as "BNF" with '-' for one that is not.
std::string buttons(const CKZ7RecoverSheet& sheet)
{
    auto on = [](const QPushButton* b, char c) { return b->isVisible() && b->isEnabled() ? c : '-'; };
    return {on(sheet.backButton(), 'B'), on(sheet.nextButton(), 'N'), on(sheet.finishButton(), 'F')};
}

void next(CKZ7RecoverSheet& sheet)
{
    QTest::mouseClick(sheet.nextButton(), Qt::LeftButton);
}

const std::vector<std::string> kSwitchedOffBlank = {"--power", "off", "--blank-firmware"};

} // namespace

TEST(RecoverSheet, GoesThroughAllSixPagesWithAControllerSwitchedOnWhilePageThreeWaits)
{
    dialogtest::ensureApp();
    SimRig rig(kSwitchedOffBlank);
    ASSERT_TRUE(rig.ok());
    rig.prompter.onInform = [&rig](const QString& message) {
        if (message.contains("\"START\" button of KZ-7"))
            rig.control("press START");
    };
    const QString savedFirmware = QString::fromStdString(rig.path("saved.hex"));
    rig.firmwarePath = savedFirmware;
    auto firmware = dialogtest::pattern(2500, 6);
    dialogtest::writeHex(rig.path("fw.hex"), firmware);

    CKZ7RecoverSheet sheet(rig.context());
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), "Step of KZ-7 recovery");
    struct Page {
        int number;
        const char* caption;
        int message;
        const char* buttons;
    };
    auto expectPage = [&](const Page& p) {
        SCOPED_TRACE(p.caption);
        EXPECT_EQ(sheet.currentPage(), p.number);
        EXPECT_EQ(sheet.pageCaption(), p.caption);
        EXPECT_EQ(sheet.page(p.number)->message(), text(p.message));
        EXPECT_EQ(buttons(sheet), p.buttons);
    };
    expectPage({1, "Start KZ-7 recovery", comm::kMsgRecoveryStart, "-N-"});
    next(sheet);
    expectPage({2, "Ready to recover KZ-7", comm::kMsgRecoveryReady, "BN-"});
    EXPECT_EQ(sheet.portPage()->combo->selectedPort(), "COM5");
    next(sheet);
    EXPECT_TRUE(sheet.link().isPortOpen());
    EXPECT_FALSE(sheet.link().isConnected()) << "the wizard only opens the port";
    ASSERT_TRUE(waitUntil([&] { return sheet.page(3)->message() == text(comm::kMsgPowerOn); }));
    expectPage({3, "Running KZ-7 boot loader", comm::kMsgPowerOn, "B--"});
    next(sheet);
    EXPECT_EQ(sheet.currentPage(), 3) << "Next is impossible until the boot loader was caught";

    rig.control("power on");
    ASSERT_TRUE(waitUntil([&] { return !sheet.busy(); }));
    expectPage({3, "Running KZ-7 boot loader", comm::kMsgBootLoaderCaught, "BN-"});
    next(sheet);
    expectPage({4, "Select KZ-7 firmware", comm::kMsgSelectFirmware, "---"});

    // A file that is no Intel hex is refused on the page; a good one enables Next.
    dialogtest::writeFile(rig.path("bad.hex"), {'x', '\n'});
    rig.prompter.files = {QString::fromStdString(rig.path("bad.hex")),
                          QString::fromStdString(rig.path("fw.hex"))};
    QTest::mouseClick(sheet.filePage()->find, Qt::LeftButton);
    EXPECT_EQ(rig.prompter.told, QStringList{QString::fromStdString(rig.path("bad.hex")) +
                                             ": line 1: the record does not begin with ':'\n\n" +
                                             text(comm::kMsgNotFirmwareFile)});
    EXPECT_EQ(buttons(sheet), "---");
    QTest::mouseClick(sheet.filePage()->find, Qt::LeftButton);
    EXPECT_EQ(sheet.filePage()->fileName->text(), "fw.hex");
    EXPECT_EQ(buttons(sheet), "-N-");
    EXPECT_EQ(rig.prompter.fileStarts, (QStringList{savedFirmware, savedFirmware}));
    EXPECT_EQ(rig.firmwarePath, savedFirmware) << "the wizard does not change the saved path";

    rig.prompter.told.clear();
    next(sheet);
    expectPage({5, "Install KZ-7 firmware", comm::kMsgInstalling, "---"});
    // Cancel is refused without a question while the firmware goes out.
    QTest::mouseClick(sheet.cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(rig.prompter.asked.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !sheet.busy(); }));
    expectPage({5, "Install KZ-7 firmware", comm::kMsgInstalled, "-N-"});
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgPressStartToVerify)});
    EXPECT_EQ(sheet.installPage()->bar->percent(), 100);
    next(sheet);
    expectPage({6, "Finish KZ-7 recovery", comm::kMsgRecovered, "--F"});
    EXPECT_EQ(sheet.finishButton()->text(), "Finish");
    QTest::mouseClick(sheet.finishButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(sheet.link().isPortOpen());
    EXPECT_TRUE(rig.memoryHolds(0, firmware));
    EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu)) << "the new firmware runs";
}

TEST(RecoverSheet, AWaitThatRunsOutOrIsCalledOffGoesBackToThePortPage)
{
    dialogtest::ensureApp();
    SimRig rig(kSwitchedOffBlank);
    ASSERT_TRUE(rig.ok());
    programmer::DialogContext context = rig.context();
    context.bootLoaderWaitSeconds = 1; // in place of the minute a user gets
    CKZ7RecoverSheet sheet(context);
    sheet.show();
    next(sheet);
    next(sheet);
    ASSERT_EQ(sheet.currentPage(), 3);
    ASSERT_TRUE(waitUntil([&] { return sheet.currentPage() == 2; }, 20000));
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgBootLoaderMissed)});
    EXPECT_FALSE(sheet.link().isPortOpen()) << "page 2 closes the port";

    // Back during the wait calls it off first.
    next(sheet);
    ASSERT_EQ(sheet.currentPage(), 3);
    QTest::mouseClick(sheet.backButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return sheet.currentPage() == 2 && !sheet.busy(); }, 20000));
    EXPECT_EQ(rig.prompter.told.size(), 1) << "a called-off wait says nothing";

    // Cancel asks; No stays, Yes leaves (on page 3 after calling the wait off).
    next(sheet);
    rig.prompter.answers = {false, true};
    QTest::mouseClick(sheet.cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.currentPage(), 3);
    QTest::keyClick(&sheet, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !sheet.isVisible(); }, 20000));
    EXPECT_EQ(rig.prompter.asked, (QStringList{text(comm::kMsgQuitRecovery), text(comm::kMsgQuitRecovery)}));
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_FALSE(sheet.link().isPortOpen());
}

TEST(RecoverSheet, APortThatDoesNotOpenKeepsTheWizardOnPageTwo)
{
    dialogtest::ensureApp();
    SimRig rig(kSwitchedOffBlank);
    ASSERT_TRUE(rig.ok());
    CKZ7RecoverSheet sheet(rig.context());
    sheet.show();
    next(sheet);
    sheet.portPage()->combo->fill({"COM200"}, 200); // a name with no device behind it
    next(sheet);
    EXPECT_EQ(sheet.currentPage(), 2);
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgCannotOpenPort)});
    EXPECT_EQ(sheet.portPage()->combo->selectedPort(), "COM5") << "the list is filled again";
}

TEST(RecoverSheet, AControllerSwitchedOffDuringTheInstallationCanBeRecoveredAgain)
{
    dialogtest::ensureApp();
    SimRig rig(kSwitchedOffBlank);
    ASSERT_TRUE(rig.ok());
    rig.prompter.onInform = [&rig](const QString& message) {
        if (message.contains("\"START\" button of KZ-7"))
            rig.control("press START");
    };
    auto firmware = dialogtest::pattern(2500, 7);
    dialogtest::writeHex(rig.path("fw.hex"), firmware);
    CKZ7RecoverSheet sheet(rig.context());
    sheet.show();
    // From page 1 or 2 to a firmware selected on page 4, switched on while page 3 waits.
    auto catchAndSelect = [&] {
        while (sheet.currentPage() < 3)
            next(sheet);
        ASSERT_TRUE(waitUntil([&] { return sheet.page(3)->message() == text(comm::kMsgPowerOn); }));
        rig.control("power on");
        ASSERT_TRUE(waitUntil([&] { return !sheet.busy(); }));
        ASSERT_EQ(sheet.page(3)->message(), text(comm::kMsgBootLoaderCaught));
        next(sheet);
        ASSERT_EQ(sheet.currentPage(), 4);
        ASSERT_EQ(buttons(sheet), "---") << "a file is chosen on every visit";
        ASSERT_EQ(sheet.filePage()->fileName->text(), "No file");
        rig.prompter.files = {QString::fromStdString(rig.path("fw.hex"))};
        QTest::mouseClick(sheet.filePage()->find, Qt::LeftButton);
        ASSERT_EQ(buttons(sheet), "-N-");
    };
    catchAndSelect();
    if (HasFatalFailure())
        return;

    // With the first chunk of the firmware the controller is switched off.
    bool struck = false;
    sheet.link().setChunkObserver([&](size_t, int) {
        if (!struck) {
            struck = true;
            rig.control("power off");
        }
    });
    next(sheet);
    ASSERT_EQ(sheet.currentPage(), 5);
    ASSERT_TRUE(waitUntil([&] { return !sheet.busy(); }));
    EXPECT_TRUE(struck);
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgRecoveryInstallFailed)});
    EXPECT_EQ(sheet.currentPage(), 2) << "the wizard starts over from the port";
    EXPECT_EQ(buttons(sheet), "BN-");
    EXPECT_FALSE(sheet.link().isPortOpen());
    std::vector<uint8_t> memory = rig.memory();
    EXPECT_TRUE(std::all_of(memory.begin(), memory.begin() + std::min(memory.size(), firmware.size()),
                            [](uint8_t b) { return b == 0xFF; }))
        << "nothing of the cut firmware is written";

    // The firmware area is still erased: only the boot loader answers, and the wizard gets it again.
    rig.prompter.told.clear();
    catchAndSelect();
    if (HasFatalFailure())
        return;
    next(sheet);
    ASSERT_TRUE(waitUntil([&] { return !sheet.busy(); }));
    EXPECT_EQ(sheet.page(5)->message(), text(comm::kMsgInstalled));
    EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgPressStartToVerify)});
    next(sheet);
    QTest::mouseClick(sheet.finishButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(rig.memoryHolds(0, firmware));
    EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu));
}

// The new firmware is in once it went out: its read-back's wait for START can be skipped, or the
// wizard cancelled during it, and neither calls the installation failed.
TEST(RecoverSheet, TheReadBackCanBeSkippedOrCancelledWithoutCallingTheInstallationFailed)
{
    dialogtest::ensureApp();
    SimRig rig(kSwitchedOffBlank);
    ASSERT_TRUE(rig.ok());
    auto firmware = dialogtest::pattern(2500, 9);
    dialogtest::writeHex(rig.path("fw.hex"), firmware);
    programmer::DialogContext context = rig.context();
    context.linkTiming.receiveIdleBeforeData = 100000; // only the user can end the wait
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "skipped");
        rig.prompter.told.clear();
        rig.control("power off");
        CKZ7RecoverSheet sheet(context);
        sheet.show();
        next(sheet);
        next(sheet);
        ASSERT_TRUE(waitUntil([&] { return sheet.page(3)->message() == text(comm::kMsgPowerOn); }));
        rig.control("power on");
        ASSERT_TRUE(waitUntil([&] { return !sheet.busy(); }));
        next(sheet);
        EXPECT_TRUE(sheet.filePage()->check->isChecked());
        rig.prompter.files = {QString::fromStdString(rig.path("fw.hex"))};
        QTest::mouseClick(sheet.filePage()->find, Qt::LeftButton);
        rig.prompter.answers = {true};
        rig.prompter.onInform = [&](const QString& message) {
            if (message != text(comm::kMsgPressStartToVerify))
                return;
            QTimer::singleShot(300, &sheet, [&] {
                EXPECT_TRUE(sheet.installPage()->skip->isEnabled());
                QTest::mouseClick(cancel ? sheet.cancelButton() : sheet.installPage()->skip, Qt::LeftButton);
            });
        };
        next(sheet);
        ASSERT_EQ(sheet.currentPage(), 5);
        EXPECT_FALSE(sheet.installPage()->skip->isEnabled());
        ASSERT_TRUE(waitUntil([&] { return !sheet.busy(); }));
        EXPECT_EQ(rig.prompter.told, QStringList{text(comm::kMsgPressStartToVerify)});
        EXPECT_TRUE(rig.memoryHolds(0, firmware));
        if (cancel) {
            EXPECT_EQ(rig.prompter.asked, QStringList{text(comm::kMsgQuitRecovery)});
            EXPECT_TRUE(waitUntil([&] { return !sheet.isVisible(); }));
        } else {
            EXPECT_EQ(sheet.page(5)->message(), text(comm::kMsgInstalledUnchecked));
            EXPECT_EQ(buttons(sheet), "-N-");
            next(sheet);
            EXPECT_EQ(sheet.currentPage(), 6);
            QTest::mouseClick(sheet.finishButton(), Qt::LeftButton);
        }
        rig.prompter.onInform = nullptr;
        rig.prompter.asked.clear();
    }
}
