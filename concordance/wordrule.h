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
// forEachWord is the rule itself; every other byte-rule function here, and
// Build's splitting of the verses, is made from it.
//
// A text may choose the Unicode rule instead (see textrules.h), which reads
// the verse as UTF-8 text in its NFC form:
//  - a word starts at a letter, a mark or a number (categories L*, M*, N*);
//  - punctuation and symbols (P*, S*) are skipped before a word, kept inside
//    it and trimmed from its end, except that trimming stops at U+0027;
//  - every other character (separators, controls, format characters,
//    unassigned code points, U+FFFD and whatever is not valid UTF-8) ends a
//    word and is never part of one;
//  - words are case-folded (Unicode simple case folding), and with accent
//    folding lose their non-spacing marks (decomposed, marks dropped, composed
//    again).
// On ASCII text the two rules give the same words, but for DEL, which the
// Unicode rule takes for the control it is. Character classes come from Qt's
// Unicode tables; ASCII's are looked up once and kept.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <array>
#include <cstdint>

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

// ---- the Unicode rule -------------------------------------------------------

// Which rule a text's words are made by, and whether accents are folded.
enum class WordRule { Byte, Unicode };
struct WordForm {
    WordRule rule = WordRule::Byte;
    bool foldAccents = false; // Unicode rule only
    bool operator==(const WordForm&) const = default;
};

namespace wordrule {

// What a character is to the Unicode rule.
enum class CharClass : std::uint8_t {
    Ender,   // separators, controls and the rest: never part of a word
    Starter, // L*, M*, N*: starts a word
    Inner,   // P*, S*: inside a word only
};
CharClass unicodeClass(char32_t c);
// The classes of the 128 ASCII characters, from the same tables.
extern const std::array<CharClass, 128> asciiClasses;

inline CharClass classOf(char32_t c) {
    return c < 128 ? asciiClasses[c] : unicodeClass(c);
}

} // namespace wordrule

// Calls onWord(start, length) for each word of `text` by the Unicode rule, in
// UTF-16 units of `text`, trailing punctuation already trimmed. `text` is
// taken as it is: callers give its NFC form (see toNfc).
template <typename OnWord> void forEachUnicodeWord(QStringView text, OnWord&& onWord) {
    using namespace wordrule;
    const char16_t* const begin = text.utf16();
    const char16_t* const end = begin + text.size();
    // The character at p and the units it takes.
    const auto decode = [end](const char16_t* p, int& units) -> char32_t {
        const char16_t c = *p;
        if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
            units = 2;
            return QChar::surrogateToUcs4(c, p[1]);
        }
        units = 1;
        return c;
    };
    const char16_t* p = begin;
    while (p < end) {
        int units = 1;
        CharClass cls = classOf(decode(p, units));
        if (cls != CharClass::Starter) {
            p += units;
            continue;
        }
        const char16_t* start = p;
        const char16_t* last = p + units; // just past the last character kept
        p += units;
        while (p < end) {
            cls = classOf(decode(p, units));
            if (cls == CharClass::Ender)
                break;
            p += units;
            // Punctuation and symbols stay only when more of the word follows,
            // or when the last of them is an apostrophe.
            if (cls == CharClass::Starter || p[-1] == u'\'')
                last = p;
        }
        onWord(start - begin, last - start);
    }
}

// `text` in NFC; ASCII text is returned as it is, without a look at tables.
QString toNfc(const QString& text);
// The word as the concordance stores it: case-folded and, with
// `foldAccents`, without its non-spacing marks, in NFC.
QString foldWord(QStringView word, bool foldAccents);

// The words of `text` by `form`'s rule, as the concordance stores them, in
// order; onWord(QStringView) receives each one, valid until it returns.
// What Build does with a verse.
template <typename OnWord>
void forEachStoredWordView(const QString& text, WordForm form, OnWord&& onWord) {
    if (form.rule == WordRule::Byte) {
        QByteArray bytes = text.toUtf8();
        // One buffer for the verse's words, widened from their bytes.
        QVarLengthArray<char16_t, 256> word;
        splitInPlace(bytes.data(), [&](const char* start, qsizetype length) {
            word.resize(length);
            for (qsizetype i = 0; i < length; ++i)
                word[i] = static_cast<unsigned char>(start[i]);
            onWord(QStringView(word.constData(), length));
        });
        return;
    }
    const QString nfc = toNfc(text);
    forEachUnicodeWord(nfc, [&](qsizetype start, qsizetype length) {
        const QString folded = foldWord(QStringView(nfc).sliced(start, length), form.foldAccents);
        onWord(QStringView(folded));
    });
}

// The same, onWord(QString) receiving each word.
template <typename OnWord>
void forEachStoredWord(const QString& text, WordForm form, OnWord&& onWord) {
    forEachStoredWordView(text, form, [&](QStringView word) { onWord(word.toString()); });
}

// The spans of the words of `text` in UTF-16 units of `text`, by `form`'s
// rule. The Unicode rule splits the NFC form: for a text that is not in NFC
// the spans are those of toNfc(text).
QList<WordSpan> wordSpans(const QString& text, WordForm form);
// The first word of `text` as the concordance stores it, or "" when there is
// none; `wordCount` receives the number of words in `text`.
QString firstStoredWord(const QString& text, WordForm form, int* wordCount = nullptr);
// The number of words of `text` by `form`'s rule.
int countWords(const QString& text, WordForm form);
// The length of a stored word as the lists show it: in characters (code
// points), which for the byte rule's ASCII words is its bytes.
int wordLength(QStringView word);

} // namespace concordance
