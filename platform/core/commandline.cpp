#include "platform/core/commandline.h"

#include <cstdio>

namespace platform {

namespace {

// The options Qt's application objects take from every command line, with
// whether a value follows (which may also be written "-name=value").
// A window program passes them on; "--name" is taken for "-name" as well.
const CommandLineOption toolkitOptionList[] = {
    {"-platform", true},        {"-platformpluginpath", true},
    {"-platformtheme", true},   {"-plugin", true},
    {"-qwindowgeometry", true}, {"-qwindowicon", true},
    {"-qwindowtitle", true},    {"-session", true},
    {"-display", true},         {"-geometry", true},
    {"-style", true},           {"-stylesheet", true},
    {"-qmljsdebugger", true},   {"-reverse", false},
    {"-widgetcount", false},    {"-nograb", false},
    {"-dograb", false},         {"-sync", false},
};

enum class Match { None, Flag, WithValue, WithInlineValue };

// Whether `argument` is one of `options`: "--to", "--to=DIR", "-v".
Match matchOption(const QString& argument, const CommandLineOption* begin,
                  const CommandLineOption* end) {
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? argument : argument.left(equals);
    for (const CommandLineOption* option = begin; option != end; ++option) {
        if (name != QLatin1String(option->name))
            continue;
        if (!option->takesValue)
            return equals < 0 ? Match::Flag : Match::None;
        return equals < 0 ? Match::WithValue : Match::WithInlineValue;
    }
    return Match::None;
}

Match matchToolkitOption(const QString& argument) {
    const QString single = argument.startsWith(QLatin1String("--")) ? argument.mid(1) : argument;
    return matchOption(single, std::begin(toolkitOptionList), std::end(toolkitOptionList));
}

void write(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// What is wrong, the usage lines and where to read more, on standard error;
// the exit code of a wrong command line.
int refuse(const CommandLineSpec& spec, const QString& what) {
    write(stderr, what);
    write(stderr, spec.usage);
    write(stderr, QStringLiteral("Try \"%1 --help\" for more.\n").arg(spec.program));
    return 2;
}

} // namespace

QString programsVersion() {
    return QStringLiteral(PROGRAMS_VERSION);
}

std::optional<int> answerCommandLine(const CommandLineSpec& spec, const QStringList& arguments) {
    bool help = false;
    bool version = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!spec.optionsEndAt.isEmpty() && argument.startsWith(spec.optionsEndAt)) {
            // What follows names something; a name that begins like an
            // option ("Text --help") is a mistake more likely than a name.
            const QString next = arguments.value(i + 1);
            if (next.size() > 1 && next.startsWith(QLatin1Char('-')))
                return refuse(spec,
                              QStringLiteral("%1: unknown option %2\n").arg(spec.program, next));
            break;
        }
        if (argument == QLatin1String("--"))
            break;
        // A lone "-" (standard input) and every other word are no options.
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            continue;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            version = true;
            continue;
        }
        Match match =
            matchOption(argument, spec.options.data(), spec.options.data() + spec.options.size());
        if (match == Match::None && spec.toolkitOptions)
            match = matchToolkitOption(argument);
        if (match == Match::WithValue) {
            if (i + 1 < arguments.size()) {
                ++i;
                continue;
            }
            return refuse(spec,
                          QStringLiteral("%1: %2 needs a value\n").arg(spec.program, argument));
        }
        if (match == Match::None)
            return refuse(spec,
                          QStringLiteral("%1: unknown option %2\n").arg(spec.program, argument));
    }
    if (help) {
        write(stdout, spec.usage + QLatin1Char('\n') + spec.description);
        return 0;
    }
    if (version) {
        write(stdout, QStringLiteral("%1 %2\n").arg(spec.program, programsVersion()));
        return 0;
    }
    return std::nullopt;
}

std::optional<int> answerCommandLine(const CommandLineSpec& spec, int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return answerCommandLine(spec, arguments);
}

} // namespace platform
