#include "platform/core/tablefile.h"

#include "platform/core/tablecatalogue.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace platform::tables {

namespace {

using Kind = EDatabaseError::Kind;

// A group of posted rows is committed after this many rows or this long.
constexpr int groupRowLimit = 100000;
constexpr qint64 groupTimeLimitMs = 1000;

// Each connection may keep this much of its file in memory. Large pages make
// the bulk writes of a build markedly cheaper.
constexpr int cacheKiB = 32768;
constexpr int pageSize = 16384;
// Building an index, the engine sorts parts of this size on helper threads.
constexpr int sortPartKiB = 4096;
constexpr int sortThreads = 2;
// Gathered rows are written this many to a statement, within the engine's
// limit on parameters.
constexpr size_t rowsPerInsert = 50;
constexpr size_t maxParameters = 32766;

QString cacheSizePragma(int kib) {
    return QStringLiteral("PRAGMA cache_size=-%1").arg(kib);
}

// While an index is built the cache is small: the engine sorts the keys in
// parts of the cache's size, on helper threads, so both cores share the work.
class SortingCache {
public:
    SortingCache(Connection& connection, const QString& what) : conn(connection) {
        conn.exec(cacheSizePragma(sortPartKiB), what);
    }
    ~SortingCache() { conn.execIgnoringErrors(cacheSizePragma(cacheKiB).toLatin1().constData()); }
    SortingCache(const SortingCache&) = delete;
    SortingCache& operator=(const SortingCache&) = delete;

private:
    Connection& conn;
};

} // namespace

TableFile::TableFile(const QString& path, const QString& table, bool exclusiveHold)
    : conn(path, SQLITE_OPEN_READWRITE), exclusive(exclusiveHold) {
    const QString what = QStringLiteral("Opening");
    catalogue::requireWholeHeader(path);
    // An exclusive hold takes the exclusive lock at once. A failure closes
    // the connection, which ends the reading transaction.
    conn.exec(exclusive ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN"), what);
    lay = catalogue::read(conn, table);
    conn.exec(QStringLiteral("COMMIT"), what);
    // The rollback journal survives a killed process; a file that was
    // switched to another journal mode is switched back.
    conn.exec(QStringLiteral("PRAGMA journal_mode=DELETE"), what);
    conn.exec(cacheSizePragma(cacheKiB), what);
    conn.exec(QStringLiteral("PRAGMA threads=%1").arg(sortThreads), what);
    gathered = GatheredRows(lay.fields.size());
    conn.setAfterRollback([this] { forgetUncommitted(); });
}

TableFile::~TableFile() {
    try {
        commit();
    } catch (const std::exception&) {
        // What was not committed is rolled back by the engine.
    }
}

// ---- writing

bool TableFile::gathersRows() const {
    if (!exclusive || !lay.rowidKey)
        return false;
    // A unique secondary index must see every row as it comes.
    for (const Index& index : lay.indexes)
        if (index.unique() && !index.primary())
            return false;
    return true;
}

void TableFile::beginWrite() {
    if (conn.inTransaction())
        return;
    conn.beginWrite();
    groupRows = 0;
    groupTimer.start();
}

void TableFile::wrote() {
    ++groupRows;
    if (!exclusive || groupRows >= groupRowLimit || groupTimer.elapsed() >= groupTimeLimitMs)
        commit();
}

void TableFile::commit() {
    if (!conn.inTransaction())
        return;
    // Leave no half transaction behind: what was not committed is lost, and
    // the caller learns it from the error.
    Transaction group(conn);
    writeGatheredRows();
    group.commit();
}

void TableFile::forgetUncommitted() noexcept {
    gathered.clear();
    taken.forget();
    emptinessChecked = false;
    catalogue::rereadBuiltMarks(conn, lay);
}

qint64 TableFile::insert(const std::vector<Value>& row, bool writeThrough) {
    beginWrite();
    if (!emptinessChecked && exclusive) {
        emptinessChecked = true;
        Statement& st =
            conn.statement(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoted(lay.table)));
        const bool empty = gathered.empty() && !conn.step(st, QStringLiteral("Reading"));
        st.reset();
        if (empty)
            deferIndexesOfEmptyTable();
    }
    const bool gather = gathersRows();
    if (!gather || writeThrough) {
        if (gather) {
            // The file must hold every row before it for the key check, and
            // the taken keys are read again from it.
            writeGatheredRows();
            taken.forget();
        }
        Statement& st = conn.statement(lay.insertSql());
        for (size_t i = 0; i < row.size(); ++i)
            st.bind(static_cast<int>(i) + 1, row[i]);
        conn.step(st, QStringLiteral("Writing"));
        const qint64 id = conn.lastInsertRowid();
        wrote();
        return id;
    }
    const qint64 key = row[static_cast<size_t>(lay.keyField())].i;
    taken.take(key, conn, lay.table, gathered);
    gathered.add(key, row);
    wrote();
    return key;
}

