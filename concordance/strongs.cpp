#include "concordance/strongs.h"

namespace concordance {

QString StrongsNumber::toString() const {
    return QLatin1Char(language) + QString::number(number);
}

QByteArray StrongsNumber::lexiconKey() const {
    return QByteArray::number(number).rightJustified(5, '0');
}

std::optional<StrongsNumber> parseStrongsNumber(QStringView text) {
    if (text.size() < 2)
        return std::nullopt;
    const QChar letter = text.front().toUpper();
    if (letter != QLatin1Char('G') && letter != QLatin1Char('H'))
        return std::nullopt;
    qsizetype end = text.size();
    if (end > 2 && text[end - 1].isLetter() && text[end - 1].unicode() < 128)
        --end; // an augmented number's letter
    int number = 0;
    int digits = 0;
    for (qsizetype i = 1; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (number == 0 && c == u'0')
            continue; // leading zeros
        if (++digits > 5)
            return std::nullopt;
        number = number * 10 + (c - u'0');
    }
    if (number == 0)
        return std::nullopt;
    return StrongsNumber{char(letter.unicode()), number};
}

QList<StrongsNumber> strongsNumbersOfLemma(QByteArrayView lemma) {
    static constexpr QByteArrayView prefix("strong:");
    QList<StrongsNumber> numbers;
    qsizetype from = 0;
    while (from < lemma.size()) {
        qsizetype end = lemma.indexOf(' ', from);
        if (end < 0)
            end = lemma.size();
        const QByteArrayView value = lemma.sliced(from, end - from);
        from = end + 1;
        if (!value.startsWith(prefix))
            continue;
        const auto number = parseStrongsNumber(QString::fromLatin1(value.sliced(prefix.size())));
        if (number && !numbers.contains(*number))
            numbers << *number;
    }
    return numbers;
}

} // namespace concordance
