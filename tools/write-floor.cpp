// write-floor: the least work that writes what Build writes. It makes a text's
// tables Word, Key and Freq and its six word lists from the verse table with
// nothing but SQLite's C API and the concordance's word rule, so that Build's
// cost can be set against the cost of the files themselves
// (tools/bench-floor.sh). tools/compare-build.sh checks that its files are
// Build's, row for row and byte for byte.
//
//   write-floor [--word-size N] TEXTFOLDER OUTFOLDER NAME
//
// Reads TEXTFOLDER/Bible.db in key order, splits each verse by the word rule,
// counts the words in a hash table, sorts them by word, count and length, and
// writes Word.db, Key.db, Freq.db and NAME_Freq.txt ... NAME_Pcre.txt into
// OUTFOLDER, replacing what is there. N is the width of the word fields, as
// the layouts record it (Build takes it from the text's name; default 30).
// Each table file is written in one transaction without a journal, the rows
// of Word by one INSERT ... SELECT from a virtual table over the occurrences
// held in memory, the secondary indexes after the rows.
//
// Exit status 0, 1 when something failed (the message on standard error), 2
// on a wrong command line.

#include "concordance/wordrule.h"
#include "tools/listdate.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* version = "write-floor 1.0";
constexpr int maxWordsPerVerse = 255;
constexpr int maxDistinctWords = 32767;
constexpr long long largestKey = 2147483647LL;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// --- the words ----------------------------------------------------------------------

// The distinct words in the order they were first met, found by their bytes
// in an open-addressing hash table.
class Words {
public:
    Words() : buckets(1 << 12, -1) {}

    // The number of the word (0, 1, ...) in first-met order.
    int find(const char* bytes, size_t length) {
        const uint64_t h = hash(bytes, length);
        size_t slot = h & (buckets.size() - 1);
        for (;;) {
            const int32_t n = buckets[slot];
            if (n < 0)
                break;
            const Entry& e = entries[size_t(n)];
            if (e.hash == h && e.length == length &&
                std::memcmp(pool.data() + e.offset, bytes, length) == 0)
                return n;
            slot = (slot + 1) & (buckets.size() - 1);
        }
        const auto n = int32_t(entries.size());
        entries.push_back({h, pool.size(), length, 0});
        pool.append(bytes, length);
        buckets[slot] = n;
        if (entries.size() * 2 > buckets.size())
            grow();
        return n;
    }
    void count(int n) { ++entries[size_t(n)].count; }

    size_t size() const { return entries.size(); }
    std::string_view text(int n) const {
        const Entry& e = entries[size_t(n)];
        return {pool.data() + e.offset, e.length};
    }
    long long countOf(int n) const { return entries[size_t(n)].count; }

private:
    struct Entry {
        uint64_t hash;
        size_t offset;
        size_t length;
        long long count;
    };
    static uint64_t hash(const char* p, size_t n) {
        uint64_t h = 1469598103934665603ULL;
        for (size_t i = 0; i < n; ++i)
            h = (h ^ uint8_t(p[i])) * 1099511628211ULL;
        return h;
    }
    void grow() {
        std::vector<int32_t> bigger(buckets.size() * 2, -1);
        for (size_t n = 0; n < entries.size(); ++n) {
            size_t slot = entries[n].hash & (bigger.size() - 1);
            while (bigger[slot] >= 0)
                slot = (slot + 1) & (bigger.size() - 1);
            bigger[slot] = int32_t(n);
        }
        buckets.swap(bigger);
    }
    std::vector<int32_t> buckets;
    std::vector<Entry> entries;
    std::string pool;
};

// The occurrences in key order: the occurrence key and the word's first-met
// number; after sorting, `number` maps that to the word number (1, 2, ...).
struct Occurrences {
    std::vector<int32_t> keys;
    std::vector<uint16_t> words;
    std::vector<int32_t> number;
};

