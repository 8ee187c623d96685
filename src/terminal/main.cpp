// Wirescope, the serial terminal.
//   wirescope [--port COMn] [--baud RATE] [--config FILE] [--no-connect]
//             [--send TEXT] [--screenshot FILE [--screenshot-delay MS]]
// --port/--baud connect there at start instead of the saved port (and are saved when the
// connection succeeds); --config names the configuration file; --send types TEXT once the
// port is open (\r, \n, \t, \e and \xNN escapes); --screenshot saves the window as an image
// after MS milliseconds (default 2500) and quits.

#include "terminal/MainWindow.h"
#include "terminal/QtPrompter.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char c = text[++i];
        switch (c) {
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'e':
            out.push_back('\x1b');
            break;
        case 'x':
            if (i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default:
            out.push_back('\\');
            out.push_back(c);
            break;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    terminal::WindowOptions options;
    std::string send, screenshot;
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
        else if (arg == "--baud")
            options.baudRate = std::atoi(value("--baud").c_str());
        else if (arg == "--config")
            options.configPath = value("--config");
        else if (arg == "--no-connect")
            options.connectAtStart = false;
        else if (arg == "--send")
            send = unescape(value("--send"));
        else if (arg == "--screenshot")
            screenshot = value("--screenshot");
        else if (arg == "--screenshot-delay")
            screenshotDelay = std::atoi(value("--screenshot-delay").c_str());
        else if (arg == "--help" || arg == "-h") {
            std::printf("usage: wirescope [--port COMn] [--baud RATE] [--config FILE] [--no-connect]\n"
                        "                 [--send TEXT] [--screenshot FILE [--screenshot-delay MS]]\n");
            return 0;
        } else if (arg.rfind("-", 0) == 0) {
            std::fprintf(stderr, "wirescope: unknown option %s (try --help)\n", arg.c_str());
            return 2;
        }
    }
    QApplication app(argc, argv);
    terminal::QtPrompter prompter;
    int status = 1;
    {
        terminal::MainWindow window(prompter, options);
        prompter.setParent(&window);
        if (window.initialised()) {
            window.show();
            window.activateWindow();
            window.setFocus();
            if (!send.empty())
                QTimer::singleShot(300, &window, [&window, send] { window.sendText(send); });
            if (!screenshot.empty()) {
                QTimer::singleShot(std::max(0, screenshotDelay), &window, [&window, &app, screenshot] {
                    if (!window.grab().save(QString::fromStdString(screenshot)))
                        std::fprintf(stderr, "wirescope: cannot write %s\n", screenshot.c_str());
                    app.quit();
                });
            }
            status = app.exec();
        }
        prompter.setParent(nullptr);
    }
    return status;
}
