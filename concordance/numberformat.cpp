#include "concordance/numberformat.h"

#include <cmath>
#include <cstdio>

namespace concordance {

namespace {

// `value` × 10^decimals rounded to the nearest integer, halves away from zero,
// from the exact binary value of the non-negative float: no second rounding.
quint64 scaledRounded(float value, int decimals) {
    if (!(value > 0) || !std::isfinite(value))
        return 0;
    int exponent = 0;
    const float fraction = std::frexp(value, &exponent); // value = fraction × 2^exponent
    // 24 bits, exact; times 10^6 at most it stays below 2^44.
    auto scaled = static_cast<quint64>(std::ldexp(fraction, 24));
    for (int i = 0; i < decimals; ++i)
        scaled *= 10;
    const int shift = 24 - exponent; // value × 10^d = scaled / 2^shift
    if (shift <= 0)
        return scaled << -shift;
    if (shift >= 64)
        return 0; // below 2^-20
    const quint64 whole = scaled >> shift;
    const quint64 rest = scaled - (whole << shift);
    return whole + (rest >= (quint64(1) << (shift - 1)) ? 1 : 0);
}

} // namespace

QString formatNumber(qint64 value) {
    const QString digits = QString::number(value);
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const qsizetype left = digits.size() - i; // digits from here to the end
        if (i > 0 && left % 3 == 0 && digits[i - 1].isDigit())
            out += QLatin1Char(',');
        out += digits[i];
    }
    return out;
}

QString formatFloatPercent(qint64 count, qint64 total) {
    // The double quotient of two integers is rounded once more to float; for
    // totals below 2^28 that is the float nearest to the exact quotient.
    const float percent =
        total > 0 ? static_cast<float>(double(count) * 100.0 / double(total)) : 0.0f;
    // Seven significant digits leave 7 - (digits before the point) decimals,
    // six at most.
    int whole = 1;
    for (float bound = 10.0f; percent >= bound && whole < 7; bound *= 10.0f)
        ++whole;
    const int decimals = 7 - whole < 6 ? 7 - whole : 6;
    quint64 scaled = scaledRounded(percent, decimals);
    for (int i = decimals; i < 6; ++i)
        scaled *= 10;
    const quint64 millionths = scaled % 1000000;
    // Once per word of a list: written by hand rather than by three arg()s.
    char text[40];
    const int length = std::snprintf(text, sizeof text, "%llu.%03llu,%03llu",
                                     static_cast<unsigned long long>(scaled / 1000000),
                                     static_cast<unsigned long long>(millionths / 1000),
                                     static_cast<unsigned long long>(millionths % 1000));
    return QString::fromLatin1(text, length);
}

QString formatPercent(qint64 count, qint64 total) {
    if (total <= 0 || count < 0)
        return QStringLiteral("0.00");
    // Hundredths of a percent, rounded: (count × 10000 + total / 2) / total,
    // in halves so that an odd total rounds exactly. Counts of a text stay far
    // below the 2^63 / 20000 where this would overflow.
    const qint64 value = (count * 20000 + total) / (total * 2);
    return QStringLiteral("%1.%2").arg(value / 100).arg(value % 100, 2, 10, QLatin1Char('0'));
}

} // namespace concordance
