#pragma once
// Reads a table file with the engine directly, as another program would.

#include <QString>
#include <QStringList>

namespace testsupport {

// The rows of `sql` run on the file at `path` (which must not be held), the
// columns of each joined by '|'; one row "error: ..." when the query fails.
QStringList sqlRows(const QString& path, const char* sql);

} // namespace testsupport
