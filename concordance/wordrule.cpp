#include "concordance/wordrule.h"

namespace concordance {

namespace {

// The text up to its first NUL, NUL-terminated: a view need not be.
QByteArray terminated(QByteArrayView text) {
    return QByteArray(text.data(), qstrnlen(text.data(), static_cast<size_t>(text.size())));
}

} // namespace

QList<WordSpan> wordSpans(QByteArrayView text) {
    QList<WordSpan> spans;
    forEachWord(terminated(text).constData(), [&spans](qsizetype start, qsizetype length) {
        spans.append({start, length});
    });
    return spans;
}

QByteArray wordAt(QByteArrayView text, const WordSpan& span) {
    QByteArray word = text.sliced(span.start, span.length).toByteArray();
    for (char& c : word)
        c = lowerCase(c);
    return word;
}

int countWords(QByteArrayView text) {
    int words = 0;
    forEachWord(terminated(text).constData(), [&words](qsizetype, qsizetype) { ++words; });
    return words;
}

} // namespace concordance
