// The application shell: its menus and their enabled rules, the robot file change kept in the
// settings, the program's single instance, and exit returning the controller to its menu.

#include "FormSession.h"
#include "posewright_texts/PosewrightTexts.h"

#include "platform/PortMap.h"
#include "platform/SerialDevice.h"
#include "posewright/CMainFrame.h"
#include "posewright/CommandLine.h"
#include "posewright/InfoGridWidgets.h"
#include "posewright/JointListWidget.h"
#include "posewright/PosewrightSettings.h"
#include "posewright/ValueControl.h"
#include "robotgl/Main3DView.h"
#include "robotgl/PosePanel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>

#include <fstream>
#include <functional>
#include <iterator>
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

// The simulator linked as COM2 in a private port folder, the settings in a private folder.
struct SimOnCom2 {
    testsupport::PortFolder ports{"posewright-ports"};
    testsupport::TempFolder files;
    testsupport::Kz7SimProcess sim;
    explicit SimOnCom2(const char* folder) : files(folder)
    {
        setenv("XDG_CONFIG_HOME", files.file("config").c_str(), 1);
        if (!sim.start({"--com", "2"}))
            ADD_FAILURE() << sim.error();
        robotgltest::app();
    }
};

// The probes' waits shortened for the simulator, which answers at once.
void fastTiming(CMainFrame& frame)
{
    motion::MotionLink::Timing fast;
    fast.probeWait = 150;
    fast.tabWait = 150;
    frame.view()->setTiming(fast);
}

} // namespace

TEST(PosewrightShell, MenusFollowTheLinkAndTheRobotFileChangeIsSaved)
{
    SimOnCom2 on("posewright-shell");
    ASSERT_TRUE(on.sim.running());

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

        fastTiming(frame);
        prompter.port = 2;
        frame.action("Connect KZ-7(&C)")->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return frame.view()->core().inEditScreen(); }, 15000));
        EXPECT_FALSE(frame.action("Connect KZ-7(&C)")->isEnabled());
        EXPECT_TRUE(frame.action("Disconnect KZ-7(&D)")->isEnabled());
        EXPECT_TRUE(frame.action("Refresh Page(&P)")->isEnabled());
        EXPECT_TRUE(frame.action("Offset configuration (&O)")->isEnabled());
        EXPECT_EQ(frame.statusBar()->currentMessage(), frame.view()->messageLine()->text())
            << "the status bar holds the whole message";

        prompter.robotFile = "arm.rbt";
        frame.changeRobotFile();
        EXPECT_EQ(prompter.informs.value(0), "|Succeed to change robot file!\nPlease restart program.");
        EXPECT_EQ(prompter.tells, QStringList{"Succeed to change robot file!\nPlease restart program."})
            << "a success, with the information icon";
        EXPECT_EQ(settings.robotProfile, "arm.rbt");

        frame.action("Disconnect KZ-7(&D)")->trigger();
        EXPECT_EQ(frame.view()->messageLine()->text(), "Disconnected to KZ-7.");
        EXPECT_TRUE(frame.action("Connect KZ-7(&C)")->isEnabled());
        EXPECT_EQ(probeMenu(on.sim.devicePath()), 1) << "the controller is back in its menu";
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

