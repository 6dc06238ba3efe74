#pragma once
// Inside the table layer: the value of one field of one row.

#include "platform/core/tabledefs.h"

#include <QString>
#include <vector>

namespace platform::tables {

// A value of a field: NULL, a number or a text.
struct Value {
    enum Kind : quint8 { Null, Int, Text };
    Kind kind = Null;
    qint64 i = 0;
    QString s;

    bool isNull() const { return kind == Null; }
    // NULL or the empty text: what a required field refuses.
    bool isEmpty() const { return kind == Null || (kind == Text && s.isEmpty()); }
    // Makes it NULL. The text it held, if any, stays in `s` until replaced:
    // a value is what its kind says, and a row is cleared for every Append.
    void clear() {
        kind = Null;
        i = 0;
    }
    static Value number(qint64 v) { return Value{Int, v, {}}; }
    static Value text(const QString& v) { return Value{Text, 0, v}; }
};

// A record's values as a row of values.
inline std::vector<Value> valuesOf(const TRecordValue* record, size_t fields) {
    std::vector<Value> values(fields);
    for (size_t i = 0; i < fields; ++i) {
        if (record[i].kind == TRecordValue::Number)
            values[i] = Value::number(record[i].number);
        else if (record[i].kind == TRecordValue::Text)
            values[i] = Value::text(record[i].string());
    }
    return values;
}

} // namespace platform::tables
