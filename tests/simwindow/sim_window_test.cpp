// The simulator window as a user and the suite's programs meet it: it serves on its COMn, the
// command line finds and drives it there, the robot moves with the controller's servos, and the
// window's buttons, sliders and menus act on the controller.

#include "robotgl/Main3DView.h"
#include "simwindow/ControllerFace.h"
#include "simwindow/SensorPanel.h"
#include "simwindow/SimWindow.h"

#include "support/TempFolder.h"
#include "support/TestApp.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <deque>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using simwindow::SimWindow;

namespace {

constexpr int kCom = 41;

struct CliRun {
    int status = -1;
    std::string out;
};

// Lets the window look and draw until done() or a bound only a hang reaches; each look may
// also note what it sees.
template <typename F> bool until(F done, int boundMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > boundMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// The command line, run to its end while the window goes on watching and drawing.
template <typename F> CliRun tessaban(const std::string& arguments, F&& meanwhile)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("/bin/sh",
                  {"-c", QString::fromStdString(std::string(TESSABAN_BIN_DIR) + "/tessaban " + arguments)});
    CliRun r;
    if (!until(
            [&] {
                meanwhile();
                return process.state() == QProcess::NotRunning;
            },
            120000))
        process.kill();
    process.waitForFinished(5000);
    r.out = process.readAll().toStdString();
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return r;
}

CliRun tessaban(const std::string& arguments)
{
    return tessaban(arguments, [] {});
}

std::string example(const std::string& name)
{
    return std::string(TESSABAN_SOURCE_DIR) + "/data/examples/" + name;
}

// The robot's pixels: everything in the picture that is neither the background nor the frame.
std::vector<QRgb> robotPixels(robotgl::Main3DView& view)
{
    const QImage picture = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    std::vector<QRgb> pixels;
    for (int y = 30; y < picture.height() - 10; y += 2)
        for (int x = 10; x < picture.width() - 10; x += 2)
            pixels.push_back(picture.pixel(x, y));
    return pixels;
}

size_t differing(const std::vector<QRgb>& a, const std::vector<QRgb>& b)
{
    size_t n = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        n += a[i] != b[i];
    return n;
}

class ScriptedPrompter : public simwindow::SimPrompter {
  public:
    std::deque<QString> files;
    std::vector<QString> told;
    bool agree = true;
    void inform(const QString& text) override { told.push_back(text); }
    bool confirm(const QString& text) override
    {
        told.push_back(text);
        return agree;
    }
    bool askYesNo(const QString& text) override { return confirm(text); }
    guikit::SaveAnswer askSave(const QString& text) override
    {
        return confirm(text) ? guikit::SaveAnswer::Save : guikit::SaveAnswer::Cancel;
    }
    std::optional<int> askNumber(const QString&, int initial, int, int) override { return initial; }
    QString openFile(const QString&, const QString&) override { return next(); }
    QString saveFile(const QString&, const QString&, const QString&) override { return next(); }

  private:
    QString next()
    {
        if (files.empty())
            return {};
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

class SimWindowTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        testsupport::testApp("xcb");
        ASSERT_TRUE(ports.ok() && data.ok());
        options.com = kCom;
        options.memoryFile = data.file("kz7sim.mem");
        options.profile = std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/default.rbt";
        options.sensors = "100";
        options.pace = 57600;
    }
    std::unique_ptr<SimWindow> open()
    {
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        auto w = std::make_unique<SimWindow>(options, std::move(p));
        w->resize(1000, 640);
        w->show();
        return w;
    }
    std::string portArg() const { return "--port COM" + std::to_string(kCom); }

    testsupport::PortFolder ports{"simwindow-ports"};
    testsupport::TempFolder data{"simwindow-data"};
    sim::SimOptions options;
    ScriptedPrompter* prompter = nullptr;
};

} // namespace