namespace {

// A control of the form to hold the keyboard focus when the program ends.
struct FocusCase {
    const char* name;
    std::function<QWidget*(CPosewrightView&, robotgltest::Pointer&)> focus; // returns the focused control
};

QWidget* focusOn(QWidget* w)
{
    w->setFocus(Qt::OtherFocusReason);
    return w;
}

QWidget* openCell(QTableWidget* grid, int row, int column)
{
    const QPoint at = grid->visualItemRect(grid->item(row, column)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    return QApplication::focusWidget();
}

const FocusCase kFocusCases[] = {
    {"joint value editor",
     [](CPosewrightView& v, robotgltest::Pointer&) -> QWidget* {
         QTest::mouseClick(v.jointList(), Qt::LeftButton, {}, v.jointList()->cellCentre(0));
         return v.jointList()->valueEditor()->edit();
     }},
    {"joint list", [](CPosewrightView& v, robotgltest::Pointer&) { return focusOn(v.jointList()); }},
    {"joint On button",
     [](CPosewrightView& v, robotgltest::Pointer&) { return focusOn(v.jointList()->onButton()); }},
    {"page grid name editor",
     [](CPosewrightView& v, robotgltest::Pointer&) { return openCell(v.pageGrid(), 0, 1); }},
    {"page grid value editor",
     [](CPosewrightView& v, robotgltest::Pointer&) { return openCell(v.pageGrid(), 3, 1); }},
    {"pose grid editor",
     [](CPosewrightView& v, robotgltest::Pointer&) { return openCell(v.poseGrid(), 1, 0); }},
    {"speed", [](CPosewrightView& v, robotgltest::Pointer&) { return focusOn(v.speed()->edit()); }},
    {"command line", [](CPosewrightView& v, robotgltest::Pointer&) { return focusOn(v.commandLine()); }},
    {"page number", [](CPosewrightView& v, robotgltest::Pointer&) { return focusOn(v.pageNumberEdit()); }},
    {"play button", [](CPosewrightView& v, robotgltest::Pointer&) { return focusOn(v.pagePlay()); }},
    {"main 3D view",
     [](CPosewrightView& v, robotgltest::Pointer& p) -> QWidget* {
         p.click(v.mainView(), v.mainView()->rect().center());
         return v.mainView();
     }},
    {"pose panel",
     [](CPosewrightView& v, robotgltest::Pointer& p) -> QWidget* {
         p.click(v.panel(2), v.panel(2)->rect().center());
         return v.panel(2);
     }},
};

} // namespace

// Exit tears the form down with the focus wherever the user left it; nothing may run on a control
// already destroyed, and the settings of the run are written.
TEST(PosewrightShell, ExitWithTheFocusInAnyControlEndsCleanlyAndWritesTheSettings)
{
    SimOnCom2 on("posewright-exit");
    ASSERT_TRUE(on.sim.running());

    for (const FocusCase& c : kFocusCases)
        for (const bool byMenu : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (byMenu ? ", Exit" : ", window close"));
            QSettings("Quorvel", "Tessaban").clear();
            ScriptedPrompter prompter;
            PosewrightSettings settings;
            settings.comPort = 7;
            {
                CMainFrame frame(settings, TESSABAN_SOURCE_DIR "/data/Robot files", prompter);
                frame.move(30, 40);
                frame.show();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
                frame.activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
                fastTiming(frame);
                frame.view()->start(2);
                CPosewrightView& v = *frame.view();
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return v.core().inEditScreen() && v.core().enabled() && !v.link().isWaiting(); },
                    15000));
                robotgltest::Pointer pointer{&frame};
                QWidget* target = c.focus(v, pointer);
                ASSERT_NE(target, nullptr);
                ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == target; }, 5000))
                    << "focus on "
                    << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className()
                                                    : "nothing");
                if (byMenu) {
                    frame.action("Exit(&X)")->trigger();
                } else {
                    QCloseEvent close;
                    QApplication::sendEvent(frame.windowHandle(), &close);
                }
                EXPECT_FALSE(frame.isVisible());
                EXPECT_EQ(frame.view(), nullptr);
            }
            QSettings store("Quorvel", "Tessaban");
            EXPECT_EQ(store.value("Posewright(Tessaban)/Settings/Com Port").toInt(), 2);
            EXPECT_EQ(store.value("Posewright(Tessaban)/Settings/Robot Profile").toString(), "default.rbt");
            EXPECT_TRUE(store.contains("Posewright(Tessaban)/Settings/Window pos_x"));
        }
}

