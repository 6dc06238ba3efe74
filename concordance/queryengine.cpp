#include "concordance/queryengine.h"

#include "concordance/strongs.h"
#include "concordance/tablelayouts.h"
#include "concordance/versekey.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <map>
#include <sqlite3.h>

namespace concordance {

namespace {

using Kind = platform::EDatabaseError::Kind;

// The mark of a table file (PRAGMA application_id), "Tbl1".
constexpr int tableFileMark = 0x54626c31;

QString tablePath(const QString& folder, QLatin1String table) {
    return QDir(folder).filePath(table + QStringLiteral(".db"));
}

bool hasTable(const QString& folder, QLatin1String table) {
    return QFileInfo(tablePath(folder, table)).isFile();
}

quint32 verseOfKey(quint32 key) {
    return key & ~quint32(0xff);
}

int positionOfKey(quint32 key) {
    return int(key & 0xff);
}

bool byKey(const QueryMatch& a, const QueryMatch& b) {
    return a.key != b.key ? a.key < b.key : a.length < b.length;
}

// Sorts, drops repeated occurrences, and drops the no-occurrence entry of a
// verse that has occurrences.
void normalize(std::vector<QueryMatch>& matches) {
    std::sort(matches.begin(), matches.end(), byKey);
    std::vector<QueryMatch> out;
    out.reserve(matches.size());
    for (const QueryMatch& m : matches) {
        if (!out.empty() && out.back().key == m.key && out.back().length == m.length)
            continue;
        // A verse's no-occurrence entry sorts first (position 0).
        if (!out.empty() && out.back().length == 0 &&
            verseOfKey(out.back().key) == verseOfKey(m.key))
            out.pop_back();
        out.push_back(m);
    }
    matches = std::move(out);
}

// The verses of `matches`, ascending, once each.
std::vector<quint32> versesOf(const std::vector<QueryMatch>& matches) {
    std::vector<quint32> verses;
    for (const QueryMatch& m : matches) {
        const quint32 verse = verseOfKey(m.key);
        if (verses.empty() || verses.back() != verse)
            verses.push_back(verse);
    }
    return verses;
}

bool containsVerse(const std::vector<quint32>& verses, quint32 verse) {
    return std::binary_search(verses.begin(), verses.end(), verse);
}

} // namespace

TextState textState(const QString& folder) {
    if (!hasTable(folder, verseTable))
        return TextState::NoText;
    if (hasTable(folder, tempWordTable))
        return TextState::Building;
    if (!hasTable(folder, keyTable) || !hasTable(folder, freqTable) || !hasTable(folder, wordTable))
        return TextState::NotBuilt;
    return TextState::Built;
}

QList<int> MatchedVerse::positions() const {
    QList<int> out;
    for (const MatchSpan& span : spans)
        for (int p = span.start; p < span.start + span.length; ++p)
            out.append(p);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

qint64 QueryResult::occurrences() const {
    return std::count_if(matches.begin(), matches.end(),
                         [](const QueryMatch& m) { return m.length > 0; });
}

qint64 QueryResult::verseCount() const {
    return static_cast<qint64>(versesOf(matches).size());
}

QList<MatchedVerse> QueryResult::verses() const {
    QList<MatchedVerse> out;
    for (const QueryMatch& m : matches) {
        const qint32 verse = qint32(verseOfKey(m.key));
        if (out.isEmpty() || out.last().key != verse)
            out.append(MatchedVerse{verse, {}});
        if (m.length > 0)
            out.last().spans.append(MatchSpan{positionOfKey(m.key), m.length});
    }
    return out;
}

QList<BookCount> QueryResult::byBook() const {
    QList<BookCount> out;
    quint32 lastVerse = 0;
    for (const QueryMatch& m : matches) {
        const int book = bookOf(qint32(m.key));
        if (out.isEmpty() || out.last().book != book)
            out.append(BookCount{book, 0, 0});
        if (m.length > 0)
            ++out.last().occurrences;
        if (verseOfKey(m.key) != lastVerse) {
            ++out.last().verses;
            lastVerse = verseOfKey(m.key);
        }
    }
    return out;
}

// The connection and its prepared statements.
struct QueryEngine::Impl {
    QString folder;
    sqlite3* db = nullptr;
    std::vector<QByteArray> words;
    // The occurrences of word n in key order, read from "Word" when first
    // asked for and kept: byWord[n], once read[n].
    struct Occurrence {
        quint32 key;
        int word;
    };
    std::vector<std::vector<Occurrence>> byWord;
    std::vector<bool> read;
    // The keys of "Bible", read when first needed.
    std::vector<quint32> verseKeys;
    bool verseKeysRead = false;
    // Word number → form of that word alone, made when first matched.
    std::vector<qint32> singleForms;
    std::map<std::vector<int>, qint32> formIndex;
    bool hasStrongs = false;      // the text's words are tagged
    bool hasStrongsWords = false; // and Build made its Strong's table
    QueryResult* building = nullptr;
    VerseRange range;

    ~Impl() {
        for (auto& [sql, st] : statements)
            sqlite3_finalize(st);
        sqlite3_close(db);
    }

    [[noreturn]] void fail(int rc, const QString& what) const {
        const QString engine = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
            throw platform::EDatabaseError(
                QStringLiteral("File is locked: %1 is in use by another program or table.")
                    .arg(what),
                Kind::Locked);
        if ((rc & 0xff) == SQLITE_NOTADB)
            throw platform::EDatabaseError(
                QStringLiteral("Not a table: %1 is not a table file.").arg(what), Kind::NotATable);
        if ((rc & 0xff) == SQLITE_CORRUPT)
            throw platform::EDatabaseError(
                QStringLiteral("Table is damaged: %1 (%2).").arg(what, engine), Kind::Damaged);
        throw platform::EDatabaseError(QStringLiteral("Reading %1: %2.").arg(what, engine));
    }

    std::map<QString, sqlite3_stmt*> statements;

    sqlite3_stmt* statement(const QString& sql) {
        auto found = statements.find(sql);
        if (found != statements.end()) {
            sqlite3_reset(found->second);
            return found->second;
        }
        sqlite3_stmt* st = nullptr;
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_prepare_v3(db, text.constData(), int(text.size()),
                                          SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (rc != SQLITE_OK)
            fail(rc, folder);
        statements.emplace(sql, st);
        return st;
    }

    // Steps `st`: true for a row, false at the end.
    bool step(sqlite3_stmt* st) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        sqlite3_reset(st);
        fail(rc, folder);
    }

    void open(const QString& textFolder) {
        folder = textFolder;
        switch (textState(folder)) {
        case TextState::NoText:
            throw TextNotReady(QStringLiteral("%1 holds no text: there is no verse table %2.db")
                                   .arg(QDir::toNativeSeparators(folder), verseTable),
                               TextState::NoText);
        case TextState::NotBuilt:
            throw TextNotReady(
                QStringLiteral("The text in %1 has no concordance yet: build it with Build first.")
                    .arg(QDir::toNativeSeparators(folder)),
                TextState::NotBuilt);
        case TextState::Building:
            throw TextNotReady(QStringLiteral("The text in %1 is being built, or its last build "
                                              "did not complete: build it again.")
                                   .arg(QDir::toNativeSeparators(folder)),
                               TextState::Building);
        case TextState::Built:
            break;
        }
        const QByteArray first = tablePath(folder, verseTable).toUtf8();
        int rc = sqlite3_open_v2(first.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        if (rc != SQLITE_OK)
            fail(rc, tablePath(folder, verseTable));
        sqlite3_extended_result_codes(db, 1);
        // The other tables join the one connection under their own names.
        for (const QLatin1String table : {keyTable, freqTable, wordTable}) {
            sqlite3_stmt* attach =
                statement(QStringLiteral("ATTACH DATABASE ?1 AS \"%1\"").arg(table));
            const QByteArray path = tablePath(folder, table).toUtf8();
            sqlite3_bind_text(attach, 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
            step(attach);
        }
        // The Strong's table of a tagged text joins it where Build made one.
        hasStrongsWords = hasTable(folder, strongsWordTable);
        hasStrongs = hasTable(folder, strongsTable);
        for (const QLatin1String table : {strongsTable, strongsWordTable}) {
            if (!hasTable(folder, table))
                continue;
            sqlite3_stmt* attach =
                statement(QStringLiteral("ATTACH DATABASE ?1 AS \"%1\"").arg(table));
            const QByteArray path = tablePath(folder, table).toUtf8();
            sqlite3_bind_text(attach, 1, path.constData(), int(path.size()), SQLITE_TRANSIENT);
            step(attach);
        }
        for (const QLatin1String table : {verseTable, keyTable, freqTable, wordTable}) {
            const QString schema = table == verseTable ? QStringLiteral("main") : QString(table);
            sqlite3_stmt* mark =
                statement(QStringLiteral("PRAGMA \"%1\".application_id").arg(schema));
            if (!step(mark) || sqlite3_column_int(mark, 0) != tableFileMark) {
                sqlite3_reset(mark);
                fail(SQLITE_NOTADB, tablePath(folder, table));
            }
            sqlite3_reset(mark);
        }
        sqlite3_stmt* key =
            statement(QStringLiteral("SELECT Word FROM \"Key\".\"Key\" ORDER BY Word"));
        while (step(key)) {
            words.emplace_back(static_cast<const char*>(sqlite3_column_blob(key, 0)),
                               sqlite3_column_bytes(key, 0));
        }
        singleForms.assign(words.size() + 1, -1);
        byWord.assign(words.size() + 1, {});
        read.assign(words.size() + 1, false);
    }

    // The occurrences of word n, in key order. The index "wordKeyNdx" (word
    // number, then occurrence key) gives them in that order.
    std::pair<const Occurrence*, const Occurrence*> wordOccurrences(int n) {
        std::vector<Occurrence>& list = byWord[size_t(n)];
        if (!read[size_t(n)]) {
            sqlite3_stmt* st =
                statement(QStringLiteral("SELECT R1 FROM \"Word\".\"Word\" WHERE R2 = ?1"));
            sqlite3_bind_int(st, 1, n);
            while (step(st))
                list.push_back(Occurrence{quint32(sqlite3_column_int64(st, 0)), n});
            if (!std::is_sorted(list.begin(), list.end(), keyOrder))
                std::sort(list.begin(), list.end(), keyOrder);
            read[size_t(n)] = true;
        }
        return {list.data(), list.data() + list.size()};
    }

    // Occurrences in key order: a stretch of the occurrences of one word,
    // or a list of their own.
    struct List {
        const Occurrence* first = nullptr;
        const Occurrence* last = nullptr;
        std::vector<Occurrence> owned;
        size_t size() const { return size_t(last - first); }
    };

    static bool keyBefore(const Occurrence& o, quint32 key) { return o.key < key; }
    static bool keyOrder(const Occurrence& a, const Occurrence& b) { return a.key < b.key; }

    // The stretch of `from`..`to` (in key order) that lies in the range.
    void appendInRange(const Occurrence* from, const Occurrence* to,
                       std::vector<Occurrence>& out) const {
        for (const KeySpan& span : range.keySpans()) {
            const Occurrence* a = std::lower_bound(from, to, quint32(span.first), keyBefore);
            const Occurrence* b = std::lower_bound(a, to, quint32(span.last) + 0x100, keyBefore);
            out.insert(out.end(), a, b);
        }
    }

    // The occurrences of the words numbered `first` to `last`, in key order,
    // within the range.
    List occurrences(int first, int last) {
        List list;
        if (first == last) {
            const auto [from, to] = wordOccurrences(first);
            if (range.keySpans().size() <= 1) {
                list.first = from;
                list.last = to;
                if (!range.isWhole()) {
                    const KeySpan& span = range.keySpans().front();
                    list.first = std::lower_bound(from, to, quint32(span.first), keyBefore);
                    list.last =
                        std::lower_bound(list.first, to, quint32(span.last) + 0x100, keyBefore);
                }
                return list;
            }
            appendInRange(from, to, list.owned);
        } else {
            for (int word = first; word <= last; ++word) {
                const auto [from, to] = wordOccurrences(word);
                if (range.isWhole())
                    list.owned.insert(list.owned.end(), from, to);
                else
                    appendInRange(from, to, list.owned);
            }
            std::sort(list.owned.begin(), list.owned.end(), keyOrder);
        }
        list.first = list.owned.data();
        list.last = list.owned.data() + list.owned.size();
        return list;
    }

    // Every verse in the range, without occurrences.
    std::vector<QueryMatch> allVerses() {
        if (!verseKeysRead) {
            sqlite3_stmt* st = statement(QStringLiteral("SELECT Verse FROM main.Bible"));
            while (step(st))
                verseKeys.push_back(quint32(sqlite3_column_int64(st, 0)));
            std::sort(verseKeys.begin(), verseKeys.end());
            verseKeysRead = true;
        }
        std::vector<QueryMatch> out;
        for (const quint32 key : verseKeys)
            if (range.contains(key))
                out.push_back(QueryMatch{key, 0, -1});
        return out;
    }

    std::pair<int, int> numbers(const QueryWord& word) const {
        if (word.prefix)
            return prefixRange(word.text);
        const auto at = std::lower_bound(words.begin(), words.end(), word.text);
        if (at == words.end() || *at != word.text)
            return {1, 0};
        const int n = int(at - words.begin()) + 1;
        return {n, n};
    }

    std::pair<int, int> prefixRange(const QByteArray& prefix) const {
        const auto from = std::lower_bound(words.begin(), words.end(), prefix);
        const auto to = std::partition_point(
            from, words.end(), [&](const QByteArray& w) { return w.startsWith(prefix); });
        return {int(from - words.begin()) + 1, int(to - words.begin())};
    }

    qint32 form(const std::vector<int>& numbers) {
        auto [at, added] = formIndex.try_emplace(numbers, qint32(building->forms.size()));
        if (added)
            building->forms.push_back(numbers);
        return at->second;
    }

    qint32 wordForm(int number) {
        qint32& single = singleForms[size_t(number)];
        if (single < 0) {
            single = qint32(building->forms.size());
            building->forms.push_back({number});
        }
        return single;
    }

    // The word number at occurrence key `key`; 0 where "Word" has none.
    int wordAt(quint32 key) {
        sqlite3_stmt* st =
            statement(QStringLiteral("SELECT R2 FROM \"Word\".\"Word\" WHERE R1 = ?1"));
        sqlite3_bind_int64(st, 1, key);
        const int n = step(st) ? sqlite3_column_int(st, 0) : 0;
        sqlite3_reset(st);
        return n;
    }

    // A Strong's number: the word elements that carry it, each an occurrence
    // over the words it spans, its form the words that render it there.
    std::vector<QueryMatch> numberTerm(const QueryNode& node) {
        if (!hasStrongsWords)
            throw QueryError(
                hasStrongs
                    ? QStringLiteral("%1 at %2: the text's Strong's numbers are not built yet: "
                                     "build it again with Build")
                          .arg(node.number)
                          .arg(node.position + 1)
                    : QStringLiteral("%1 at %2: the text in %3 has no Strong's numbers")
                          .arg(node.number)
                          .arg(node.position + 1)
                          .arg(QDir::toNativeSeparators(folder)),
                node.position);
        sqlite3_stmt* st =
            statement(QStringLiteral("SELECT Place, Length FROM \"%1\".\"%1\" WHERE Number = ?1 "
                                     "ORDER BY Place")
                          .arg(strongsWordTable));
        const QByteArray number = node.number.toUtf8();
        sqlite3_bind_text(st, 1, number.constData(), int(number.size()), SQLITE_TRANSIENT);
        std::vector<std::pair<quint32, int>> places;
        while (step(st)) {
            const quint32 key = quint32(sqlite3_column_int64(st, 0));
            if (range.contains(key))
                places.emplace_back(key, sqlite3_column_int(st, 1));
        }
        sqlite3_reset(st);
        std::vector<QueryMatch> out;
        out.reserve(places.size());
        std::vector<int> numbers;
        for (const auto& [key, length] : places) {
            numbers.clear();
            for (int i = 0; i < length && positionOfKey(key) + i <= maxWordsPerVerse; ++i) {
                const int n = wordAt(key + quint32(i));
                if (n < 1 || n > int(words.size()))
                    break;
                numbers.push_back(n);
            }
            if (numbers.empty())
                continue;
            out.push_back(
                QueryMatch{key, quint16(numbers.size()),
                           numbers.size() == 1 ? wordForm(numbers.front()) : form(numbers)});
        }
        return out;
    }

    std::vector<QueryMatch> term(const QueryNode& node) {
        if (!node.number.isEmpty())
            return numberTerm(node);
        std::vector<List> lists;
        lists.reserve(size_t(node.words.size()));
        for (const QueryWord& word : node.words) {
            const auto [first, last] = numbers(word);
            if (first > last)
                return {};
            lists.push_back(occurrences(first, last));
        }
        const int length = int(lists.size());
        std::vector<QueryMatch> out;
        if (length == 1) {
            out.reserve(lists.front().size());
            for (const Occurrence* o = lists.front().first; o != lists.front().last; ++o)
                out.push_back(QueryMatch{o->key, 1, wordForm(o->word)});
            return out;
        }
        // A phrase: word i at the key of its first word plus i, in one verse.
        // The rarest word leads; each other word is looked for where the
        // phrase needs it, its list searched onwards from the last find.
        size_t lead = 0;
        for (size_t i = 1; i < lists.size(); ++i)
            if (lists[i].size() < lists[lead].size())
                lead = i;
        std::vector<const Occurrence*> at(lists.size());
        for (size_t i = 0; i < lists.size(); ++i)
            at[i] = lists[i].first;
        std::vector<int> numbers(lists.size());
        for (const Occurrence* o = lists[lead].first; o != lists[lead].last; ++o) {
            const int start = positionOfKey(o->key) - int(lead);
            if (start < 1 || start + length - 1 > maxWordsPerVerse)
                continue;
            const quint32 key = o->key - quint32(lead);
            numbers[lead] = o->word;
            bool found = true;
            for (size_t i = 0; i < lists.size() && found; ++i) {
                if (i == lead)
                    continue;
                const quint32 wanted = key + quint32(i);
                at[i] = std::lower_bound(at[i], lists[i].last, wanted, keyBefore);
                found = at[i] != lists[i].last && at[i]->key == wanted;
                if (found)
                    numbers[i] = at[i]->word;
            }
            if (found)
                out.push_back(QueryMatch{key, quint16(length), form(numbers)});
        }
        return out;
    }

    std::vector<QueryMatch> evaluate(const QueryNode& node) {
        switch (node.kind) {
        case QueryNode::Kind::Term:
            return term(node);
        case QueryNode::Kind::Or: {
            std::vector<QueryMatch> out;
            for (const QueryNode& child : node.children) {
                std::vector<QueryMatch> part = evaluate(child);
                out.insert(out.end(), part.begin(), part.end());
            }
            normalize(out);
            return out;
        }
        case QueryNode::Kind::Not:
            return without(allVerses(), evaluate(node.children.front()));
        case QueryNode::Kind::And:
            return all(node);
        case QueryNode::Kind::Near:
            return near(evaluate(node.children.front()), evaluate(node.children.back()),
                        node.distance);
        }
        return {};
    }

    // The matches of `from` in verses that `excluded` has none of.
    static std::vector<QueryMatch> without(std::vector<QueryMatch> from,
                                           const std::vector<QueryMatch>& excluded) {
        const std::vector<quint32> verses = versesOf(excluded);
        std::erase_if(
            from, [&](const QueryMatch& m) { return containsVerse(verses, verseOfKey(m.key)); });
        return from;
    }

    std::vector<QueryMatch> all(const QueryNode& node) {
        std::vector<std::vector<QueryMatch>> included;
        std::vector<QueryMatch> excluded;
        for (const QueryNode& child : node.children) {
            if (child.kind == QueryNode::Kind::Not) {
                std::vector<QueryMatch> part = evaluate(child.children.front());
                excluded.insert(excluded.end(), part.begin(), part.end());
            } else {
                included.push_back(evaluate(child));
                if (included.back().empty())
                    return {};
            }
        }
        if (included.empty())
            included.push_back(allVerses());
        // The verses every included part has.
        std::vector<quint32> verses = versesOf(included.front());
        for (size_t i = 1; i < included.size(); ++i) {
            const std::vector<quint32> other = versesOf(included[i]);
            std::vector<quint32> both;
            std::set_intersection(verses.begin(), verses.end(), other.begin(), other.end(),
                                  std::back_inserter(both));
            verses = std::move(both);
        }
        if (!std::is_sorted(excluded.begin(), excluded.end(), byKey))
            std::sort(excluded.begin(), excluded.end(), byKey);
        const std::vector<quint32> excludedVerses = versesOf(excluded);
        std::vector<quint32> kept;
        std::set_difference(verses.begin(), verses.end(), excludedVerses.begin(),
                            excludedVerses.end(), std::back_inserter(kept));
        // Each part's matches in the verses kept, walking both in order.
        std::vector<QueryMatch> out;
        for (const std::vector<QueryMatch>& part : included) {
            auto verse = kept.begin();
            for (const QueryMatch& m : part) {
                const quint32 v = verseOfKey(m.key);
                while (verse != kept.end() && *verse < v)
                    ++verse;
                if (verse == kept.end())
                    break;
                if (*verse == v)
                    out.push_back(m);
            }
        }
        if (included.size() > 1)
            normalize(out);
        return out;
    }

    // The occurrences of either side that have one of the other side in their
    // verse with at most `distance` words between them.
    static std::vector<QueryMatch> near(const std::vector<QueryMatch>& left,
                                        const std::vector<QueryMatch>& right, int distance) {
        std::vector<QueryMatch> out;
        size_t l = 0;
        size_t r = 0;
        while (l < left.size() && r < right.size()) {
            const quint32 lv = verseOfKey(left[l].key);
            const quint32 rv = verseOfKey(right[r].key);
            if (lv < rv) {
                ++l;
                continue;
            }
            if (rv < lv) {
                ++r;
                continue;
            }
            size_t lEnd = l;
            while (lEnd < left.size() && verseOfKey(left[lEnd].key) == lv)
                ++lEnd;
            size_t rEnd = r;
            while (rEnd < right.size() && verseOfKey(right[rEnd].key) == rv)
                ++rEnd;
            std::vector<bool> rightUsed(rEnd - r, false);
            for (size_t i = l; i < lEnd; ++i) {
                const QueryMatch& a = left[i];
                bool used = false;
                for (size_t j = r; j < rEnd; ++j) {
                    const QueryMatch& b = right[j];
                    if (a.length == 0 || b.length == 0)
                        continue;
                    const int aStart = positionOfKey(a.key);
                    const int aEnd = aStart + a.length - 1;
                    const int bStart = positionOfKey(b.key);
                    const int bEnd = bStart + b.length - 1;
                    const int between = bStart > aEnd ? bStart - aEnd - 1 : aStart - bEnd - 1;
                    if (between >= 0 && between <= distance) {
                        used = true;
                        rightUsed[j - r] = true;
                    }
                }
                if (used)
                    out.push_back(a);
            }
            for (size_t j = r; j < rEnd; ++j)
                if (rightUsed[j - r])
                    out.push_back(right[j]);
            l = lEnd;
            r = rEnd;
        }
        normalize(out);
        return out;
    }
};

QueryEngine::QueryEngine(const QString& folder) : d(std::make_unique<Impl>()) {
    d->open(folder);
}

QueryEngine::~QueryEngine() = default;

const QString& QueryEngine::folder() const {
    return d->folder;
}

const std::vector<QByteArray>& QueryEngine::words() const {
    return d->words;
}

int QueryEngine::wordNumber(const QByteArray& word) const {
    const auto [first, last] = d->numbers(QueryWord{word, false});
    return first == last ? first : 0;
}

std::pair<int, int> QueryEngine::prefixNumbers(const QByteArray& prefix) const {
    return d->prefixRange(prefix);
}

QList<int> QueryEngine::books() {
    QList<int> out;
    sqlite3_stmt* st = d->statement(QStringLiteral("SELECT Verse FROM main.Bible WHERE Verse >= ?1 "
                                                   "ORDER BY Verse LIMIT 1"));
    qint64 from = 0;
    for (;;) {
        sqlite3_reset(st);
        sqlite3_bind_int64(st, 1, from);
        if (!d->step(st))
            break;
        const int book = bookOf(qint32(sqlite3_column_int64(st, 0)));
        out.append(book);
        from = qint64(verseKey(book + 1, 0, 0));
        if (book >= maxBook)
            break;
    }
    sqlite3_reset(st);
    return out;
}

QueryResult QueryEngine::run(const QueryNode& query, const VerseRange& range) {
    QueryResult result;
    d->building = &result;
    d->range = range;
    d->singleForms.assign(d->words.size() + 1, -1);
    d->formIndex.clear();
    try {
        result.matches = d->evaluate(query);
    } catch (...) {
        d->building = nullptr;
        throw;
    }
    d->building = nullptr;
    return result;
}

QueryResult QueryEngine::run(const QString& query, const VerseRange& range) {
    return run(parseQuery(query), range);
}

QList<FormCount> QueryEngine::forms(const QueryResult& result) const {
    struct Tally {
        qint64 occurrences = 0;
        qint64 verses = 0;
        quint32 lastVerse = 0;
    };
    std::vector<Tally> tallies(result.forms.size());
    for (const QueryMatch& m : result.matches) {
        if (m.form < 0)
            continue;
        Tally& t = tallies[size_t(m.form)];
        ++t.occurrences;
        if (verseOfKey(m.key) != t.lastVerse) {
            ++t.verses;
            t.lastVerse = verseOfKey(m.key);
        }
    }
    std::vector<size_t> order(result.forms.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return result.forms[a] < result.forms[b]; });
    QList<FormCount> out;
    for (const size_t i : order) {
        // A form met while the query was answered may have no occurrence
        // left in the answer (a word NEAR found without a partner).
        if (tallies[i].occurrences == 0)
            continue;
        QByteArray words;
        for (const int n : result.forms[i]) {
            if (!words.isEmpty())
                words += ' ';
            words += d->words.at(size_t(n - 1));
        }
        out.append(FormCount{QString::fromUtf8(words), tallies[i].occurrences, tallies[i].verses});
    }
    return out;
}

QString QueryEngine::verseText(qint32 key) {
    sqlite3_stmt* st = d->statement(QStringLiteral("SELECT Text FROM main.Bible WHERE Verse = ?1"));
    sqlite3_bind_int64(st, 1, key);
    QString text;
    if (d->step(st))
        text = QString::fromUtf8(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                                 sqlite3_column_bytes(st, 0));
    sqlite3_reset(st);
    return text;
}

bool QueryEngine::hasStrongs() const {
    return d->hasStrongs;
}

bool QueryEngine::hasStrongsTable() const {
    return d->hasStrongsWords;
}

QHash<int, QStringList> QueryEngine::strongsOfVerse(qint32 key) {
    QHash<int, QStringList> out;
    if (!d->hasStrongs)
        return out;
    sqlite3_stmt* st = d->statement(
        QStringLiteral("SELECT Place, Numbers FROM \"%1\".\"%1\" WHERE Place BETWEEN ?1 AND ?2")
            .arg(strongsTable));
    sqlite3_bind_int64(st, 1, qint64(verseOfKey(quint32(key))) + 1);
    sqlite3_bind_int64(st, 2, qint64(verseOfKey(quint32(key))) + maxWordsPerVerse);
    while (d->step(st)) {
        const int position = positionOfKey(quint32(sqlite3_column_int64(st, 0)));
        const QString numbers = QString::fromUtf8(
            static_cast<const char*>(sqlite3_column_blob(st, 1)), sqlite3_column_bytes(st, 1));
        QStringList list;
        for (const QString& text : numbers.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (const auto number = parseStrongsNumber(text))
                list << number->toString();
        if (!list.isEmpty())
            out.insert(position, list);
    }
    sqlite3_reset(st);
    return out;
}

} // namespace concordance
