#include "tests/support/fakeopener.h"

#include "tests/support/files.h"

#include <QDir>
#include <QFile>

namespace testsupport {

namespace {
QString binFolder(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("bin"));
}
QString emptyFolder(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("empty"));
}
QString logFile(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("opener.log"));
}
} // namespace

FakeOpener::FakeOpener() : originalPath(qgetenv("PATH")) {
    QDir().mkpath(binFolder(dir));
    QDir().mkpath(emptyFolder(dir));
    const QString opener = binFolder(dir) + QStringLiteral("/xdg-open");
    writeFile(opener, "#!/bin/sh\n"
                      "printf '%s\\n' \"$1\" >> \"$FAKE_OPENER_LOG\"\n"
                      "if [ \"$FAKE_OPENER_MODE\" = crash ]; then kill -SEGV $$; fi\n"
                      "exit \"${FAKE_OPENER_EXIT:-0}\"\n");
    QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadOther | QFile::ExeOther);
    qputenv("FAKE_OPENER_LOG", logFile(dir).toLocal8Bit());
    setExitCode(0);
    setCrash(false);
    setOnPath(true);
}

FakeOpener::~FakeOpener() {
    qputenv("PATH", originalPath);
    qunsetenv("FAKE_OPENER_LOG");
    qunsetenv("FAKE_OPENER_EXIT");
    qunsetenv("FAKE_OPENER_MODE");
}

void FakeOpener::setExitCode(int code) {
    qputenv("FAKE_OPENER_EXIT", QByteArray::number(code));
}

void FakeOpener::setCrash(bool crash) {
    if (crash)
        qputenv("FAKE_OPENER_MODE", "crash");
    else
        qunsetenv("FAKE_OPENER_MODE");
}

void FakeOpener::setOnPath(bool onPath) {
    const QByteArray path =
        onPath ? binFolder(dir).toLocal8Bit() + ':' + originalPath : emptyFolder(dir).toLocal8Bit();
    qputenv("PATH", path);
}

QStringList FakeOpener::calls() const {
    return QString::fromLocal8Bit(readFile(logFile(dir)))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void FakeOpener::clearCalls() {
    QFile::remove(logFile(dir));
}

} // namespace testsupport
