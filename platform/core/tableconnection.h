#pragma once
// Inside the table layer: one SQLite connection to one table file, its
// prepared statements, its locks and its transactions, and the translation of
// the engine's failures into EDatabaseError of the right kind.

#include "platform/core/errors.h"
#include "platform/core/tablevalue.h"

#include <QHash>
#include <functional>
#include <sqlite3.h>
#include <unordered_map>

namespace platform::tables {

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
    bool isNull(int i) const { return sqlite3_column_type(st, i) == SQLITE_NULL; }

private:
    sqlite3_stmt* st = nullptr;
};

// Locks are held until the connection closes: the shared lock from the first
// read, the exclusive lock from the first write; a lock that cannot be had at
// once fails, nothing waits.
class Connection {
public:
    // Opens the file with sqlite3_open_v2 flags; raises when it cannot.
    Connection(const QString& path, int openFlags);
    ~Connection() { close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& path() const { return filePath; }
    bool isOpen() const { return db != nullptr; }
    // Finishes every statement and closes; an open transaction is discarded.
    void close() noexcept;

    // The statement for `sql`, prepared once per connection. Statements are
    // reset after use, except a cursor's walk, which stays open between rows.
    Statement& statement(const QString& sql);
    // Steps: true for a row, false when done (and reset); raises on an error,
    // `what` leading the message.
    bool step(Statement& st, const QString& what);
    void exec(const QString& sql, const QString& what);
    // The first column of the first row of `sql`, 0 when it has none.
    qint64 integer(const QString& sql, const QString& what);
    qint64 lastInsertRowid() const { return sqlite3_last_insert_rowid(db); }
    // Makes the eponymous virtual table `name` of `module` known to the
    // connection, `aux` its module's data. Raises when it cannot.
    void registerModule(const char* name, const sqlite3_module* module, void* aux);

    // The error for an engine failure: "File is locked", "Key violation." and
    // damaged files get their own wording, every failure its kind.
    [[noreturn]] void fail(int rc, const QString& what) const;

    bool inTransaction() const { return db && !sqlite3_get_autocommit(db); }
    // Begins a write transaction, taking the exclusive lock (a plain hold
    // upgrades its shared lock here, and fails at once while another
    // connection holds the file too). Raises Locked when it cannot.
    void beginWrite();
    void commit();
    // Discards the open transaction, if any, then tells the owner (see
    // setAfterRollback), whose cached state may describe what was lost.
    void rollback() noexcept;
    void setAfterRollback(std::function<void()> handler) { afterRollback = std::move(handler); }

    // Lets PRAGMA journal_mode=OFF take effect, which the defensive mode that
    // every connection starts in ignores: for a file that nobody else knows
    // yet, which a failure removes.
    void allowJournalOff();

    // Takes the exclusive lock before the file is removed: raises Locked when
    // anybody holds the file; any other failure (a damaged or foreign file)
    // is no reason to keep it.
    void lockForRemoval();

private:
    QString filePath;
    sqlite3* db = nullptr;
    std::unordered_map<QString, Statement> statements;
    std::function<void()> afterRollback;
};

// A scope guard over a write: joins the open transaction or begins one, and
// rolls the whole transaction back when the scope ends before commit() or
// keepOpen(), as when a step of the write raised.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Commits the transaction; a failed commit rolls it back and raises.
    void commit();
    // The write succeeded; the transaction stays open for more (a group of
    // rows is committed later).
    void keepOpen() { finished = true; }

private:
    Connection& conn;
    bool finished = false;
};

} // namespace platform::tables
