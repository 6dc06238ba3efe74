#include "platform/gui/shellopen.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

namespace {

constexpr int opened = 42; // any value above 32 means success
constexpr int fileNotFound = 2;
constexpr int pathNotFound = 3;
constexpr int accessDenied = 5;
constexpr int handlerFailed = 27;
constexpr int noHandler = 31;

// How long the handler may take to hand the document over.
constexpr int handlerTimeoutMs = 30000;

// xdg-open's documented exit codes: 0 success, 1 bad command line, 2 a file
// does not exist, 3 a required tool is missing, 4 the action failed.
int fromExitCode(int exitCode) {
    switch (exitCode) {
    case 0:
        return opened;
    case 2:
        return fileNotFound;
    case 3:
    case 4:
        return noHandler;
    default:
        return handlerFailed;
    }
}

} // namespace

int openDocument(const QString& path) {
    if (path.isEmpty())
        return fileNotFound;
    const QFileInfo file(path);
    if (!file.exists())
        return QFileInfo(file.absolutePath()).isDir() ? fileNotFound : pathNotFound;
    if (!file.isReadable())
        return accessDenied;

    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return noHandler;

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(opener, {file.absoluteFilePath()});
    if (!process.waitForStarted())
        return noHandler;
    if (!process.waitForFinished(handlerTimeoutMs)) {
        // Some handlers keep xdg-open waiting for as long as the viewer shows
        // the document: it has been taken. Stopping xdg-open leaves the viewer
        // running.
        process.kill();
        process.waitForFinished();
        return opened;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return handlerFailed;
    return fromExitCode(process.exitCode());
}

} // namespace platform
