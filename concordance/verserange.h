#pragma once
// The part of a text a query is limited to, as a user writes it: parts
// separated by commas or semicolons, each of them
//   OT, NT                  books 1 to 39, books 40 to 66
//   John, Jn, 1 Jn          a book by its name, abbreviation or usual variant
//   Matthew-John            the books from one to the other
//   John 3, John 1-3        chapters
//   John 3:16, John 3:16-18, John 3:16-4:2, Ps 23-Ps 25:3
//                           verses
// Names are compared as concordance::bookNumber compares them (case, blanks
// and full stops ignored).

#include "platform/core/errors.h"

#include <QList>
#include <QString>
#include <QtGlobal>

namespace concordance {

// A part of the range that cannot be read.
class RangeError : public platform::Exception {
public:
    using platform::Exception::Exception;
};

// The verses from `first` to `last` (verse keys, both included). Chapter and
// verse 0 stand for "from the start", 255 for "to the end".
struct KeySpan {
    qint32 first = 0;
    qint32 last = 0;
    bool operator==(const KeySpan&) const = default;
};

class VerseRange {
public:
    // The whole text.
    VerseRange() = default;
    // Parses `text`; `textBooks`, when not empty, are the books of the text,
    // and a part that names a single book outside them is refused. Raises
    // RangeError naming the part that cannot be read.
    static VerseRange parse(const QString& text, const QList<int>& textBooks = {});
    // Only the verses of one book.
    static VerseRange book(int book);

    bool isWhole() const { return spans.isEmpty(); }
    // Whether the verse or occurrence key lies in the range.
    bool contains(quint32 key) const;
    // The spans, in order and not overlapping; none for the whole text.
    const QList<KeySpan>& keySpans() const { return spans; }

private:
    QList<KeySpan> spans;
};

} // namespace concordance
