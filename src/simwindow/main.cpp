// kz7sim-gui, the KZ-7 Simulator: the software controller of kz7sim in a window, with the robot
// drawn and moving, its buttons, power switch and sensors. See docs/kz7sim.md.

#include "platform/InstallPaths.h"
#include "platform/PortMap.h"
#include "platform/Version.h"
#include "sim/SimOptions.h"
#include "simwindow/SimWindow.h"
#include "simwindow_core/SimPorts.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: kz7sim-gui [OPTIONS]\n"
    "The KZ-7 Simulator: a software KZ-7 controller on a pseudo-terminal linked as COMn in the\n"
    "port folder, with the robot drawn live, the controller's buttons, power switch and sensors.\n\n"
    "  --com N            serve as COMN (default: the last one used while free, else the first\n"
    "                     free one from COM9 up); remembered\n"
    "  --memory FILE      keep the controller's memory in FILE (default\n"
    "                     $XDG_DATA_HOME/Quorvel/Tessaban/kz7sim.mem)\n"
    "  --profile FILE     the robot profile (.rbt); default the one chosen last (Robot menu)\n"
    "  --sensors LIST     sensor modules on the bus, e.g. 100-102 (default 100)\n"
    "  --pace BAUD        pace the line at BAUD (default 57600; View > Fast line turns it off)\n"
    "  --control FIFO     also read control commands from FIFO, as kz7sim does\n"
    "  --joints LIST, --unknown LIST, --power on|off, --mode MODE, --blank-firmware\n"
    "                     as for kz7sim\n"
    "  --help             show this text\n"
    "  --version          show the version\n";

constexpr long kDefaultPace = 57600;
const char* const kGroup = "KZ-7 Simulator/Settings";

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
    errno = saved;
}

bool given(const std::vector<std::string>& args, const std::string& name)
{
    return std::any_of(args.begin(), args.end(),
                       [&](const std::string& a) { return a == name || a.rfind(name + "=", 0) == 0; });
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    sim::ParsedOptions parsed = sim::parseSimOptions(args);
    if (parsed.outcome == sim::ParsedOptions::Outcome::Help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed.outcome == sim::ParsedOptions::Outcome::Version) {
        std::fputs(platform::versionText("kz7sim-gui").c_str(), stdout);
        return 0;
    }
    if (parsed.outcome == sim::ParsedOptions::Outcome::Error) {
        std::fprintf(stderr, "kz7sim-gui: %s\nRun 'kz7sim-gui --help' for the options.\n",
                     parsed.error.c_str());
        return 2;
    }
    sim::SimOptions options = parsed.options;
    if (options.watchStdout) {
        std::fprintf(stderr, "kz7sim-gui: --exit-with-stdout is for kz7sim only\n");
        return 2;
    }

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("KZ-7 Simulator"));
    ::signal(SIGPIPE, SIG_IGN);
    QSettings settings(QStringLiteral("Quorvel"), QStringLiteral("Tessaban"));
    settings.beginGroup(kGroup);

    if (!given(args, "--pace"))
        options.pace = kDefaultPace;
    if (options.sensors.empty())
        options.sensors = "100";
    // A profile of the robot folder is remembered by its name, as the other programs do; one
    // from elsewhere by its whole path.
    const QString robotFolder = QString::fromStdString(platform::robotFolder());
    const QString profileName = settings.value("Robot Profile", "default.rbt").toString();
    if (options.profile.empty())
        options.profile = QFileInfo(profileName).isAbsolute()
                              ? profileName.toStdString()
                              : platform::robotFilePath(profileName.toStdString());
    if (options.memoryFile.empty()) {
        options.memoryFile = simwindow::defaultMemoryFile(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
        QDir().mkpath(QFileInfo(QString::fromStdString(options.memoryFile)).absolutePath());
    }
    QDir().mkpath(QString::fromStdString(platform::portFolder()));
    options.com =
        simwindow::chooseComPort(platform::portFolder(), options.com, settings.value("COM Port", 0).toInt());
    if (options.com == 0) {
        std::fprintf(stderr, "kz7sim-gui: every port from COM%d to COM%d is taken\n",
                     simwindow::kFirstSimulatorPort, platform::kMaxComPort);
        return 1;
    }

    simwindow::SimWindow window(options);
    if (!window.serving()) {
        std::fprintf(stderr, "kz7sim-gui: %s\n", window.failure().c_str());
        return 1;
    }
    // Ended by a signal, the window closes as through its menu: memory written, link removed.
    if (::pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] { window.close(); });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        for (int s : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(s, &action, nullptr);
    }
    window.show();
    const int status = app.exec();
    settings.setValue("COM Port", window.host().com() > 0 ? window.host().com() : options.com);
    const QFileInfo profile(QString::fromStdString(window.host().options().profile));
    settings.setValue("Robot Profile", profile.absolutePath() == QFileInfo(robotFolder).absoluteFilePath()
                                           ? profile.fileName()
                                           : profile.absoluteFilePath());
    return status;
}
