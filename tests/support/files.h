#pragma once
// Small file helpers of the tests.

#include <QByteArray>
#include <QString>

namespace testsupport {

// Writes (replaces) the file; false when it cannot be written.
bool writeFile(const QString& path, const QByteArray& content);
// The whole file, or an empty array when it cannot be read.
QByteArray readFile(const QString& path);

} // namespace testsupport
