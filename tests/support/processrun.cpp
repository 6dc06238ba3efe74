#include "tests/support/processrun.h"

#include <QProcess>

namespace testsupport {

QStringList ProcessResult::outLines() const {
    return QString::fromLocal8Bit(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString ProcessResult::report() const {
    return QStringLiteral("exit %1\n--- stdout\n%2\n--- stderr\n%3")
        .arg(exitCode)
        .arg(QString::fromLocal8Bit(out), QString::fromLocal8Bit(err));
}

ProcessResult runProcess(const QString& program, const QStringList& arguments,
                         const ProcessOptions& options) {
    QProcess process;
    process.setProcessEnvironment(options.environment);
    if (!options.workingDirectory.isEmpty())
        process.setWorkingDirectory(options.workingDirectory);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(30000))
        return result;
    if (!options.input.isEmpty())
        process.write(options.input);
    process.closeWriteChannel();
    if (!process.waitForFinished(options.timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments) {
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
}

ChildProcess::~ChildProcess() {
    kill();
}

QString ChildProcess::readLine(int timeoutMs) {
    while (!process.canReadLine() && process.waitForReadyRead(timeoutMs)) {
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

void ChildProcess::kill() {
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill(); // SIGKILL
    process.waitForFinished(10000);
}

} // namespace testsupport
