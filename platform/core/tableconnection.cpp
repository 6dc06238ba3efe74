#include "platform/core/tableconnection.h"

#include <QFile>

namespace platform::tables {

namespace {

using Kind = EDatabaseError::Kind;

// The kind of an engine failure that has no wording of its own.
Kind kindOf(int rc) {
    switch (rc & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_NOLFS:
        return Kind::IO;
    case SQLITE_NOTADB:
        return Kind::NotATable;
    case SQLITE_CORRUPT:
        return Kind::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Kind::Locked;
    case SQLITE_TOOBIG:
        return Kind::OutOfRange;
    default:
        return rc == SQLITE_CONSTRAINT_NOTNULL ? Kind::RequiredFieldMissing : Kind::Other;
    }
}

} // namespace

// ---------------------------------------------------------------- Statement

Statement& Statement::operator=(Statement&& o) noexcept {
    if (this != &o) {
        sqlite3_finalize(st);
        st = o.st;
        o.st = nullptr;
    }
    return *this;
}

void Statement::bind(int position, const Value& value) {
    switch (value.kind) {
    case Value::Null:
        sqlite3_bind_null(st, position);
        break;
    case Value::Int:
        sqlite3_bind_int64(st, position, value.i);
        break;
    case Value::Text: {
        const QByteArray utf8 = value.s.toUtf8();
        sqlite3_bind_text(st, position, utf8.constData(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    }
}

Value Statement::column(int i) const {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
        return Value{};
    case SQLITE_INTEGER:
        return Value::number(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
        return Value::number(static_cast<qint64>(sqlite3_column_double(st, i)));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        return Value::text(QString::fromUtf8(text, sqlite3_column_bytes(st, i)));
    }
    }
}

// ---------------------------------------------------------------- Connection

Connection::Connection(const QString& path, int openFlags) : filePath(path) {
    // Once per process, before the engine starts: no memory statistics (they
    // cost a lock on every allocation), and no page cache taken in one block
    // of 20 pages when a connection first reads (a block that large comes
    // fresh from the system and goes back at the close, every page of it
    // touched anew by the next connection); pages are allocated as needed.
    static const bool configured =
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK &&
        sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0) == SQLITE_OK;
    Q_UNUSED(configured);
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                        openFlags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            QStringLiteral("Cannot open table file %1: %2")
                .arg(path, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        close();
        throw EDatabaseError(message, kindOf(rc));
    }
    sqlite3_busy_timeout(db, 0);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"), QStringLiteral("Opening"));
}

void Connection::registerModule(const char* name, const sqlite3_module* module, void* aux) {
    const int rc = sqlite3_create_module_v2(db, name, module, aux, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, QStringLiteral("Preparing to write"));
}

void Connection::close() noexcept {
    statements.clear();
    if (db) {
        sqlite3_close(db);
        db = nullptr;
    }
}

Statement& Connection::statement(const QString& sql) {
    auto it = statements.find(sql);
    if (it != statements.end())
        return it->second;
    sqlite3_stmt* st = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v3(db, utf8.constData(), static_cast<int>(utf8.size()),
                                      SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, QStringLiteral("Reading"));
    return statements.emplace(sql, Statement(st)).first->second;
}

bool Connection::step(Statement& st, const QString& what) {
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_ROW)
        return true;
    st.reset();
    if (rc == SQLITE_DONE)
        return false;
    fail(rc, what);
}

void Connection::exec(const QString& sql, const QString& what) {
    Statement& st = statement(sql);
    while (step(st, what)) {
    }
}

qint64 Connection::integer(const QString& sql, const QString& what) {
    Statement& st = statement(sql);
    const qint64 v = step(st, what) ? st.integer(0) : 0;
    st.reset();
    return v;
}

void Connection::fail(int rc, const QString& what) const {
    const QString engine = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EDatabaseError(
            QStringLiteral("File is locked: %1 is in use by another program or table.")
                .arg(filePath),
            Kind::Locked);
    case SQLITE_NOTADB:
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a table file.").arg(filePath),
                             Kind::NotATable);
    case SQLITE_CORRUPT:
        throw EDatabaseError(QStringLiteral("Table is damaged: %1 (%2).").arg(filePath, engine),
                             Kind::Damaged);
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_PRIMARYKEY || rc == SQLITE_CONSTRAINT_UNIQUE)
            throw EDatabaseError(QStringLiteral("Key violation."), Kind::KeyViolation);
        break;
    default:
        break;
    }
    throw EDatabaseError(QStringLiteral("%1 %2: %3.").arg(what, filePath, engine), kindOf(rc));
}

void Connection::beginWrite() {
    exec(QStringLiteral("BEGIN EXCLUSIVE"), QStringLiteral("Writing"));
}

void Connection::commit() {
    exec(QStringLiteral("COMMIT"), QStringLiteral("Committing"));
}

void Connection::rollback() noexcept {
    if (inTransaction())
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (afterRollback)
        afterRollback();
}

void Connection::allowJournalOff() {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 0, nullptr);
}

void Connection::lockForRemoval() {
    const int rc = sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        fail(rc, QStringLiteral("Deleting"));
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Connection& connection) : conn(connection) {
    if (!conn.inTransaction())
        conn.beginWrite();
}

Transaction::~Transaction() {
    if (!finished)
        conn.rollback();
}

void Transaction::commit() {
    conn.commit();
    finished = true;
}

} // namespace platform::tables
