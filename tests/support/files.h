#pragma once
// Small file helpers of the tests.

#include <QByteArray>
#include <QString>

namespace testsupport {

// Writes (replaces) the file; false when it cannot be written.
bool writeFile(const QString& path, const QByteArray& content);
// The whole file, or an empty array when it cannot be read.
QByteArray readFile(const QString& path);
// Copies a built program and the shared libraries beside it into `folder`,
// a program folder of a test's own; false when a copy fails.
bool copyProgram(const QString& program, const QString& folder);

} // namespace testsupport
