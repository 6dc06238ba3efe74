#pragma once
// Inside the table layer: what a bulk fill keeps in memory. A table held
// exclusively, keyed by one integer field and empty when the fill begins keeps
// the rows posted to it here, in a compact form, until they are written to
// the file in key order at its next safe point (see TableFile). The cursor
// reads them here meanwhile, in the order of any index; a taken key is
// refused at Post.

#include "platform/core/tableconnection.h"
#include "platform/core/tablelayout.h"

#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace platform::tables {

// A set of 32-bit keys, kept as groups of 256 consecutive keys, each a
// bitmap of the keys in it, found without hashing: the key's top 16 bits
// select a page of 256 groups (allocated when first needed), the next 8 bits
// the group in it. Keys that come near each other, as a text's occurrence
// keys do (a verse's words share a group, a chapter's verses a page), take a
// few bits each, and a look-up is two reads of memory, whatever the order of
// the keys. A page holds the first 64 keys of each of its groups, where a
// verse's words lie; the other 192 of a group, which only the longest
// verses reach, are kept apart by group.
class KeySet {
public:
    // Adds the key; false when it was there already.
    bool insert(qint32 key);
    void clear();
    size_t bytes() const;

private:
    static constexpr size_t groups = 256;
    // Per page (top 16 bits of the key): its number in `pages` plus 1, 0
    // for none. A page holds its groups' first 64 keys.
    std::vector<quint32> pageOf;
    std::vector<std::unique_ptr<quint64[]>> pages;
    // Per group (top 24 bits) that has some: the bitmap of its last 192 keys.
    std::unordered_map<quint32, std::array<quint64, 3>> high;
};

// Rows of one layout, each a run of cells, one per field, so that a row read
// in any order costs one memory access. A number is its cell: 16 bits for a
// small integer field, 32 for the others (every numeric field type fits 32
// bits). A text is the number of its text in a pool that keeps every
// distinct text once, as the QString that is read back and as the UTF-8 the
// engine stores and orders: 16 bits while the pool holds fewer than 65,535
// texts, 32 from then on (the rows kept so far are widened once). NULL is a
// mark of its own. The rows are kept in chunks of a fixed number, so that
// growing never copies them, nor holds twice their memory for a moment.
class MemoryRows {
public:
    MemoryRows() = default;
    explicit MemoryRows(const Layout& layout);

