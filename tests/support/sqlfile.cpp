#include "tests/support/sqlfile.h"

#include <QFile>
#include <sqlite3.h>

namespace testsupport {

QStringList sqlRows(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QStringList rows;
    const auto collect = [](void* out, int n, char** values, char**) {
        QStringList columns;
        for (int i = 0; i < n; ++i)
            columns << QString::fromUtf8(values[i]);
        static_cast<QStringList*>(out)->append(columns.join('|'));
        return 0;
    };
    char* error = nullptr;
    if (sqlite3_exec(db, sql, collect, &rows, &error) != SQLITE_OK)
        rows << QStringLiteral("error: %1").arg(QString::fromUtf8(error));
    sqlite3_free(error);
    sqlite3_close(db);
    return rows;
}

} // namespace testsupport
