#include "platform/core/tablecatalogue.h"

#include <QFileInfo>
#include <algorithm>

namespace platform::tables::catalogue {

namespace {

using Kind = EDatabaseError::Kind;

// Marks a file as a table of this layer ("Tbl1" in the database header), and
// the version of the layout tables.
constexpr int applicationId = 0x54626c31;
constexpr int layoutVersion = 1;
// The engine's file header: every table file that is not empty has it whole.
constexpr qint64 headerBytes = 100;

QString fieldsTableName() {
    return quoted(QString::fromLatin1(fieldsTable));
}

QString indexesTableName() {
    return quoted(QString::fromLatin1(indexesTable));
}

void setBuilt(Connection& conn, Layout& layout, size_t i, bool built) {
    Statement& st = conn.statement(
        QStringLiteral("UPDATE %1 SET built = ? WHERE position = ?").arg(indexesTableName()));
    st.bind(1, static_cast<qint64>(built));
    st.bind(2, static_cast<qint64>(i + 1));
    conn.step(st, QStringLiteral("Writing"));
    layout.indexes[i].built = built;
}

// Checks the file's header: a table of ours, of a version we read, and as
// long as the header says.
void checkHeader(Connection& conn, const QString& what) {
    const QString& path = conn.path();
    const qint64 pages = conn.integer(QStringLiteral("PRAGMA page_count"), what);
    const qint64 size = conn.integer(QStringLiteral("PRAGMA page_size"), what);
    if (pages == 0)
        throw EDatabaseError(QStringLiteral("Not a table: %1 is empty.").arg(path),
                             Kind::NotATable);
    if (conn.integer(QStringLiteral("PRAGMA application_id"), what) != applicationId)
        throw EDatabaseError(
            QStringLiteral("Not a table: %1 is a database without a table layout.").arg(path),
            Kind::NotATable);
    if (conn.integer(QStringLiteral("PRAGMA user_version"), what) > layoutVersion)
        throw EDatabaseError(
            QStringLiteral("Table %1 was written by a newer version of this program.").arg(path),
            Kind::NewerVersion);
    // A file cut short: the header counts pages the file no longer has.
    if (pages * size > QFileInfo(path).size())
        throw EDatabaseError(
            QStringLiteral("Table is damaged: %1 is shorter than its header says.").arg(path),
            Kind::Damaged);
}

bool sameIgnoringAsciiCase(QStringView a, QStringView b) {
    if (a.size() != b.size())
        return false;
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lower(a[i].unicode()) != lower(b[i].unicode()))
            return false;
    return true;
}

} // namespace

void requireWholeHeader(const QString& path) {
    const qint64 size = QFileInfo(path).size();
    if (size > 0 && size < headerBytes)
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a table file.").arg(path),
                             Kind::NotATable);
}

void create(Connection& conn, const Layout& layout) {
    const QString what = QStringLiteral("Creating");
    QStringList columns;
    for (const TFieldDef& f : layout.fields)
        columns << QStringLiteral("%1 %2%3").arg(
            quoted(f.Name), isText(f.DataType) ? QLatin1String("TEXT") : QLatin1String("INTEGER"),
            f.Required ? QLatin1String(" NOT NULL") : QLatin1String(""));
    // One integer field declared INTEGER becomes the rowid itself.
    if (layout.primary >= 0)
        columns << QStringLiteral("PRIMARY KEY (%1)")
                       .arg(IndexTerms(layout, layout.primary).definition());
    conn.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                  .arg(quoted(layout.table), columns.join(QLatin1String(", "))),
              what);
    conn.exec(QStringLiteral("CREATE TABLE %1 (position INTEGER PRIMARY KEY, name TEXT NOT "
                             "NULL, type TEXT NOT NULL, size INTEGER NOT NULL, required "
                             "INTEGER NOT NULL)")
                  .arg(fieldsTableName()),
              what);
    conn.exec(QStringLiteral("CREATE TABLE %1 (position INTEGER PRIMARY KEY, name TEXT NOT "
                             "NULL, fields TEXT NOT NULL, options TEXT NOT NULL, built "
                             "INTEGER NOT NULL)")
                  .arg(indexesTableName()),
              what);
    Statement& st =
        conn.statement(QStringLiteral("INSERT INTO %1 (position, name, type, size, required) "
                                      "VALUES (?, ?, ?, ?, ?)")
                           .arg(fieldsTableName()));
    for (size_t i = 0; i < layout.fields.size(); ++i) {
        const TFieldDef& f = layout.fields[i];
        st.bind(1, static_cast<qint64>(i + 1));
        st.bind(2, Value::text(f.Name));
        st.bind(3, Value::text(typeName(f.DataType)));
        st.bind(4, static_cast<qint64>(f.Size));
        st.bind(5, static_cast<qint64>(f.Required));
        conn.step(st, what);
    }
    for (size_t i = 0; i < layout.indexes.size(); ++i)
        addIndex(conn, layout, i);
    conn.exec(QStringLiteral("PRAGMA application_id=%1").arg(applicationId), what);
    conn.exec(QStringLiteral("PRAGMA user_version=%1").arg(layoutVersion), what);
}

