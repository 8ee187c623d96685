// taskloom [FILE] [--settings FILE.conf] [--screenshot PNG [--screenshot-delay MS]]
// taskloom --help | --version
//
// The behaviour programmer. FILE (a ".tpg" program or a ".mtn" motion file) is opened at start.
// --settings keeps the settings in the given file instead of the per-user store; --screenshot
// saves the main window as an image once it has been shown, then quits (settings untouched).

#include "programmer/CMainFrame.h"
#include "programmer/LineClipboard.h"
#include "programmer/QtPrompter.h"
#include "programmer/StartUp.h"
#include "taskloom_base/ProgrammerTexts.h"
#include "taskloom_base/TaskloomSettings.h"

#include "behaviour/CommandCatalogue.h"
#include "motion/DeviceTable.h"
#include "platform/InstallPaths.h"
#include "platform/Version.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace programmer;

namespace {

const char kUsage[] =
    "usage: taskloom [FILE] [--settings FILE.conf] [--screenshot PNG [--screenshot-delay MS]]\n"
    "       taskloom --help | --version\n";

} // namespace

int main(int argc, char** argv)
{
    // Read before the application object exists, so that --help and --version need no display.
    QString file, settingsFile, screenshot;
    int screenshotDelay = 1500;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto value = [&]() -> QString {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "taskloom: %s needs a value\n", qPrintable(a));
                std::exit(2);
            }
            return QString::fromLocal8Bit(argv[++i]);
        };
        if (a == "--settings")
            settingsFile = value();
        else if (a == "--screenshot")
            screenshot = value();
        else if (a == "--screenshot-delay")
            screenshotDelay = value().toInt();
        else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::fputs(platform::versionText("taskloom").c_str(), stdout);
            return 0;
        } else if (a.startsWith("--")) {
            std::fprintf(stderr, "taskloom: unknown option %s\n%s", qPrintable(a), kUsage);
            return 2;
        } else
            file = a;
    }
    QApplication app(argc, argv);

    std::unique_ptr<QSettings> store(settingsFile.isEmpty()
                                         ? TaskloomSettings::openDefaultStore()
                                         : new QSettings(settingsFile, QSettings::IniFormat));
    QSize screen(500, 300);
    if (QScreen* s = QGuiApplication::primaryScreen())
        screen = s->size();
    TaskloomSettings settings;
    settings.load(*store, screen.width(), screen.height());

    QtPrompter prompter;
    const QString robotFolder = QString::fromStdString(platform::robotFolder()) + "/";
    motion::DeviceTable devices;
    if (!findRobotProfile(settings, devices, prompter, robotFolder))
        return 1; // no profile: the program ends without a window
    behaviour::CommandCatalogue::instance();

    SystemClipboard clipboard;
    CMainFrame frame(settings, devices, prompter, clipboard, robotFolder);
    prompter.setParent(&frame);
    frame.show();
    if (!file.isEmpty())
        frame.openFile(QFileInfo(file).absoluteFilePath());

    if (!screenshot.isEmpty()) {
        QTimer::singleShot(screenshotDelay, &frame, [&] {
            const bool ok = frame.grab().save(screenshot);
            std::fprintf(ok ? stdout : stderr, ok ? "taskloom: saved %s\n" : "taskloom: cannot write %s\n",
                         qPrintable(screenshot));
            // A screenshot run leaves the documents and the settings alone.
            QCoreApplication::exit(ok ? 0 : 1);
        });
        return app.exec();
    }
    const int rc = app.exec();
    settings.save(*store);
    return rc;
}
