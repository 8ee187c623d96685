// tessaban program dump | check | build: behaviour programs (.tpg) from the command line.
//
// Exit status: 0 success; 1 the program failed the check or the generation; 2 a usage error;
// 3 the file could not be loaded, or the image could not be written.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/CommandCatalogue.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/RuleChecker.h"
#include "cli/CliCommand.h"
#include "cli/ControllerSession.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace behaviour;

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitFile = 3;

const char* const kDumpHelp =
    "Usage: tessaban program dump FILE.tpg\n"
    "\n"
    "Lists every line of the program that holds anything: its number (as the grid shows it,\n"
    "from 1), whether it is edited or disabled, its label and comment, each cell in use with its\n"
    "texts, catalogue entry and code bytes, and the separators between the cells.\n";

const char* const kCheckHelp =
    "Usage: tessaban program check [--verbose] FILE.tpg\n"
    "\n"
    "Runs the rule check and the code generation and prints the message the programmer shows\n"
    "(\"There is no error!\" when both pass).\n"
    "  -v, --verbose   also print the name table, the label table with addresses and the\n"
    "                  marked cells\n"
    "Exit status: 0 both pass, 1 the check or the generation failed, 2 usage, 3 file error.\n";

const char* const kBuildHelp =
    "Usage: tessaban program build FILE.tpg -o IMAGE.bin\n"
    "\n"
    "Checks the program, generates its image and writes the n + 1 bytes a download sends (the\n"
    "image and its checksum byte). Prints n and the checksum.\n"
    "  -o, --output FILE   where to write the image (required; not the program file itself, nor\n"
    "                      a folder, device or FIFO; a link is written through)\n"
    "Exit status: 0 written, 1 the check or the generation failed, 2 usage, 3 file error.\n";

// Parses the arguments; returns -1 to go on, else the exit status to return.
int parse(const std::vector<std::string>& args, const char* help, const std::vector<std::string>& values,
          const std::vector<std::string>& flags, cli::ParsedArgs& out)
{
    std::vector<std::string> allFlags = flags;
    allFlags.push_back("--help");
    allFlags.push_back("-h");
    out = cli::parseArgs(args, values, allFlags);
    if (out.has("--help") || out.has("-h")) {
        std::fputs(help, stdout);
        return 0;
    }
    if (!out.error.empty()) {
        std::fprintf(stderr, "tessaban: %s\n\n%s", out.error.c_str(), help);
        return ExitUsage;
    }
    if (out.positional.size() != 1) {
        std::fprintf(stderr, "tessaban: %s\n\n%s",
                     out.positional.empty() ? "a program file is needed" : "only one program file is taken",
                     help);
        return ExitUsage;
    }
    return -1;
}

bool load(const std::string& path, BehaviorProgram& program)
{
    LoadResult r = loadProgramFile(path, program);
    if (!r.ok)
        std::fprintf(stderr, "tessaban: %s: %s\n", path.c_str(), r.message.c_str());
    return r.ok;
}

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char ch : s) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch < 0x20 || ch == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", ch);
            out += buf;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out + "\"";
}

const char* roleName(uint8_t role)
{
    switch (role) {
    case Role::Destination:
        return "destination";
    case Role::Source:
        return "source";
    case Role::Left:
        return "left side";
    case Role::Right:
        return "right side";
    case Role::Label:
        return "label";
    case Role::Button:
        return "button constant";
    case Role::Remocon:
        return "remocon constant";
    default:
        return "unknown role";
    }
}

std::string cellDescription(const ProgramCell& c)
{
    const CommandCatalogue& cat = CommandCatalogue::instance();
    char buf[160];
    switch (c.category()) {
    case Category::Instruction:
        return c.code[2] == NotChosen ? "instruction (not chosen)" : "instruction " + cat.name(c.entry);
    case Category::Comparison:
        return c.code[1] == NotChosen ? "comparison (not chosen)" : "comparison " + cat.name(c.entry);
    case Category::Arithmetic:
        return c.code[1] == NotChosen ? "operator (not chosen)" : "operator " + cat.name(c.entry);
    case Category::Connective:
        return c.code[1] == NotChosen ? "connective (not chosen)" : "connective " + cat.name(c.entry);
    case Category::Operand:
        break;
    default:
        return "unknown cell";
    }
    std::string d = std::string("operand, ") + roleName(c.role()) + ", ";
    if (c.role() == Role::Label)
        return d + "label name " + quoted(c.text);
    if (c.role() == Role::Button) {
        std::snprintf(buf, sizeof buf, "value %d (%s)", c.value,
                      CommandCatalogue::buttonText(c.value).c_str());
        return d + buf;
    }
    if (c.role() == Role::Remocon) {
        std::snprintf(buf, sizeof buf, "value %d", c.value);
        return d + buf;
    }
    switch (c.kind()) {
    case Kind::Device: {
        d += "device register: ";
        std::string id = (c.mask() & 2) ? "ID name " + quoted(c.idName) : "ID " + std::to_string(c.id);
        std::string addr;
        if (c.mask() & 1) {
            addr = "address name " + quoted(c.text);
        } else {
            std::snprintf(buf, sizeof buf, "address 0x%02x", c.value & 0xFF);
            addr = buf;
        }
        d += id + ", " + addr;
        if (cat.valid(c.entry) && c.mask() == 0)
            d += " (" + cat.name(c.entry) + ")";
        return d;
    }
    case Kind::Controller:
        std::snprintf(buf, sizeof buf, "KZ-7 register %s (0x%02x)", cat.name(c.entry).c_str(),
                      cat.code(c.entry) & 0xFF);
        return d + buf;
    case Kind::Number:
        return d + "number " + std::to_string(c.value);
    case Kind::Name:
        return d + "name " + quoted(c.text);
    case NotChosen:
        return d + "not chosen";
    default:
        return d + "unknown kind " + std::to_string(c.kind());
    }
}