    bool empty() const { return rows == 0; }
    size_t size() const { return rows; }
    // True while every row came with a larger key than the one before.
    bool inKeyOrder() const { return ascending; }
    // Roughly the memory the rows take; the rows' cells alone.
    size_t bytes() const;
    size_t rowBytes() const { return chunks.size() * chunkBytes(); }
    // The bytes one row takes.
    size_t bytesPerRow() const { return rowSize; }
    // True when `row` can be kept here: numbers where the layout has
    // numbers, each within its cell, texts where it has texts.
    bool fits(const std::vector<Value>& row) const { return fitsRow(row.data()); }
    // Adds a row that fits; returns its number (0, 1, 2, ...).
    size_t add(const std::vector<Value>& row) { return addRow(row.data()); }
    size_t add(const TRecordValue* row) { return addRow(row); }
    size_t add(const Value* row) { return addRow(row); }
    // The rowid of row `i`: its key field (rowid-keyed layouts only).
    qint64 rowid(size_t i) const { return cell(i, keyField); }
    void read(size_t i, std::vector<Value>& row) const;
    // Field `field` of row i: a text as the value the rows keep, a number
    // written into `number` and returned from there. A text's value stays
    // valid until the next row is added.
    const Value& valueAt(size_t i, int field, Value& number) const {
        if (isNull(i, field)) {
            number.clear();
            return number;
        }
        if (isTextField[static_cast<size_t>(field)])
            return texts[static_cast<size_t>(cell(i, field))].value;
        number.kind = Value::Int;
        number.i = cell(i, field);
        return number;
    }
    // Where row i lies, for asking the processor for it ahead of its
    // reading (__builtin_prefetch, in the reader: a function that does
    // nothing but prefetch counts as having no effect, and its calls go).
    const void* address(size_t i) const { return rowAt(i); }
    // A row as 32-bit cells (rowWidth() of them): numbers, and texts as
    // their numbers in the pool (-1 for NULL).
    size_t rowWidth() const { return width; }
    void cellsOf(size_t i, qint32* cells) const {
        for (size_t f = 0; f < width; ++f)
            cells[f] = cell(i, static_cast<int>(f));
    }
    // Field `field` of a row as the result of a virtual table's column:
    // row `row` here, or, where `row` is -1, the 32-bit cells of a row put
    // aside (whose numbers are never NULL; its texts are still here). The
    // texts are given in place: the rows must stay until the statement ran.
    void result(sqlite3_context* context, const qint32* cells, qint64 row, int field) const;
    // True when some numeric field of some row is NULL: its cells alone do
    // not hold the row.
    bool hasNulls() const;
    // Forgets the rows but keeps the texts, for rows put aside.
    void clearRows();
    // The row numbers in the order of `terms`: the order in which the engine
    // returns the same rows for `ORDER BY terms.orderBy()`.
    std::vector<quint32> ordered(const IndexTerms& terms) const;
    // True when the rows stand in the order of `terms` as they are kept, so
    // that row number and place in the order agree: rows that came in key
    // order for the rowid's order, or rows arranged for the index.
    bool standIn(const IndexTerms& terms) const {
        return (terms.rowidOrder() && ascending) ||
               (arrangedFor != notArranged && arrangedFor == terms.index());
    }
    // Moves the rows, where they are kept, into the order of `terms`, when
    // that is one text field and the rows came in key order: then no order
    // of row numbers is needed beside them, and a walk in that order reads
    // the memory front to back. The rows are moved a chunk at a time, each
    // chunk's memory given back once its rows are moved. False (the rows
    // unmoved) for any other order. A row added later ends the arrangement.
    // `follow`, a row's number (or -1), becomes the number of that row.
    bool arrange(const IndexTerms& terms, qint64& follow);
    void clear();

private:
    static constexpr qint32 nullText = -1;
    // A text's number in a cell of 16 bits: 0 to 65,534, and NULL.
    static constexpr quint16 narrowNull = 0xffff; // nullText in 16 bits
    template <typename V> bool fitsRow(const V* row) const;
    template <typename V> size_t addRow(const V* row);
    struct Text {
        Value value; // the text as a field's value
        QByteArray utf8;
        size_t hash;
    };
    static constexpr int chunkBits = 16; // rows per chunk: 65,536
    static constexpr size_t perChunk = size_t(1) << chunkBits;
    static constexpr int notArranged = INT_MIN;
    // A chunk's memory is mapped apart from the heap, so that it goes back
    // to the system whenever a chunk is dropped, whatever the heap does.
    struct ChunkRelease {
        size_t bytes = 0;
        void operator()(unsigned char* bytes) const;
    };
    using Chunk = std::unique_ptr<unsigned char[], ChunkRelease>;
    Chunk newChunk();
    size_t chunkBytes() const { return rowSize << chunkBits; }
    // Where row i lies among `in`, chunks of rows of `size` bytes.
    static unsigned char* slot(const std::vector<Chunk>& in, size_t i, size_t size) {
        return in[i >> chunkBits].get() + (i & (perChunk - 1)) * size;
    }
    const unsigned char* rowAt(size_t i) const { return slot(chunks, i, rowSize); }
    // A field's place in a row and the form of its cell.
    enum CellForm : unsigned char { Wide, NarrowNumber, NarrowText };
    struct CellPlace {
        unsigned char offset;
        CellForm form;
    };
    static qint32 readCell(const unsigned char* row, CellPlace place) {
        const unsigned char* at = row + place.offset;
        if (place.form == Wide) {
            qint32 v;
            std::memcpy(&v, at, sizeof v);
            return v;
        }
        quint16 u;
        std::memcpy(&u, at, sizeof u);
        if (place.form == NarrowNumber)
            return static_cast<qint16>(u);
        return u == narrowNull ? nullText : u;
    }
    qint32 cell(size_t i, int field) const {
        return readCell(rowAt(i), places[static_cast<size_t>(field)]);
    }
    void setCell(unsigned char* row, size_t field, qint32 value) const;
    // Lays the fields out in a row, texts narrow or wide.
    void placeFields(bool narrowTexts);
    // The pool passed the numbers a narrow cell holds: every row is laid
    // out again with texts of 32 bits.
    void widenTexts();
    bool isNull(size_t i, int field) const {
        const auto f = static_cast<size_t>(field);
        if (isTextField[f])
            return cell(i, field) == nullText;
        return !nulls[f].empty() && nulls[f][i];
    }
    // The number of the text `s`; a new text is kept as `shared` when given
    // (no copy), else copied.
    qint32 textNumber(QStringView s, const QString* shared);
    // Every text's rank in the order of the collation: texts the collation
    // holds equal share a rank. Returns the number of ranks.
    qint32 textRanks(bool noCase, std::vector<quint32>& ranks) const;
    // The place in an index's order of text number `t`, by `ranks` of `top`
    // ranks: NULL first, or last in descending order.
    static quint32 textPlace(qint32 t, const std::vector<quint32>& ranks, quint32 top,
                             bool descending) {
        const quint32 rank = t == nullText ? 0 : ranks[static_cast<size_t>(t)] + 1;
        return descending ? top - rank : rank;
    }

