#include "cli/CliCommand.h"

#include <algorithm>

namespace cli {

namespace {
std::vector<CommandEntry>& table()
{
    static std::vector<CommandEntry> entries;
    return entries;
}
} // namespace

CliCommand::CliCommand(const char* group, const char* subcommand, const char* summary, CommandHandler handler)
{
    table().push_back({group, subcommand, summary, handler});
}

const std::vector<CommandEntry>& registeredCommands()
{
    auto& entries = table();
    std::sort(entries.begin(), entries.end(), [](const CommandEntry& a, const CommandEntry& b) {
        return a.group != b.group ? a.group < b.group : a.subcommand < b.subcommand;
    });
    return entries;
}

bool ParsedArgs::has(const std::string& name) const
{
    auto f = flags.find(name);
    if (f != flags.end() && f->second)
        return true;
    auto v = values.find(name);
    return v != values.end() && !v->second.empty();
}

std::string ParsedArgs::value(const std::string& name, const std::string& fallback) const
{
    auto v = values.find(name);
    return v == values.end() || v->second.empty() ? fallback : v->second.back();
}

const std::vector<std::string>& ParsedArgs::all(const std::string& name) const
{
    static const std::vector<std::string> none;
    auto v = values.find(name);
    return v == values.end() ? none : v->second;
}

ParsedArgs parseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                     const std::vector<std::string>& flags)
{
    ParsedArgs out;
    auto contains = [](const std::vector<std::string>& list, const std::string& s) {
        return std::find(list.begin(), list.end(), s) != list.end();
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            out.positional.push_back(a);
            continue;
        }
        std::string name = a;
        std::string inlineValue;
        bool hasInline = false;
        if (auto eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
            name = a.substr(0, eq);
            inlineValue = a.substr(eq + 1);
            hasInline = true;
        }
        if (contains(valueOptions, name)) {
            if (hasInline) {
                out.values[name].push_back(inlineValue);
            } else if (i + 1 < args.size()) {
                out.values[name].push_back(args[++i]);
            } else {
                out.error = "option " + name + " needs a value";
                return out;
            }
        } else if (contains(flags, name) && !hasInline) {
            out.flags[name] = true;
        } else {
            out.error = "unknown option " + a;
            return out;
        }
    }
    return out;
}

} // namespace cli
