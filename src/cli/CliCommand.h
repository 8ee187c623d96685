#pragma once
// The tessaban command line is a table of "GROUP SUBCOMMAND" handlers (or a bare "GROUP"), each
// registered from its own source file with a static CliCommand object, so areas add commands
// without touching a shared dispatcher.

#include <map>
#include <string>
#include <vector>

namespace cli {

// args: everything after the group and subcommand words. Returns the process exit status.
using CommandHandler = int (*)(const std::vector<std::string>& args);

struct CliCommand {
    // subcommand may be empty for a one-word command such as "ports".
    CliCommand(const char* group, const char* subcommand, const char* summary, CommandHandler handler);
};

struct CommandEntry {
    std::string group;
    std::string subcommand;
    std::string summary;
    CommandHandler handler;
};

const std::vector<CommandEntry>& registeredCommands();

// Options: "--name value" or "--name=value" for the names in valueOptions (repeatable; every
// value kept in order), "--flag" for the names in flags, anything else not starting with "-" is
// positional. "-o" style short names are allowed in either list.
struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> values;
    std::map<std::string, bool> flags;
    std::string error; // non-empty when the command line could not be parsed

    bool has(const std::string& name) const; // a flag given, or an option given at least once
    std::string value(const std::string& name, const std::string& fallback = {}) const; // last value
    const std::vector<std::string>& all(const std::string& name) const;
};

ParsedArgs parseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                     const std::vector<std::string>& flags);

} // namespace cli