    size_t width = 0;
    std::vector<char> isTextField;  // per field
    std::vector<char> isSmallField; // per field: numbers of 16 bits
    std::vector<CellPlace> places;  // per field
    size_t rowSize = 0;             // bytes
    bool narrowTexts = true;
    std::vector<Chunk> chunks;
    // Chunks of rows that were put aside, for the next rows to take.
    std::vector<Chunk> spare;
    // Per numeric field, a NULL mark per row; empty until its first NULL.
    std::vector<std::vector<bool>> nulls;
    int keyField = 0;
    size_t rows = 0;
    bool ascending = true;
    // The index the rows are arranged for (see arrange).
    int arrangedFor = notArranged;
    // The key of the last row added.
    qint32 lastKey = 0;
    // Whether some numeric field was ever NULL (its marks are kept from then on).
    bool anyNull = false;
    std::vector<Text> texts;
    // The texts' numbers by their hashes: open addressing, -1 for a free slot.
    std::vector<qint32> textSlots;
    size_t textBytes = 0;
};

// The keys taken during a bulk fill in memory. While keys come in ascending
// order the largest key is all it takes to refuse a taken one; the first key
// out of order puts every key so far into a set.
class TakenKeys {
public:
    // Raises "Key violation." when `key` is taken by one of `rows`; takes it
    // otherwise (the caller adds the row next).
    void take(qint32 key, const MemoryRows& rows) {
        if (ascending && (!any || key > maxKey)) {
            any = true;
            maxKey = key;
            return;
        }
        takeOutOfOrder(key, rows);
    }
    void clear();
    size_t bytes() const { return keys.bytes(); }

private:
    void takeOutOfOrder(qint32 key, const MemoryRows& rows);

    KeySet keys;
    qint32 maxKey = INT_MIN;
    bool any = false;
    bool ascending = true;
};

// How the engine's two collations order two UTF-8 texts (BINARY, or NOCASE,
// which folds A to Z only): negative, zero or positive.
int compareText(const QByteArray& a, const QByteArray& b, bool noCase);

} // namespace platform::tables
