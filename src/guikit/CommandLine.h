#pragma once
// The programs' command lines, read with QCommandLineParser before the application object exists
// (so that --help and --version need no display). Options are spelled "--name VALUE",
// "--name=VALUE" or "-name VALUE"; the caller adds its own options and reads them back from the
// parser, and prints its usage, version and errors in its own words.

#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace guikit {

struct CommandLineResult {
    enum class Outcome {
        Run,           // the options are read: go on
        Help,          // --help or -h
        Version,       // --version
        MissingValue,  // an option that takes a value came last, without one
        UnknownOption, // an option the program does not have
    };
    Outcome outcome = Outcome::Run;
    // For the two failures: the option as it was typed ("--port", "-x").
    QString option;
};

// Adds --help/-h and --version to parser and reads argv (argv[0] is the program).
CommandLineResult parseCommandLine(QCommandLineParser& parser, int argc, char** argv);

// How a program words its command line's answers.
struct CommandLineTexts {
    const char* program; // "taskloom": the prefix of errors and the name in --version
    const char* usage;   // printed for --help
    // After "unknown option X": the usage text on the next line, or else " (try --help)".
    bool usageAfterUnknown = false;
};

// Prints what result calls for (usage or version on stdout, an error on stderr) and gives the
// exit status: 0 after --help or --version, 2 after an error; nullopt when the program runs on.
std::optional<int> answerCommandLine(const CommandLineResult& result, const CommandLineTexts& texts);

} // namespace guikit