TEST_F(SimWindowTest, ServesOnItsPortAndTheRobotFollowsWhatTheSuiteSends)
{
    auto window = open();
    ASSERT_TRUE(window->serving()) << window->failure();
    EXPECT_EQ(window->windowTitle(), "KZ-7 Simulator on COM41");
    const std::string link = ports.file("COM41");
    EXPECT_EQ(fs::read_symlink(link).string(), window->host().devicePath());
    std::ifstream label(ports.file("COM41.label"));
    std::string labelText;
    std::getline(label, labelText);
    EXPECT_EQ(labelText, "KZ-7 Simulator");
    EXPECT_EQ(window->lineText(), "COM41, 57600 baud");

    CliRun probe = tessaban("controller probe " + portArg());
    ASSERT_EQ(probe.status, 0) << probe.out;
    EXPECT_NE(probe.out.find("Mode: MENU\nMenu entry: 0\n"), std::string::npos) << probe.out;

    // A program downloaded and played prints its numbers through the window's controller. The
    // command line stops a program with 7,650 bytes of 0x55, which a 57,600-baud line carries for
    // 1.3 s, longer than it then waits for the menu: the line is made fast for this part.
    window->action("FastLine")->trigger();
    EXPECT_EQ(window->lineText(), "COM41, fast line");
    CliRun down = tessaban("program download " + portArg() + " " + example("counter_printer.tpg"));
    ASSERT_EQ(down.status, 0) << down.out;
    CliRun play = tessaban("program play " + portArg() + " --seconds 3");
    ASSERT_EQ(play.status, 0) << play.out;
    for (int i = 1; i <= 10; ++i)
        EXPECT_NE(play.out.find("\n" + std::to_string(i) + "\r\n"), std::string::npos) << i << play.out;

    window->action("FastLine")->trigger();
    EXPECT_EQ(window->lineText(), "COM41, 57600 baud");

    // A page of two poses written in the editor, standing and with both arms raised, then
    // played: the robot moves on the screen while it plays and ends in the page's last pose.
    robotgl::Main3DView& view = *window->view();
    ASSERT_TRUE(until([&] { return !view.model().moving(); }));
    QTest::qWait(100);
    const std::vector<QRgb> standing = robotPixels(view);
    CliRun written = tessaban("motion page " + portArg() +
                              " --open 5 --send write --send 'goto 0 1' --send 'set 200' --send 'goto 0 2'"
                              " --send 'set 824' --send write --send save");
    ASSERT_EQ(written.status, 0) << written.out;
    ASSERT_TRUE(until([&] { return !view.model().moving(); }));
    // The current column followed the sets.
    EXPECT_EQ(view.model().displayedValue(0), 200);
    EXPECT_EQ(view.model().displayedValue(1), 824);

    // The play lowers the arms and raises them again; the pictures taken while it plays differ.
    std::vector<std::vector<QRgb>> frames;
    CliRun started = tessaban("motion page " + portArg() + " --send 'play 5'", [&] {
        if (view.model().moving())
            frames.push_back(robotPixels(view));
    });
    ASSERT_EQ(started.status, 0) << started.out;
    ASSERT_TRUE(until([&] { return !window->shown().pagePlaying && !view.model().moving(); }));
    ASSERT_GE(frames.size(), 2u);
    size_t most = 0;
    for (const auto& f : frames)
        most = std::max(most, differing(frames.front(), f));
    EXPECT_GT(most, 50u);
    for (int i = 0; i < view.model().jointCount(); ++i)
        EXPECT_EQ(view.model().displayedValue(i),
                  i == 0   ? 200
                  : i == 1 ? 824
                           : view.model().profile().joints()[static_cast<size_t>(i)].initialValue)
            << "joint index " << i;
    EXPECT_GT(differing(standing, robotPixels(view)), 200u);

    // Taking the torque off a joint draws it limp, in another colour.
    const std::vector<QRgb> stiff = robotPixels(view);
    ASSERT_EQ(tessaban("motion page " + portArg() + " --send 'off 1 3 5'").status, 0);
    ASSERT_TRUE(until([&] { return window->shown().limp(1); }));
    QTest::qWait(100);
    EXPECT_GT(differing(stiff, robotPixels(view)), 50u);

    // Back in the menu (the command line leaves the editor): START enters the highlighted mode.
    ASSERT_TRUE(until([&] { return window->shown().mode == sim::Mode::Menu; }));
    EXPECT_EQ(window->modeText(), "Menu: Motion editor highlighted");
    QTest::mouseClick(window->face()->button("MODE"), Qt::LeftButton);
    EXPECT_EQ(window->modeText(), "Menu: Running highlighted");
    QTest::mouseClick(window->face()->button("MODE"), Qt::LeftButton);
    QTest::mouseClick(window->face()->button("START"), Qt::LeftButton);
    EXPECT_EQ(window->modeText(), "Console");
    QTest::mouseClick(window->face()->button("MODE"), Qt::LeftButton);
    EXPECT_EQ(window->shown().mode, sim::Mode::Menu);

    // A sensor slider changes what a program does: something close turns joint 1 to 800.
    // (The menu's redraws for those presses go out on the line first: a probe that met them
    // half-way would take them for an answer.)
    QTest::qWait(500);
    window->setFastLine(true);
    CliRun sensorProgram = tessaban("program download " + portArg() + " " + example("button_sensor.tpg"));
    ASSERT_EQ(sensorProgram.status, 0) << sensorProgram.out;
    QSlider* centreIr = window->sensors()->slider(100, 0x1b);
    ASSERT_NE(centreIr, nullptr);
    centreIr->setValue(150);
    CliRun sensed = tessaban("program play " + portArg() + " --seconds 1");
    ASSERT_EQ(sensed.status, 0) << sensed.out;
    ASSERT_TRUE(until([&] { return window->shown().joints[1] == 800; }));
    ASSERT_TRUE(until([&] { return view.model().displayedValue(0) == 800; }));

    // Exit through the menu: the link and its label go, the memory file keeps the page.
    window->action("Exit")->trigger();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(ports.file("COM41.label")));
    EXPECT_EQ(fs::file_size(options.memoryFile), 0x1E000u);
    window.reset();

    // Started again, the controller still has the page (its name slot begins "K7").
    auto again = open();
    ASSERT_TRUE(again->serving());
    const bool kept = again->host().inspect([](const sim::Controller&, const sim::ControllerMemory& m) {
        return m.page(5)[0] == 'K' && m.page(5)[1] == '7';
    });
    EXPECT_TRUE(kept);
}

