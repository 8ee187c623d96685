// Wirescope, the serial terminal.
//   wirescope [--port COMn] [--baud RATE] [--config FILE] [--no-connect]
//             [--timestamps] [--hex] [--log FILE] [--find TEXT]
//             [--send TEXT] [--screenshot FILE [--screenshot-delay MS]]
// --port/--baud connect there at start instead of the saved port (and are saved when the
// connection succeeds); --config names the configuration file; --timestamps and --hex switch
// the View menu's items on; --log starts a log file; --find opens the find bar with TEXT;
// --send types TEXT once the port is open (\r, \n, \t, \e and \xNN escapes); --screenshot
// saves the window as an image after MS milliseconds (default 2500) and quits, with any
// message box shown over it. SIGTERM and SIGINT end the program as File / Exit does.

#include "platform/SerialDevice.h"
#include "platform/Version.h"
#include "termcore/ByteEscapes.h"
#include "termcore/TerminalConfig.h"
#include "termcore/TerminalTexts.h"
#include "terminal/FindBar.h"
#include "terminal/MainWindow.h"
#include "terminal/QtPrompter.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// SIGTERM and SIGINT write a byte here; the window reads it on its own thread and closes.
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// The window as it looks, with every message box shown over its middle.
QImage screenshotImage(QWidget& window)
{
    QImage image = window.grab().toImage();
    QPainter painter(&image);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible())
            continue;
        const QPixmap shot = box->grab();
        const QPoint at((image.width() - shot.width()) / 2, (image.height() - shot.height()) / 2);
        painter.fillRect(QRect(at + QPoint(3, 3), shot.size()), QColor(0, 0, 0, 60));
        painter.drawPixmap(at, shot);
        painter.setPen(QColor(90, 90, 90));
        painter.drawRect(QRect(at, shot.size()).adjusted(0, 0, -1, -1));
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    // First of all, so that a signal that comes while the window is still being made waits
    // for it instead of ending the program unsaved.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    terminal::WindowOptions options;
    std::string send, screenshot, logPath, find;
    bool timestamps = false, hex = false;
    int screenshotDelay = 2500;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "wirescope: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--port")
            options.port = value("--port");
        else if (arg == "--baud") {
            const std::string text = value("--baud");
            const auto rate = termcore::parseBaudRate(text);
            if (!rate) {
                std::fprintf(
                    stderr, "wirescope: --baud: %s\n",
                    termcore::texts::badBaudRate(text, platform::kLowestBaudRate, platform::kHighestBaudRate)
                        .c_str());
                return 2;
            }
            options.baudRate = *rate;
        } else if (arg == "--config")
            options.configPath = value("--config");
        else if (arg == "--no-connect")
            options.connectAtStart = false;
        else if (arg == "--timestamps")
            timestamps = true;
        else if (arg == "--hex")
            hex = true;
        else if (arg == "--log")
            logPath = value("--log");
        else if (arg == "--find")
            find = value("--find");
        else if (arg == "--send")
            send = termcore::ByteEscapes::decode(value("--send"));
        else if (arg == "--screenshot")
            screenshot = value("--screenshot");
        else if (arg == "--screenshot-delay")
            screenshotDelay = std::atoi(value("--screenshot-delay").c_str());
        else if (arg == "--help" || arg == "-h") {
            std::printf("usage: wirescope [--port COMn] [--baud RATE] [--config FILE] [--no-connect]\n"
                        "                 [--timestamps] [--hex] [--log FILE] [--find TEXT]\n"
                        "                 [--send TEXT] [--screenshot FILE [--screenshot-delay MS]]\n"
                        "       wirescope --help | --version\n");
            return 0;
        } else if (arg == "--version") {
            std::fputs(platform::versionText("wirescope").c_str(), stdout);
            return 0;
        } else if (arg.rfind("-", 0) == 0) {
            std::fprintf(stderr, "wirescope: unknown option %s (try --help)\n", arg.c_str());
            return 2;
        }
    }
    QApplication app(argc, argv);
    terminal::QtPrompter prompter;
    // A screenshot run never waits on a message box: it is shown, and photographed.
    prompter.setNonBlocking(!screenshot.empty());
    // A signal ends the program as File / Exit does, also while a message box is up (the one
    // a failed connect shows while the window is being made, too).
    terminal::MainWindow* shown = nullptr;
    bool quitRequested = false;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &byte, 1);
        quitRequested = true;
        while (QWidget* modal = QApplication::activeModalWidget())
            if (!modal->close())
                break;
        if (shown)
            shown->close(); // disconnects; the configuration is saved when the window goes
        QCoreApplication::quit();
    });
    int status = 1;
    {
        terminal::MainWindow window(prompter, options);
        prompter.setParent(&window);
        if (window.initialised() && quitRequested) {
            window.close();
            status = 0;
        } else if (window.initialised()) {
            shown = &window;
            // The switches given here come on; the others stay as they were last time.
            if (timestamps)
                window.setTimestamps(true);
            if (hex)
                window.setHexView(true);
            if (!logPath.empty())
                window.startLog(logPath);
            window.show();
            window.activateWindow();
            window.setFocus();
            if (!find.empty())
                window.findBar()->open(QString::fromStdString(find), false); // the terminal keeps the keys
            if (!send.empty())
                QTimer::singleShot(300, &window, [&window, send] { window.session().sendText(send); });
            if (!screenshot.empty()) {
                QTimer::singleShot(std::max(0, screenshotDelay), &window, [&window, &app, screenshot, find] {
                    if (!find.empty())
                        window.findBar()->step(true);
                    QApplication::processEvents();
                    if (!screenshotImage(window).save(QString::fromStdString(screenshot)))
                        std::fprintf(stderr, "wirescope: cannot write %s\n", screenshot.c_str());
                    app.quit();
                });
            }
            status = app.exec();
            shown = nullptr;
        }
        prompter.setParent(nullptr);
    }
    return status;
}
