#pragma once
// What every program answers on its command line before it does anything
// else: --help (the usage and what the program does, on standard output,
// exit code 0), --version (its name and the programs' version, exit code 0)
// and an option it does not know (a usage line on standard error, exit code
// 2). No window opens and no display is needed for any of them.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace platform {

// The version of the programs, as the project states it ("1.0").
QString programsVersion();

struct CommandLineOption {
    const char* name;        // "--batch", or a short form "-v"
    bool takesValue = false; // "--to DIR" or "--to=DIR"
};

struct CommandLineSpec {
    // The program's name as --version writes it, and the first word of the
    // usage lines.
    QString program;
    // The usage lines, each "Usage: ..." or indented below it, each ending in
    // a line break; --help writes them first.
    QString usage;
    // What --help writes after the usage lines.
    QString description;
    // The program's own options besides --help (-h) and --version.
    std::vector<CommandLineOption> options;
    // Whether the window toolkit's options (-platform NAME, -style NAME and
    // the like) are let through to it.
    bool toolkitOptions = false;
    // When set, the arguments from the first one that begins with this word
    // on are no options but a name ("Build Text King James"); only a name
    // whose first word begins with "-" ("Build Text --help") is refused.
    QString optionsEndAt;
};

// How a command line stands: answered (the exit code to end with) or to be
// read by the program (std::nullopt). "--" ends the options.
std::optional<int> answerCommandLine(const CommandLineSpec& spec, const QStringList& arguments);
// The same for main's arguments (argv[0] is the program's path).
std::optional<int> answerCommandLine(const CommandLineSpec& spec, int argc, char** argv);

} // namespace platform
