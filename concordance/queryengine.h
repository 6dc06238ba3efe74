#pragma once
// The query engine: answers a parsed query (concordance/query.h) from the
// concordance tables of one text, "Key", "Freq" and "Word", and reads the
// verses of the answer from "Bible". A text whose words are tagged adds
// "Strongs" (the numbers of each tagged word) and "StrongsWord" (each number's
// word elements, which Build makes): a Strong's number is a term like a word. It needs no other
// index than those Build makes: the occurrences of a word are the rows of "Word" with its number
// (the index "wordKeyNdx" finds them), a prefix stands for the words numbered from its first word
// in "Key" to its last (the words are numbered in order), and a phrase is its words at consecutive
// occurrence keys.
//
// Answers hold occurrences: a word, a prefix's word or a phrase where it
// stands, each counted once however the query reaches it; a phrase that
// repeats in a verse counts each time. A verse that matches only by what it
// lacks (-word) is in the answer with no occurrence. The concordance indexes a
// verse's first 255 words (concordance/versekey.h), so nothing past them is
// found, as nothing past them is counted.
//
// The engine reads the table files with SQLite directly, read-only and with
// parameterised statements, instead of through TTable's cursor: an answer may
// take a hundred thousand rows, and the cursor's row-by-row values would cost
// more than the look-up itself. SQLite keeps one process's locks on a file
// across all its connections, so this never drops the hold of a table that
// the process has open through the table layer. A table that Build holds
// fails at once with EDatabaseError of kind Locked, as in the table layer.

#include "concordance/query.h"
#include "concordance/verserange.h"
#include "platform/core/errors.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

namespace concordance {

// What a text's folder holds, from its files alone.
enum class TextState {
    NoText,   // no verse table
    NotBuilt, // a verse table, but no concordance tables
    Building, // a build runs, or the last one did not complete
    Built,
};
TextState textState(const QString& folder);

// A text whose concordance cannot be asked: its folder has no verse table, it
// has not been built, or a build runs.
class TextNotReady : public platform::Exception {
public:
    TextNotReady(const QString& message, TextState state)
        : platform::Exception(message), what(state) {}
    TextState state() const noexcept { return what; }

private:
    TextState what;
};

struct QueryMatch {
    quint32 key = 0;    // the occurrence key of its first word
    quint16 length = 0; // the words it takes; 0 for a verse without occurrences
    qint32 form = -1;   // the words it matched: QueryResult::forms
    bool operator==(const QueryMatch&) const = default;
};

// A verse of an answer and where its occurrences stand.
struct MatchSpan {
    int start = 0; // 1-based word position
    int length = 0;
    bool operator==(const MatchSpan&) const = default;
};
struct MatchedVerse {
    qint32 key = 0;
    QList<MatchSpan> spans;
    // Every word position the occurrences take, ascending, once each.
    QList<int> positions() const;
};

struct BookCount {
    int book = 0;
    qint64 occurrences = 0;
    qint64 verses = 0;
};

// The words an answer matched (a word, a prefix's words, a phrase's words
// joined by blanks) with their occurrences and verses.
struct FormCount {
    QString words;
    qint64 occurrences = 0;
    qint64 verses = 0;
};

struct QueryResult {
    // In order of key, then length.
    std::vector<QueryMatch> matches;
    // The word numbers of every distinct word sequence matched.
    std::vector<std::vector<int>> forms;

    qint64 occurrences() const;
    qint64 verseCount() const;
    QList<MatchedVerse> verses() const;
    // Per book, in book order; books without a verse are left out.
    QList<BookCount> byBook() const;
};

class QueryEngine {
public:
    // Opens the concordance of the text in `folder` for reading. Raises
    // TextNotReady, or EDatabaseError when a table cannot be read.
    explicit QueryEngine(const QString& folder);
    ~QueryEngine();
    QueryEngine(const QueryEngine&) = delete;
    QueryEngine& operator=(const QueryEngine&) = delete;

    const QString& folder() const;
    // The words of "Key" in order: word number n is words()[n - 1].
    const std::vector<QByteArray>& words() const;
    // The number of a word as the concordance stores it; 0 when absent.
    int wordNumber(const QByteArray& word) const;
    // The first and last number of the words that start with `prefix`; an
    // empty pair (first > last) when none does.
    std::pair<int, int> prefixNumbers(const QByteArray& prefix) const;
    // The books that have verses in the text, in order.
    QList<int> books();

    // Answers `query` within `range`. Raises EDatabaseError.
    QueryResult run(const QueryNode& query, const VerseRange& range = {});
    // Parses and answers; raises QueryError too.
    QueryResult run(const QString& query, const VerseRange& range = {});

    // The words matched, in word order, with their counts; only words the
    // answer has occurrences of.
    QList<FormCount> forms(const QueryResult& result) const;
    // The text of a verse; "" when the text has no such verse.
    QString verseText(qint32 key);

    // Whether the text's words are tagged with Strong's numbers, and whether
    // Build has made its Strong's table, which number terms need.
    bool hasStrongs() const;
    bool hasStrongsTable() const;
    // The Strong's numbers of the words of verse `key` by word position, in
    // their one form ("G26"); a word without numbers is left out. Empty for a
    // text whose words are not tagged.
    QHash<int, QStringList> strongsOfVerse(qint32 key);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace concordance
