#include "concordance/verserange.h"

#include "concordance/books.h"
#include "concordance/versekey.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace concordance {

namespace {

constexpr int oldTestamentBooks = 39;

// A reference as written: a book, perhaps a chapter, perhaps a verse.
struct Ref {
    int book = 0;
    int chapter = 0; // 0: the whole book
    int verse = 0;   // 0: the whole chapter
};

std::optional<int> number(const QString& digits) {
    bool ok = false;
    const int value = digits.toInt(&ok);
    if (!ok || value < 1 || value > maxPart)
        return std::nullopt;
    return value;
}

// "John", "1 Jn 3", "Ps 23:1".
std::optional<Ref> parseRef(const QString& text) {
    const QString trimmed = text.trimmed();
    if (const int book = bookNumber(trimmed))
        return Ref{book, 0, 0};
    static const QRegularExpression pattern(
        QStringLiteral("^(.*?[^\\s\\d:.-])\\s*(\\d+)(?:\\s*[:.]\\s*(\\d+))?$"));
    const QRegularExpressionMatch m = pattern.match(trimmed);
    if (!m.hasMatch())
        return std::nullopt;
    const int book = bookNumber(m.captured(1));
    const std::optional<int> chapter = number(m.captured(2));
    if (!book || !chapter)
        return std::nullopt;
    Ref ref{book, *chapter, 0};
    if (m.hasCaptured(3)) {
        const std::optional<int> verse = number(m.captured(3));
        if (!verse)
            return std::nullopt;
        ref.verse = *verse;
    }
    return ref;
}

// The end of a range after its hyphen: a reference of its own, or chapter or
// verse numbers in the book of `from` ("John 1-3", "John 3:16-18",
// "John 3:16-4:2").
std::optional<Ref> parseEnd(const QString& text, const Ref& from) {
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\s*[:.]\\s*(\\d+))?$"));
    const QRegularExpressionMatch m = numbers.match(text.trimmed());
    if (!m.hasMatch())
        return parseRef(text);
    const std::optional<int> first = number(m.captured(1));
    if (!first || from.chapter == 0)
        return std::nullopt;
    if (m.hasCaptured(2)) {
        const std::optional<int> verse = number(m.captured(2));
        if (!verse || from.verse == 0)
            return std::nullopt;
        return Ref{from.book, *first, *verse};
    }
    if (from.verse != 0)
        return Ref{from.book, from.chapter, *first};
    return Ref{from.book, *first, 0};
}

qint32 firstKey(const Ref& ref) {
    return verseKey(ref.book, ref.chapter, ref.verse);
}

qint32 lastKey(const Ref& ref) {
    return verseKey(ref.book, ref.chapter ? ref.chapter : maxPart, ref.verse ? ref.verse : maxPart);
}

KeySpan parsePart(const QString& part, const QList<int>& textBooks) {
    const QString trimmed = part.trimmed();
    if (trimmed.compare(QLatin1String("OT"), Qt::CaseInsensitive) == 0)
        return {firstKey({1, 0, 0}), lastKey({oldTestamentBooks, 0, 0})};
    if (trimmed.compare(QLatin1String("NT"), Qt::CaseInsensitive) == 0)
        return {firstKey({oldTestamentBooks + 1, 0, 0}), lastKey({protestantBooks, 0, 0})};

    if (const std::optional<Ref> ref = parseRef(trimmed)) {
        if (!textBooks.isEmpty() && !textBooks.contains(ref->book))
            throw RangeError(QStringLiteral("the text has no book %1 (in \"%2\")")
                                 .arg(bookName(ref->book), trimmed));
        return {firstKey(*ref), lastKey(*ref)};
    }
    // A range: try each hyphen until both sides read.
    for (qsizetype dash = trimmed.indexOf(QLatin1Char('-')); dash > 0;
         dash = trimmed.indexOf(QLatin1Char('-'), dash + 1)) {
        const std::optional<Ref> from = parseRef(trimmed.left(dash));
        if (!from)
            continue;
        const std::optional<Ref> to = parseEnd(trimmed.mid(dash + 1), *from);
        if (!to)
            continue;
        const KeySpan span{firstKey(*from), lastKey(*to)};
        if (span.first > span.last)
            throw RangeError(QStringLiteral("\"%1\" runs backwards").arg(trimmed));
        return span;
    }
    throw RangeError(
        QStringLiteral("\"%1\" is no book, chapter or verse range (try \"John\", \"Matthew-John\", "
                       "\"John 1-3\", \"John 3:16\", \"OT\" or \"NT\")")
            .arg(trimmed));
}

} // namespace

VerseRange VerseRange::parse(const QString& text, const QList<int>& textBooks) {
    VerseRange range;
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (!part.trimmed().isEmpty())
            range.spans.append(parsePart(part, textBooks));
    }
    if (range.spans.isEmpty())
        throw RangeError(QStringLiteral("the range is empty"));
    // In order, and overlapping or touching spans joined.
    std::sort(range.spans.begin(), range.spans.end(),
              [](const KeySpan& a, const KeySpan& b) { return a.first < b.first; });
    QList<KeySpan> joined;
    for (const KeySpan& span : std::as_const(range.spans)) {
        if (!joined.isEmpty() && span.first <= joined.last().last + 1)
            joined.last().last = std::max(joined.last().last, span.last);
        else
            joined.append(span);
    }
    range.spans = joined;
    return range;
}

VerseRange VerseRange::book(int book) {
    VerseRange range;
    range.spans.append({firstKey({book, 0, 0}), lastKey({book, 0, 0})});
    return range;
}

bool VerseRange::contains(quint32 key) const {
    if (spans.isEmpty())
        return true;
    // The verse of an occurrence key.
    const qint32 verse = qint32(key & ~quint32(0xff));
    for (const KeySpan& span : spans) {
        if (verse < span.first)
            return false;
        if (verse <= span.last)
            return true;
    }
    return false;
}

} // namespace concordance
