#pragma once
// Runs a program of ours as a child process and collects what it did.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

struct ProcessResult {
    // The exit code; -2 after a crash, -1 when it could not be started or
    // did not end in time (it is killed then).
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QStringList outLines() const;
    // Exit code and both outputs, for a failure's report.
    QString report() const;
};

struct ProcessOptions {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString workingDirectory;
    QByteArray input;
    int timeoutMs = 120000;
};

ProcessResult runProcess(const QString& program, const QStringList& arguments,
                         const ProcessOptions& options = {});

} // namespace testsupport
