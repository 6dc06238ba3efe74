#pragma once
// A fake xdg-open, first on PATH while the object lives: it records every
// document it is asked to open and exits as the test says, so the desktop's
// real handler is never started.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class FakeOpener {
public:
    FakeOpener();
    ~FakeOpener();
    FakeOpener(const FakeOpener&) = delete;
    FakeOpener& operator=(const FakeOpener&) = delete;

    // The opener's exit code for later calls (0 until set).
    void setExitCode(int code);
    // Later calls end by a crash (a segmentation fault) instead.
    void setCrash(bool crash);
    // Without it, PATH holds no opener at all; with it, the fake comes first.
    void setOnPath(bool onPath);
    // The documents asked for so far, in order.
    QStringList calls() const;
    void clearCalls();

private:
    QTemporaryDir dir;
    QByteArray originalPath;
};

} // namespace testsupport
