#include "platform/core/tablefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <bit>
#include <cstring>

namespace platform::tables {

namespace {

// Marks a file as a table of this layer ("Tbl1" in the database header), and
// the version of the layout tables.
constexpr int applicationId = 0x54626c31;
constexpr int layoutVersion = 1;

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

const char* const fieldsTable = "_layout_fields";
const char* const indexesTable = "_layout_indexes";

struct TypeName {
    TFieldType type;
    const char* name;
};
constexpr TypeName typeNames[] = {{ftString, "String"},
                                  {ftSmallint, "Smallint"},
                                  {ftInteger, "Integer"},
                                  {ftWord, "Word"},
                                  {ftMemo, "Memo"}};

struct OptionName {
    TIndexOption option;
    const char* name;
};
constexpr OptionName optionNames[] = {{ixPrimary, "Primary"},
                                      {ixUnique, "Unique"},
                                      {ixDescending, "Descending"},
                                      {ixCaseInsensitive, "CaseInsensitive"}};

bool isText(TFieldType type) {
    return type == ftString || type == ftMemo;
}

QString typeName(TFieldType type) {
    for (const auto& t : typeNames)
        if (t.type == type)
            return QString::fromLatin1(t.name);
    return QString();
}

TFieldType typeFromName(const QString& name) {
    for (const auto& t : typeNames)
        if (name == QLatin1String(t.name))
            return t.type;
    return ftUnknown;
}

QString optionsText(TIndexOptions options) {
    QStringList names;
    for (const auto& o : optionNames)
        if (options.testFlag(o.option))
            names << QString::fromLatin1(o.name);
    return names.join(QLatin1Char(','));
}

bool optionsFromText(const QString& text, TIndexOptions& options) {
    options = {};
    for (const QString& word : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool known = false;
        for (const auto& o : optionNames)
            if (word == QLatin1String(o.name)) {
                options |= o.option;
                known = true;
            }
        if (!known)
            return false;
    }
    return true;
}

// A name fit for a field or an index: printable, and not one SQLite gives
// another meaning (the rowid, its own tables, our layout tables).
bool validName(const QString& name) {
    if (name.isEmpty() || name.size() > 128)
        return false;
    for (QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    static const char* const reserved[] = {"rowid", "oid", "_rowid_", fieldsTable, indexesTable};
    for (const char* r : reserved)
        if (name.compare(QLatin1String(r), Qt::CaseInsensitive) == 0)
            return false;
    return !name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

[[noreturn]] void layoutError(const QString& message) {
    throw EDatabaseError(message);
}

} // namespace

QString quoted(const QString& identifier) {
    QString q = identifier;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// ---------------------------------------------------------------- Layout

Layout Layout::define(const QString& table, const TFieldDefs& fieldDefs,
                      const TIndexDefs& indexDefs) {
    Layout lay;
    lay.table = table;
    if (fieldDefs.Count() == 0)
        layoutError(QStringLiteral("Table %1 has no fields.").arg(table));
    for (int i = 0; i < fieldDefs.Count(); ++i) {
        const TFieldDef& f = fieldDefs[i];
        if (!validName(f.Name))
            layoutError(QStringLiteral("Invalid field name '%1'.").arg(f.Name));
        if (lay.fieldIndex(f.Name) >= 0)
            layoutError(QStringLiteral("Duplicate field name '%1'.").arg(f.Name));
        if (typeName(f.DataType).isEmpty())
            layoutError(QStringLiteral("Field '%1' has an unknown type.").arg(f.Name));
        if (f.Size < 0 || (f.DataType == ftString && f.Size < 1))
            layoutError(QStringLiteral("Invalid size %1 for field '%2'.").arg(f.Size).arg(f.Name));
        lay.fields.push_back(f);
    }
    for (int i = 0; i < indexDefs.Count(); ++i) {
        const TIndexDef& def = indexDefs[i];
        Index index{def.Name, {}, def.Options};
        if (index.primary()) {
            if (lay.primary >= 0)
                layoutError(QStringLiteral("Table %1 has two primary indexes.").arg(table));
            lay.primary = static_cast<int>(lay.indexes.size());
        } else {
            if (!validName(def.Name) || def.Name.compare(table, Qt::CaseInsensitive) == 0)
                layoutError(QStringLiteral("Invalid index name '%1'.").arg(def.Name));
            if (lay.findIndex(def.Name) >= 0)
                layoutError(QStringLiteral("Duplicate index name '%1'.").arg(def.Name));
        }
        const QStringList names = def.fieldList();
        if (names.isEmpty())
            layoutError(QStringLiteral("Index '%1' has no fields.").arg(def.Name));
        for (const QString& name : names) {
            const int f = lay.fieldIndex(name);
            if (f < 0)
                layoutError(
                    QStringLiteral("Index '%1': field '%2' not found.").arg(def.Name, name));
            if (std::find(index.fields.begin(), index.fields.end(), f) != index.fields.end())
                layoutError(
                    QStringLiteral("Index '%1' names field '%2' twice.").arg(def.Name, name));
            index.fields.push_back(f);
        }
        lay.indexes.push_back(std::move(index));
    }
    if (lay.primary >= 0) {
        const Index& p = lay.indexes[static_cast<size_t>(lay.primary)];
        lay.rowidKey =
            p.fields.size() == 1 && !isText(lay.fields[static_cast<size_t>(p.fields[0])].DataType);
    }
    return lay;
}

int Layout::fieldIndex(const QString& name) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

int Layout::findIndex(const QString& name) const {
    if (name.isEmpty())
        return primary;
    for (size_t i = 0; i < indexes.size(); ++i)
        if (indexes[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -2;
}

TFieldDefs Layout::fieldDefs() const {
    TFieldDefs defs;
    for (const TFieldDef& f : fields)
        defs.Add(f.Name, f.DataType, f.Size, f.Required);
    return defs;
}

TIndexDefs Layout::indexDefs() const {
    TIndexDefs defs;
    for (const Index& index : indexes) {
        QStringList names;
        for (int f : index.fields)
            names << fields[static_cast<size_t>(f)].Name;
        defs.Add(index.name, names.join(QLatin1Char(';')), index.options);
    }
    return defs;
}

// ---------------------------------------------------------------- Ordering

bool Ordering::rowidOrder() const {
    if (index < 0)
        return true;
    return index == layout->primary && layout->rowidKey &&
           !layout->indexes[static_cast<size_t>(index)].descending();
}

int Ordering::fieldCount() const {
    return index < 0 ? 0
                     : static_cast<int>(layout->indexes[static_cast<size_t>(index)].fields.size());
}

int Ordering::field(int i) const {
    return layout->indexes[static_cast<size_t>(index)].fields[static_cast<size_t>(i)];
}

QString Ordering::term(int i) const {
    const Index& ix = layout->indexes[static_cast<size_t>(index)];
    const TFieldDef& f = layout->fields[static_cast<size_t>(ix.fields[static_cast<size_t>(i)])];
    QString t = quoted(f.Name);
    if (isText(f.DataType) && ix.options.testFlag(ixCaseInsensitive))
        t += QLatin1String(" COLLATE NOCASE");
    return t;
}

QString Ordering::compare(int count, const char* op) const {
    QString o = QString::fromLatin1(op);
    if (layout->indexes[static_cast<size_t>(index)].descending()) {
        if (o == QLatin1String(">="))
            o = QStringLiteral("<=");
        else if (o == QLatin1String("<="))
            o = QStringLiteral(">=");
    }
    QStringList lhs, rhs;
    for (int i = 0; i < count; ++i) {
        lhs << term(i);
        rhs << QStringLiteral("?");
    }
    return QStringLiteral("(%1) %2 (%3)")
        .arg(lhs.join(QLatin1String(", ")), o, rhs.join(QLatin1String(", ")));
}

QString Ordering::orderBy() const {
    if (index < 0)
        return QStringLiteral("rowid");
    const Index& ix = layout->indexes[static_cast<size_t>(index)];
    QStringList terms;
    for (int i = 0; i < fieldCount(); ++i)
        terms << term(i) + (ix.descending() ? QLatin1String(" DESC") : QLatin1String(""));
    // Equal keys of a non-unique index follow in rowid order, which the
    // index itself keeps, so no sorting is needed.
    if (!ix.unique())
        terms << QStringLiteral("rowid");
    return terms.join(QLatin1String(", "));
}

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

// ---------------------------------------------------------------- KeySet

size_t KeySet::home(qint64 key) const {
    // Fibonacci hashing: the top bits of the product.
    return static_cast<size_t>((static_cast<quint64>(key) * 0x9e3779b97f4a7c15ULL) >> shift);
}

bool KeySet::contains(qint64 key) const {
    if (cells.empty())
        return false;
    for (size_t i = home(key);; i = (i + 1) & (cells.size() - 1)) {
        if (cells[i] == key)
            return true;
        if (cells[i] == freeCell)
            return false;
    }
}

void KeySet::insert(qint64 key) {
    if ((used + 1) * 2 > cells.size()) {
        std::vector<qint64> old(std::max<size_t>(1024, cells.size() * 2), freeCell);
        old.swap(cells);
        shift = 64 - std::countr_zero(cells.size());
        used = 0;
        for (qint64 k : old)
            if (k != freeCell)
                insert(k);
    }
    size_t i = home(key);
    while (cells[i] != freeCell) {
        if (cells[i] == key)
            return;
        i = (i + 1) & (cells.size() - 1);
    }
    cells[i] = key;
    ++used;
}

void KeySet::remove(qint64 key) {
    if (cells.empty())
        return;
    const size_t mask = cells.size() - 1;
    size_t i = home(key);
    while (cells[i] != key) {
        if (cells[i] == freeCell)
            return;
        i = (i + 1) & mask;
    }
    // Shift later keys of the same run back, so no lookup stops short.
    for (size_t j = (i + 1) & mask; cells[j] != freeCell; j = (j + 1) & mask) {
        const size_t h = home(cells[j]);
        if ((j > i && (h <= i || h > j)) || (j < i && h <= i && h > j)) {
            cells[i] = cells[j];
            i = j;
        }
    }
    cells[i] = freeCell;
    --used;
}

// ---------------------------------------------------------------- TableFile

TableFile::TableFile(const QString& path, int openFlags) : filePath(path), exclusive(true) {
    // Once per process, before the engine starts: no memory statistics (they
    // cost a lock on every allocation).
    static const bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(configured);
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                        openFlags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            QStringLiteral("Cannot open table file %1: %2")
                .arg(path, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        closeConnection();
        throw EDatabaseError(message);
    }
    configure();
}

TableFile::TableFile(const QString& path, const QString& table, bool exclusiveHold)
    : TableFile(path, SQLITE_OPEN_READWRITE) {
    exclusive = exclusiveHold;
    lay.table = table;
    const QString what = QStringLiteral("Opening");
    try {
        // An exclusive hold takes the exclusive lock at once.
        exec(exclusive ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN"), what);
        readLayout();
        exec(QStringLiteral("COMMIT"), what);
        // The rollback journal survives a killed process; a file that was
        // switched to another journal mode is switched back.
        exec(QStringLiteral("PRAGMA journal_mode=DELETE"), what);
        exec(QStringLiteral("PRAGMA cache_size=-%1").arg(cacheKiB), what);
        exec(QStringLiteral("PRAGMA threads=%1").arg(sortThreads), what);
    } catch (...) {
        closeConnection();
        throw;
    }
    QStringList columns, marks;
    for (const TFieldDef& f : lay.fields) {
        columns << quoted(f.Name);
        marks << QStringLiteral("?");
    }
    insertSql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(quoted(lay.table), columns.join(QLatin1String(", ")),
                         marks.join(QLatin1String(", ")));
}

TableFile::~TableFile() {
    try {
        commit();
    } catch (const std::exception&) {
        // What was not committed is rolled back by the engine.
    }
    closeConnection();
}

void TableFile::configure() {
    sqlite3_busy_timeout(db, 0);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // Locks are held until the connection closes: the shared lock from the
    // first read, the exclusive lock from the first write.
    exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"), QStringLiteral("Opening"));
}

void TableFile::closeConnection() noexcept {
    statements.clear();
    if (db) {
        sqlite3_close(db);
        db = nullptr;
    }
    inTransaction = false;
}

Statement& TableFile::statement(const QString& sql) {
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

bool TableFile::step(Statement& st, const QString& what) {
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_ROW)
        return true;
    st.reset();
    if (rc == SQLITE_DONE)
        return false;
    // Some errors end the whole transaction.
    inTransaction = !sqlite3_get_autocommit(db);
    fail(rc, what);
}

void TableFile::exec(const QString& sql, const QString& what) {
    Statement& st = statement(sql);
    while (step(st, what)) {
    }
}

void TableFile::fail(int rc, const QString& what) const {
    const QString engine = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EDatabaseError(
            QStringLiteral("File is locked: %1 is in use by another program or table.")
                .arg(filePath),
            EDatabaseError::Kind::Locked);
    case SQLITE_NOTADB:
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a table file.").arg(filePath));
    case SQLITE_CORRUPT:
        throw EDatabaseError(QStringLiteral("Table is damaged: %1 (%2).").arg(filePath, engine));
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_PRIMARYKEY || rc == SQLITE_CONSTRAINT_UNIQUE)
            throw EDatabaseError(QStringLiteral("Key violation."),
                                 EDatabaseError::Kind::KeyViolation);
        break;
    default:
        break;
    }
    throw EDatabaseError(QStringLiteral("%1 %2: %3.").arg(what, filePath, engine));
}

void TableFile::readLayout() {
    const QString what = QStringLiteral("Reading the layout of");
    auto pragmaInt = [&](const char* pragma) {
        Statement& st = statement(QString::fromLatin1(pragma));
        const qint64 v = step(st, what) ? st.integer(0) : 0;
        st.reset();
        return v;
    };
    const qint64 pages = pragmaInt("PRAGMA page_count");
    const qint64 size = pragmaInt("PRAGMA page_size");
    if (pages == 0)
        throw EDatabaseError(QStringLiteral("Not a table: %1 is empty.").arg(filePath));
    if (pragmaInt("PRAGMA application_id") != applicationId)
        throw EDatabaseError(
            QStringLiteral("Not a table: %1 is a database without a table layout.").arg(filePath));
    if (pragmaInt("PRAGMA user_version") > layoutVersion)
        throw EDatabaseError(
            QStringLiteral("Table %1 was written by a newer version of this program.")
                .arg(filePath));
    // A file cut short: the header counts pages the file no longer has.
    if (pages * size > QFileInfo(filePath).size())
        throw EDatabaseError(
            QStringLiteral("Table is damaged: %1 is shorter than its header says.").arg(filePath));

    const QString damaged = QStringLiteral("Table is damaged: the layout of %1 %2.");
    {
        Statement& st = statement(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
        st.bind(1, Value::text(lay.table));
        if (!step(st, what))
            throw EDatabaseError(
                damaged.arg(filePath, QStringLiteral("names no table %1").arg(lay.table)));
        lay.table = st.column(0).s;
        st.reset();
    }
    TFieldDefs fieldDefs;
    {
        Statement& st =
            statement(QStringLiteral("SELECT name, type, size, required FROM %1 ORDER BY position")
                          .arg(quoted(QString::fromLatin1(fieldsTable))));
        while (step(st, what)) {
            const TFieldType type = typeFromName(st.column(1).s);
            if (type == ftUnknown)
                throw EDatabaseError(damaged.arg(filePath, QStringLiteral("has an unknown type")));
            fieldDefs.Add(st.column(0).s, type, static_cast<int>(st.integer(2)), st.integer(3));
        }
    }
    TIndexDefs indexDefs;
    std::vector<bool> built;
    {
        Statement& st = statement(
            QStringLiteral("SELECT name, fields, options, built FROM %1 ORDER BY position")
                .arg(quoted(QString::fromLatin1(indexesTable))));
        while (step(st, what)) {
            TIndexOptions options;
            if (!optionsFromText(st.column(2).s, options))
                throw EDatabaseError(
                    damaged.arg(filePath, QStringLiteral("has unknown index options")));
            indexDefs.Add(st.column(0).s, st.column(1).s, options);
            built.push_back(st.integer(3) != 0);
        }
    }
    try {
        lay = Layout::define(lay.table, fieldDefs, indexDefs);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(
            damaged.arg(filePath, QStringLiteral("is invalid (%1)").arg(e.message())));
    }
    for (size_t i = 0; i < built.size(); ++i)
        lay.indexes[i].built = built[i] || lay.indexes[i].primary();
    // The SQL table must have the recorded fields, in order, and the built
    // indexes.
    {
        Statement& st = statement(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
        st.bind(1, Value::text(lay.table));
        size_t n = 0;
        bool match = true;
        while (step(st, what)) {
            match = match && n < lay.fields.size() &&
                    st.column(0).s.compare(lay.fields[n].Name, Qt::CaseInsensitive) == 0;
            ++n;
        }
        if (!match || n != lay.fields.size())
            throw EDatabaseError(
                damaged.arg(filePath, QStringLiteral("does not match its columns")));
    }
    Statement& st = statement(QStringLiteral(
        "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ? AND tbl_name = ?"));
    for (const Index& index : lay.indexes) {
        if (index.primary() || !index.built)
            continue;
        st.bind(1, Value::text(index.name));
        st.bind(2, Value::text(lay.table));
        const bool found = step(st, what);
        st.reset();
        if (!found)
            throw EDatabaseError(
                damaged.arg(filePath, QStringLiteral("names a missing index %1").arg(index.name)));
    }
}

// ---- writing

void TableFile::beginWrite() {
    if (inTransaction)
        return;
    // In a plain hold this upgrades the shared lock, and fails at once while
    // another connection holds the table too.
    exec(QStringLiteral("BEGIN EXCLUSIVE"), QStringLiteral("Writing"));
    inTransaction = true;
    groupRows = 0;
    groupTimer.start();
}

// A safe point: a plain hold commits every write, an exclusive hold a group
// of rows at a time.
void TableFile::wrote() {
    ++groupRows;
    if (!exclusive || groupRows >= groupRowLimit || groupTimer.elapsed() >= groupTimeLimitMs)
        commit();
}

void TableFile::commit() {
    if (!inTransaction || !db)
        return;
    try {
        flush();
        exec(QStringLiteral("COMMIT"), QStringLiteral("Committing"));
    } catch (const EDatabaseError&) {
        // Leave no half transaction behind: what was not committed is lost,
        // and the caller learns it from the error.
        rollback();
        throw;
    }
    inTransaction = false;
}

void TableFile::rollback() noexcept {
    pending.clear();
    rows.clear();
    keysLoaded = false;
    keys.clear();
    deferChecked = false;
    inTransaction = false;
    if (!db)
        return;
    if (!sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    // Indexes dropped or built in the lost transaction are as they were.
    try {
        Statement& st = statement(QStringLiteral("SELECT built FROM %1 ORDER BY position")
                                      .arg(quoted(QString::fromLatin1(indexesTable))));
        for (Index& index : lay.indexes)
            if (step(st, QStringLiteral("Reading")))
                index.built = st.integer(0) != 0 || index.primary();
        st.reset();
    } catch (const EDatabaseError&) {
        // Built again when needed; CREATE INDEX IF NOT EXISTS copes.
    }
}

void TableFile::checkpoint() {
    if (db && exclusive) {
        flush();
        for (size_t i = 0; i < lay.indexes.size(); ++i)
            buildIndex(static_cast<int>(i));
    }
    commit();
}

void TableFile::close() {
    try {
        checkpoint();
    } catch (...) {
        closeConnection();
        throw;
    }
    closeConnection();
}

qint64 TableFile::insert(const std::vector<Value>& row) {
    beginWrite();
    if (!deferChecked && exclusive) {
        deferChecked = true;
        Statement& st =
            statement(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoted(lay.table)));
        const bool empty = pending.empty() && !step(st, QStringLiteral("Reading"));
        st.reset();
        if (empty)
            deferIndexes();
    }
    bool gather = exclusive && lay.rowidKey;
    for (const Index& index : lay.indexes)
        gather = gather && !(index.unique() && !index.primary());
    if (!gather) {
        Statement& st = statement(insertSql);
        for (size_t i = 0; i < row.size(); ++i)
            st.bind(static_cast<int>(i) + 1, row[i]);
        step(st, QStringLiteral("Writing"));
        const qint64 id = sqlite3_last_insert_rowid(db);
        wrote();
        return id;
    }

    // A key above every key so far is free. Only when keys come out of order
    // is the set of all keys needed: read from the file and the gathered rows.
    const qint64 key = row[static_cast<size_t>(lay.keyField())].i;
    if (!keysLoaded) {
        Statement& st =
            statement(QStringLiteral("SELECT max(rowid) FROM %1").arg(quoted(lay.table)));
        step(st, QStringLiteral("Reading"));
        maxKey = sqlite3_column_type(st.get(), 0) == SQLITE_NULL ? LLONG_MIN : st.integer(0);
        st.reset();
        ascending = true;
        keysLoaded = true;
    }
    if (ascending && key <= maxKey) {
        ascending = false;
        keys.clear();
        Statement& st = statement(QStringLiteral("SELECT rowid FROM %1").arg(quoted(lay.table)));
        while (step(st, QStringLiteral("Reading")))
            keys.insert(st.integer(0));
        for (const PendingRow& p : pending)
            keys.insert(p.key);
    }
    if (!ascending) {
        if (keys.contains(key))
            throw EDatabaseError(QStringLiteral("Key violation."),
                                 EDatabaseError::Kind::KeyViolation);
        keys.insert(key);
    }
    maxKey = std::max(maxKey, key);
    pending.push_back(PendingRow{key, rows.size()});
    for (const Value& v : row)
        encode(v);
    wrote();
    return key;
}

// A gathered row is its values one after another: the kind, then a number,
// or the length of a text and its UTF-8 bytes.
void TableFile::encode(const Value& v) {
    rows.push_back(static_cast<char>(v.kind));
    if (v.kind == Value::Null)
        return;
    const size_t at = rows.size();
    if (v.kind == Value::Int) {
        rows.resize(at + sizeof v.i);
        std::memcpy(rows.data() + at, &v.i, sizeof v.i);
        return;
    }
    qint64 length = v.s.size();
    rows.resize(at + sizeof length + static_cast<size_t>(length));
    char* out = rows.data() + at + sizeof length;
    bool ascii = true;
    for (QChar c : v.s) {
        ascii = ascii && c.unicode() < 0x80;
        *out++ = static_cast<char>(c.unicode());
    }
    if (!ascii) {
        const QByteArray utf8 = v.s.toUtf8();
        length = utf8.size();
        rows.resize(at + sizeof length + static_cast<size_t>(length));
        std::memcpy(rows.data() + at + sizeof length, utf8.constData(), utf8.size());
    }
    std::memcpy(rows.data() + at, &length, sizeof length);
}

void TableFile::bindRow(Statement& st, const char* data, int before) const {
    for (int i = before + 1; i <= before + static_cast<int>(lay.fields.size()); ++i) {
        const auto kind = static_cast<Value::Kind>(*data++);
        qint64 n = 0;
        if (kind != Value::Null) {
            std::memcpy(&n, data, sizeof n);
            data += sizeof n;
        }
        if (kind == Value::Null) {
            sqlite3_bind_null(st.get(), i);
        } else if (kind == Value::Int) {
            sqlite3_bind_int64(st.get(), i, n);
        } else {
            sqlite3_bind_text(st.get(), i, data, static_cast<int>(n), SQLITE_STATIC);
            data += n;
        }
    }
}

void TableFile::flush() {
    if (pending.empty())
        return;
    // In key order the rows go to the end of the table or near each other,
    // which is several times cheaper than one by one as they came.
    std::sort(pending.begin(), pending.end(),
              [](const PendingRow& a, const PendingRow& b) { return a.key < b.key; });
    try {
        // Many rows to a statement: the engine's cost per statement is much
        // of the cost of a row.
        const size_t fields = lay.fields.size();
        const size_t perStatement = std::min<size_t>(rowsPerInsert, maxParameters / fields);
        Statement& many = statement(
            insertSql + QStringLiteral(", (%1)")
                            .arg(QStringList(static_cast<qsizetype>(fields), QStringLiteral("?"))
                                     .join(QLatin1String(", ")))
                            .repeated(static_cast<qsizetype>(perStatement) - 1));
        size_t i = 0;
        for (; i + perStatement <= pending.size(); i += perStatement) {
            for (size_t j = 0; j < perStatement; ++j)
                bindRow(many, rows.data() + pending[i + j].offset, static_cast<int>(j * fields));
            step(many, QStringLiteral("Writing"));
        }
        Statement& one = statement(insertSql);
        for (; i < pending.size(); ++i) {
            bindRow(one, rows.data() + pending[i].offset, 0);
            step(one, QStringLiteral("Writing"));
        }
    } catch (const EDatabaseError&) {
        // Half a group written: the whole group goes, and the error says so.
        rollback();
        throw;
    }
    pending.clear();
    rows.clear();
}

void TableFile::remove(qint64 rowid) {
    flush();
    beginWrite();
    Statement& st =
        statement(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(lay.table)));
    st.bind(1, rowid);
    step(st, QStringLiteral("Deleting from"));
    if (!ascending)
        keys.remove(rowid);
    wrote();
}

void TableFile::removeAll() {
    pending.clear();
    rows.clear();
    keys.clear();
    keysLoaded = false;
    beginWrite();
    exec(QStringLiteral("DELETE FROM %1").arg(quoted(lay.table)), QStringLiteral("Emptying"));
    deferChecked = false;
    commit();
}

// ---- indexes

void TableFile::writeIndex(const Layout& layout, size_t i) {
    const QString what = QStringLiteral("Adding an index to");
    const Index& index = layout.indexes[i];
    if (!index.primary()) {
        const Ordering ordering{&layout, static_cast<int>(i)};
        QStringList terms;
        for (int f = 0; f < ordering.fieldCount(); ++f)
            terms << ordering.term(f) +
                         (index.descending() ? QLatin1String(" DESC") : QLatin1String(""));
        exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                 .arg(index.unique() ? QStringLiteral("UNIQUE ") : QString(), quoted(index.name),
                      quoted(layout.table), terms.join(QLatin1String(", "))),
             what);
    }
    Statement& st = statement(QStringLiteral("INSERT INTO %1 (position, name, fields, options, "
                                             "built) VALUES (?, ?, ?, ?, 1)")
                                  .arg(quoted(QString::fromLatin1(indexesTable))));
    const TIndexDef def = layout.indexDefs()[static_cast<int>(i)];
    st.bind(1, static_cast<qint64>(i + 1));
    st.bind(2, Value::text(def.Name));
    st.bind(3, Value::text(def.Fields));
    st.bind(4, Value::text(optionsText(def.Options)));
    step(st, what);
}

void TableFile::setBuilt(size_t i, bool built) {
    Statement& st = statement(QStringLiteral("UPDATE %1 SET built = ? WHERE position = ?")
                                  .arg(quoted(QString::fromLatin1(indexesTable))));
    st.bind(1, static_cast<qint64>(built));
    st.bind(2, static_cast<qint64>(i + 1));
    step(st, QStringLiteral("Writing"));
    lay.indexes[i].built = built;
}

void TableFile::deferIndexes() {
    for (size_t i = 0; i < lay.indexes.size(); ++i) {
        const Index& index = lay.indexes[i];
        if (index.unique() || !index.built)
            continue;
        exec(QStringLiteral("DROP INDEX %1").arg(quoted(index.name)), QStringLiteral("Writing"));
        setBuilt(i, false);
    }
}

void TableFile::buildIndex(int index) {
    if (index < 0 || lay.indexes[static_cast<size_t>(index)].built || !exclusive)
        return;
    const Index& ix = lay.indexes[static_cast<size_t>(index)];
    flush();
    beginWrite();
    const Ordering ordering{&lay, index};
    QStringList terms;
    for (int f = 0; f < ordering.fieldCount(); ++f)
        terms << ordering.term(f) + (ix.descending() ? QLatin1String(" DESC") : QLatin1String(""));
    // The engine sorts the keys in parts of the cache's size, on helper
    // threads: with a small cache both cores share the work.
    const QString what = QStringLiteral("Building an index of");
    exec(QStringLiteral("PRAGMA cache_size=-%1").arg(sortPartKiB), what);
    try {
        exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                 .arg(quoted(ix.name), quoted(lay.table), terms.join(QLatin1String(", "))),
             what);
    } catch (...) {
        sqlite3_exec(db, QStringLiteral("PRAGMA cache_size=-%1").arg(cacheKiB).toLatin1(), nullptr,
                     nullptr, nullptr);
        throw;
    }
    exec(QStringLiteral("PRAGMA cache_size=-%1").arg(cacheKiB), what);
    setBuilt(static_cast<size_t>(index), true);
}

void TableFile::addIndex(const Layout& layout) {
    flush();
    beginWrite();
    try {
        writeIndex(layout, layout.indexes.size() - 1);
    } catch (...) {
        rollback();
        throw;
    }
    lay.indexes.push_back(layout.indexes.back());
    commit();
}

// ---- whole files

void TableFile::create(const QString& path, const Layout& layout) {
    if (QFileInfo::exists(path))
        removeFile(path);
    // The table is written under a name of its own and renamed into place
    // when complete, so a table file is never half made.
    const QString temp =
        QStringLiteral("%1.%2.new").arg(path).arg(QCoreApplication::applicationPid());
    const QString what = QStringLiteral("Creating");
    QFile::remove(temp);
    QFile::remove(temp + QLatin1String("-journal"));
    try {
        TableFile file(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        file.exec(QStringLiteral("PRAGMA page_size=%1").arg(pageSize), what);
        file.exec(QStringLiteral("PRAGMA journal_mode=DELETE"), what);
        file.beginWrite();
        QStringList columns;
        for (const TFieldDef& f : layout.fields)
            columns << QStringLiteral("%1 %2%3").arg(
                quoted(f.Name),
                isText(f.DataType) ? QLatin1String("TEXT") : QLatin1String("INTEGER"),
                f.Required ? QLatin1String(" NOT NULL") : QLatin1String(""));
        if (layout.primary >= 0) {
            // One integer field declared INTEGER becomes the rowid itself.
            const Ordering primary{&layout, layout.primary};
            const bool descending =
                layout.indexes[static_cast<size_t>(layout.primary)].descending();
            QStringList terms;
            for (int i = 0; i < primary.fieldCount(); ++i)
                terms << primary.term(i) +
                             (descending ? QLatin1String(" DESC") : QLatin1String(""));
            columns << QStringLiteral("PRIMARY KEY (%1)").arg(terms.join(QLatin1String(", ")));
        }
        file.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                      .arg(quoted(layout.table), columns.join(QLatin1String(", "))),
                  what);
        file.exec(QStringLiteral("CREATE TABLE %1 (position INTEGER PRIMARY KEY, name TEXT NOT "
                                 "NULL, type TEXT NOT NULL, size INTEGER NOT NULL, required "
                                 "INTEGER NOT NULL)")
                      .arg(quoted(QString::fromLatin1(fieldsTable))),
                  what);
        file.exec(QStringLiteral("CREATE TABLE %1 (position INTEGER PRIMARY KEY, name TEXT NOT "
                                 "NULL, fields TEXT NOT NULL, options TEXT NOT NULL, built "
                                 "INTEGER NOT NULL)")
                      .arg(quoted(QString::fromLatin1(indexesTable))),
                  what);
        Statement& st =
            file.statement(QStringLiteral("INSERT INTO %1 (position, name, type, size, required) "
                                          "VALUES (?, ?, ?, ?, ?)")
                               .arg(quoted(QString::fromLatin1(fieldsTable))));
        for (size_t i = 0; i < layout.fields.size(); ++i) {
            const TFieldDef& f = layout.fields[i];
            st.bind(1, static_cast<qint64>(i + 1));
            st.bind(2, Value::text(f.Name));
            st.bind(3, Value::text(typeName(f.DataType)));
            st.bind(4, static_cast<qint64>(f.Size));
            st.bind(5, static_cast<qint64>(f.Required));
            file.step(st, what);
        }
        for (size_t i = 0; i < layout.indexes.size(); ++i)
            file.writeIndex(layout, i);
        file.exec(QStringLiteral("PRAGMA application_id=%1").arg(applicationId), what);
        file.exec(QStringLiteral("PRAGMA user_version=%1").arg(layoutVersion), what);
        file.close();
    } catch (...) {
        QFile::remove(temp);
        QFile::remove(temp + QLatin1String("-journal"));
        throw;
    }
    QFile::remove(temp + QLatin1String("-journal"));
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        throw EDatabaseError(QStringLiteral("Cannot create table %1.").arg(path));
    }
}

void TableFile::removeFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(path));
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a file.").arg(path));
    // Take the file for ourselves first: a table that anybody holds stays.
    TableFile file(path, SQLITE_OPEN_READWRITE);
    const int rc = sqlite3_exec(file.db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        file.fail(rc, QStringLiteral("Deleting"));
    // Other failures mean a damaged or foreign file: it goes all the same.
    if (!QFile::remove(path))
        throw EDatabaseError(QStringLiteral("Cannot delete table %1.").arg(path));
    QFile::remove(path + QLatin1String("-journal"));
}

} // namespace platform::tables
