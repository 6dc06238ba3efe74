#pragma once
// Inside the table layer: one open table file. It holds the file (shared or
// exclusive) through its connection, knows its layout, and decides when
// posted rows reach the file: at once under a plain hold; under an exclusive
// hold in one transaction that lasts until the next safe point, the rows of a
// bulk fill kept in memory until then. Nothing outside the table layer uses
// this.

#include "platform/core/tablebulk.h"
#include "platform/core/tableconnection.h"
#include "platform/core/tablelayout.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace platform::tables {

class FillFeed;
struct FillSource;

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
    // A statement on the file; rows of a bulk fill put aside reach the file
    // first, so that it answers for all rows.
    Statement& statement(const QString& sql) {
        if (!runs.empty())
            writeMemoryRows();
        return conn.statement(sql);
    }
    // The statement that reads the row with a rowid (its one parameter).
    Statement& rowStatement();
    bool step(Statement& st, const QString& what) { return conn.step(st, what); }

    // Stores a row and returns its rowid; "Key violation." when its key is
    // taken. The first row posted to a table that is held exclusively, keyed
    // by one integer field (without a unique secondary index) and empty
    // starts a bulk fill: from then on the rows are kept in memory, until
    // the next safe point writes them in key order, or until they take too
    // much memory. `writeThrough` asks for the row in the file at once.
    qint64 insert(const std::vector<Value>& row, bool writeThrough);
    // The same for a record of the layout's width, whose values suit their
    // fields (numbers in a numeric field's range, texts for texts, or NULL).
    qint64 insert(const TRecordValue* row);
    void remove(qint64 rowid);
    void removeAll();

    // True while the table's rows are all in memory (the file holds none):
    // the cursor reads them from rows(). Not once rows were put aside.
    bool inMemory() const { return memoryMode && runs.empty(); }
    const MemoryRows& rows() const { return memory; }
    // True when the rows in memory stand in the order of `terms` where they
    // are kept, arranged into it now if they can be (MemoryRows::arrange).
    bool arrangeRows(const IndexTerms& terms, qint64& follow) {
        return memory.arrange(terms, follow);
    }
    // Writes the rows kept in memory into the open transaction and ends the
    // bulk fill; the non-unique secondary indexes, dropped while the table
    // was empty, are built again when needed.
    void writeMemoryRows();
    // Builds the index if it was deferred and the table is held exclusively;
    // otherwise the engine sorts without it.
    void buildIndexIfDeferred(int index);

    // Adds the last index of `layout` (this file's layout plus one index) to
    // the file, and commits.
    void addIndex(const Layout& layout);
    // Writes the rows kept in memory and commits the open transaction.
    void commit();
    // Writes the rows, builds deferred indexes and commits: everything so far
    // is on disk and the file is complete, while the hold goes on.
    void checkpoint();
    // Checkpoints and closes; raises when that fails (the connection is
    // closed all the same).
    void close();
    // Closes without writing anything since the last commit: the file stays
    // as that commit left it.
    void discard() noexcept;

    // The memory a bulk fill takes before its rows go to the file or aside
    // (an eighth of the machine's memory, within 64 MB and 1 GB); 0 restores
    // that. For tests, which fill past it with few rows.
    static void setMemoryLimit(size_t bytes);

    // Writes a new table file at `path`. An existing one is replaced as a
    // whole, once nobody holds it; a reader sees the old file or the new.
    static void create(const QString& path, const Layout& layout);
    // Replaces the table at `path` by an empty one of its layout, once nobody
    // holds it (a table without rows stays as it is).
    static void empty(const QString& path, const QString& table);
    // The same for this file, held exclusively: what was written since the
    // last safe point is dropped, the file replaced unless it has no rows,
    // and this hold closed.
    void emptyAndClose();
    // Removes the table file at `path` and its journal, once nobody holds it.
    static void removeFile(const QString& path);
    // Removes the temporary files that creating a table leaves in `folder`
    // when its process dies ("<table>.db.<process id>.new" and its journal),
    // leaving those of processes that still run.
    static void removeLeftovers(const QString& folder);

private:
    // Replaces the file by an empty one of its layout when it has rows, and
    // closes without writing.
    void replaceByEmpty();
    bool keepsRowsInMemory() const;
    // Whether the rows posted now go to memory: a bulk fill under way, or
    // one that this first row starts.
    bool fillingMemory() { return fillChecked ? memoryMode : startsFill(); }
    bool startsFill();
    // Keeps a row that fits in memory; returns its key.
    template <typename Row> qint64 keepInMemory(const Row* row, qint64 key);
    // Begins the transaction of the hold's writes unless one is open.
    void beginWrite();
    // A row was written: a plain hold commits every write.
    void wrote();
    // A rollback lost what the transaction wrote: rows in memory, taken keys
    // and indexes dropped or built are as the file has them.
    void forgetUncommitted() noexcept;
    void deferIndexesOfEmptyTable();
    // A bulk fill past its memory whose keys came out of order: the rows so
    // far go to the scratch file as one run in key order, and the fill goes
    // on in memory. False when they cannot be put aside (a numeric NULL).
    bool putRowsAside();
    // Writes the rows of `feed` into the table, in one statement.
    void writeRows(FillFeed& feed);
    // Writes the runs and the rows in memory, merged in key order.
    void writeMergedRuns();
    void dropRuns() noexcept;

    // The statements run for every row, prepared once.
    Statement& insertStatement();

    Connection conn;
    bool exclusive;
    Layout lay;
    Statement* insertOne = nullptr;
    Statement* selectRow = nullptr;
    MemoryRows memory;
    // The key field of a rowid-keyed layout, the one a bulk fill keeps.
    size_t keyField = 0;
    TakenKeys taken;
    bool memoryMode = false;
    // Whether the next insert may start a bulk fill in memory.
    bool fillChecked = false;
    // Rows put aside: a scratch file (gone when closed, or when the process
    // dies) and its runs, each sorted by key: where it starts (in rows) and
    // how many rows it has.
    std::FILE* spill = nullptr;
    struct Run {
        size_t first;
        size_t rows;
    };
    std::vector<Run> runs;
    size_t spilledRows = 0;
    // What the engine reads the rows from when they are written.
    std::unique_ptr<FillSource> fillSource;
};

} // namespace platform::tables
