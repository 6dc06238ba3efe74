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
//
// forEachWord is the rule itself; every other function here, and Build's
// splitting of the verses, is made from it.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace concordance {

namespace wordrule {

inline bool isPunctuation(signed char c) {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
           (c >= 123 && c <= 126);
}
// Bytes 33 to 127: what a word is made of.
inline bool isWordCharacter(signed char c) {
    return c >= 33;
}
// Blanks and punctuation: what is skipped before a word.
inline bool isSkipped(signed char c) {
    return c != 0 && !(isWordCharacter(c) && !isPunctuation(c));
}

} // namespace wordrule

// Calls onWord(start, length) for each word of `text` in order: the offset of
// its first byte and its length, trailing punctuation already trimmed. The
// text ends at its first NUL, which must be there: nothing past it is read.
template <typename OnWord> void forEachWord(const char* text, OnWord&& onWord) {
    using namespace wordrule;
    const char* p = text;
    for (;;) {
        while (isSkipped(*p))
            ++p;
        if (*p == 0)
            return;
        // A word starts with a letter, a digit or DEL, so trimming never
        // empties it.
        const char* start = p;
        while (isWordCharacter(*p))
            ++p;
        const char* end = p;
        while (isPunctuation(end[-1]) && end[-1] != '\'')
            --end;
        onWord(start - text, end - start);
    }
}

// The byte as the concordance stores it: A to Z lower-cased, all else kept.
inline char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Build's way with a verse: splits the NUL-terminated `text` in place, lower-
// casing each word where it stands, and calls onWord(word, length) with a
// pointer into `text`. Nothing is copied.
template <typename OnWord> void splitInPlace(char* text, OnWord&& onWord) {
    forEachWord(text, [&](qsizetype start, qsizetype length) {
        char* word = text + start;
        for (qsizetype i = 0; i < length; ++i)
            word[i] = lowerCase(word[i]);
        onWord(static_cast<const char*>(word), length);
    });
}

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
// The number of words in `text`: the positions its words take.
int countWords(QByteArrayView text);

} // namespace concordance
