// Wirescope, the serial terminal.
//   wirescope [--port COMn] [--baud RATE] [--config FILE] [--no-connect]
// --port/--baud connect there at start instead of the saved port (and are saved when the
// connection succeeds); --config names the configuration file.

#include "termcore/TerminalTexts.h"
#include "terminal/MainWindow.h"
#include "terminal/QtPrompter.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    terminal::WindowOptions options;
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
        else if (arg == "--help" || arg == "-h") {
            std::printf("usage: wirescope [--port COMn] [--baud RATE] [--config FILE] [--no-connect]\n");
            return 0;
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
            window.setFocus();
            status = app.exec();
        }
        prompter.setParent(nullptr);
    }
    return status;
}
