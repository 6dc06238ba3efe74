#pragma once
// Inside the table layer: the cursor of an open table. It stands on one row
// of the rows shown (an index's order, within a range) or on none, and knows
// whether a move ran off either end (Bof, Eof).
//
// Sequential moves (First, Next) over the file step one statement through
// the rows in order: the walk. RecNo, RecordCount and other moves use the
// rowids of the rows in order, read once and kept until the next write: the
// order. A move builds an index that a bulk fill deferred first, since the
// engine reads in its order only then.
//
// While a bulk fill keeps the table's rows in memory (TableFile::inMemory),
// the order holds their row numbers there instead, sorted in memory in the
// index's order, or is the rows' own order when they stand in the index's
// order where they are kept (MemoryRows::arrange); every move and read is
// served from memory; a key search, a range and a deletion write the rows
// to the file first.
//
// The row and the Bof and Eof flags change only through the transitions
// toNoRow, toRow, toPostedRow, toBeginning and toEnd; the row's place in the
// order is forgotten with the order (forgetOrder) and found again when needed
// (findPosition).

#include "platform/core/tablefile.h"

#include <deque>
#include <optional>

namespace platform::tables {

class Cursor {
public:
    // On no row of the file's rows in the order of `index`; call first().
    Cursor(TableFile& file, int index);
    ~Cursor() { stopWalk(); }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // ---- reads
    int index() const { return ix; }
    IndexTerms terms() const { return IndexTerms(file.layout(), ix); }
    bool hasRow() const { return onRow; }
    qint64 rowid() const { return id; }
    bool bof() const { return atBof; }
    bool eof() const { return atEof; }
    // A field of the current row; NULL without one. A row in memory is read
    // field by field, where it lies.
    const Value& value(int field) const {
        if (onRow && !loaded && memoryRow >= 0 && !walking() && file.inMemory()) {
            const MemoryRows& rows = file.rows();
            const auto r = static_cast<size_t>(memoryRow);
            if (r < rows.size() && rows.rowid(r) == id)
                return rows.valueAt(r, field, row[static_cast<size_t>(field)]);
        }
        if (loaded && onRow)
            return row[static_cast<size_t>(field)];
        return valueOfStoredRow(field);
    }
    // The rows shown: in the range, posted ones included.
    int recordCount() const;

    // ---- what is shown; each moves to the first row
    void showIndex(int index);
    void applyRange(std::vector<Value> low, std::vector<Value> high);
    void cancelRange();

    // ---- moves
    void first();
    void next();
    void prior();
    void last();
    // Moves to number `recNo` (1-based) of the rows shown; false when there
    // is no such row, and the cursor stays.
    bool moveToNumber(int recNo);
    // Moves to the first row whose leading index fields equal those that
    // `key` sets; false when there is none, and the cursor stays.
    bool moveToKey(const std::vector<Value>& key);
    // The 1-based number of the current row among the rows shown, 0 when it
    // lies outside them.
    int number();

    // ---- writes
    // Stores a row and stands on it. Its values move into the cursor, and
    // `row` is left holding the values the cursor had.
    void insertRow(std::vector<Value>& row);
    // Stores a record (TableFile::insert) and stands on it.
    void insertRecord(const TRecordValue* record);
    // Removes the current row and moves to the next one (the new last one
    // when it was last).
    void removeCurrentRow();
    void removeAllRows();
    // Puts everything on disk (TableFile::checkpoint).
    void checkpoint();
    // Ends the walk: before the table's layout or transactions change under
    // it. The cursor stays on its row.
    void stopWalk();

private:
    struct Range {
        std::vector<Value> low, high;
    };

    // The transitions of the position. A row kept in memory has its number
    // there (`memoryRow`), -1 for a row in the file.
    void toNoRow();
    void toRow(qint64 rowid, qsizetype position, qint64 memoryRow = -1);
    void toOrderRow(qsizetype position);
    void toPostedRow(qint64 rowid, std::vector<Value>& values);
    void toBeginning(); // stays on the first row, Bof set
    void toEnd();       // stays on the last row, Eof set

    bool walking() const { return walkPos >= 0 && walkPos == pos; }
    // value() of a row that is not read in memory: loaded from the file or
    // the walk once, then kept.
    const Value& valueOfStoredRow(int field) const;
    void loadRow() const;
    // The rows shown changed, or their positions: found anew when needed.
    // Each Post of a bulk fill comes here, mostly with nothing else to forget.
    void forgetOrder() {
        pos = -1;
        if (orderValid || walkPos >= 0)
            dropOrder();
    }
    void dropOrder();
    // What a query in index order needs: the index built.
    void prepareOrder();
    // Ends a bulk fill in memory, for what only the engine answers.
    void rowsToFile();
    void readOrder();
    qsizetype positionOf(qint64 rowid);
    void findPosition();
    // " WHERE condition AND the range", or "" without either.
    QString where(const QString& condition = QString()) const;
    // Binds the range's bounds from parameter `next` on.
    void bindRange(Statement& st, int next) const;

    TableFile& file;
    int ix;
    std::optional<Range> range;

    // The position: on a row (its rowid) or not; its place in the order, -1
    // while unknown (after Post); the flags of a move off either end.
    bool onRow = false;
    qint64 id = 0;
    qint64 memoryRow = -1;
    qsizetype pos = -1;
    bool atBof = true;
    bool atEof = true;
    // The values of the current row, read when first asked for.
    mutable std::vector<Value> row;
    mutable bool loaded = false;

    // The walk stands on position walkPos (-1: not in use).
    Statement* walk = nullptr;
    qsizetype walkPos = -1;
    // The rows shown, in order, while orderValid: their rowids, or while
    // orderInMemory their numbers in memory, or while orderInPlace the rows
    // in memory as they are kept.
    std::deque<qint64> order;
    std::vector<quint32> memoryOrder;
    bool orderValid = false;
    bool orderInMemory = false;
    bool orderInPlace = false;
    qsizetype orderSize() const {
        if (orderInPlace)
            return static_cast<qsizetype>(file.rows().size());
        return orderInMemory ? static_cast<qsizetype>(memoryOrder.size())
                             : static_cast<qsizetype>(order.size());
    }
    mutable qint64 count = -1; // rows shown, -1 while unknown
};

} // namespace platform::tables