// The saved port is the dialog's first choice; a port that cannot be opened does not replace it,
// a connect that succeeds does.
TEST(PosewrightShell, OnlyASuccessfulConnectReplacesTheSavedPort)
{
    SimOnCom2 on("posewright-port");
    ASSERT_TRUE(on.sim.running());
    {
        QSettings store("Quorvel", "Tessaban");
        store.setValue("Posewright(Tessaban)/Settings/Com Port", 3); // COM3: switched off
    }
    auto run = [&](std::optional<int> choice) {
        ScriptedPrompter prompter;
        prompter.port = choice;
        PosewrightSettings settings;
        {
            QSettings store("Quorvel", "Tessaban");
            settings.load(store);
        }
        CMainFrame frame(settings, TESSABAN_SOURCE_DIR "/data/Robot files", prompter);
        frame.show();
        fastTiming(frame);
        frame.view()->start(settings.comPort);
        EXPECT_EQ(frame.view()->messageLine()->text(), posewright::text(posewright::Txt::ConnectFailed));
        frame.action("Connect KZ-7(&C)")->trigger();
        EXPECT_EQ(prompter.offeredPort, 3) << "the dialog opens on the saved port";
        if (choice == 2) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return frame.view()->core().inEditScreen(); }, 15000));
        }
        frame.close();
        QSettings store("Quorvel", "Tessaban");
        return store.value("Posewright(Tessaban)/Settings/Com Port").toInt();
    };
    EXPECT_EQ(run(std::nullopt), 3) << "a cancelled dialog keeps the saved port";
    EXPECT_EQ(run(5), 3) << "a port that does not open keeps the saved port";
    EXPECT_EQ(run(2), 2) << "the port that connected is saved";
}

// A profile or model that cannot be read is said once, and every view says why; a model whose
// counts cannot fit its size is refused before anything is allocated by them.
TEST(PosewrightShell, ProfileAndModelFailuresAreSaidOnceAndShownInTheViews)
{
    testsupport::TempFolder files("posewright-failures");
    robotgltest::app();
    std::ifstream in(TESSABAN_SOURCE_DIR "/data/Robot files/humanoid.x", std::ios::binary);
    std::string corrupt{std::istreambuf_iterator<char>(in), {}};
    const size_t count = corrupt.find_first_of("0123456789", corrupt.find('{', corrupt.find("Mesh ")));
    corrupt.replace(count, corrupt.find(';', count) - count, "2000000000");
    files.write("corrupt.x", corrupt);
    const std::string joints = "Number of joints:2\n0:1:Right shoulder:512\n1:2:Left shoulder:512\n";
    struct Case {
        const char* what;
        std::string profile; // empty: no profile file
        const char* said;
        size_t joints;
    };
    const Case cases[] = {
        {"no profile file", "", "No such file or directory", 0},
        {"a joint index past the count", "Model file:humanoid.x\nNumber of joints:2\n0:1:A:512\n5:2:B:512\n",
         "The robot profile is damaged: line 4 gives the joint index 5", 0},
        {"a missing model", "Model file:absent.x\n" + joints, "absent.x was not found", 2},
        {"a model claiming two billion vertices", "Model file:corrupt.x\n" + joints,
         "claims 2000000000 elements", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path =
            c.profile.empty() ? files.file("absent.rbt") : files.write("robot.rbt", c.profile);
        ScriptedPrompter prompter;
        CPosewrightView view(QString::fromStdString(path), prompter);
        ASSERT_EQ(prompter.informs.size(), 1) << prompter.informs.join("; ").toStdString();
        EXPECT_TRUE(prompter.informs[0].contains(c.said)) << prompter.informs[0].toStdString();
        EXPECT_EQ("|" + view.mainView()->loadError(), prompter.informs[0]);
        EXPECT_EQ(view.panel(6)->loadError(), view.mainView()->loadError());
        EXPECT_EQ(view.core().jointList().joints().size(), c.joints);
    }
}
