#include "concordance/wordrule.h"

namespace concordance {

namespace {

inline bool isBlank(signed char c) {
    return c < 0 || (c >= 1 && c <= 32);
}
inline bool isPunctuation(signed char c) {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
           (c >= 123 && c <= 126);
}
inline bool isWordCharacter(signed char c) {
    return c >= 33; // 33 to 127
}

} // namespace

QList<WordSpan> wordSpans(QByteArrayView text) {
    QList<WordSpan> spans;
    const auto at = [&text](qsizetype i) -> signed char {
        return i < text.size() ? static_cast<signed char>(text[i]) : 0;
    };
    qsizetype p = 0;
    while (at(p) != 0) {
        while (at(p) != 0 && (isBlank(at(p)) || isPunctuation(at(p))))
            ++p;
        const qsizetype start = p;
        while (isWordCharacter(at(p)))
            ++p;
        if (p == start)
            break;
        qsizetype end = p;
        while (isPunctuation(at(end - 1)) && at(end - 1) != '\'')
            --end;
        spans.append({start, end - start});
        if (at(p) != 0)
            ++p;
    }
    return spans;
}

QByteArray wordAt(QByteArrayView text, const WordSpan& span) {
    QByteArray word = text.sliced(span.start, span.length).toByteArray();
    for (char& c : word) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return word;
}

} // namespace concordance