void sqliteCheck(sqlite3* db, int rc, const std::string& what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw Failure(what + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

void readVerses(const std::string& file, Words& words, Occurrences& rows) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    struct Closer {
        sqlite3* db;
        ~Closer() { sqlite3_close(db); }
    } closer{db};
    sqliteCheck(db, rc, file);
    sqlite3_stmt* st = nullptr;
    sqliteCheck(db,
                sqlite3_prepare_v2(db, "SELECT \"Verse\", \"Text\" FROM \"Bible\" ORDER BY 1", -1,
                                   &st, nullptr),
                file);
    std::string word;
    long long lastKey = -1LL << 40; // the highest occurrence key taken so far
    int step;
    while ((step = sqlite3_step(st)) == SQLITE_ROW) {
        const long long verse = sqlite3_column_int64(st, 0);
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        if (!text)
            continue;
        // A verse whose keys would pass the largest key is left out whole.
        if (largestKey - verse < maxWordsPerVerse) {
            long long count = 0;
            concordance::forEachWord(text, [&](qsizetype, qsizetype) { ++count; });
            if (count > largestKey - verse)
                continue;
        }
        int position = 0;
        bool clash = false;
        concordance::forEachWord(text, [&](qsizetype start, qsizetype length) {
            if (++position > maxWordsPerVerse || clash)
                return;
            // Two verses closer than the first has words: indexing stops.
            if (verse + position <= lastKey) {
                clash = true;
                return;
            }
            word.resize(size_t(length));
            for (qsizetype i = 0; i < length; ++i)
                word[size_t(i)] = concordance::lowerCase(text[start + i]);
            const int n = words.find(word.data(), word.size());
            words.count(n);
            rows.keys.push_back(int32_t(verse + position));
            rows.words.push_back(uint16_t(n));
        });
        if (clash)
            break;
        if (position > 0)
            lastKey = verse + std::min(position, maxWordsPerVerse);
        if (words.size() > maxDistinctWords)
            throw Failure("The text has more than 32,767 different words: Build makes no "
                          "concordance of it.");
    }
    sqliteCheck(db, step, file);
    sqlite3_finalize(st);
}

// --- the tables ---------------------------------------------------------------------

// The occurrences as an eponymous virtual table "occurrences" (R1, R2), in key
// order, which it tells the engine.
namespace vtab {

struct Table {
    sqlite3_vtab base;
    const Occurrences* rows;
};
struct Cursor {
    sqlite3_vtab_cursor base;
    size_t row;
    const Occurrences* rows;
};

int connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(R1 INTEGER, R2 INTEGER)");
    if (rc != SQLITE_OK)
        return rc;
    auto* table = static_cast<Table*>(sqlite3_malloc(sizeof(Table)));
    if (!table)
        return SQLITE_NOMEM;
    std::memset(table, 0, sizeof *table);
    table->rows = static_cast<const Occurrences*>(aux);
    *out = &table->base;
    return SQLITE_OK;
}
int disconnect(sqlite3_vtab* table) {
    sqlite3_free(table);
    return SQLITE_OK;
}
int bestIndex(sqlite3_vtab* table, sqlite3_index_info* info) {
    const auto* rows = reinterpret_cast<Table*>(table)->rows;
    info->estimatedCost = double(rows->keys.size());
    info->estimatedRows = sqlite3_int64(rows->keys.size());
    if (info->nOrderBy == 1 && info->aOrderBy[0].iColumn == 0 && !info->aOrderBy[0].desc)
        info->orderByConsumed = 1;
    return SQLITE_OK;
}
int open(sqlite3_vtab* table, sqlite3_vtab_cursor** out) {
    auto* cursor = static_cast<Cursor*>(sqlite3_malloc(sizeof(Cursor)));
    if (!cursor)
        return SQLITE_NOMEM;
    std::memset(cursor, 0, sizeof *cursor);
    cursor->rows = reinterpret_cast<Table*>(table)->rows;
    *out = &cursor->base;
    return SQLITE_OK;
}
int close(sqlite3_vtab_cursor* cursor) {
    sqlite3_free(cursor);
    return SQLITE_OK;
}
int filter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) {
    reinterpret_cast<Cursor*>(cursor)->row = 0;
    return SQLITE_OK;
}
int next(sqlite3_vtab_cursor* cursor) {
    ++reinterpret_cast<Cursor*>(cursor)->row;
    return SQLITE_OK;
}
int eof(sqlite3_vtab_cursor* cursor) {
    const auto* c = reinterpret_cast<Cursor*>(cursor);
    return c->row >= c->rows->keys.size();
}
int column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int i) {
    const auto* c = reinterpret_cast<Cursor*>(cursor);
    if (i == 0)
        sqlite3_result_int(context, c->rows->keys[c->row]);
    else
        sqlite3_result_int(context, c->rows->number[c->rows->words[c->row]]);
    return SQLITE_OK;
}
int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* out) {
    *out = sqlite3_int64(reinterpret_cast<Cursor*>(cursor)->row);
    return SQLITE_OK;
}

