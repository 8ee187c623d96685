// Posewright, the motion page editor.
//   posewright [--port COMn] [--screenshot FILE [--screenshot-delay MS]]
//   posewright --help | --version
// --port connects there instead of the saved port (saved at exit once it connected);
// --screenshot saves the window as an image after MS milliseconds (default 4000) and quits.

#include "guikit/CommandLine.h"
#include "guikit/Screenshot.h"
#include "platform/InstallPaths.h"
#include "platform/PortMap.h"
#include "platform/SettingsKeys.h"
#include "posewright/CMainFrame.h"
#include "posewright/CPosewrightView.h"
#include "posewright/PosewrightSettings.h"
#include "posewright/ShellDialogs.h"
#include "posewright_core/WindowPlacement.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

using namespace posewright;

int main(int argc, char** argv)
{
    QCommandLineParser parser;
    const QCommandLineOption portOption("port", "", "COMn");
    const QCommandLineOption screenshotOption("screenshot", "", "FILE");
    const QCommandLineOption delayOption("screenshot-delay", "", "MS", "4000");
    parser.addOptions({portOption, screenshotOption, delayOption});
    const guikit::CommandLineTexts texts{
        "posewright", "usage: posewright [--port COMn] [--screenshot FILE [--screenshot-delay MS]]\n"
                      "       posewright --help | --version\n"};
    if (const auto status = guikit::answerCommandLine(guikit::parseCommandLine(parser, argc, argv), texts))
        return *status;
    // The editor takes no file names: a word on its own is a mistyped option.
    if (!parser.positionalArguments().isEmpty())
        return *guikit::answerCommandLine(
            {guikit::CommandLineResult::Outcome::UnknownOption, parser.positionalArguments().first()}, texts);
    std::optional<int> port;
    if (parser.isSet(portOption)) {
        port = platform::comPortNumber(parser.value(portOption).toStdString());
        if (!port) {
            std::fprintf(stderr, "posewright: --port takes COM1 .. COM256\n");
            return 2;
        }
    }
    const std::string screenshot = parser.value(screenshotOption).toStdString();
    const int screenshotDelay = std::atoi(parser.value(delayOption).toLocal8Bit().constData());
    QApplication app(argc, argv);
    app.setApplicationName(kAppTitle);

    // One editor per user: a second start ends at once, silently.
    const QString lockFolder =
        QString::fromStdString(platform::configHome()) + "/" + platform::settings::Organisation;
    QDir().mkpath(lockFolder);
    QLockFile instance(lockFolder + "/" + kAppTitle + ".lock");
    if (!instance.tryLock(0))
        return 0;

    QSettings store(platform::settings::Organisation, platform::settings::Application);
    PosewrightSettings settings;
    settings.load(store);

    int screenW = 500, screenH = 300;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        screenW = s->geometry().width();
        screenH = s->geometry().height();
    }
    const ScreenPoint at = clampWindowPosition({settings.windowX, settings.windowY}, screenW, screenH);
    settings.windowX = at.x;
    settings.windowY = at.y;

    const QString robotFolder = QString::fromStdString(platform::robotFolder());
    QtPrompter prompter;
    if (!ensureRobotProfile(settings, robotFolder, prompter))
        return 0;

    int status = 0;
    {
        CMainFrame frame(settings, robotFolder, prompter);
        prompter.setParent(&frame);
        frame.move(at.x, at.y);
        frame.show();

        SplashWindow splash;
        splash.show();
        app.processEvents();
        frame.view()->start(port.value_or(settings.comPort));
        app.processEvents();
        splash.close();

        if (!screenshot.empty()) {
            QTimer::singleShot(std::max(0, screenshotDelay), &frame, [&frame, &app, screenshot] {
                if (!guikit::saveScreenshot(frame, QString::fromStdString(screenshot), false))
                    std::fprintf(stderr, "posewright: cannot write %s\n", screenshot.c_str());
                app.quit();
            });
        }
        status = app.exec();
        frame.shutDown();
        prompter.setParent(nullptr);
    }
    return status;
}
