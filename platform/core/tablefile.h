#pragma once
// Inside the table layer: one SQLite connection to one table file, the file's
// layout, the SQL the cursor needs, and the grouping of writes. Nothing
// outside table.cpp uses this.

#include "platform/core/table.h"

#include <QElapsedTimer>
#include <climits>
#include <sqlite3.h>
#include <unordered_map>

namespace platform::tables {

// A value of a field: NULL, a number or a text.
struct Value {
    enum Kind : quint8 { Null, Int, Text };
    Kind kind = Null;
    qint64 i = 0;
    QString s;

    bool isNull() const { return kind == Null; }
    static Value number(qint64 v) { return Value{Int, v, {}}; }
    static Value text(const QString& v) { return Value{Text, 0, v}; }
};

// An index of the layout, its fields resolved to positions. An index that is
// not built is recorded in the layout but missing from the file for now
// (see TableFile::insert).
struct Index {
    QString name;
    std::vector<int> fields;
    TIndexOptions options;
    bool built = true;

    bool primary() const { return options.testFlag(ixPrimary); }
    bool unique() const { return options & (ixPrimary | ixUnique); }
    bool descending() const { return options.testFlag(ixDescending); }
};

struct Layout {
    QString table; // the SQL table's name
    std::vector<TFieldDef> fields;
    std::vector<Index> indexes;
    int primary = -1;      // position of the primary index in `indexes`, or -1
    bool rowidKey = false; // the primary key is one integer field: the rowid

    // Checks names, types and index fields; resolves the indexes.
    static Layout define(const QString& table, const TFieldDefs& fieldDefs,
                         const TIndexDefs& indexDefs);
    int fieldIndex(const QString& name) const;
    // The position of the named index ("" = primary), -1 when there is none,
    // -2 when no such index exists.
    int findIndex(const QString& name) const;
    TFieldDefs fieldDefs() const;
    TIndexDefs indexDefs() const;
    // The field that holds the rowid key (rowidKey only).
    int keyField() const { return indexes[static_cast<size_t>(primary)].fields[0]; }
};

// An ordering of the rows: an index of the layout, or rowid order (index -1).
struct Ordering {
    const Layout* layout;
    int index;

    bool rowidOrder() const; // ascending rowid: order and rowids agree
    // "col COLLATE NOCASE" for field i of the index.
    QString term(int i) const;
    // "(t1, t2) op (?, ?)" over the first `count` fields, `op` given for
    // ascending order and turned round for a descending index.
    QString compare(int count, const char* op) const;
    QString orderBy() const;
    int fieldCount() const;
    int field(int i) const;
};

QString quoted(const QString& identifier);

// A set of keys (never LLONG_MIN, which marks a free cell): open addressing
// with linear probing, so a lookup costs a few nanoseconds.
class KeySet {
public:
    bool contains(qint64 key) const;
    void insert(qint64 key);
    void remove(qint64 key);
    void clear() { cells.clear(), used = 0; }

private:
    static constexpr qint64 freeCell = LLONG_MIN;
    size_t home(qint64 key) const;
    std::vector<qint64> cells;
    size_t used = 0;
    int shift = 64;
};

// A prepared statement.
class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* s) : st(s) {}
    Statement(Statement&& o) noexcept : st(o.st) { o.st = nullptr; }
    Statement& operator=(Statement&& o) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(st); }

    sqlite3_stmt* get() const { return st; }
    void reset() { sqlite3_reset(st); }
    void bind(int position, const Value& value);
    void bind(int position, qint64 value) { sqlite3_bind_int64(st, position, value); }
    Value column(int i) const;
    qint64 integer(int i) const { return sqlite3_column_int64(st, i); }

private:
    sqlite3_stmt* st = nullptr;
};

class TableFile {
public:
    // Opens the table file, takes its hold (shared or exclusive) and reads and
    // checks its layout. Throws EDatabaseError.
    TableFile(const QString& path, const QString& table, bool exclusive);
    // Commits and closes; errors are lost here, so call close() first.
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const Layout& layout() const { return lay; }
    const QString& path() const { return filePath; }

    // The statement for `sql`, prepared once per connection. Statements are
    // reset after use, except a cursor's walk, which stays open between rows.
    Statement& statement(const QString& sql);
    // Steps: true for a row, false when done (and reset); throws on an error,
    // `what` leading the message.
    bool step(Statement& st, const QString& what);
    void exec(const QString& sql, const QString& what);

    // Stores a row and returns its rowid; "Key violation." when its key is
    // taken. While the table is held exclusively, rows with a rowid key are
    // gathered in memory and written in key order at the next safe point.
    // The first row written to an empty table so held also defers the
    // non-unique secondary indexes: they are dropped, marked not built, and
    // built again in one pass when the cursor needs them or at close().
    qint64 insert(const std::vector<Value>& row);
    void remove(qint64 rowid);
    void removeAll();
    // Rows gathered and not yet written.
    qsizetype pendingRows() const { return pending.size(); }
    // Writes the gathered rows (without committing).
    void flush();
    // Builds the index if it was deferred and the table is held exclusively;
    // otherwise the engine sorts without it.
    void buildIndex(int index);

    // Adds the last index of `layout` (this file's layout plus one index) to
    // the file, and commits.
    void addIndex(const Layout& layout);
    // Writes gathered rows and commits the open transaction, if any.
    void commit();
    // Writes gathered rows, builds deferred indexes and commits: everything
    // so far is on disk and the file is complete, while the hold goes on.
    void checkpoint();
    // Writes gathered rows, builds deferred indexes, commits and closes;
    // throws when that fails (the connection is closed all the same).
    void close();

    // The message for an engine error: "File is locked", "Key violation." and
    // damaged files get their own wording.
    [[noreturn]] void fail(int rc, const QString& what) const;

    // Writes a new table file at `path` (replacing one that nobody holds).
    static void create(const QString& path, const Layout& layout);
    // Removes the table file at `path` and its journal, once nobody holds it.
    static void removeFile(const QString& path);

private:
    TableFile(const QString& path, int openFlags);
    void configure();
    void readLayout();
    // Creates index `i` of `layout` (unless primary) and records it.
    void writeIndex(const Layout& layout, size_t i);
    void setBuilt(size_t i, bool built);
    void deferIndexes();
    void beginWrite();
    void wrote();
    void rollback() noexcept;
    void closeConnection() noexcept;
    // Binds a gathered row to the parameters after the first `before`.
    void bindRow(Statement& st, const char* data, int before) const;
    void encode(const Value& v);

    QString filePath;
    sqlite3* db = nullptr;
    bool exclusive;
    Layout lay;
    QString insertSql;
    std::unordered_map<QString, Statement> statements;
    bool inTransaction = false;
    int groupRows = 0;
    QElapsedTimer groupTimer;
    bool deferChecked = false;

    // Rows gathered for writing, encoded one after another in `rows`; the
    // largest key in the table, and while keys come in ascending order that
    // is all it takes to refuse a taken key; after that, every key.
    struct PendingRow {
        qint64 key;
        size_t offset;
    };
    std::vector<PendingRow> pending;
    std::vector<char> rows;
    KeySet keys;
    qint64 maxKey = LLONG_MIN;
    bool ascending = true;
    bool keysLoaded = false;
};

} // namespace platform::tables