sqlite3_module module() {
    sqlite3_module m{};
    m.xConnect = connect; // no xCreate: eponymous only
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xOpen = open;
    m.xClose = close;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    return m;
}

} // namespace vtab

// One table file, written as the table layer writes one: its SQL table, its
// layout rows and the marks of a table file.
class TableWriter {
public:
    explicit TableWriter(const std::string& file) : path(file) {
        ::unlink(path.c_str());
        ::unlink((path + "-journal").c_str());
        sqliteCheck(
            db,
            sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
            path);
        exec("PRAGMA page_size=16384");
        exec("PRAGMA journal_mode=OFF");
        exec("PRAGMA synchronous=OFF");
        exec("PRAGMA locking_mode=EXCLUSIVE");
        exec("PRAGMA cache_size=-2048");
        exec("BEGIN EXCLUSIVE");
        exec("CREATE TABLE \"_layout_fields\" (position INTEGER PRIMARY KEY, name TEXT NOT "
             "NULL, type TEXT NOT NULL, size INTEGER NOT NULL, required INTEGER NOT NULL)");
        exec("CREATE TABLE \"_layout_indexes\" (position INTEGER PRIMARY KEY, name TEXT NOT "
             "NULL, fields TEXT NOT NULL, options TEXT NOT NULL, built INTEGER NOT NULL)");
        exec("PRAGMA application_id=1415736369");
        exec("PRAGMA user_version=1");
    }
    ~TableWriter() {
        for (sqlite3_stmt* st : statements)
            sqlite3_finalize(st);
        sqlite3_close(db);
    }
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    void exec(const std::string& sql) {
        char* message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            const std::string text = path + ": " + (message ? message : "?");
            sqlite3_free(message);
            throw Failure(text);
        }
    }
    sqlite3_stmt* prepare(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        sqliteCheck(db, sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), path);
        statements.push_back(st);
        return st;
    }
    void step(sqlite3_stmt* st) {
        sqliteCheck(db, sqlite3_step(st), path);
        sqlite3_reset(st);
    }
    void field(int position, const char* name, const char* type, int size) {
        sqlite3_stmt* st = prepare("INSERT INTO \"_layout_fields\" VALUES (?, ?, ?, ?, 1)");
        sqlite3_bind_int(st, 1, position);
        sqlite3_bind_text(st, 2, name, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, type, -1, SQLITE_STATIC);
        sqlite3_bind_int(st, 4, size);
        step(st);
    }
    void index(int position, const char* name, const char* fields, const char* options) {
        sqlite3_stmt* st = prepare("INSERT INTO \"_layout_indexes\" VALUES (?, ?, ?, ?, 1)");
        sqlite3_bind_int(st, 1, position);
        sqlite3_bind_text(st, 2, name, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, fields, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 4, options, -1, SQLITE_STATIC);
        step(st);
    }
    void commit() { exec("COMMIT"); }
    sqlite3* handle() { return db; }

private:
    std::string path;
    sqlite3* db = nullptr;
    std::vector<sqlite3_stmt*> statements;
};

// Word numbers 1, 2, ... in word order.
std::vector<int> sortByWord(const Words& words) {
    std::vector<int> order(words.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return words.text(a) < words.text(b); });
    return order;
}

