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

#include "guikit/CommandLine.h"
#include "guikit/Screenshot.h"
#include "platform/SerialDevice.h"
#include "termcore/ByteEscapes.h"
#include "termcore/TerminalConfig.h"
#include "termcore/TerminalTexts.h"
#include "terminal/FindBar.h"
#include "terminal/MainWindow.h"
#include "terminal/QtPrompter.h"

#include <QApplication>
#include <QLineEdit>
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
    QCommandLineParser parser;
    const QCommandLineOption portOption("port", "", "COMn");
    const QCommandLineOption baudOption("baud", "", "RATE");
    const QCommandLineOption configOption("config", "", "FILE");
    const QCommandLineOption noConnectOption("no-connect");
    const QCommandLineOption timestampsOption("timestamps");
    const QCommandLineOption hexOption("hex");
    const QCommandLineOption logOption("log", "", "FILE");
    const QCommandLineOption findOption("find", "", "TEXT");
    const QCommandLineOption sendOption("send", "", "TEXT");
    const QCommandLineOption screenshotOption("screenshot", "", "FILE");
    const QCommandLineOption delayOption("screenshot-delay", "", "MS", "2500");
    parser.addOptions({portOption, baudOption, configOption, noConnectOption, timestampsOption, hexOption,
                       logOption, findOption, sendOption, screenshotOption, delayOption});
    if (const auto status = guikit::answerCommandLine(
            guikit::parseCommandLine(parser, argc, argv),
            {"wirescope", "usage: wirescope [--port COMn] [--baud RATE] [--config FILE] [--no-connect]\n"
                          "                 [--timestamps] [--hex] [--log FILE] [--find TEXT]\n"
                          "                 [--send TEXT] [--screenshot FILE [--screenshot-delay MS]]\n"
                          "       wirescope --help | --version\n"}))
        return *status;
    auto text = [&parser](const QCommandLineOption& option) { return parser.value(option).toStdString(); };
    if (parser.isSet(portOption))
        options.port = text(portOption);
    if (parser.isSet(baudOption)) {
        const auto rate = termcore::parseBaudRate(text(baudOption));
        if (!rate) {
            std::fprintf(stderr, "wirescope: --baud: %s\n",
                         termcore::texts::badBaudRate(text(baudOption), platform::kLowestBaudRate,
                                                      platform::kHighestBaudRate)
                             .c_str());
            return 2;
        }
        options.baudRate = *rate;
    }
    if (parser.isSet(configOption))
        options.configPath = text(configOption);
    if (parser.isSet(noConnectOption))
        options.connectAtStart = false;
    const bool timestamps = parser.isSet(timestampsOption), hex = parser.isSet(hexOption);
    const std::string logPath = text(logOption), find = text(findOption), screenshot = text(screenshotOption);
    const std::string send = termcore::ByteEscapes::decode(text(sendOption));
    const int screenshotDelay = std::atoi(text(delayOption).c_str());
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
                    if (!guikit::saveScreenshot(window, QString::fromStdString(screenshot), true))
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
