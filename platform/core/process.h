#pragma once
// What the running process knows about itself (its raw command line and the
// folder of its executable) and whether another process runs.

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// The whole command line as one string: the program's path followed by each
// argument, joined by single blanks. A program path with blanks in it is quoted,
// as a shell line would write it; the arguments are taken as they are.
QString rawCommandLine();
// The same rule for any program path and arguments.
QString joinCommandLine(const QString& program, const QStringList& arguments);
// The arguments of a line made by that rule: what follows the program's path
// (quoted when it holds a blank) and the blank after it; empty without any.
QString commandLineArguments(const QString& line);

// The folder of the running executable, ending in "/".
QString programFolder();

// True while a process of that number runs (or lingers, not yet waited for),
// ours or another user's.
bool processExists(qint64 pid);

// Replaces what the two functions above report (tests place a program in a
// folder of their own this way). std::nullopt restores the real values.
void overrideCommandLine(std::optional<QString> commandLine);
void overrideProgramFolder(std::optional<QString> folder);

} // namespace platform
