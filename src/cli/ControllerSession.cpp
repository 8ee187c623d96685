#include "cli/ControllerSession.h"

#include "link/ConsoleFilter.h"
#include "link/LinkMessages.h"
#include "platform/PortMap.h"
#include "platform/SettingsKeys.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <QSettings>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace cli {

namespace {

const char* const kCommonHelp =
    "Common options:\n"
    "  --port COMn   the controller's port (default: the port saved by the programmer); a device\n"
    "                path such as /dev/ttyUSB0 is taken as it is\n"
    "  --yes         do not wait for Enter where the controller needs a button pressed\n"
    "The saved port is only read; a command never changes it, and says which port it used.\n"
    "  --quiet       no progress bar\n"
    "Exit status: 0 done, 1 the controller or the transfer failed, 2 usage or no port,\n"
    "3 the file was refused before anything was sent, 130 cancelled.\n";

} // namespace

int savedComPort()
{
    namespace keys = platform::settings;
    QSettings settings(keys::Organisation, keys::Application);
    bool ok = false;
    const std::string key = keys::path(keys::TaskloomGroup, keys::SettingsSection, keys::ComPortKey);
    int n = settings.value(QString::fromStdString(key)).toInt(&ok);
    return ok && n >= 1 && n <= platform::kMaxComPort ? n : 0;
}

int parseControllerArgs(const std::vector<std::string>& args, const char* help,
                        const std::vector<std::string>& valueOptions, const std::vector<std::string>& flags,
                        size_t positionals, ParsedArgs& parsed, ControllerOptions& options)
{
    std::vector<std::string> values = valueOptions;
    values.push_back("--port");
    std::vector<std::string> allFlags = flags;
    for (const char* f : {"--yes", "-y", "--quiet", "-q", "--help", "-h"})
        allFlags.push_back(f);
    parsed = parseArgs(args, values, allFlags);
    if (parsed.has("--help") || parsed.has("-h")) {
        std::fputs(help, stdout);
        std::fputs(kCommonHelp, stdout);
        return kExitOk;
    }
    if (!parsed.error.empty() || parsed.positional.size() != positionals) {
        std::fprintf(stderr, "tessaban: %s\n\n%s%s",
                     !parsed.error.empty()                    ? parsed.error.c_str()
                     : parsed.positional.size() < positionals ? "an argument is missing"
                                                              : "too many arguments",
                     help, kCommonHelp);
        return kExitUsage;
    }
    options.yes = parsed.has("--yes") || parsed.has("-y");
    options.quiet = parsed.has("--quiet") || parsed.has("-q");
    options.port = parsed.value("--port");
    if (options.port.empty()) {
        int saved = savedComPort();
        if (saved == 0) {
            std::fprintf(stderr, "tessaban: no port is saved in the programmer's settings; "
                                 "give one with --port COMn\n");
            return kExitUsage;
        }
        options.port = "COM" + std::to_string(saved);
        options.portSaved = true;
    } else if (options.port[0] != '/' && !platform::comPortNumber(options.port)) {
        std::fprintf(stderr, "tessaban: '%s' is not a port name (COM1 .. COM256, or a device path)\n",
                     options.port.c_str());
        return kExitUsage;
    }
    return -1;
}

std::string commandLineText(int number)
{
    switch (number) {
    case comm::kMsgPlay:
        return {}; // the program's own output tells that it runs
    case comm::kMsgPressStart:
        return "Press START on the KZ-7, then Enter.";
    case comm::kMsgPressStartToVerify:
        return "Press START on the KZ-7, then Enter: it sends the new firmware back to be checked.";
    case comm::kMsgPressStartAgain:
        return "Press START on the KZ-7 again, then Enter: the motion memory is read a second time to "
               "check the first read.";
    case comm::kMsgBootLoaderCaught:
        return "It is successful running KZ-7 bootloader.";
    case comm::kMsgInstalled:
        return "It is completed installing firmware of KZ-7.";
    case comm::kMsgInstalledUnchecked:
        return "It is completed installing firmware of KZ-7.\nIt was not read back, so it is not checked.";
    default:
        return std::string(taskloom::text(number));
    }
}

