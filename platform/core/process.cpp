#include "platform/core/process.h"

#include <QCoreApplication>
#include <QMutex>
#include <cerrno>
#include <climits>
#include <csignal>

namespace platform {

namespace {
QMutex overrideMutex;
std::optional<QString> commandLineOverride;
std::optional<QString> folderOverride;
} // namespace

QString joinCommandLine(const QString& program, const QStringList& arguments) {
    QString line = program.contains(QLatin1Char(' '))
                       ? QLatin1Char('"') + program + QLatin1Char('"')
                       : program;
    for (const QString& argument : arguments)
        line += QLatin1Char(' ') + argument;
    return line;
}

QString commandLineArguments(const QString& line) {
    qsizetype end = -1;
    if (line.startsWith(QLatin1Char('"'))) {
        end = line.indexOf(QLatin1Char('"'), 1);
        if (end >= 0)
            ++end;
    } else {
        end = line.indexOf(QLatin1Char(' '));
    }
    if (end < 0 || end >= line.size())
        return QString();
    // The blank that ends the program's path.
    return line.mid(line.at(end) == QLatin1Char(' ') ? end + 1 : end);
}

QString rawCommandLine() {
    {
        QMutexLocker lock(&overrideMutex);
        if (commandLineOverride)
            return *commandLineOverride;
    }
    const QStringList arguments = QCoreApplication::arguments();
    return joinCommandLine(QCoreApplication::applicationFilePath(), arguments.mid(1));
}

QString programFolder() {
    {
        QMutexLocker lock(&overrideMutex);
        if (folderOverride)
            return *folderOverride;
    }
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void overrideCommandLine(std::optional<QString> commandLine) {
    QMutexLocker lock(&overrideMutex);
    commandLineOverride = std::move(commandLine);
}

void overrideProgramFolder(std::optional<QString> folder) {
    QMutexLocker lock(&overrideMutex);
    if (folder && !folder->endsWith(QLatin1Char('/')))
        *folder += QLatin1Char('/');
    folderOverride = std::move(folder);
}

bool processExists(qint64 pid) {
    if (pid <= 0 || pid > INT_MAX)
        return false;
    // Signal 0 only asks: a process of another user answers EPERM.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace platform
