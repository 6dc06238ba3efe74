#include "tests/support/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace testsupport {

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size() && file.flush();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool copyProgram(const QString& program, const QString& folder) {
    const QFileInfo built(program);
    if (!QFile::copy(built.filePath(), QDir(folder).filePath(built.fileName())))
        return false;
    QDirIterator libraries(built.path(), {QStringLiteral("*.so*")}, QDir::Files);
    while (libraries.hasNext()) {
        const QFileInfo library(libraries.next());
        if (!QFile::copy(library.filePath(), QDir(folder).filePath(library.fileName())))
            return false;
    }
    return true;
}

} // namespace testsupport
