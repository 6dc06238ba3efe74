#include "platform/core/tablecursor.h"

#include <algorithm>
#include <ranges>
#include <utility>

namespace platform::tables {

namespace {

const Value nullValue;

} // namespace

Cursor::Cursor(TableFile& tableFile, int index)
    : file(tableFile), ix(index), row(tableFile.layout().fields.size()) {}

// ---------------------------------------------------------------- transitions

void Cursor::toNoRow() {
    onRow = false;
    memoryRow = -1;
    pos = -1;
    loaded = false;
    atBof = atEof = true;
}

void Cursor::toRow(qint64 rowid, qsizetype position, qint64 inMemory) {
    onRow = true;
    id = rowid;
    memoryRow = inMemory;
    pos = position;
    loaded = false;
    atBof = atEof = false;
}

void Cursor::toOrderRow(qsizetype position) {
    const auto p = static_cast<size_t>(position);
    if (!orderInMemory)
        return toRow(order[p], position);
    if (orderInPlace)
        return toRow(file.rows().rowid(p), position, position);
    const quint32 r = memoryOrder[p];
    // A walk through the order reads the rows all over memory: the row a few
    // steps ahead is on its way meanwhile.
    constexpr size_t ahead = 8;
    if (p + ahead < memoryOrder.size())
        __builtin_prefetch(file.rows().address(memoryOrder[p + ahead]));
    toRow(file.rows().rowid(r), position, r);
}

void Cursor::toPostedRow(qint64 rowid, std::vector<Value>& values) {
    // A row kept in memory is the last one there.
    toRow(rowid, -1, file.inMemory() ? static_cast<qint64>(file.rows().size()) - 1 : -1);
    row.swap(values);
    loaded = true;
}

void Cursor::toBeginning() {
    atBof = true;
    atEof = false;
}

void Cursor::toEnd() {
    atEof = true;
    atBof = false;
}

// ---------------------------------------------------------------- reads

const Value& Cursor::valueOfStoredRow(int field) const {
    if (!onRow)
        return nullValue;
    loadRow();
    return row[static_cast<size_t>(field)];
}

void Cursor::loadRow() const {
    const MemoryRows& rows = file.rows();
    if (walking()) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = walk->column(static_cast<int>(i) + 1);
    } else if (file.inMemory() && memoryRow >= 0 && static_cast<size_t>(memoryRow) < rows.size() &&
               rows.rowid(static_cast<size_t>(memoryRow)) == id) {
        rows.read(static_cast<size_t>(memoryRow), row);
    } else {
        Statement& st = file.rowStatement();
        st.bind(1, id);
        const bool found = file.step(st, QStringLiteral("Reading"));
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = found ? st.column(static_cast<int>(i)) : Value{};
        st.reset();
    }
    loaded = true;
}

int Cursor::recordCount() const {
    if (count < 0 && file.inMemory()) {
        // A range writes the rows to the file (applyRange), so these are all.
        count = static_cast<qint64>(file.rows().size());
    } else if (count < 0) {
        Statement& st = file.statement(
            QStringLiteral("SELECT count(*) FROM %1%2").arg(quoted(file.layout().table), where()));
        bindRange(st, 1);
        file.step(st, QStringLiteral("Counting"));
        count = st.integer(0);
        st.reset();
    }
    return static_cast<int>(count);
}

QString Cursor::where(const QString& condition) const {
    QStringList parts;
    if (!condition.isEmpty())
        parts << condition;
    if (range) {
        const IndexTerms t = terms();
        if (const int n = t.keyLength(range->low))
            parts << t.compare(n, IndexTerms::AtLeast);
        if (const int n = t.keyLength(range->high))
            parts << t.compare(n, IndexTerms::AtMost);
    }
    return parts.isEmpty() ? QString() : QLatin1String(" WHERE ") + parts.join(" AND ");
}

void Cursor::bindRange(Statement& st, int next) const {
    if (!range)
        return;
    const IndexTerms t = terms();
    for (const auto* key : {&range->low, &range->high})
        for (int i = 0, n = t.keyLength(*key); i < n; ++i)
            st.bind(next++, (*key)[static_cast<size_t>(t.field(i))]);
}

// ---------------------------------------------------------------- the order

void Cursor::stopWalk() {
    if (walkPos >= 0)
        walk->reset();
    walkPos = -1;
}

