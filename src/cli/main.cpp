// tessaban: the suite's command line for classrooms and scripts.

#include "cli/CliCommand.h"
#include "platform/Version.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void printUsage(FILE* out, const std::string& onlyGroup = {})
{
    std::fprintf(out, "Usage: tessaban COMMAND [ARGS...]\n\nCommands:\n");
    for (const auto& c : cli::registeredCommands()) {
        if (!onlyGroup.empty() && c.group != onlyGroup)
            continue;
        std::string words = c.subcommand.empty() ? c.group : c.group + " " + c.subcommand;
        std::fprintf(out, "  %-26s %s\n", words.c_str(), c.summary.c_str());
    }
    std::fprintf(out, "\nRun 'tessaban COMMAND --help' for the options of one command, "
                      "'tessaban --version' for the version.\n");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        printUsage(words.empty() ? stderr : stdout);
        return words.empty() ? 2 : 0;
    }
    if (words[0] == "--version") {
        std::fputs(platform::versionText("tessaban").c_str(), stdout);
        return 0;
    }
    const auto& commands = cli::registeredCommands();
    bool groupKnown = false;
    for (const auto& c : commands) {
        if (c.group != words[0])
            continue;
        groupKnown = true;
        if (c.subcommand.empty())
            return c.handler({words.begin() + 1, words.end()});
        if (words.size() > 1 && c.subcommand == words[1])
            return c.handler({words.begin() + 2, words.end()});
    }
    if (groupKnown) {
        bool askedForHelp = words.size() > 1 && (words[1] == "--help" || words[1] == "-h");
        if (!askedForHelp)
            std::fprintf(stderr, "tessaban: unknown %s command%s%s\n\n", words[0].c_str(),
                         words.size() > 1 ? " " : "", words.size() > 1 ? words[1].c_str() : "");
        printUsage(askedForHelp ? stdout : stderr, words[0]);
        return askedForHelp ? 0 : 2;
    }
    std::fprintf(stderr, "tessaban: unknown command '%s'\n\n", words[0].c_str());
    printUsage(stderr);
    return 2;
}
