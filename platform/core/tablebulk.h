#pragma once
// Inside the table layer: what a bulk fill of a table keyed by one integer
// field keeps in memory. Posted rows are gathered, encoded one after another,
// and written in key order at the next safe point; a taken key is still
// refused at Post, by the keys of the file and of the gathered rows.

#include "platform/core/tableconnection.h"

#include <climits>
#include <vector>

namespace platform::tables {

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

// Rows posted and not yet written, each under its key. A row is its values
// one after another: the kind, then a number, or the length of a text and its
// UTF-8 bytes.
class GatheredRows {
public:
    explicit GatheredRows(size_t fieldsPerRow = 0) : fields(fieldsPerRow) {}

    bool empty() const { return pending.empty(); }
    size_t size() const { return pending.size(); }
    qint64 key(size_t i) const { return pending[i].key; }
    void add(qint64 key, const std::vector<Value>& row);
    void sortByKey();
    // Binds row i to the parameters of `st` after the first `before`. The
    // texts are bound in place: the rows must stay until the statement ran.
    void bind(Statement& st, size_t i, int before) const;
    // The values of the row with this key; false when none is gathered.
    bool find(qint64 key, std::vector<Value>& row) const;
    void clear();

private:
    void encode(const Value& v);

    struct PendingRow {
        qint64 key;
        size_t offset;
    };
    size_t fields;
    std::vector<PendingRow> pending;
    std::vector<char> rows;
};

// The keys taken in a table during a bulk fill. While keys come in ascending
// order the largest key is all it takes to refuse a taken one; the first key
// out of order loads every key of the file and of the gathered rows.
class TakenKeys {
public:
    // Raises "Key violation." when `key` is taken, and takes it otherwise.
    void take(qint64 key, Connection& conn, const QString& table, const GatheredRows& gathered);
    // The row with this key was deleted.
    void release(qint64 key);
    // The keys are read from the file again at the next take (after the
    // table was emptied, or a rollback undid what was taken).
    void forget();

private:
    KeySet keys;
    qint64 maxKey = LLONG_MIN;
    bool ascending = true;
    bool loaded = false;
};

} // namespace platform::tables