void TableFile::writeGatheredRows() {
    if (gathered.empty())
        return;
    // In key order the rows go to the end of the table or near each other,
    // which is several times cheaper than one by one as they came.
    gathered.sortByKey();
    {
        // Half a group written: the whole group goes, and the error says so.
        Transaction group(conn);
        // Many rows to a statement: the engine's cost per statement is much
        // of the cost of a row.
        const size_t fields = lay.fields.size();
        const size_t perStatement = std::min<size_t>(rowsPerInsert, maxParameters / fields);
        Statement& many = conn.statement(lay.insertSql(perStatement));
        size_t i = 0;
        for (; i + perStatement <= gathered.size(); i += perStatement) {
            for (size_t j = 0; j < perStatement; ++j)
                gathered.bind(many, i + j, static_cast<int>(j * fields));
            conn.step(many, QStringLiteral("Writing"));
        }
        Statement& one = conn.statement(lay.insertSql());
        for (; i < gathered.size(); ++i) {
            gathered.bind(one, i, 0);
            conn.step(one, QStringLiteral("Writing"));
        }
        group.keepOpen();
    }
    gathered.clear();
}

void TableFile::remove(qint64 rowid) {
    writeGatheredRows();
    beginWrite();
    Statement& st =
        conn.statement(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(lay.table)));
    st.bind(1, rowid);
    conn.step(st, QStringLiteral("Deleting from"));
    taken.release(rowid);
    wrote();
}

void TableFile::removeAll() {
    gathered.clear();
    taken.forget();
    beginWrite();
    conn.exec(QStringLiteral("DELETE FROM %1").arg(quoted(lay.table)), QStringLiteral("Emptying"));
    emptinessChecked = false;
    commit();
}

// ---- indexes

void TableFile::deferIndexesOfEmptyTable() {
    for (size_t i = 0; i < lay.indexes.size(); ++i) {
        const Index& index = lay.indexes[i];
        if (!index.unique() && index.built)
            catalogue::dropIndex(conn, lay, i);
    }
}

void TableFile::buildIndexIfDeferred(int index) {
    if (index < 0 || lay.indexes[static_cast<size_t>(index)].built || !exclusive)
        return;
    writeGatheredRows();
    beginWrite();
    const SortingCache sorting(conn, QStringLiteral("Building an index of"));
    catalogue::buildIndex(conn, lay, static_cast<size_t>(index));
}

void TableFile::addIndex(const Layout& layout) {
    Transaction change(conn);
    writeGatheredRows();
    catalogue::addIndex(conn, layout, layout.indexes.size() - 1);
    change.commit();
    lay.indexes.push_back(layout.indexes.back());
}

void TableFile::checkpoint() {
    if (conn.isOpen() && exclusive) {
        writeGatheredRows();
        for (size_t i = 0; i < lay.indexes.size(); ++i)
            buildIndexIfDeferred(static_cast<int>(i));
    }
    commit();
}

void TableFile::close() {
    const auto closeConnection = qScopeGuard([this] { conn.close(); });
    checkpoint();
}

// ---- whole files

void TableFile::create(const QString& path, const Layout& layout) {
    if (QFileInfo::exists(path))
        removeFile(path);
    // The table is written under a name of its own and renamed into place
    // when complete, so a table file is never half made.
    const QString temp =
        QStringLiteral("%1.%2.new").arg(path).arg(QCoreApplication::applicationPid());
    const QString journal = temp + QLatin1String("-journal");
    QFile::remove(temp);
    QFile::remove(journal);
    auto removeTemp = qScopeGuard([&] {
        QFile::remove(temp);
        QFile::remove(journal);
    });
    {
        const QString what = QStringLiteral("Creating");
        Connection file(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        file.exec(QStringLiteral("PRAGMA page_size=%1").arg(pageSize), what);
        file.exec(QStringLiteral("PRAGMA journal_mode=DELETE"), what);
        Transaction creation(file);
        catalogue::create(file, layout);
        creation.commit();
    }
    QFile::remove(journal);
    if (!QFile::rename(temp, path))
        throw EDatabaseError(QStringLiteral("Cannot create table %1.").arg(path), Kind::IO);
    removeTemp.dismiss();
}

void TableFile::removeFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(path),
                             Kind::TableMissing);
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a file.").arg(path),
                             Kind::NotATable);
    // Take the file for ourselves first: a table that anybody holds stays.
    Connection file(path, SQLITE_OPEN_READWRITE);
    file.lockForRemoval();
    if (!QFile::remove(path))
        throw EDatabaseError(QStringLiteral("Cannot delete table %1.").arg(path), Kind::IO);
    QFile::remove(path + QLatin1String("-journal"));
}

} // namespace platform::tables
