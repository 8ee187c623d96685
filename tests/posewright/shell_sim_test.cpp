// The application shell: its menus and their enabled rules, the robot file change kept in the
// settings, the program's single instance, and exit returning the controller to its menu.

#include "FormSession.h"

#include "platform/PortMap.h"
#include "platform/SerialDevice.h"
#include "posewright/CMainFrame.h"
#include "posewright/PosewrightSettings.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QSettings>

#include <thread>

using namespace posewright;
using posewrighttest::ScriptedPrompter;

namespace {

// "***" to the controller: the highlighted menu entry when its menu answers, else -1.
int probeMenu(const std::string& device)
{
    platform::SerialDevice d;
    if (!d.open(device, 57600))
        return -2;
    d.purgeInput();
    d.writeAll("***", 3);
    std::string got;
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        char buffer[64];
        long n = d.readSome(buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<size_t>(n));
    }
    if (got.size() >= 2 && got[got.size() - 1] == got[got.size() - 2] && got.back() >= 0 && got.back() <= 2)
        return got.back();
    return -1;
}

} // namespace

TEST(PosewrightShell, MenusFollowTheLinkAndTheRobotFileChangeIsSaved)
{
    testsupport::PortFolder ports("posewright-ports");
    testsupport::TempFolder files("posewright-shell");
    setenv("XDG_CONFIG_HOME", files.file("config").c_str(), 1);
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--com", "2"})) << sim.error();
    robotgltest::app();

    ScriptedPrompter prompter;
    PosewrightSettings settings;
    {
        QSettings store("Quorvel", "Tessaban");
        settings.load(store);
    }
    EXPECT_EQ(settings.comPort, 1);
    EXPECT_EQ(settings.robotProfile, "default.rbt");
    {
        CMainFrame frame(settings, TESSABAN_SOURCE_DIR "/data/Robot files", prompter);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        for (const char* item :
             {"Connect KZ-7(&C)", "Disconnect KZ-7(&D)", "Refresh Page(&P)", "Reset 3D view(&R)", "Exit(&X)",
              "Change Robot file (&C)", "Offset configuration (&O)", "User Guide(&G)", "About Posewright"})
            ASSERT_NE(frame.action(item), nullptr) << item;
        EXPECT_EQ(frame.action("User Guide(&G)")->shortcut(), QKeySequence(Qt::Key_F1));
        EXPECT_TRUE(frame.action("Connect KZ-7(&C)")->isEnabled());
        EXPECT_FALSE(frame.action("Disconnect KZ-7(&D)")->isEnabled());
        EXPECT_FALSE(frame.action("Refresh Page(&P)")->isEnabled());
        EXPECT_FALSE(frame.action("Offset configuration (&O)")->isEnabled());

        motion::MotionLink::Timing fast;
        fast.probeWait = 150;
        fast.tabWait = 150;
        frame.view()->setTiming(fast);
        prompter.port = 2;
        frame.action("Connect KZ-7(&C)")->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return frame.view()->core().inEditScreen(); }, 15000));
        EXPECT_FALSE(frame.action("Connect KZ-7(&C)")->isEnabled());
        EXPECT_TRUE(frame.action("Disconnect KZ-7(&D)")->isEnabled());
        EXPECT_TRUE(frame.action("Refresh Page(&P)")->isEnabled());
        EXPECT_TRUE(frame.action("Offset configuration (&O)")->isEnabled());

        prompter.robotFile = "arm.rbt";
        frame.changeRobotFile();
        EXPECT_EQ(prompter.informs.value(0), "|Succeed to change robot file!\nPlease restart program.");
        EXPECT_EQ(settings.robotProfile, "arm.rbt");

        frame.action("Disconnect KZ-7(&D)")->trigger();
        EXPECT_EQ(frame.view()->messageLine()->text(), "Disconnected to KZ-7.");
        EXPECT_TRUE(frame.action("Connect KZ-7(&C)")->isEnabled());
        EXPECT_EQ(probeMenu(sim.devicePath()), 1) << "the controller is back in its menu";
    }
    QSettings store("Quorvel", "Tessaban");
    EXPECT_EQ(store.value("Posewright(Tessaban)/Settings/Robot Profile").toString(), "arm.rbt");
    EXPECT_EQ(store.value("Posewright(Tessaban)/Settings/Com Port").toInt(), 2) << "the port that connected";
    PosewrightSettings next;
    next.load(store);
    EXPECT_EQ(next.robotProfile, "arm.rbt");
}

TEST(PosewrightShell, ASecondStartEndsSilentlyAndExitReturnsTheControllerToItsMenu)
{
    testsupport::PortFolder ports("posewright-ports");
    testsupport::TempFolder files("posewright-shell");
    testsupport::Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--com", "3"})) << sim.error();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(files.file("config")));
    env.insert("TESSABAN_PORTS", QString::fromStdString(ports.path().string()));
    const QString program = TESSABAN_BIN_DIR "/posewright";
    const QString shot = QString::fromStdString(files.file("shot.png"));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program, {"--port", "COM3", "--screenshot", shot, "--screenshot-delay", "3500"});
    ASSERT_TRUE(first.waitForStarted(10000));
    // Wait until it holds the instance lock and has left the menu for the page editor.
    const QString lock = QString::fromStdString(files.file("config")) + "/Quorvel/Posewright(Tessaban).lock";
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(lock); }, 15000));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program, {"--port", "COM3"});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running) << "the first one is untouched";

    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(shot));
    EXPECT_EQ(probeMenu(sim.devicePath()), 1) << "exit sent \"\\rexit\\ry\"";
    QSettings store(QString::fromStdString(files.file("config")) + "/Quorvel/Tessaban.conf",
                    QSettings::IniFormat);
    EXPECT_EQ(store.value("Posewright(Tessaban)/Settings/Com Port").toInt(), 3);
    EXPECT_TRUE(store.contains("Posewright(Tessaban)/Settings/Window pos_x"));
}
