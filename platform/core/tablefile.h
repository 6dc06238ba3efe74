#pragma once
// Inside the table layer: one open table file. It holds the file (shared or
// exclusive) through its connection, knows its layout, and groups the writes:
// transactions of many rows, rows gathered for a bulk fill, secondary indexes
// deferred while an empty table is filled. Nothing outside the table layer
// uses this.

#include "platform/core/tablebulk.h"
#include "platform/core/tableconnection.h"
#include "platform/core/tablelayout.h"

#include <QElapsedTimer>

namespace platform::tables {

class TableFile {
public:
    // Opens the table file, takes its hold (shared or exclusive) and reads and
    // checks its layout. Raises EDatabaseError.
    TableFile(const QString& path, const QString& table, bool exclusive);
    // Commits and closes; errors are lost here, so call close() first.
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const Layout& layout() const { return lay; }
    const QString& path() const { return conn.path(); }
    Statement& statement(const QString& sql) { return conn.statement(sql); }
    bool step(Statement& st, const QString& what) { return conn.step(st, what); }

    // Stores a row and returns its rowid; "Key violation." when its key is
    // taken. While the table is held exclusively, rows with a rowid key are
    // gathered in memory and written in key order at the next safe point,
    // unless `writeThrough` asks for the row in the file at once. The first
    // row written to an empty table so held also defers the non-unique
    // secondary indexes: they are dropped, marked not built, and built again
    // in one pass when the cursor needs them or at close().
    qint64 insert(const std::vector<Value>& row, bool writeThrough);
    void remove(qint64 rowid);
    void removeAll();

    // Rows gathered and not yet written.
    size_t gatheredRows() const { return gathered.size(); }
    // Reads a gathered row without writing it; false when it is not gathered.
    bool readGatheredRow(qint64 rowid, std::vector<Value>& row) const {
        return gathered.find(rowid, row);
    }
    // Writes the gathered rows into the open transaction (no commit).
    void writeGatheredRows();
    // Builds the index if it was deferred and the table is held exclusively;
    // otherwise the engine sorts without it.
    void buildIndexIfDeferred(int index);

    // Adds the last index of `layout` (this file's layout plus one index) to
    // the file, and commits.
    void addIndex(const Layout& layout);
    // Writes gathered rows and commits the open transaction, if any.
    void commit();
    // Writes gathered rows, builds deferred indexes and commits: everything
    // so far is on disk and the file is complete, while the hold goes on.
    void checkpoint();
    // Checkpoints and closes; raises when that fails (the connection is
    // closed all the same).
    void close();

    // Writes a new table file at `path` (replacing one that nobody holds).
    static void create(const QString& path, const Layout& layout);
    // Removes the table file at `path` and its journal, once nobody holds it.
    static void removeFile(const QString& path);

private:
    bool gathersRows() const;
    // Begins a group of writes unless one is open.
    void beginWrite();
    // A row was written: a plain hold commits every write, an exclusive hold
    // a group of rows at a time.
    void wrote();
    // A rollback lost what the transaction wrote: gathered rows, taken keys
    // and indexes dropped or built are as the file has them.
    void forgetUncommitted() noexcept;
    void deferIndexesOfEmptyTable();

    Connection conn;
    bool exclusive;
    Layout lay;
    GatheredRows gathered;
    TakenKeys taken;
    int groupRows = 0;
    QElapsedTimer groupTimer;
    bool emptinessChecked = false;
};

} // namespace platform::tables