TEST_F(SimWindowTest, MemoryMenuSavesLoadsAndErasesWithoutLosingWhatABadFileWouldDestroy)
{
    options.pace = 0;
    auto window = open();
    ASSERT_TRUE(window->serving()) << window->failure();
    EXPECT_EQ(window->lineText(), "COM41, fast line");
    ASSERT_EQ(tessaban("program download " + portArg() + " " + example("counter_printer.tpg")).status, 0);
    auto programSize = [&] {
        return window->host().inspect(
            [](const sim::Controller&, const sim::ControllerMemory& m) { return m.programSize(); });
    };
    const size_t size = programSize();
    ASSERT_GT(size, 0u);

    const std::string image = data.file("saved.mem");
    prompter->files = {QString::fromStdString(image)};
    window->saveImage();
    ASSERT_EQ(fs::file_size(image), 0x1E000u);

    window->eraseProgram();
    EXPECT_EQ(programSize(), 0u);

    // A file of the wrong size, or none at all, is refused and the memory stays as it is.
    const std::string shortFile = data.write("short.mem", "too short");
    prompter->files = {QString::fromStdString(shortFile), QString::fromStdString(data.file("missing.mem"))};
    window->eraseMotionPages();
    prompter->told.clear();
    window->loadImage();
    window->loadImage();
    ASSERT_EQ(prompter->told.size(), 2u);
    EXPECT_TRUE(prompter->told[0].startsWith("The memory image could not be loaded"))
        << prompter->told[0].toStdString();
    EXPECT_EQ(programSize(), 0u);

    prompter->files = {QString::fromStdString(image)};
    window->loadImage();
    EXPECT_EQ(programSize(), size);

    // Blank firmware: after the restart only the boot loader could be caught.
    window->blankFirmware();
    ASSERT_TRUE(until([&] { return window->shown().mode == sim::Mode::Halted; }, 5000))
        << window->modeText().toStdString();
    CliRun probe = tessaban("controller probe " + portArg());
    EXPECT_EQ(probe.status, 1) << probe.out;

    // The line can be paced again, and a fault from the menu reaches the controller.
    window->setFastLine(false);
    EXPECT_EQ(window->lineText(), "COM41, fast line"); // this window was started unpaced
    window->injectFault("stall");
    EXPECT_TRUE(window->shown().stalled);
    EXPECT_EQ(window->lineText(), "COM41, fast line, stalled");
}

TEST_F(SimWindowTest, AProfileItCannotUseIsReportedAndTheControllerStillServes)
{
    options.pace = 0;
    const std::string good = options.profile;
    options.profile = data.file("missing.rbt");
    auto window = open();
    ASSERT_TRUE(window->serving()) << window->failure();
    ASSERT_EQ(prompter->told.size(), 1u);
    EXPECT_TRUE(prompter->told[0].startsWith("The robot profile could not be used"))
        << prompter->told[0].toStdString();
    EXPECT_EQ(window->shown().joints[18], 512); // the standard joints stand in
    EXPECT_EQ(tessaban("controller probe " + portArg()).status, 0);

    // Changing to a good profile brings the robot; a bad one afterwards is refused and the good
    // one stays, on the same port.
    prompter->files = {QString::fromStdString(good),
                       QString::fromStdString(data.write("bad.rbt", "nonsense"))};
    window->changeProfile();
    ASSERT_TRUE(window->serving());
    EXPECT_TRUE(window->view()->modelLoaded());
    window->changeProfile();
    ASSERT_TRUE(window->serving());
    EXPECT_TRUE(window->view()->modelLoaded());
    EXPECT_EQ(window->host().options().profile, good);
    EXPECT_EQ(prompter->told.size(), 2u);
    EXPECT_EQ(fs::read_symlink(ports.file("COM41")).string(), window->host().devicePath());
    EXPECT_EQ(tessaban("controller probe " + portArg()).status, 0);
}
