#include "platform/core/tablebulk.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <utility>

#include <sys/mman.h>

namespace platform::tables {

namespace {

// The engine's case folding for NOCASE: A to Z, nothing else.
inline unsigned char fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

} // namespace

int compareText(const QByteArray& a, const QByteArray& b, bool noCase) {
    const qsizetype n = std::min(a.size(), b.size());
    int r = 0;
    if (noCase) {
        // As the engine's NOCASE does it: the folded bytes up to the shorter
        // length, stopping at a NUL of the left text; then the lengths.
        const auto* p = reinterpret_cast<const unsigned char*>(a.constData());
        const auto* q = reinterpret_cast<const unsigned char*>(b.constData());
        qsizetype i = 0;
        while (i < n && p[i] != 0 && fold(p[i]) == fold(q[i]))
            ++i;
        r = i < n ? fold(p[i]) - fold(q[i]) : 0;
    } else if (n > 0) {
        r = std::memcmp(a.constData(), b.constData(), static_cast<size_t>(n));
    }
    if (r == 0)
        r = a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    return r;
}

// ---------------------------------------------------------------- KeySet

bool KeySet::insert(qint32 key) {
    const auto k = static_cast<quint32>(key);
    if (pageOf.empty())
        pageOf.assign(size_t(1) << 16, 0);
    quint32& page = pageOf[k >> 16];
    if (page == 0) {
        pages.push_back(std::make_unique<quint64[]>(groups)); // all clear
        page = static_cast<quint32>(pages.size());
    }
    const unsigned bit = k & 0xffu;
    quint64* word = &pages[page - 1][(k >> 8) & 0xffu];
    if (bit >= 64)
        word = &high[k >> 8][(bit >> 6) - 1];
    const quint64 mask = quint64(1) << (bit & 63);
    if (*word & mask)
        return false;
    *word |= mask;
    return true;
}

size_t KeySet::bytes() const {
    return pageOf.capacity() * sizeof(quint32) + pages.capacity() * sizeof(void*) +
           pages.size() * groups * sizeof(quint64) +
           high.size() * (sizeof(quint32) + sizeof(std::array<quint64, 3>) + 2 * sizeof(void*));
}

void KeySet::clear() {
    pageOf = {};
    decltype(pages)().swap(pages);
    high = {};
}

// ---------------------------------------------------------------- sorting

namespace {

// Sorts `order` stably by key(row), an unsigned 32-bit key: by counting when
// the keys span a small range, by radix (two passes of 16 bits) otherwise.
// Both take linear time, so ordering a million rows costs milliseconds. An
// empty `order` stands for the rows 0 to n - 1 in their own order: it is
// made only when the sort moves a row, and never held twice.
template <typename Key> void sortStably(std::vector<quint32>& order, size_t n, Key key) {
    if (n < 2)
        return;
    const bool identity = order.empty();
    const auto at = [&](size_t i) { return identity ? static_cast<quint32>(i) : order[i]; };
    quint32 low = UINT_MAX, high = 0;
    for (size_t i = 0; i < n; ++i) {
        const quint32 k = key(at(i));
        low = std::min(low, k);
        high = std::max(high, k);
    }
    if (low == high)
        return;
    if (static_cast<size_t>(high - low) < std::max<size_t>(2 * n, 1 << 16)) {
        std::vector<quint32> start(static_cast<size_t>(high - low) + 2, 0);
        for (size_t i = 0; i < n; ++i)
            ++start[key(at(i)) - low + 1];
        std::partial_sum(start.begin(), start.end(), start.begin());
        std::vector<quint32> out(n);
        for (size_t i = 0; i < n; ++i) {
            const quint32 r = at(i);
            out[start[key(r) - low]++] = r;
        }
        order.swap(out);
        return;
    }
    // Each row's key computed once: the passes read it from there.
    quint32 top = 0;
    for (size_t i = 0; i < n; ++i)
        top = std::max(top, at(i));
    std::vector<quint32> keys(size_t(top) + 1);
    for (size_t i = 0; i < n; ++i)
        keys[at(i)] = key(at(i));
    for (int shift : {0, 16}) {
        const bool rowsInOrder = order.empty();
        const auto row = [&](size_t i) { return rowsInOrder ? static_cast<quint32>(i) : order[i]; };
        std::vector<quint32> start((1 << 16) + 1, 0);
        for (size_t i = 0; i < n; ++i)
            ++start[((keys[row(i)] >> shift) & 0xffff) + 1];
        if (start[((keys[row(0)] >> shift) & 0xffff) + 1] == n)
            continue; // every key has this digit
        std::partial_sum(start.begin(), start.end(), start.begin());
        std::vector<quint32> out(n);
        for (size_t i = 0; i < n; ++i) {
            const quint32 r = row(i);
            out[start[(keys[r] >> shift) & 0xffff]++] = r;
        }
        order.swap(out);
    }
}

// A signed number as an unsigned key of the same order.
inline quint32 unsignedKey(qint32 v) {
    return static_cast<quint32>(v) ^ 0x80000000u;
}

} // namespace

// ---------------------------------------------------------------- MemoryRows

MemoryRows::MemoryRows(const Layout& layout)
    : width(layout.fields.size()), isTextField(width), isSmallField(width), nulls(width) {
    for (size_t i = 0; i < width; ++i) {
        isTextField[i] = isText(layout.fields[i].DataType);
        isSmallField[i] = layout.fields[i].DataType == ftSmallint;
    }
    if (layout.rowidKey)
        keyField = layout.keyField();
    placeFields(true);
}

void MemoryRows::placeFields(bool narrow) {
    narrowTexts = narrow;
    places.resize(width);
    rowSize = 0;
    // The wide cells first, each at a multiple of four bytes.
    for (const bool wide : {true, false}) {
        for (size_t f = 0; f < width; ++f) {
            const CellForm form = isSmallField[f]                 ? NarrowNumber
                                  : isTextField[f] && narrowTexts ? NarrowText
                                                                  : Wide;
            if ((form == Wide) != wide)
                continue;
            places[f] = {static_cast<unsigned char>(rowSize), form};
            rowSize += form == Wide ? sizeof(qint32) : sizeof(quint16);
        }
    }
}

void MemoryRows::setCell(unsigned char* row, size_t field, qint32 value) const {
    const CellPlace place = places[field];
    if (place.form == Wide) {
        std::memcpy(row + place.offset, &value, sizeof value);
        return;
    }
    // A NULL text (-1) becomes narrowNull as a small number keeps its sign.
    const auto narrow = static_cast<quint16>(value);
    std::memcpy(row + place.offset, &narrow, sizeof narrow);
}

void MemoryRows::widenTexts() {
    const std::vector<CellPlace> was = places;
    const size_t wasSize = rowSize;
    placeFields(false);
    spare.clear(); // of the narrow size
    std::vector<Chunk> wide;
    for (size_t i = 0; i < rows; ++i) {
        if (i % perChunk == 0)
            wide.push_back(newChunk());
        const unsigned char* from = slot(chunks, i, wasSize);
        unsigned char* to = slot(wide, i, rowSize);
        for (size_t f = 0; f < width; ++f)
            setCell(to, f, readCell(from, was[f]));
        // Each old chunk goes once its rows are laid out anew.
        if (i % perChunk == perChunk - 1)
            chunks[i >> chunkBits].reset();
    }
    chunks.swap(wide);
}

void MemoryRows::ChunkRelease::operator()(unsigned char* chunk) const {
    ::munmap(chunk, bytes);
}

MemoryRows::Chunk MemoryRows::newChunk() {
    const size_t size = chunkBytes();
    // The chunks of rows put aside serve the rows that follow.
    if (!spare.empty() && spare.back().get_deleter().bytes == size) {
        Chunk chunk = std::move(spare.back());
        spare.pop_back();
        return chunk;
    }
    void* chunk = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (chunk == MAP_FAILED)
        throw std::bad_alloc();
    return Chunk(static_cast<unsigned char*>(chunk), ChunkRelease{size});
}

size_t MemoryRows::bytes() const {
    size_t n = textBytes + texts.capacity() * sizeof(Text) + chunks.size() * chunkBytes();
    for (const std::vector<bool>& marks : nulls)
        n += marks.capacity() / 8;
    return n;
}

namespace {

// A row's values, of either form: the row being appended, or a record.
inline Value::Kind kindOf(const Value& v) {
    return v.kind;
}
inline Value::Kind kindOf(const TRecordValue& v) {
    return v.kind == TRecordValue::Null
               ? Value::Null
               : (v.kind == TRecordValue::Number ? Value::Int : Value::Text);
}
inline qint64 numberOf(const Value& v) {
    return v.i;
}
inline qint64 numberOf(const TRecordValue& v) {
    return v.number;
}
inline QStringView textOf(const Value& v) {
    return v.s;
}
inline QStringView textOf(const TRecordValue& v) {
    return v.view;
}
inline const QString* sharedTextOf(const Value& v) {
    return &v.s;
}
inline const QString* sharedTextOf(const TRecordValue& v) {
    return v.text;
}

} // namespace

template <typename V> bool MemoryRows::fitsRow(const V* v) const {
    for (size_t i = 0; i < width; ++i) {
        const Value::Kind kind = kindOf(v[i]);
        if (kind == Value::Null)
            continue;
        if (isTextField[i] != (kind == Value::Text))
            return false;
        if (kind == Value::Int && numberOf(v[i]) != static_cast<qint32>(numberOf(v[i])))
            return false;
        if (kind == Value::Int && isSmallField[i] &&
            numberOf(v[i]) != static_cast<qint16>(numberOf(v[i])))
            return false;
    }
    return true;
}

namespace {

// The text's UTF-16 units taken eight bytes at a time, each mixed in by a
// multiplication, the high bits folded down at the end (the slots are
// chosen by the low ones): cheap for the short texts of a word table, and
// good enough to spread them.
size_t hashText(QStringView s) {
    const char* p = reinterpret_cast<const char*>(s.data());
    size_t left = static_cast<size_t>(s.size()) * sizeof(QChar);
    quint64 h = 0xcbf29ce484222325ULL ^ left;
    constexpr quint64 mix = 0x9e3779b97f4a7c15ULL;
    for (; left >= 8; p += 8, left -= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * mix;
        h ^= h >> 32;
    }
    if (left > 0) {
        // The last one to three units.
        quint64 w = 0;
        for (size_t i = 0; i < left; i += sizeof(QChar)) {
            quint16 unit;
            std::memcpy(&unit, p + i, sizeof unit);
            w |= quint64(unit) << (8 * i);
        }
        h = (h ^ w) * mix;
    }
    return static_cast<size_t>(h ^ (h >> 29) ^ (h >> 47));
}

} // namespace

qint32 MemoryRows::textNumber(QStringView s, const QString* shared) {
    const size_t hash = hashText(s);
    size_t mask = textSlots.size() - 1;
    size_t i = hash & mask;
    if (!textSlots.empty()) {
        for (;; i = (i + 1) & mask) {
            const qint32 t = textSlots[i];
            if (t < 0)
                break;
            const Text& text = texts[static_cast<size_t>(t)];
            if (text.hash == hash && text.value.s.size() == s.size() &&
                std::memcmp(text.value.s.constData(), s.constData(),
                            static_cast<size_t>(s.size()) * sizeof(QChar)) == 0)
                return t;
        }
    }
    const auto number = static_cast<qint32>(texts.size());
    texts.push_back(Text{Value::text(shared ? *shared : s.toString()), s.toUtf8(), hash});
    // The two copies of the text and its slot.
    textBytes += static_cast<size_t>(s.size()) * 2 + static_cast<size_t>(texts.back().utf8.size()) +
                 2 * sizeof(qint32);
    if (texts.size() * 2 > textSlots.size()) {
        // Half full: twice the slots, every text placed again.
        textSlots.assign(std::max<size_t>(1024, textSlots.size() * 2), -1);
        mask = textSlots.size() - 1;
        for (size_t t = 0; t < texts.size(); ++t) {
            size_t j = texts[t].hash & mask;
            while (textSlots[j] >= 0)
                j = (j + 1) & mask;
            textSlots[j] = static_cast<qint32>(t);
        }
    } else {
        textSlots[i] = number;
    }
    return number;
}

template <typename V> size_t MemoryRows::addRow(const V* v) {
    arrangedFor = notArranged;
    // A row brings at most one new text per field: texts are widened before
    // one could be numbered past what 16 bits hold.
    if (narrowTexts && texts.size() + width >= narrowNull)
        widenTexts();
    if ((rows >> chunkBits) == chunks.size())
        chunks.push_back(newChunk());
    unsigned char* const row = slot(chunks, rows, rowSize);
    qint32 key = 0;
    for (size_t f = 0; f < width; ++f) {
        const bool null = kindOf(v[f]) == Value::Null;
        qint32 cell = 0;
        if (isTextField[f]) {
            cell = null ? nullText : textNumber(textOf(v[f]), sharedTextOf(v[f]));
        } else {
            cell = null ? 0 : static_cast<qint32>(numberOf(v[f]));
            // Most tables never hold a NULL number: their marks stay empty.
            if (null || anyNull) {
                std::vector<bool>& marks = nulls[f];
                if (null && marks.empty())
                    marks.resize(rows);
                if (!marks.empty())
                    marks.push_back(null);
                anyNull = true;
            }
        }
        setCell(row, f, cell);
        if (f == static_cast<size_t>(keyField))
            key = cell;
    }
    if (rows > 0 && key <= lastKey)
        ascending = false;
    lastKey = key;
    return rows++;
}

template bool MemoryRows::fitsRow(const Value*) const;
template size_t MemoryRows::addRow(const Value*);
template size_t MemoryRows::addRow(const TRecordValue*);

void MemoryRows::read(size_t i, std::vector<Value>& row) const {
    row.resize(width);
    for (size_t f = 0; f < width; ++f) {
        const int field = static_cast<int>(f);
        Value& v = row[f];
        if (isNull(i, field)) {
            v.clear();
        } else if (isTextField[f]) {
            v.kind = Value::Text;
            v.s = texts[static_cast<size_t>(cell(i, field))].value.s;
        } else {
            v.kind = Value::Int;
            v.i = cell(i, field);
        }
    }
}

void MemoryRows::result(sqlite3_context* context, const qint32* cells, qint64 row,
                        int field) const {
    const auto f = static_cast<size_t>(field);
    const qint32 value = row >= 0 ? cell(static_cast<size_t>(row), field) : cells[f];
    if (isTextField[f]) {
        if (value == nullText)
            return sqlite3_result_null(context);
        const QByteArray& utf8 = texts[static_cast<size_t>(value)].utf8;
        return sqlite3_result_text(context, utf8.constData(), static_cast<int>(utf8.size()),
                                   SQLITE_STATIC);
    }
    if (row >= 0 && isNull(static_cast<size_t>(row), field))
        return sqlite3_result_null(context);
    sqlite3_result_int64(context, value);
}

bool MemoryRows::hasNulls() const {
    for (const std::vector<bool>& marks : nulls)
        if (!marks.empty())
            return true;
    return false;
}

void MemoryRows::clearRows() {
    // Kept for the rows that follow: mapped afresh, each page would be
    // cleared by the system again.
    spare = std::move(chunks);
    chunks.clear();
    rows = 0;
    ascending = true;
    arrangedFor = notArranged;
}

qint32 MemoryRows::textRanks(bool noCase, std::vector<quint32>& ranks) const {
    std::vector<qint32> byText(texts.size());
    std::iota(byText.begin(), byText.end(), 0);
    const auto utf8 = [this](qint32 t) -> const QByteArray& {
        return texts[static_cast<size_t>(t)].utf8;
    };
    std::sort(byText.begin(), byText.end(),
              [&](qint32 a, qint32 b) { return compareText(utf8(a), utf8(b), noCase) < 0; });
    ranks.assign(texts.size(), 0);
    quint32 rank = 0;
    for (size_t i = 0; i < byText.size(); ++i) {
        if (i > 0 && compareText(utf8(byText[i - 1]), utf8(byText[i]), noCase) != 0)
            ++rank;
        ranks[static_cast<size_t>(byText[i])] = rank;
    }
    return static_cast<qint32>(rank) + 1;
}

std::vector<quint32> MemoryRows::ordered(const IndexTerms& terms) const {
    // Empty while the rows stand in their own order (see sortStably).
    std::vector<quint32> order;
    const auto made = [&]() -> std::vector<quint32>& {
        if (order.empty() && rows > 0) {
            order.resize(rows);
            std::iota(order.begin(), order.end(), 0u);
        }
        return order;
    };
    if (terms.rowidOrder() && ascending)
        return std::move(made()); // they came in key order
    // Sorted stably field by field, the last field first, so that the first
    // field decides and each later one breaks the ties of those before it.
    // Equal keys of a non-unique index follow in rowid order (and rowid order
    // alone has no fields): that is the order to start from.
    const int fields = terms.fieldCount();
    if ((fields == 0 || !terms.unique()) && !ascending)
        sortStably(order, rows,
                   [this](quint32 r) { return unsignedKey(static_cast<qint32>(rowid(r))); });
    const bool descending = terms.descending();
    for (int i = fields - 1; i >= 0; --i) {
        const int f = terms.field(i);
        if (isTextField[static_cast<size_t>(f)]) {
            std::vector<quint32> ranks;
            const quint32 top = static_cast<quint32>(textRanks(terms.caseInsensitive(i), ranks));
            sortStably(order, rows,
                       [&](quint32 r) { return textPlace(cell(r, f), ranks, top, descending); });
            continue;
        }
        // NULL is below every number: first, or last in descending order.
        sortStably(order, rows, [&](quint32 r) {
            const quint32 k = unsignedKey(cell(r, f));
            return descending ? ~k : k;
        });
        if (!nulls[static_cast<size_t>(f)].empty()) {
            made();
            const auto null = [&](quint32 r) { return isNull(r, f); };
            if (descending)
                std::stable_partition(order.begin(), order.end(),
                                      [&](quint32 r) { return !null(r); });
            else
                std::stable_partition(order.begin(), order.end(), null);
        }
    }
    return std::move(made());
}

bool MemoryRows::arrange(const IndexTerms& terms, qint64& follow) {
    if (standIn(terms))
        return true;
    if (rows < 2 || !ascending || anyNull || terms.fieldCount() != 1)
        return false;
    const int f = terms.field(0);
    if (!isTextField[static_cast<size_t>(f)])
        return false;
    // The rows came in key order: moved in that order into the places of
    // their texts' ranks, rows of equal rank keep their rowids' order, as
    // the engine orders the ties of a non-unique index.
    std::vector<quint32> ranks;
    const auto top = static_cast<quint32>(textRanks(terms.caseInsensitive(0), ranks));
    const qint64 followed = follow;
    const bool descending = terms.descending();
    const CellPlace text = places[static_cast<size_t>(f)];
    const auto place = [&](const unsigned char* row) {
        return textPlace(readCell(row, text), ranks, top, descending);
    };
    std::vector<size_t> next(size_t(top) + 2, 0);
    for (size_t i = 0; i < rows; ++i)
        ++next[place(rowAt(i)) + 1];
    std::partial_sum(next.begin(), next.end(), next.begin());
    // The new chunks take memory only where rows reach them; each old chunk
    // goes once its rows are moved. At no time are the rows held twice but
    // for the pages being filled.
    std::vector<Chunk> arranged;
    for (size_t c = 0; c < chunks.size(); ++c)
        arranged.push_back(newChunk());
    bool moved = false;
    const auto moveRows = [&](auto copy) {
        for (size_t c = 0, i = 0; c < chunks.size(); ++c) {
            const unsigned char* from = chunks[c].get();
            for (const size_t end = std::min(rows, i + perChunk); i < end; ++i, from += rowSize) {
                const size_t to = next[place(from)]++;
                moved = moved || to != i;
                if (static_cast<qint64>(i) == followed)
                    follow = static_cast<qint64>(to);
                copy(slot(arranged, to, rowSize), from);
            }
            chunks[c].reset();
        }
    };
    // A row of a number and a text, the common case, copied as one.
    if (rowSize == 6)
        moveRows([](unsigned char* to, const unsigned char* from) { std::memcpy(to, from, 6); });
    else
        moveRows([this](unsigned char* to, const unsigned char* from) {
            std::memcpy(to, from, rowSize);
        });
    chunks.swap(arranged);
    ascending = !moved;
    arrangedFor = terms.index();
    return true;
}

void MemoryRows::clear() {
    chunks.clear();
    chunks.shrink_to_fit();
    spare.clear();
    spare.shrink_to_fit();
    arrangedFor = notArranged;
    for (std::vector<bool>& marks : nulls)
        marks = {};
    anyNull = false;
    rows = 0;
    ascending = true;
    texts = {};
    textSlots = {};
    textBytes = 0;
    placeFields(true);
}

// ---------------------------------------------------------------- TakenKeys

void TakenKeys::takeOutOfOrder(qint32 key, const MemoryRows& rows) {
    if (ascending) {
        // The first key out of order: from now on the set decides.
        ascending = false;
        for (size_t i = 0; i < rows.size(); ++i)
            keys.insert(static_cast<qint32>(rows.rowid(i)));
    }
    if (!keys.insert(key))
        throw EDatabaseError(QStringLiteral("Key violation."), EDatabaseError::Kind::KeyViolation);
}

void TakenKeys::clear() {
    keys.clear();
    maxKey = INT_MIN;
    any = false;
    ascending = true;
}

} // namespace platform::tables