void Cursor::dropOrder() {
    stopWalk();
    orderValid = false;
    orderInPlace = false;
    order.clear();
    memoryOrder = {};
}

void Cursor::prepareOrder() {
    if (!file.inMemory())
        file.buildIndexIfDeferred(ix);
}

void Cursor::rowsToFile() {
    if (!file.inMemory())
        return;
    file.writeMemoryRows();
    forgetOrder();
}

void Cursor::readOrder() {
    prepareOrder();
    if (orderValid && orderInMemory == file.inMemory())
        return;
    // The rows went from memory to the file: same order, other references.
    if (orderValid)
        forgetOrder();
    orderInMemory = file.inMemory();
    if (orderInMemory) {
        // The current row stays current where the rows move.
        orderInPlace = file.arrangeRows(terms(), memoryRow);
        if (!orderInPlace)
            memoryOrder = file.rows().ordered(terms());
        orderValid = true;
        count = static_cast<qint64>(orderSize());
        return;
    }
    Statement& st =
        file.statement(QStringLiteral("SELECT rowid FROM %1%2 ORDER BY %3")
                           .arg(quoted(file.layout().table), where(), terms().orderBy()));
    bindRange(st, 1);
    order.clear();
    while (file.step(st, QStringLiteral("Reading")))
        order.push_back(st.integer(0));
    orderValid = true;
    count = static_cast<qint64>(order.size());
}

qsizetype Cursor::positionOf(qint64 rowid) {
    readOrder();
    if (orderInPlace) {
        const MemoryRows& rows = file.rows();
        const auto places = std::views::iota(qsizetype(0), static_cast<qsizetype>(rows.size()));
        const auto at = [&](qsizetype p) { return rows.rowid(static_cast<size_t>(p)); };
        const auto it = terms().rowidOrder() ? std::ranges::lower_bound(places, rowid, {}, at)
                                             : std::ranges::find(places, rowid, at);
        return it != places.end() && at(*it) == rowid ? *it : -1;
    }
    if (orderInMemory) {
        const MemoryRows& rows = file.rows();
        const auto begin = memoryOrder.begin(), end = memoryOrder.end();
        const auto it =
            terms().rowidOrder()
                ? std::lower_bound(begin, end, rowid,
                                   [&](quint32 r, qint64 v) { return rows.rowid(r) < v; })
                : std::find_if(begin, end, [&](quint32 r) { return rows.rowid(r) == rowid; });
        return it != end && rows.rowid(*it) == rowid ? it - begin : -1;
    }
    if (terms().rowidOrder()) {
        const auto it = std::lower_bound(order.begin(), order.end(), rowid);
        return it != order.end() && *it == rowid ? it - order.begin() : -1;
    }
    const auto it = std::find(order.begin(), order.end(), rowid);
    return it != order.end() ? it - order.begin() : -1;
}

// Makes the position known (-1 when the row lies outside the range).
void Cursor::findPosition() {
    if (onRow && pos < 0)
        pos = positionOf(id);
}

int Cursor::number() {
    findPosition();
    return static_cast<int>(pos + 1);
}

// ---------------------------------------------------------------- what is shown

void Cursor::showIndex(int index) {
    ix = index;
    range.reset();
    forgetOrder();
    count = -1;
    first();
}

void Cursor::applyRange(std::vector<Value> low, std::vector<Value> high) {
    rowsToFile();
    range = Range{std::move(low), std::move(high)};
    forgetOrder();
    count = -1;
    first();
}

void Cursor::cancelRange() {
    range.reset();
    forgetOrder();
    count = -1;
    first();
}

// ---------------------------------------------------------------- moves

void Cursor::first() {
    stopWalk();
    if (file.inMemory()) {
        readOrder();
        if (orderSize() == 0)
            return toNoRow();
        toOrderRow(0);
        return toBeginning();
    }
    prepareOrder();
    walk = &file.statement(QStringLiteral("SELECT rowid, %1 FROM %2%3 ORDER BY %4")
                               .arg(file.layout().columnList(), quoted(file.layout().table),
                                    where(), terms().orderBy()));
    bindRange(*walk, 1);
    if (!file.step(*walk, QStringLiteral("Reading")))
        return toNoRow();
    walkPos = 0;
    toRow(walk->integer(0), 0);
    toBeginning();
}

