#pragma once
// Runs a program of ours as a child process: to the end, collecting what it
// did, or alongside the test, which reads its lines and may kill it.

#include <QByteArray>
#include <QProcess>
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

// A child that runs alongside the test; it is killed when the object goes.
class ChildProcess {
public:
    ChildProcess(const QString& program, const QStringList& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line it writes on standard output, without the line break;
    // empty when it ends, or writes no line within `timeoutMs`.
    QString readLine(int timeoutMs = 60000);
    // Ends it at once (SIGKILL), as a crash would, and waits until it is gone.
    void kill();

private:
    QProcess process;
};

} // namespace testsupport
