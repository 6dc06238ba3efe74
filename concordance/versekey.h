#pragma once
// The verse key: a verse's place packed into one 32-bit integer, book in bits
// 24 to 31, chapter in bits 16 to 23, verse in bits 8 to 15 (each from 1) and 0
// in bits 0 to 7. A word's occurrence key is its verse's key plus the word's
// 1-based position in the verse.

#include <QtGlobal>

namespace concordance {

// Chapter and verse lie in 1..maxPart: a verse key has one byte for each. Books
// lie in 1..maxBook: the key is stored in a signed 32-bit field, and a book
// above 127 would make it negative and sort it before book 1.
constexpr int maxPart = 255;
constexpr int maxBook = 127;
// A verse's words take the occurrence keys verse key + 1 to verse key + n: the
// low byte of the key has room for 255 of them. Words past the 255th are not
// indexed; word 256 would take the next verse's key.
constexpr int maxWordsPerVerse = 255;

// A verse's place. Valid when the book lies in 1..maxBook and chapter and verse
// in 1..maxPart.
struct Place {
    int book = 0;
    int chapter = 0;
    int verse = 0;
    bool isValid() const;
    bool operator==(const Place&) const = default;
};

// The key of a valid place.
quint32 packKey(const Place& place);
Place unpackKey(quint32 key);
// Whether `key` is one that packKey makes (low byte 0, every part in range).
bool isValidKey(quint64 key);

// The key of book, chapter and verse as the signed value a verse table stores.
constexpr qint32 verseKey(int book, int chapter, int verse) {
    return qint32((quint32(book) << 24) | (quint32(chapter) << 16) | (quint32(verse) << 8));
}
constexpr int bookOf(qint32 key) {
    return int(quint32(key) >> 24);
}
constexpr int chapterOf(qint32 key) {
    return int((quint32(key) >> 16) & 0xff);
}
constexpr int verseOf(qint32 key) {
    return int((quint32(key) >> 8) & 0xff);
}

} // namespace concordance
