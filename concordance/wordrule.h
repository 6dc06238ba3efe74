#pragma once
// The word rule of the concordance: how a verse's text (its UTF-8 bytes) splits
// into words. Bytes are taken as signed 8-bit values in the C library's default
// locale:
//  - 0 ends the text;
//  - 1 to 32 and every byte above 127 are blanks: they separate words and are
//    never part of one;
//  - the 32 ASCII punctuation characters are skipped before a word, kept inside
//    it and trimmed from its end, except that trimming stops at an apostrophe;
//  - a word starts at a letter, a digit or DEL and runs over bytes 33 to 127;
//  - words are lower-cased (A to Z only).
// A word's position is its 1-based number among the words of its verse.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace concordance {

// A word as it stands in the text: its first byte and its length in bytes,
// trailing punctuation already trimmed.
struct WordSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const WordSpan&) const = default;
};

// The words of `text` in order; the text ends at its first NUL.
QList<WordSpan> wordSpans(QByteArrayView text);
// The word of a span in lower case, as the concordance stores it.
QByteArray wordAt(QByteArrayView text, const WordSpan& span);

} // namespace concordance
