#pragma once
// The definitions of a table: its field types and index options, the field and
// index definition lists a table is created from, and the names the table's
// users share (see table.h for the table itself).

#include "platform/core/errors.h"

#include <QFlags>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstddef>
#include <vector>

using EDatabaseError = platform::EDatabaseError;
using EConvertError = platform::EConvertError;

// ftInteger is signed 32-bit, ftSmallint signed 16-bit, ftWord unsigned 16-bit,
// ftString text of a declared width, ftMemo text of any length.
enum TFieldType { ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftMemo };

enum TIndexOption { ixPrimary = 0x1, ixUnique = 0x2, ixDescending = 0x4, ixCaseInsensitive = 0x8 };
Q_DECLARE_FLAGS(TIndexOptions, TIndexOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TIndexOptions)

// Both table types mean the storage described above.
enum TTableType { ttDefault, ttParadox };
// Rows are always found by their key; the mode is kept for the callers.
enum TUpdateMode { upWhereAll, upWhereChanged, upWhereKeyOnly };
// dsSetKey: the fields edit a search key or a range bound instead of a row.
enum TDataSetState { dsInactive, dsBrowse, dsInsert, dsSetKey };

// One field's value for TTable::AppendRecord: a number, a text or NULL. A
// text is referred to, not copied: it must live until AppendRecord returns.
// A QString is kept as it is where the table keeps the text; characters seen
// through a view are copied then.
class TRecordValue {
public:
    enum Kind : quint8 { Null, Number, Text };
    TRecordValue(std::nullptr_t) {}
    TRecordValue(int value) : kind(Number), number(value) {}
    TRecordValue(qint64 value) : kind(Number), number(value) {}
    TRecordValue(const QString& value) : kind(Text), text(&value), view(value) {}
    TRecordValue(QStringView value) : kind(Text), view(value) {}

    // The text as a QString of its own, when it came as a view.
    QString string() const { return text ? *text : view.toString(); }

    Kind kind = Null;
    qint64 number = 0;
    const QString* text = nullptr; // null for a view
    QStringView view;
};

struct TFieldDef {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    bool Required = false;
};

class TFieldDefs {
public:
    void Clear() { items.clear(); }
    void Add(const QString& name, TFieldType dataType, int size = 0, bool required = false);
    int Count() const { return static_cast<int>(items.size()); }
    const TFieldDef& operator[](int i) const { return items.at(static_cast<size_t>(i)); }
    // The position of the named field (names match without regard to case), or -1.
    int IndexOf(const QString& name) const;

private:
    std::vector<TFieldDef> items;
};

struct TIndexDef {
    QString Name;
    QString Fields; // field names separated by ';'
    TIndexOptions Options;
    QStringList fieldList() const;
};

class TIndexDefs {
public:
    void Clear() { items.clear(); }
    void Add(const QString& name, const QString& fields, TIndexOptions options);
    int Count() const { return static_cast<int>(items.size()); }
    const TIndexDef& operator[](int i) const { return items.at(static_cast<size_t>(i)); }
    // The position of the named index (without regard to case; "" is the
    // primary index), or -1.
    int IndexOf(const QString& name) const;

private:
    std::vector<TIndexDef> items;
};