void dumpLine(const ProgramLine& line, int index)
{
    std::printf("line %d", index + 1);
    if (line.edited())
        std::printf("  edited");
    if (line.disabled())
        std::printf("  disabled");
    if (!line.label.empty())
        std::printf("  label %s", quoted(line.label).c_str());
    if (!line.comment.empty())
        std::printf("  comment %s", quoted(line.comment).c_str());
    std::printf("\n");
    for (int i = 0; i < CellsPerLine; ++i) {
        const ProgramCell& c = line.cells[i];
        if (c.inUse()) {
            std::printf("  cell %d: %s\n", i, cellDescription(c).c_str());
            std::printf("          text %s, grid %s, entry %d, codes %02x %02x %02x %02x %02x%s%s%s\n",
                        quoted(c.fullText).c_str(), quoted(c.gridText).c_str(), c.entry, c.code[0], c.code[1],
                        c.code[2], c.code[3], c.code[4], (c.flags & CellFlag::Read) ? ", read" : "",
                        (c.flags & CellFlag::Write) ? ", write" : "", c.hasError() ? ", error" : "");
        }
        if (i < SeparatorsPerLine && line.separators[i].kind != SepKind::None) {
            const CellSeparator& s = line.separators[i];
            std::printf("  separator %d: %s (kind %d, entry %d)\n", i, quoted(s.text).c_str(), s.kind,
                        s.entry);
        }
    }
}

int dumpCommand(const std::vector<std::string>& args)
{
    cli::ParsedArgs a;
    if (int rc = parse(args, kDumpHelp, {}, {}, a); rc >= 0)
        return rc;
    BehaviorProgram program;
    if (!load(a.positional[0], program))
        return ExitFile;
    std::printf("%s: %d lines", a.positional[0].c_str(), program.count());
    if (program.curLine() >= 0)
        std::printf(", current cell: line %d cell %d\n", program.curLine() + 1, program.curCell());
    else
        std::printf(", no current cell\n");
    for (int l = 0; l < program.count(); ++l)
        if (program.line(l).hasContent())
            dumpLine(program.line(l), l);
    return 0;
}

void printTables(const BehaviorProgram& program)
{
    std::printf("Names (%d):\n", program.nameTable.count());
    for (int i = 0; i < program.nameTable.count(); ++i)
        std::printf("  %2d %s\n", i, quoted(program.nameTable.names[static_cast<size_t>(i)]).c_str());
    std::printf("Labels (%d):\n", program.labelTable.count());
    for (const auto& l : program.labelTable.labels)
        std::printf("  %s at address %d (0x%04x)\n", quoted(l.name).c_str(), l.address, l.address);
    std::printf("Marked cells:\n");
    int marked = 0;
    for (int l = 0; l < program.count(); ++l) {
        for (int i = 0; i < CellsPerLine; ++i) {
            const ProgramCell& c = program.line(l).cells[i];
            if (c.hasError()) {
                std::printf("  line %d cell %d: %s\n", l + 1, i, quoted(c.fullText).c_str());
                ++marked;
            }
        }
    }
    if (marked == 0)
        std::printf("  none\n");
}

int checkCommand(const std::vector<std::string>& args)
{
    cli::ParsedArgs a;
    if (int rc = parse(args, kCheckHelp, {}, {"--verbose", "-v"}, a); rc >= 0)
        return rc;
    BehaviorProgram program;
    if (!load(a.positional[0], program))
        return ExitFile;
    BuildResult r = buildProgram(program);
    std::printf("%s\n", r.message.c_str());
    if (a.has("--verbose") || a.has("-v")) {
        if (r.ok)
            std::printf("Image: %d bytes, checksum 0x%02X\n", program.image.length, program.image.checksum());
        printTables(program);
    }
    return r.ok ? 0 : ExitFailed;
}

int buildCommand(const std::vector<std::string>& args)
{
    cli::ParsedArgs a;
    if (int rc = parse(args, kBuildHelp, {"-o", "--output"}, {}, a); rc >= 0)
        return rc;
    std::string output = a.has("--output") ? a.value("--output") : a.value("-o");
    if (output.empty()) {
        std::fprintf(stderr, "tessaban: an output file is needed (-o IMAGE.bin)\n\n%s", kBuildHelp);
        return ExitUsage;
    }
    BehaviorProgram program;
    if (!load(a.positional[0], program))
        return ExitFile;
    // Writing the image over the program would destroy the program.
    std::error_code same;
    if (std::filesystem::equivalent(a.positional[0], output, same)) {
        std::fprintf(stderr, "tessaban: %s: the output is the program file itself; nothing was written\n",
                     output.c_str());
        return ExitUsage;
    }
    BuildResult r = buildProgram(program);
    if (!r.ok) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return ExitFailed;
    }
    SaveResult s = saveBytesFile(output, r.bytes);
    if (!s.ok) {
        std::fprintf(stderr, "tessaban: %s\n", s.message.c_str());
        return ExitFile;
    }
    std::printf("n = %d, checksum 0x%02X: %s written to %s\n", program.image.length, program.image.checksum(),
                cli::countOf(r.bytes.size(), "byte").c_str(), output.c_str());
    return 0;
}

const cli::CliCommand dumpEntry("program", "dump", "list the lines of a behaviour program (.tpg)",
                                dumpCommand);
const cli::CliCommand checkEntry("program", "check", "check a behaviour program and generate its image",
                                 checkCommand);
const cli::CliCommand buildEntry("program", "build", "write the image a download sends (image + checksum)",
                                 buildCommand);

} // namespace
