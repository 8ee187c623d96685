#include "guikit/CommandLine.h"

#include "platform/Version.h"

#include <QStringList>

#include <cstdio>

namespace guikit {

namespace {

// The argument the parser complained about, as it was typed: the first one naming option.
QString typed(const QStringList& args, const QString& option)
{
    for (int i = 1; i < args.size(); ++i) {
        QString name = args[i];
        if (!name.startsWith('-') || name == "--")
            continue;
        const qsizetype dashes = name.startsWith("--") ? 2 : 1;
        name = name.mid(dashes).section('=', 0, 0);
        if (name == option)
            return args[i].section('=', 0, 0);
    }
    return "--" + option;
}

} // namespace

CommandLineResult parseCommandLine(QCommandLineParser& parser, int argc, char** argv)
{
    // "-name" is the long option "name", so that a mistyped "-port" is named whole in the error
    // rather than as the letters p, o, r and t.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    parser.addOption(help);
    parser.addOption(version);

    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    CommandLineResult result;
    if (!parser.parse(args)) {
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty()) {
            result.outcome = CommandLineResult::Outcome::UnknownOption;
            result.option = typed(args, unknown.first());
        } else if (args.last().startsWith('-') && !args.last().contains('=')) {
            // An option that takes a value was the last argument.
            result.outcome = CommandLineResult::Outcome::MissingValue;
            result.option = args.last();
        } else {
            // The remaining failure is a value given to a switch ("--version=2"): that switch,
            // spelled so, is no option of the program.
            result.outcome = CommandLineResult::Outcome::UnknownOption;
            for (const QString& a : args.mid(1))
                if (a.startsWith('-') && a.contains('='))
                    result.option = a;
        }
        return result;
    }
    if (parser.isSet(help))
        result.outcome = CommandLineResult::Outcome::Help;
    else if (parser.isSet(version))
        result.outcome = CommandLineResult::Outcome::Version;
    return result;
}

std::optional<int> answerCommandLine(const CommandLineResult& result, const CommandLineTexts& texts)
{
    switch (result.outcome) {
    case CommandLineResult::Outcome::Run:
        return std::nullopt;
    case CommandLineResult::Outcome::Help:
        std::fputs(texts.usage, stdout);
        return 0;
    case CommandLineResult::Outcome::Version:
        std::fputs(platform::versionText(texts.program).c_str(), stdout);
        return 0;
    case CommandLineResult::Outcome::MissingValue:
        std::fprintf(stderr, "%s: %s needs a value\n", texts.program, qPrintable(result.option));
        return 2;
    case CommandLineResult::Outcome::UnknownOption:
        if (texts.usageAfterUnknown)
            std::fprintf(stderr, "%s: unknown option %s\n%s", texts.program, qPrintable(result.option),
                         texts.usage);
        else
            std::fprintf(stderr, "%s: unknown option %s (try --help)\n", texts.program,
                         qPrintable(result.option));
        return 2;
    }
    return 2;
}

} // namespace guikit