Layout read(Connection& conn, const QString& table) {
    const QString what = QStringLiteral("Reading the layout of");
    const QString& path = conn.path();
    checkHeader(conn, what);

    const QString damaged = QStringLiteral("Table is damaged: the layout of %1 %2.");
    const auto damage = [&](const QString& detail) {
        return EDatabaseError(damaged.arg(path, detail), Kind::Damaged);
    };
    // The file's tables and indexes, read once: a few rows.
    struct SchemaEntry {
        bool index;
        QString name;
        QString table;
    };
    std::vector<SchemaEntry> schema;
    {
        Statement& st = conn.statement(QStringLiteral("SELECT type, name, tbl_name FROM "
                                                      "sqlite_master WHERE type IN ('table', "
                                                      "'index')"));
        while (conn.step(st, what))
            schema.push_back(
                {st.column(0).s == QLatin1String("index"), st.column(1).s, st.column(2).s});
    }
    // The engine compares table names without regard to the case of ASCII
    // letters (NOCASE).
    const auto entry = std::find_if(schema.begin(), schema.end(), [&](const SchemaEntry& e) {
        return !e.index && sameIgnoringAsciiCase(e.name, table);
    });
    if (entry == schema.end())
        throw damage(QStringLiteral("names no table %1").arg(table));
    const QString name = entry->name;
    TFieldDefs fieldDefs;
    {
        Statement& st = conn.statement(
            QStringLiteral("SELECT name, type, size, required FROM %1 ORDER BY position")
                .arg(fieldsTableName()));
        while (conn.step(st, what)) {
            const TFieldType type = typeFromName(st.column(1).s);
            if (type == ftUnknown)
                throw damage(QStringLiteral("has an unknown type"));
            fieldDefs.Add(st.column(0).s, type, static_cast<int>(st.integer(2)), st.integer(3));
        }
    }
    TIndexDefs indexDefs;
    std::vector<bool> built;
    {
        Statement& st = conn.statement(
            QStringLiteral("SELECT name, fields, options, built FROM %1 ORDER BY position")
                .arg(indexesTableName()));
        while (conn.step(st, what)) {
            TIndexOptions options;
            if (!optionsFromText(st.column(2).s, options))
                throw damage(QStringLiteral("has unknown index options"));
            indexDefs.Add(st.column(0).s, st.column(1).s, options);
            built.push_back(st.integer(3) != 0);
        }
    }
    Layout lay;
    try {
        lay = Layout::define(name, fieldDefs, indexDefs);
    } catch (const EDatabaseError& e) {
        throw damage(QStringLiteral("is invalid (%1)").arg(e.message()));
    }
    for (size_t i = 0; i < built.size(); ++i)
        lay.indexes[i].built = built[i] || lay.indexes[i].primary();
    // The SQL table must have the recorded fields, in order (the columns of
    // a query of all of them, which is prepared and never run), and the built
    // indexes.
    {
        Statement& st = conn.statement(QStringLiteral("SELECT * FROM %1").arg(quoted(lay.table)));
        const int n = sqlite3_column_count(st.get());
        bool match = n >= 0 && size_t(n) == lay.fields.size();
        for (int i = 0; match && i < n; ++i)
            match = QString::fromUtf8(sqlite3_column_name(st.get(), i))
                        .compare(lay.fields[size_t(i)].Name, Qt::CaseInsensitive) == 0;
        if (!match)
            throw damage(QStringLiteral("does not match its columns"));
    }
    for (const Index& index : lay.indexes) {
        if (index.primary() || !index.built)
            continue;
        const bool found = std::any_of(schema.begin(), schema.end(), [&](const SchemaEntry& e) {
            return e.index && e.name == index.name && e.table == lay.table;
        });
        if (!found)
            throw damage(QStringLiteral("names a missing index %1").arg(index.name));
    }
    return lay;
}

void addIndex(Connection& conn, const Layout& layout, size_t i) {
    const QString what = QStringLiteral("Adding an index to");
    const Index& index = layout.indexes[i];
    if (!index.primary())
        conn.exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                      .arg(index.unique() ? QStringLiteral("UNIQUE ") : QString(),
                           quoted(index.name), quoted(layout.table),
                           IndexTerms(layout, static_cast<int>(i)).definition()),
                  what);
    Statement& st = conn.statement(QStringLiteral("INSERT INTO %1 (position, name, fields, "
                                                  "options, built) VALUES (?, ?, ?, ?, 1)")
                                       .arg(indexesTableName()));
    const TIndexDef def = layout.indexDefs()[static_cast<int>(i)];
    st.bind(1, static_cast<qint64>(i + 1));
    st.bind(2, Value::text(def.Name));
    st.bind(3, Value::text(def.Fields));
    st.bind(4, Value::text(optionsText(def.Options)));
    conn.step(st, what);
}

void dropIndex(Connection& conn, Layout& layout, size_t i) {
    conn.exec(QStringLiteral("DROP INDEX %1").arg(quoted(layout.indexes[i].name)),
              QStringLiteral("Writing"));
    setBuilt(conn, layout, i, false);
}

void buildIndex(Connection& conn, Layout& layout, size_t i) {
    conn.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                  .arg(quoted(layout.indexes[i].name), quoted(layout.table),
                       IndexTerms(layout, static_cast<int>(i)).definition()),
              QStringLiteral("Building an index of"));
    setBuilt(conn, layout, i, true);
}

void rereadBuiltMarks(Connection& conn, Layout& layout) noexcept {
    if (!conn.isOpen())
        return;
    try {
        Statement& st = conn.statement(
            QStringLiteral("SELECT built FROM %1 ORDER BY position").arg(indexesTableName()));
        for (Index& index : layout.indexes)
            if (conn.step(st, QStringLiteral("Reading")))
                index.built = st.integer(0) != 0 || index.primary();
        st.reset();
    } catch (const EDatabaseError&) {
        // Built again when needed; CREATE INDEX IF NOT EXISTS copes.
    }
}

} // namespace platform::tables::catalogue
