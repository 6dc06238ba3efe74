#include "platform/core/tablelayout.h"

#include <algorithm>

namespace platform::tables {

namespace {

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

[[noreturn]] void nameError(const QString& message) {
    throw EDatabaseError(message, EDatabaseError::Kind::InvalidName);
}

[[noreturn]] void definitionError(const QString& message) {
    throw EDatabaseError(message, EDatabaseError::Kind::InvalidDefinition);
}

} // namespace

QString quoted(const QString& identifier) {
    QString q = identifier;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

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

// ---------------------------------------------------------------- Layout

Layout Layout::define(const QString& table, const TFieldDefs& fieldDefs,
                      const TIndexDefs& indexDefs) {
    Layout lay;
    lay.table = table;
    if (fieldDefs.Count() == 0)
        definitionError(QStringLiteral("Table %1 has no fields.").arg(table));
    for (int i = 0; i < fieldDefs.Count(); ++i) {
        const TFieldDef& f = fieldDefs[i];
        if (!validName(f.Name))
            nameError(QStringLiteral("Invalid field name '%1'.").arg(f.Name));
        if (lay.fieldIndex(f.Name) >= 0)
            nameError(QStringLiteral("Duplicate field name '%1'.").arg(f.Name));
        if (typeName(f.DataType).isEmpty())
            definitionError(QStringLiteral("Field '%1' has an unknown type.").arg(f.Name));
        if (f.Size < 0 || (f.DataType == ftString && f.Size < 1))
            definitionError(
                QStringLiteral("Invalid size %1 for field '%2'.").arg(f.Size).arg(f.Name));
        lay.fields.push_back(f);
    }
    for (int i = 0; i < indexDefs.Count(); ++i) {
        const TIndexDef& def = indexDefs[i];
        Index index{def.Name, {}, def.Options};
        if (index.primary()) {
            if (lay.primary >= 0)
                definitionError(QStringLiteral("Table %1 has two primary indexes.").arg(table));
            lay.primary = static_cast<int>(lay.indexes.size());
        } else {
            if (!validName(def.Name) || def.Name.compare(table, Qt::CaseInsensitive) == 0)
                nameError(QStringLiteral("Invalid index name '%1'.").arg(def.Name));
            if (lay.findIndex(def.Name) >= 0)
                nameError(QStringLiteral("Duplicate index name '%1'.").arg(def.Name));
        }
        const QStringList names = def.fieldList();
        if (names.isEmpty())
            definitionError(QStringLiteral("Index '%1' has no fields.").arg(def.Name));
        for (const QString& name : names) {
            const int f = lay.fieldIndex(name);
            if (f < 0)
                definitionError(
                    QStringLiteral("Index '%1': field '%2' not found.").arg(def.Name, name));
            if (std::find(index.fields.begin(), index.fields.end(), f) != index.fields.end())
                definitionError(
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

bool Layout::isKeyField(int field) const {
    if (primary < 0)
        return false;
    const std::vector<int>& key = indexes[static_cast<size_t>(primary)].fields;
    return std::find(key.begin(), key.end(), field) != key.end();
}

QString Layout::columnList() const {
    QStringList columns;
    for (const TFieldDef& f : fields)
        columns << quoted(f.Name);
    return columns.join(QLatin1String(", "));
}

QString Layout::insertSql() const {
    const QStringList marks(static_cast<qsizetype>(fields.size()), QStringLiteral("?"));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoted(table), columnList(), marks.join(QLatin1String(", ")));
}

// ---------------------------------------------------------------- IndexTerms

bool IndexTerms::rowidOrder() const {
    if (ix < 0)
        return true;
    return ix == lay->primary && lay->rowidKey && !def().descending();
}

int IndexTerms::fieldCount() const {
    return ix < 0 ? 0 : static_cast<int>(def().fields.size());
}

int IndexTerms::field(int i) const {
    return def().fields[static_cast<size_t>(i)];
}

int IndexTerms::keyLength(const std::vector<Value>& key) const {
    int n = 0;
    while (n < fieldCount() && !key[static_cast<size_t>(field(n))].isNull())
        ++n;
    return n;
}

bool IndexTerms::caseInsensitive(int i) const {
    return isText(lay->fields[static_cast<size_t>(field(i))].DataType) &&
           def().options.testFlag(ixCaseInsensitive);
}

QString IndexTerms::column(int i) const {
    QString t = quoted(lay->fields[static_cast<size_t>(field(i))].Name);
    if (caseInsensitive(i))
        t += QLatin1String(" COLLATE NOCASE");
    return t;
}

QString IndexTerms::definition() const {
    QStringList terms;
    for (int i = 0; i < fieldCount(); ++i)
        terms << column(i) + (descending() ? QLatin1String(" DESC") : QLatin1String(""));
    return terms.join(QLatin1String(", "));
}

QString IndexTerms::orderBy() const {
    if (ix < 0)
        return QStringLiteral("rowid");
    // Equal keys of a non-unique index follow in rowid order, which the
    // index itself keeps, so no sorting is needed.
    return unique() ? definition() : definition() + QLatin1String(", rowid");
}

QString IndexTerms::compare(int count, Comparison comparison) const {
    QLatin1String op("=");
    if (comparison == AtLeast)
        op = QLatin1String(descending() ? "<=" : ">=");
    else if (comparison == AtMost)
        op = QLatin1String(descending() ? ">=" : "<=");
    QStringList lhs, rhs;
    for (int i = 0; i < count; ++i) {
        lhs << column(i);
        rhs << QStringLiteral("?");
    }
    return QStringLiteral("(%1) %2 (%3)")
        .arg(lhs.join(QLatin1String(", ")), op, rhs.join(QLatin1String(", ")));
}

} // namespace platform::tables