void writeWordTable(const std::string& folder, const Occurrences& rows) {
    TableWriter file(folder + "/Word.db");
    file.exec("CREATE TABLE \"Word\" (\"R1\" INTEGER NOT NULL, \"R2\" INTEGER NOT NULL, "
              "PRIMARY KEY (\"R1\"))");
    file.field(1, "R1", "Integer", 0);
    file.field(2, "R2", "Smallint", 0);
    file.index(1, "", "R1", "Primary,Unique");
    static const sqlite3_module module = vtab::module();
    sqliteCheck(file.handle(),
                sqlite3_create_module_v2(file.handle(), "occurrences", &module,
                                         const_cast<Occurrences*>(&rows), nullptr),
                folder);
    file.exec("INSERT INTO \"Word\" (\"R1\", \"R2\") SELECT R1, R2 FROM occurrences ORDER BY R1");
    file.exec("CREATE INDEX \"wordKeyNdx\" ON \"Word\" (\"R2\" DESC)");
    file.index(2, "wordKeyNdx", "R2", "Descending");
    file.commit();
}

void writeKeyTable(const std::string& folder, const Words& words, const std::vector<int>& order,
                   int wordSize) {
    TableWriter file(folder + "/Key.db");
    file.exec("CREATE TABLE \"Key\" (\"Word\" TEXT NOT NULL, PRIMARY KEY (\"Word\"))");
    file.field(1, "Word", "String", wordSize);
    file.index(1, "", "Word", "Primary,Unique");
    sqlite3_stmt* st = file.prepare("INSERT INTO \"Key\" (\"Word\") VALUES (?)");
    for (int n : order) {
        const std::string_view w = words.text(n);
        sqlite3_bind_text(st, 1, w.data(), int(w.size()), SQLITE_STATIC);
        file.step(st);
    }
    file.commit();
}

void writeFreqTable(const std::string& folder, const Words& words, const std::vector<int>& order) {
    TableWriter file(folder + "/Freq.db");
    file.exec("CREATE TABLE \"Freq\" (\"F1\" INTEGER NOT NULL, \"F2\" INTEGER NOT NULL, \"F3\" "
              "INTEGER NOT NULL, PRIMARY KEY (\"F1\"))");
    file.field(1, "F1", "Smallint", 0);
    file.field(2, "F2", "Integer", 0);
    file.field(3, "F3", "Smallint", 0);
    file.index(1, "", "F1", "Primary,Unique");
    sqlite3_stmt* st =
        file.prepare("INSERT INTO \"Freq\" (\"F1\", \"F2\", \"F3\") VALUES (?, ?, ?)");
    for (size_t i = 0; i < order.size(); ++i) {
        sqlite3_bind_int(st, 1, int(i + 1));
        sqlite3_bind_int64(st, 2, words.countOf(order[i]));
        sqlite3_bind_int(st, 3, int(words.text(order[i]).size()));
        file.step(st);
    }
    file.exec("CREATE INDEX \"freqNdx\" ON \"Freq\" (\"F2\" DESC)");
    file.index(2, "freqNdx", "F2", "Descending");
    file.exec("CREATE INDEX \"wordLenNdx\" ON \"Freq\" (\"F3\" DESC)");
    file.index(3, "wordLenNdx", "F3", "Descending");
    file.commit();
}

// --- the lists ----------------------------------------------------------------------

std::string grouped(long long value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-')
            out += ',';
        out += digits[i];
    }
    return out;
}

// value × 10^decimals rounded, halves away from zero, from the float's exact
// binary value.
uint64_t scaledRounded(float value, int decimals) {
    if (!(value > 0) || !std::isfinite(value))
        return 0;
    int exponent = 0;
    const float fraction = std::frexp(value, &exponent);
    auto scaled = uint64_t(std::ldexp(fraction, 24));
    for (int i = 0; i < decimals; ++i)
        scaled *= 10;
    const int shift = 24 - exponent;
    if (shift <= 0)
        return scaled << -shift;
    if (shift >= 64)
        return 0;
    const uint64_t whole = scaled >> shift;
    const uint64_t rest = scaled - (whole << shift);
    return whole + (rest >= (uint64_t(1) << (shift - 1)) ? 1 : 0);
}