void Cursor::next() {
    if (!onRow)
        return;
    // A walk through rows in memory, in an order already read.
    if (walkPos < 0 && orderValid && orderInMemory && pos >= 0 && file.inMemory()) {
        if (pos + 1 < orderSize())
            toOrderRow(pos + 1);
        else
            toEnd();
        return;
    }
    if (walking()) {
        // A failed step resets the statement: the walk is off until it works.
        const qsizetype at = std::exchange(walkPos, -1);
        if (!file.step(*walk, QStringLiteral("Reading")))
            return toEnd(); // the walk has ended; the last row stays current
        walkPos = at + 1;
        toRow(walk->integer(0), at + 1);
        return;
    }
    findPosition();
    readOrder();
    if (pos < 0)
        first(); // the row lies outside the range
    else if (pos + 1 < orderSize())
        toOrderRow(pos + 1);
    else
        toEnd();
}

void Cursor::prior() {
    findPosition();
    readOrder();
    if (!onRow)
        return;
    if (pos < 0)
        first();
    else if (pos > 0)
        toOrderRow(pos - 1);
    else
        toBeginning();
}

void Cursor::last() {
    readOrder();
    if (orderSize() == 0)
        return toNoRow();
    toOrderRow(orderSize() - 1);
    toEnd();
}

bool Cursor::moveToNumber(int recNo) {
    readOrder();
    if (recNo < 1 || recNo > orderSize())
        return false;
    toOrderRow(recNo - 1);
    return true;
}

bool Cursor::moveToKey(const std::vector<Value>& key) {
    const IndexTerms t = terms();
    const int n = t.keyLength(key);
    if (n == 0)
        return false;
    rowsToFile();
    prepareOrder();
    Statement& st = file.statement(
        QStringLiteral("SELECT rowid FROM %1%2 ORDER BY %3 LIMIT 1")
            .arg(quoted(file.layout().table), where(t.compare(n, IndexTerms::Equal)), t.orderBy()));
    for (int i = 0; i < n; ++i)
        st.bind(i + 1, key[static_cast<size_t>(t.field(i))]);
    bindRange(st, n + 1);
    if (!file.step(st, QStringLiteral("Searching")))
        return false;
    const qint64 found = st.integer(0);
    st.reset();
    const qsizetype p = positionOf(found);
    if (p < 0)
        return false;
    toOrderRow(p);
    return true;
}

// ---------------------------------------------------------------- writes

void Cursor::insertRow(std::vector<Value>& values) {
    stopWalk();
    // Under a range the row goes to the file at once: only the engine tells
    // whether it lies in the range, and RecordCount asks it.
    const qint64 rowid = file.insert(values, range.has_value());
    forgetOrder();
    toPostedRow(rowid, values);
    if (count >= 0)
        count = range ? -1 : count + 1;
}

void Cursor::insertRecord(const TRecordValue* record) {
    if (range) {
        std::vector<Value> values = valuesOf(record, row.size());
        return insertRow(values);
    }
    stopWalk();
    const qint64 rowid = file.insert(record);
    forgetOrder();
    // A row kept in memory is the last one there; it is read when asked for.
    toRow(rowid, -1, file.inMemory() ? static_cast<qint64>(file.rows().size()) - 1 : -1);
    if (count >= 0)
        ++count;
}

void Cursor::removeCurrentRow() {
    rowsToFile();
    readOrder();
    findPosition();
    stopWalk();
    file.remove(id);
    if (pos < 0) {
        forgetOrder();
        count = -1;
        return first();
    }
    order.erase(order.begin() + pos);
    count = static_cast<qint64>(order.size());
    const auto size = static_cast<qsizetype>(order.size());
    if (size == 0) {
        toNoRow();
    } else if (pos < size) {
        toOrderRow(pos);
    } else {
        toOrderRow(size - 1);
        toEnd();
    }
}

void Cursor::removeAllRows() {
    forgetOrder();
    file.removeAll();
    toNoRow();
    orderValid = true; // no rows: the order is known
    count = 0;
}

void Cursor::checkpoint() {
    stopWalk();
    const bool inMemory = file.inMemory();
    file.checkpoint();
    if (inMemory)
        forgetOrder();
}

} // namespace platform::tables
