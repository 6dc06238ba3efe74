// Makes the tips table "Texts" of the Tips program from its readable source:
//
//   make-tips-table data/tips/tips.txt <program folder>
//
// The table is written in a folder of its own beside the target and then
// renamed over "<program folder>/Texts.db", so that an interrupted run leaves
// the old table or the new one, never half of one.

#include "platform/core/errors.h"
#include "tips/tipsource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "make-tips-table: %s\n", qPrintable(text));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: make-tips-table <tips source> <program folder>\n");
        return 2;
    }
    const QString sourceName = arguments[1];
    const QDir folder(arguments[2]);

    QFile source(sourceName);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(sourceName, source.errorString()));
    if (!folder.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("cannot create the folder %1").arg(folder.path()));

    QTemporaryDir scratch(folder.filePath(QStringLiteral(".Texts-XXXXXX")));
    if (!scratch.isValid())
        return fail(QStringLiteral("cannot create a folder in %1").arg(folder.path()));
    try {
        const std::vector<TipEntry> tips = parseTipSource(QString::fromUtf8(source.readAll()));
        writeTipsTable(scratch.path(), tips);
    } catch (const platform::Exception& e) {
        return fail(sourceName + QStringLiteral(": ") + e.message());
    }

    std::error_code error;
    std::filesystem::rename(QFile::encodeName(scratch.filePath(QStringLiteral("Texts.db"))).data(),
                            QFile::encodeName(folder.filePath(QStringLiteral("Texts.db"))).data(),
                            error);
    if (error)
        return fail(QStringLiteral("cannot replace %1: %2")
                        .arg(folder.filePath(QStringLiteral("Texts.db")),
                             QString::fromLocal8Bit(error.message().c_str())));
    return 0;
}
