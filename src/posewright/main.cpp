// Posewright, the motion page editor.
//   posewright [--port COMn] [--screenshot FILE [--screenshot-delay MS]]
//   posewright --help | --version
// --port connects there instead of the saved port (saved at exit once it connected);
// --screenshot saves the window as an image after MS milliseconds (default 4000) and quits.

#include "platform/InstallPaths.h"
#include "platform/PortMap.h"
#include "platform/Version.h"
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
#include <string>

using namespace posewright;

int main(int argc, char** argv)
{
    std::optional<int> port;
    std::string screenshot;
    int screenshotDelay = 4000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "posewright: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--port") {
            port = platform::comPortNumber(value("--port"));
            if (!port) {
                std::fprintf(stderr, "posewright: --port takes COM1 .. COM256\n");
                return 2;
            }
        } else if (arg == "--screenshot") {
            screenshot = value("--screenshot");
        } else if (arg == "--screenshot-delay") {
            screenshotDelay = std::atoi(value("--screenshot-delay").c_str());
        } else if (arg == "--help" || arg == "-h") {
            std::printf("usage: posewright [--port COMn] [--screenshot FILE [--screenshot-delay MS]]\n"
                        "       posewright --help | --version\n");
            return 0;
        } else if (arg == "--version") {
            std::fputs(platform::versionText("posewright").c_str(), stdout);
            return 0;
        } else {
            std::fprintf(stderr, "posewright: unknown option %s (try --help)\n", arg.c_str());
            return 2;
        }
    }
    QApplication app(argc, argv);
    app.setApplicationName(kAppTitle);

    // One editor per user: a second start ends at once, silently.
    const QString lockFolder = QString::fromStdString(platform::configHome()) + "/Quorvel";
    QDir().mkpath(lockFolder);
    QLockFile instance(lockFolder + "/" + kAppTitle + ".lock");
    if (!instance.tryLock(0))
        return 0;

    QSettings store("Quorvel", "Tessaban");
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
                if (!frame.grab().save(QString::fromStdString(screenshot)))
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
