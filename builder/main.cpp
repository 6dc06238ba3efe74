// Build: builds the concordance database of one Bible text, named on the
// command line ("Build Text KJV"), from a small dialog; with --batch the same
// build runs without a window or a user.
//
// This program links QtCore alone, so that a batch build loads no display
// library. The dialog is the program build-dialog beside it, which this one
// becomes (the same process, the same arguments) when there is no --batch.

#include "builder/Batch.h"
#include "platform/core/process.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Replaces this program by the dialog's, with the same arguments; returns only
// when that cannot be done, having said why.
int openDialog(int& argc, char** argv) {
    QByteArray program;
    {
        const QCoreApplication app(argc, argv);
        program = QFile::encodeName(platform::programFolder() + QStringLiteral("build-dialog"));
    }
    ::execv(program.constData(), argv);
    const int error = errno;
    std::fprintf(stderr, "Build: cannot start the build dialog %s: %s\n", program.constData(),
                 std::strerror(error));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto answered = platform::answerCommandLine(buildCommandLine(), argc, argv))
        return *answered;
    const BuildOptions options = readBuildOptions(argc, argv);
    if (options.batch)
        return runBatch(argc, argv, options.verbose);
    return openDialog(argc, argv);
}