void printMessage(int number, const std::string& detail, bool failure)
{
    FILE* out = failure ? stderr : stdout;
    if (!detail.empty())
        std::fprintf(out, "%s%s\n", failure ? "tessaban: " : "", detail.c_str());
    const std::string text = commandLineText(number);
    if (!text.empty())
        std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

int reportResult(const comm::MaintenanceResult& result, int failureStatus)
{
    if (result.cancelled) {
        std::fprintf(stderr, "tessaban: cancelled\n");
        return kExitCancelled;
    }
    printMessage(result.message, result.detail, !result.ok);
    if (result.ok)
        return kExitOk;
    return result.refused ? kExitBadFile : failureStatus;
}

std::string countOf(size_t n, const char* unit)
{
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

std::string portDescription(const ControllerOptions& options)
{
    std::string device = options.port[0] == '/' ? options.port : platform::devicePathForPort(options.port);
    std::string text =
        options.port == device ? device : options.port + " (" + (device.empty() ? "no device" : device) + ")";
    if (options.portSaved)
        text += ", saved by Taskloom";
    return text;
}

bool connectController(comm::ControllerLink& link, const ControllerOptions& options, bool sayPort)
{
    if (link.connect(options.port)) {
        if (sayPort) {
            std::printf("Port: %s\n", portDescription(options).c_str());
            std::fflush(stdout);
        }
        return true;
    }
    // Say why when the port itself would not open (missing, busy, no permission); a controller
    // that does not answer gets the message alone.
    if (!link.openPort(options.port)) {
        std::string device =
            options.port[0] == '/' ? options.port : platform::devicePathForPort(options.port);
        std::fprintf(stderr, "tessaban: %s (%s): %s\n", options.port.c_str(),
                     device.empty() ? "no device" : device.c_str(), link.port().lastErrorText().c_str());
    }
    link.closePort();
    printMessage(comm::kMsgCannotConnect);
    return false;
}

ProgressBar::ProgressBar(const comm::ControllerLink& link, const ControllerOptions& options,
                         const char* label)
    : link_(link), label_(label)
{
    if (options.quiet || !::isatty(STDERR_FILENO))
        return;
    thread_ = std::thread([this] {
        while (!stop_.load()) {
            draw(link_.progress());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
}

ProgressBar::~ProgressBar()
{
    if (!thread_.joinable())
        return;
    stop_.store(true);
    thread_.join();
    draw(link_.progress());
    std::fputc('\n', stderr);
}

void ProgressBar::draw(int percent)
{
    if (percent == last_)
        return;
    last_ = percent;
    constexpr int kWidth = 40;
    int filled = percent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '-');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
}

bool waitsForEnter(const ControllerOptions& options)
{
    return !options.yes && ::isatty(STDIN_FILENO);
}

std::string readAnswer()
{
    std::string line;
    if (!std::getline(std::cin, line)) {
        // The input ended (Ctrl-D): the terminal shows no line break of its own.
        std::fputc('\n', stdout);
        line.clear();
    }
    std::fflush(stdout);
    return line;
}

void waitForUser(const std::string& text, const ControllerOptions& options)
{
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    if (waitsForEnter(options))
        readAnswer();
}

void CliHost::acknowledge(int message)
{
    std::string text = commandLineText(message);
    if (message == comm::kMsgPressStart && !waitsForEnter(options_))
        text = "Press START on the KZ-7 now: it sends its motion memory when START is pressed.";
    if (message == comm::kMsgPressStartToVerify && !waitsForEnter(options_))
        text = "Press START on the KZ-7 now: it sends the new firmware back to be checked.";
    if (message == comm::kMsgPressStartAgain && !waitsForEnter(options_))
        text = "Press START on the KZ-7 again now: the motion memory is read a second time to check the "
               "first read.";
    waitForUser(text, options_);
    if (barLink_ && barNotice_ == 0)
        bar_ = std::make_unique<ProgressBar>(*barLink_, options_, barLabel_);
}

void CliHost::showProgressAfterAcknowledge(const comm::ControllerLink& link, const char* label)
{
    barLink_ = &link;
    barLabel_ = label;
    barNotice_ = 0;
}

void CliHost::showProgressOnNotice(const comm::ControllerLink& link, int message, const char* label)
{
    barLink_ = &link;
    barLabel_ = label;
    barNotice_ = message;
}

void CliHost::notice(int message)
{
    if (const std::string text = commandLineText(message); !text.empty()) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
    if (barLink_ && barNotice_ == message)
        bar_ = std::make_unique<ProgressBar>(*barLink_, options_, barLabel_);
}

void CliHost::consoleText(const uint8_t* bytes, size_t count)
{
    // The programmer's console pane, as a stream: what the filter erases is backspaced over,
    // what it inserts is printed.
    comm::ConsoleEdit edit = filter_.append(bytes, count);
    std::string out;
    for (size_t i = edit.replaceFrom; i < edit.replaceTo; ++i)
        out += "\b \b";
    out += edit.inserted;
    if (!out.empty())
        atLineStart_ = out.back() == '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    // Only the stream matters here; keep the filter's own text from growing.
    if (filter_.text().size() > 4096)
        filter_.clear();
}

void CliHost::endLine()
{
    if (!atLineStart_)
        std::fputc('\n', stdout);
    atLineStart_ = true;
    std::fflush(stdout);
}

namespace {
std::atomic<bool> g_stop{false};
std::atomic<comm::ControllerLink*> g_link{nullptr};
struct sigaction g_oldInt, g_oldTerm;

void onSignal(int)
{
    g_stop.store(true);
    if (auto* link = g_link.load())
        link->cancelBootLoaderWait();
}
} // namespace

Interrupt::Interrupt(comm::ControllerLink* link)
{
    g_stop.store(false);
    g_link.store(link);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, &g_oldInt);
    ::sigaction(SIGTERM, &sa, &g_oldTerm);
}

Interrupt::~Interrupt()
{
    ::sigaction(SIGINT, &g_oldInt, nullptr);
    ::sigaction(SIGTERM, &g_oldTerm, nullptr);
    g_link.store(nullptr);
}

const std::atomic<bool>& Interrupt::stopRequested()
{
    return g_stop;
}

} // namespace cli