// count × 100 / total as a float, seven significant digits, six decimals.
std::string floatPercent(long long count, long long total) {
    const float percent = total > 0 ? float(double(count) * 100.0 / double(total)) : 0.0f;
    int whole = 1;
    for (float bound = 10.0f; percent >= bound && whole < 7; bound *= 10.0f)
        ++whole;
    const int decimals = std::min(7 - whole, 6);
    uint64_t scaled = scaledRounded(percent, decimals);
    for (int i = decimals; i < 6; ++i)
        scaled *= 10;
    const uint64_t millionths = scaled % 1000000;
    char out[64];
    std::snprintf(out, sizeof out, "%llu.%03llu,%03llu",
                  static_cast<unsigned long long>(scaled / 1000000),
                  static_cast<unsigned long long>(millionths / 1000),
                  static_cast<unsigned long long>(millionths % 1000));
    return out;
}

// count × 100 / total to the nearest hundredth, halves up.
std::string percent(long long count, long long total) {
    if (total <= 0 || count < 0)
        return "0.00";
    const long long value = (count * 20000 + total) / (total * 2);
    char out[64];
    std::snprintf(out, sizeof out, "%lld.%02lld", value / 100, value % 100);
    return out;
}

// Appends the parts to `out`.
void put(std::string& out, std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts)
        out.append(part);
}

void writeFile(const std::string& path, const std::string& content) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        throw Failure(path + ": cannot be written");
    const bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
    if (std::fclose(out) != 0 || !written)
        throw Failure(path + ": cannot be written");
}

struct LetterCount {
    int count;
    char letter;
};

// Most frequent first; equal counts never compare equal.
int byCountDescending(const void* left, const void* right) {
    return static_cast<const LetterCount*>(right)->count >
                   static_cast<const LetterCount*>(left)->count
               ? 1
               : -1;
}

void writeLists(const std::string& folder, const std::string& name, const Words& words,
                const std::vector<int>& order, long long total) {
    const size_t distinct = order.size();
    const std::string base = folder + "/" + name;
    const std::string totals = "\r\n" + today() + "\r\nTotal word count " + grouped(total) +
                               "\r\nDifferent words " + grouped((long long)distinct) + "\r\n\r\n";
    const auto text = [&](int number) { return words.text(order[size_t(number - 1)]); };
    const auto count = [&](int number) { return words.countOf(order[size_t(number - 1)]); };
    std::vector<int> numbers(distinct);
    for (size_t i = 0; i < distinct; ++i)
        numbers[i] = int(i + 1);

    std::vector<int> byCount = numbers;
    std::stable_sort(byCount.begin(), byCount.end(),
                     [&](int a, int b) { return count(a) > count(b); });
    std::string out = base + "_Freq.txt" + totals + "Word\tCount\tPercent\r\n\r\n";
    for (int n : byCount)
        put(out, {text(n), "\t", grouped(count(n)), "\t", floatPercent(count(n), total), " %\r\n"});
    writeFile(base + "_Freq.txt", out + "\r\n\r\n");

    out = base + "_List.txt" + totals;
    for (int n : numbers)
        put(out, {text(n), "\r\n"});
    writeFile(base + "_List.txt", out + "\r\n\r\n");

    out = base + "_Alpha.txt" + totals + "Word\tCount\r\n\r\n";
    for (int n : numbers)
        put(out, {text(n), "\t", grouped(count(n)), "\r\n"});
    writeFile(base + "_Alpha.txt", out + "\r\n\r\n");

    std::vector<int> byLength = numbers;
    std::stable_sort(byLength.begin(), byLength.end(),
                     [&](int a, int b) { return text(a).size() > text(b).size(); });
    out = base + "_Length.txt" + totals + "Word\tCount\r\n";
    size_t shown = 0;
    for (int n : byLength) {
        if (text(n).size() != shown) {
            shown = text(n).size();
            out += "\r\n\t\tWords " + std::to_string(shown) + " characters long\r\n";
        }
        put(out, {text(n), "\t", grouped(count(n)), "\r\n"});
    }
    writeFile(base + "_Length.txt", out + "\r\n\r\n");

    std::array<int, 256> chars{};
    for (int n : numbers)
        for (char c : text(n))
            chars[uint8_t(c)] += int(count(n));
    out = base + "_CharFreq.txt" + totals +
          "Frequency of word length occurrence\r\n\r\nLength\tDifferent\tTotal\tPercent of "
          "total\r\n";
    size_t length = byLength.empty() ? 0 : text(byLength.front()).size();
    long long different = 0;
    long long lengthTotal = 0;
    const auto writeLength = [&] {
        out += std::to_string(length) + "\t" + grouped(different) + "\t" + grouped(lengthTotal) +
               "\t" + percent(lengthTotal, total) + " %\r\n";
    };
    for (int n : byLength) {
        if (text(n).size() != length) {
            writeLength();
            length = text(n).size();
            different = 0;
            lengthTotal = 0;
        }
        ++different;
        lengthTotal += count(n);
    }
    writeLength();
    out += "\r\n\r\nFrequency of character occurrence\r\n\r\nDec\tGlyph\tCount\tPercent\tGraph\r\n";
    long long characters = 0;
    for (int c : chars)
        characters += c;
    for (int c = 0; c < 256; ++c) {
        const long long n = chars[size_t(c)];
        if (n == 0)
            continue;
        const long long graph = characters > 0 ? n * 300 / characters + 1 : 1;
        out += std::to_string(c) + "\t" +
               (c == 127 ? std::string("del") : std::string(1, char(c))) + "\t" + grouped(n) +
               "\t" + percent(n, characters) + " %\t" + std::string(size_t(graph), '-') + "\r\n";
    }
    out += "\r\n\r\nTotal character count: " + grouped(characters);
    out += "\r\n\r\nCharacters sorted by frequency of occurrence\r\n\r\n";
    std::array<LetterCount, 26> letters{};
    for (int i = 0; i < 26; ++i)
        letters[size_t(i)] = {chars[size_t('a' + i)], char('a' + i)};
    std::qsort(letters.data(), letters.size(), sizeof(LetterCount), byCountDescending);
    for (const LetterCount& letter : letters)
        out += letter.letter;
    writeFile(base + "_CharFreq.txt", out + "\r\n\r\n");

    out.clear();
    for (int n : numbers)
        put(out, {text(n), "\n"});
    writeFile(base + "_Pcre.txt", out);
}

