#pragma once
// Inside the table layer: the layout of a table (its fields and indexes, as
// checked when defined) and the SQL pieces that name an index's order. The
// layout as stored in a file is in tablecatalogue.h.

#include "platform/core/tabledefs.h"
#include "platform/core/tablevalue.h"

#include <vector>

namespace platform::tables {

// The two tables beside the data that record the layout in every table file.
inline constexpr const char* fieldsTable = "_layout_fields";
inline constexpr const char* indexesTable = "_layout_indexes";

// "name" with inner quotes doubled: an identifier is never spliced into SQL
// as it is.
QString quoted(const QString& identifier);

bool isText(TFieldType type);
// The stored names of types and index options ("Smallint", "Primary,Unique").
QString typeName(TFieldType type);
TFieldType typeFromName(const QString& name); // ftUnknown when unknown
QString optionsText(TIndexOptions options);
bool optionsFromText(const QString& text, TIndexOptions& options);

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

    // Checks names, types and index fields; resolves the indexes. Raises
    // InvalidName or InvalidDefinition.
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
    bool isKeyField(int field) const;
    // "INSERT INTO t (f1, f2) VALUES (?, ?)".
    QString insertSql() const;
    // "f1, f2": every field, in order.
    QString columnList() const;
};

// The SQL terms of an index's order, in the one form that its CREATE INDEX,
// the primary key, every ORDER BY and every key comparison share: each field
// quoted, text fields of a case-insensitive index with COLLATE NOCASE, DESC
// for a descending index. Index -1 is rowid order.
class IndexTerms {
public:
    IndexTerms(const Layout& layout, int index) : lay(&layout), ix(index) {}

    int index() const { return ix; }
    bool rowidOrder() const; // ascending rowid: order and rowids agree
    int fieldCount() const;
    int field(int i) const; // the layout position of field i of the index
    // Field i is text compared without regard to case (COLLATE NOCASE).
    bool caseInsensitive(int i) const;
    bool descending() const { return ix >= 0 && def().descending(); }
    // Keys of a unique index do not tie; others tie-break on rowid.
    bool unique() const { return ix >= 0 && def().unique(); }
    // How many leading fields of the index `key` sets (a key buffer holds a
    // value for every field of the layout).
    int keyLength(const std::vector<Value>& key) const;
    // Field i of the index with its collation: "col COLLATE NOCASE".
    QString column(int i) const;
    // The terms with their direction, for CREATE INDEX and PRIMARY KEY.
    QString definition() const;
    // The rows' order: the definition, then rowid for a non-unique index.
    QString orderBy() const;
    // "(t1, t2) op (?, ?)" over the first `count` fields; AtLeast and AtMost
    // are given for ascending order and turned round for a descending index.
    enum Comparison { Equal, AtLeast, AtMost };
    QString compare(int count, Comparison comparison) const;

private:
    const Index& def() const { return lay->indexes[static_cast<size_t>(ix)]; }
    const Layout* lay;
    int ix;
};

} // namespace platform::tables
