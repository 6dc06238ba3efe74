#pragma once
// Verses on their way into a verse table: the text clean-up every source
// shares, the collection that checks the verses as they come, and the readers
// of the two verse-file forms. Verse keys and book names come from
// concordance/.

#include "concordance/books.h"
#include "concordance/versekey.h"
#include "importer/wordtags.h"

#include "concordance/wordrule.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <map>
#include <vector>

namespace verses {

using concordance::bookName;
using concordance::bookNumber;
using concordance::bookNumberFromOsis;
using concordance::fixedBookCount;
using concordance::isValidKey;
using concordance::maxBook;
using concordance::maxPart;
using concordance::maxWordsPerVerse;
using concordance::packKey;
using concordance::Place;
using concordance::protestantBooks;
using concordance::unpackKey;

// The longest verse, in bytes, that the summary does not warn of.
constexpr qsizetype overlongBytes = 638;

// Runs of blanks, tabs and line breaks become one blank; none at either end.
QByteArray simplified(const QByteArray& text);
// Replaces the typographic apostrophes U+2018 and U+2019 by the ASCII apostrophe;
// adds the number replaced to *count when given.
QByteArray foldApostrophes(const QByteArray& text, int* count = nullptr);
// Whether `text` is well-formed UTF-8.
bool isValidUtf8(const QByteArray& text);

struct Verse {
    quint32 key = 0;
    QByteArray text;
    // The Strong's numbers and morphology of its words, by word position,
    // where the source tags them; in position order.
    std::vector<wordtags::WordTag> tags;
};

// Collects the verses of one import and what it notices on the way: the reasons
// verses were left out, the errors that stop the import, the longest verse.
class Collection {
public:
    explicit Collection(bool keepApostrophes = false) : keepQuotes(keepApostrophes) {}

    // The word rule the text is imported with, by which crowded verses are
    // counted (the byte rule unless set).
    void setWordForm(concordance::WordForm form) { words = form; }

    // Names that references to the books use in messages, for books without a
    // fixed number (a module's further books).
    void setBookName(int book, const QString& name) { names[book] = name; }
    // "Genesis 1:1".
    QString reference(quint32 key) const;
    QString reference(const Place& place) const;

    // Adds a verse: the text is simplified and, unless apostrophes are kept,
    // folded. `origin` ("file:line" or a module name) and `line` (0 when the
    // source has no lines) are for messages. Returns false, with an error
    // recorded, for an invalid place, a verse that was added before, or a text
    // that is not UTF-8 or holds a NUL byte.
    // The caller leaves out verses whose text is empty (see skip()). `tags`
    // are its words' tags, made with apostrophes folded as keepsApostrophes()
    // says.
    bool add(const Place& place, const QByteArray& text, const QString& origin, int line = 0,
             std::vector<wordtags::WordTag> tags = {});
    bool keepsApostrophes() const { return keepQuotes; }
    // Records one verse left out, and why.
    void skip(const QString& reason) { ++skipped[reason]; }
    // Records an error that stops the import.
    void error(const QString& message) { errorList << message; }
    // Records a remark for the summary.
    void note(const QString& remark) { noteList << remark; }

    const QStringList& errors() const { return errorList; }
    const QStringList& notes() const { return noteList; }
    const std::map<QString, int>& skips() const { return skipped; }
    qsizetype size() const { return static_cast<qsizetype>(list.size()); }
    // The verses in key order.
    std::vector<Verse> sorted() const;
    int foldedApostrophes() const { return folded; }
    // The words that carry a tag, in all verses.
    qint64 taggedWords() const { return tagged; }
    // The longest verse (in bytes); key 0 when there is none.
    quint32 longestKey() const { return longest; }
    qsizetype longestBytes() const { return longestSize; }
    // Verses with more words than a verse key leaves room for.
    const QList<quint32>& crowdedVerses() const { return crowded; }
    // Verses longer than overlongBytes. Build takes a verse of any length;
    // the warning is for texts also meant for programs with a verse buffer of
    // 640 bytes, which holds 638 and two NULs.
    const QList<quint32>& overlongVerses() const { return overlong; }

private:
    bool keepQuotes;
    concordance::WordForm words;
    std::vector<Verse> list;
    QHash<quint32, int> lineOfKey;
    std::map<int, QString> names;
    std::map<QString, int> skipped;
    QStringList errorList;
    QStringList noteList;
    int folded = 0;
    qint64 tagged = 0;
    quint32 longest = 0;
    qsizetype longestSize = 0;
    QList<quint32> crowded;
    QList<quint32> overlong;
};

// The two verse-file forms.
enum class FileForm {
    // "Genesis 1:1 In the beginning ..." (book name or OSIS abbreviation,
    // chapter:verse, blank, text), as SWORD's mod2vpl writes it.
    VersePerLine,
    // verse key or "book chapter verse", a tab, the text.
    TabSeparated,
};

// Reads a UTF-8 verse file into `verses`: a file, a pipe or a FIFO, read as a
// stream. A line ends at "\n", "\r\n" or a lone "\r". Blank lines are passed
// over; every bad line adds an error "file:line: message" to the collection.
// Returns false when the file could not be read at all, or holds a line longer
// than 1 MiB (error recorded as well).
bool readFile(const QString& path, FileForm form, Collection& verses);
// One line of each form, without its line break. Returns false, with `message`
// set, for a bad line; true for a verse (place and text set) or a blank line
// (place left invalid).
bool parseVersePerLine(const QByteArray& line, Place& place, QByteArray& text, QString& message);
bool parseTabSeparated(const QByteArray& line, Place& place, QByteArray& text, QString& message);

} // namespace verses
