#include "concordance/numberformat.h"

namespace concordance {

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

} // namespace concordance
