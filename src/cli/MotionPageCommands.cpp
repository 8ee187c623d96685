// tessaban motion page: the motion editor's link from a script. Connects the way the editor
// does, optionally opens a page and sends console commands, prints the mirrored page and leaves
// the controller in its menu.

#include "cli/CliCommand.h"
#include "motion/MotionLink.h"
#include "motion/MotionReplies.h"
#include "motion/MotionSession.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* kUsage =
    "Usage: tessaban motion page --port COMn [--open N] [--send \"COMMAND\"]... [--yes | --no]\n"
    "\n"
    "Connects to the controller's page editor, opens page N (0 = the offset page), sends each\n"
    "console command in turn and waits for its reply, then prints the page and disconnects.\n"
    "A command gets its \"\\r\" added unless it is a single key: [ ] y n or \\e (ESC, stops a\n"
    "playing page). Escapes: \\r \\t \\e \\\\ and \\xHH. \"Are you sure?\" is answered with\n"
    "--yes or --no (default: no). --port also takes a device path.\n"
    "Exit status: 0 done, 1 the controller did not connect, paint its editor or answer a\n"
    "command, 2 usage (--port is required here).\n";

// The text of one --send option as bytes for the controller.
std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        switch (c) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'e':
            out += '\x1b';
            break;
        case '\\':
            out += '\\';
            break;
        case 'x':
            if (i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
                break;
            }
            [[fallthrough]];
        default:
            out += '\\';
            out += c;
        }
    }
    return out;
}

std::string asCommand(const std::string& option)
{
    std::string bytes = unescape(option);
    const bool singleKey = bytes == "[" || bytes == "]" || bytes == "y" || bytes == "n" || bytes == "\x1b";
    if (!singleKey && (bytes.empty() || bytes.back() != '\r'))
        bytes += '\r';
    return bytes;
}

std::string cell(const motion::JointCell& c)
{
    if (!c.present)
        return "-";
    if (!c.known)
        return "?";
    return std::to_string(c.value);
}

void printPage(const motion::MotionScreen& s)
{
    for (int i = 0; i < motion::kPageInfoCount; ++i)
        std::printf("%-16s: %s\n", motion::kPageInfoCaptions[static_cast<size_t>(i)] + 1,
                    s.pageInfoText(i).c_str());
    std::printf("%-16s: %s\n", "Selected pose",
                s.selectedPose < 0 ? "none" : std::to_string(s.selectedPose).c_str());
    std::printf("\n%-4s %7s", "ID", "Current");
    for (int p = 0; p < motion::kPoseCount; ++p)
        std::printf(" %6s", ("Pose " + std::to_string(p)).c_str());
    std::printf("\n");
    for (int id = 0; id < motion::kJointRows; ++id) {
        std::printf("%-4d %7s", id, cell(s.current.joints[static_cast<size_t>(id)]).c_str());
        for (int p = 0; p < motion::kPoseCount; ++p)
            std::printf(" %6s",
                        cell(s.poses[static_cast<size_t>(p)].joints[static_cast<size_t>(id)]).c_str());
        std::printf("\n");
    }
    std::printf("%-4s %7d", "Paus", s.current.pause);
    for (const auto& pose : s.poses)
        std::printf(" %6d", pose.pause);
    std::printf("\n%-4s %7d", "Sped", s.current.speed);
    for (const auto& pose : s.poses)
        std::printf(" %6d", pose.speed);
    std::string message = s.message;
    while (!message.empty() && message.back() == ' ')
        message.pop_back(); // the controller pads its message line
    std::printf("\n\nMessage: %s\n", message.c_str());
}

int motionPage(const std::vector<std::string>& args)
{
    cli::ParsedArgs a =
        cli::parseArgs(args, {"--port", "--open", "--send"}, {"--yes", "--no", "--help", "-h"});
    if (a.has("--help") || a.has("-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!a.error.empty() || !a.positional.empty() || !a.has("--port") || (a.has("--yes") && a.has("--no"))) {
        if (!a.error.empty())
            std::fprintf(stderr, "tessaban motion page: %s\n", a.error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    int page = -1;
    if (a.has("--open")) {
        char* end = nullptr;
        const std::string text = a.value("--open");
        long n = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end || n < 0 || n > 127) {
            std::fprintf(stderr, "tessaban motion page: --open takes a page number 0..127\n");
            return 2;
        }
        page = static_cast<int>(n);
    }

    motion::MotionLink link;
    bool told = false;
    link.setMessageHandler([&told](const std::string& caption, const std::string& text) {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
        told = true;
    });
    motion::MotionSession session(link);
    session.setAnswer(a.has("--yes"));

    const std::string port = a.value("--port");
    if (!link.connect(port)) {
        if (!told)
            std::fprintf(stderr, "Cannot connect KZ-7 on %s: the controller's menu did not answer.\n",
                         port.c_str());
        return 1;
    }
    int status = 0;
    if (!session.settle()) {
        std::fprintf(stderr, "The controller did not paint its page editor.\n");
        status = 1;
    }
    std::vector<std::string> commands;
    if (page == 0)
        commands.push_back("p 0\r");
    else if (page > 0)
        commands.push_back("page " + std::to_string(page) + "\r");
    for (const auto& s : a.all("--send"))
        commands.push_back(asCommand(s));
    for (const auto& c : commands) {
        if (status != 0)
            break;
        if (!session.run(c)) {
            std::fprintf(stderr, "No reply to the command %s\n",
                         c == "\x1b" ? "ESC" : c.substr(0, c.size() - 1).c_str());
            status = 1;
            break;
        }
        // A page being played reports its end with "OK"; wait for it (bounded) before going on.
        if (c.rfind("play ", 0) == 0 &&
            !session.waitUntil([](const motion::MotionScreen& s) { return motion::reportsOk(s.message); },
                               600))
            std::fprintf(stderr, "The page did not report the end of playing.\n");
    }
    if (session.questionsAnswered() > 0)
        std::fprintf(stderr, "Answered \"Are you sure?\" with %s.\n", a.has("--yes") ? "yes" : "no");
    printPage(link.screen());
    link.disconnect();
    return session.lost() ? 1 : status;
}

const cli::CliCommand kMotionPage("motion", "page",
                                  "mirror the controller's motion page editor, optionally opening a page and "
                                  "sending commands",
                                  motionPage);

} // namespace
