#include "concordance/versekey.h"

namespace concordance {

bool Place::isValid() const {
    return book >= 1 && book <= maxBook && chapter >= 1 && chapter <= maxPart && verse >= 1 &&
           verse <= maxPart;
}

quint32 packKey(const Place& place) {
    Q_ASSERT(place.isValid());
    return quint32(verseKey(place.book, place.chapter, place.verse));
}

Place unpackKey(quint32 key) {
    return Place{bookOf(qint32(key)), chapterOf(qint32(key)), verseOf(qint32(key))};
}

bool isValidKey(quint64 key) {
    return key <= 0xffffffffu && (key & 0xff) == 0 && unpackKey(quint32(key)).isValid();
}

} // namespace concordance
