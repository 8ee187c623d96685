// The Download Program dialog end to end against kz7sim through its real widgets: connect on
// opening, download the worked example, play it with its output in the console, stop, close;
// and what it refuses (no program window, a program with errors).

#include "DialogTestKit.h"

#include "behaviour/BehaviorProgram.h"
#include "behaviour/ProgramBuilder.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"
#include "link/ControllerMode.h"
#include "link/LinkMessages.h"
#include "programmer/dialogs/ConsoleView.h"
#include "programmer/dialogs/DownloadDialog.h"
#include "programmer/dialogs/PercentBar.h"
#include "programmer/dialogs/PortCombo.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using dialogtest::SimRig;
using dialogtest::text;
using dialogtest::waitUntil;
using programmer::DownloadDialog;
using State = programmer::DownloadDialog::State;

namespace {

constexpr uint32_t kProgramAddress = 0xA000;

bool loadExample(behaviour::BehaviorProgram& program)
{
    return behaviour::loadProgramFile(std::string(TESSABAN_SOURCE_DIR) + "/data/examples/worked_example.tpg",
                                      program)
        .ok;
}

// The dialog opened as the main window opens it, and connected.
bool openConnected(DownloadDialog& dialog)
{
    dialog.show();
    return waitUntil([&] { return dialog.state() == State::Connected && !dialog.busy(); });
}

} // namespace

TEST(DownloadDialog, DownloadsPlaysStopsAndLeavesTheControllerInItsMenu)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    rig.comPort = 5;
    behaviour::BehaviorProgram program;
    ASSERT_TRUE(loadExample(program));
    behaviour::BehaviorProgram copy = program;
    std::vector<uint8_t> image = behaviour::buildProgram(copy).bytes;
    ASSERT_GT(image.size(), 1u);

    DownloadDialog dialog(rig.context(), "worked_example.tpg", &program);
    ASSERT_TRUE(openConnected(dialog)) << rig.prompter.told.join("|").toStdString();
    EXPECT_EQ(dialog.portCombo()->selectedPort(), "COM5");
    EXPECT_FALSE(dialog.portCombo()->isEnabled());
    EXPECT_EQ(dialog.connectButton()->text(), "Disconnect KZ-7");
    EXPECT_EQ(dialog.fileNameLabel()->text(), "worked_example.tpg");
    EXPECT_TRUE(dialog.downloadButton()->isEnabled());

    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.state(), State::Downloading);
    // While the worker runs nothing can start another port operation or close the dialog.
    for (QPushButton* b :
         {dialog.downloadButton(), dialog.playButton(), dialog.connectButton(), dialog.closeButton()})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_TRUE(waitUntil([&] { return dialog.state() == State::Connected; }));
    EXPECT_TRUE(rig.prompter.told.isEmpty()) << rig.prompter.told.join("|").toStdString();
    EXPECT_EQ(dialog.percentBar()->percent(), 100);
    // The controller keeps the image without its checksum byte.
    EXPECT_TRUE(rig.memoryHolds(kProgramAddress, std::vector<uint8_t>(image.begin(), image.end() - 1)));
    // A disconnect empties the bar.
    QTest::mouseClick(dialog.connectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.state() == State::Disconnected && !dialog.busy(); }));
    EXPECT_EQ(dialog.percentBar()->percent(), 0);
    QTest::mouseClick(dialog.connectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.state() == State::Connected && !dialog.busy(); }));

    QTest::mouseClick(dialog.playButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.playButton()->isEnabled()) << "Stop is offered once the program runs";
    ASSERT_TRUE(
        waitUntil([&] { return dialog.console()->consoleText().find("Running:") != std::string::npos; }));
    EXPECT_EQ(dialog.state(), State::Playing);
    EXPECT_EQ(dialog.playButton()->text(), "Stop");
    EXPECT_TRUE(dialog.playButton()->isEnabled());
    EXPECT_FALSE(dialog.downloadButton()->isEnabled());
    EXPECT_FALSE(dialog.connectButton()->isEnabled());
    QTest::mouseClick(dialog.playButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.state() == State::Connected && !dialog.busy(); }));
    EXPECT_EQ(dialog.playButton()->text(), "Play");
    EXPECT_TRUE(dialog.downloadButton()->isEnabled());

    // The next connect starts with an empty console.
    QTest::mouseClick(dialog.connectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.state() == State::Disconnected && !dialog.busy(); }));
    EXPECT_NE(dialog.console()->consoleText().find("Running:"), std::string::npos);
    QTest::mouseClick(dialog.connectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.state() == State::Connected && !dialog.busy(); }));
    EXPECT_EQ(dialog.console()->consoleText().find("Running:"), std::string::npos);

    QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
    EXPECT_FALSE(dialog.link().isPortOpen());
    EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu));
    EXPECT_TRUE(rig.prompter.told.isEmpty()) << rig.prompter.told.join("|").toStdString();
}

TEST(DownloadDialog, SendsNothingWithoutAProgramOrWithOneThatHasErrors)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    {
        DownloadDialog none(rig.context(), {}, nullptr);
        ASSERT_TRUE(openConnected(none));
        EXPECT_EQ(none.fileNameLabel()->text(), "No selected program");
        EXPECT_FALSE(none.downloadButton()->isEnabled());
        EXPECT_TRUE(none.playButton()->isEnabled());
    }

    behaviour::BehaviorProgram broken;
    behaviour::ProgramBuilder(broken).line().end(); // END before START: one marked cell
    DownloadDialog dialog(rig.context(), "broken.tpg", &broken);
    ASSERT_TRUE(openConnected(dialog));
    const std::vector<uint8_t> before = rig.memory();
    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.busy()) << "nothing is started";
    ASSERT_EQ(rig.prompter.told.size(), 1);
    EXPECT_EQ(rig.prompter.told[0], text(comm::kMsgBadGrammar) + "\n" + text(comm::kMsgErrorCount) + "1");
    EXPECT_EQ(rig.memory(), before);
    EXPECT_EQ(dialog.state(), State::Connected);
}

TEST(DownloadDialog, AControllerSwitchedOffDuringADownloadLeavesTheDialogUsable)
{
    dialogtest::ensureApp();
    SimRig rig;
    ASSERT_TRUE(rig.ok());
    behaviour::BehaviorProgram program;
    ASSERT_TRUE(loadExample(program));
    DownloadDialog dialog(rig.context(), "worked_example.tpg", &program);
    ASSERT_TRUE(openConnected(dialog));

    rig.control("power off");
    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !dialog.busy(); }));
    ASSERT_EQ(rig.prompter.told.size(), 1);
    EXPECT_EQ(rig.prompter.told[0], text(comm::kMsgCannotDownload));
    // The boot loader was not reached: the connection was given up, and can be made again.
    EXPECT_EQ(dialog.state(), State::Disconnected);
    EXPECT_TRUE(dialog.portCombo()->isEnabled());
    EXPECT_TRUE(dialog.closeButton()->isEnabled());

    rig.control("power on");
    QTest::mouseClick(dialog.connectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !dialog.busy(); }));
    EXPECT_EQ(dialog.state(), State::Connected) << rig.prompter.told.join("|").toStdString();
    QTest::mouseClick(dialog.downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !dialog.busy(); }));
    EXPECT_EQ(rig.prompter.told.size(), 1) << rig.prompter.told.join("|").toStdString();
    dialog.reject();
    ASSERT_TRUE(waitUntil([&] { return !dialog.isVisible(); }));
    EXPECT_EQ(rig.probeMode(), comm::modeValue(comm::ControllerMode::Menu));
}