int usage(std::FILE* to) {
    std::fprintf(to, "usage: write-floor [--word-size N] TEXTFOLDER OUTFOLDER NAME\n"
                     "Writes the tables Word, Key and Freq and the six word lists NAME_*.txt of\n"
                     "the verse table TEXTFOLDER/Bible.db into OUTFOLDER, as Build writes them,\n"
                     "with the least work; N is the width of the word fields (default 30).\n");
    return to == stdout ? 0 : 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int wordSize = 30;
    std::vector<std::string> names;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help")
            return usage(stdout);
        if (args[i] == "--version") {
            std::printf("%s\n", version);
            return 0;
        }
        if (args[i] == "--word-size" && i + 1 < args.size()) {
            char* end = nullptr;
            const long size = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || size < 1 || size > 255) {
                std::fprintf(stderr, "write-floor: --word-size takes 1 to 255, not '%s'\n",
                             args[i].c_str());
                return 2;
            }
            wordSize = int(size);
        } else if (args[i].rfind("--", 0) == 0) {
            std::fprintf(stderr, "write-floor: unknown option %s\n", args[i].c_str());
            return usage(stderr);
        } else {
            names.push_back(args[i]);
        }
    }
    if (names.size() != 3)
        return usage(stderr);
    const std::string& textFolder = names[0];
    const std::string& outFolder = names[1];
    const std::string& name = names[2];
    try {
        Words words;
        Occurrences rows;
        readVerses(textFolder + "/Bible.db", words, rows);
        const std::vector<int> order = sortByWord(words);
        rows.number.resize(words.size());
        for (size_t i = 0; i < order.size(); ++i)
            rows.number[size_t(order[i])] = int(i + 1);
        writeWordTable(outFolder, rows);
        writeKeyTable(outFolder, words, order, wordSize);
        writeFreqTable(outFolder, words, order);
        writeLists(outFolder, name, words, order, (long long)rows.keys.size());
    } catch (const Failure& e) {
        std::fprintf(stderr, "write-floor: %s\n", e.what());
        return 1;
    }
    return 0;
}
