#pragma once
// How every status text, word list and summary writes a count.

#include <QString>
#include <QtGlobal>

namespace concordance {

// Decimal digits with a comma before every complete group of three that has a
// digit to its left: 999 → "999", 1234567 → "1,234,567".
QString formatNumber(qint64 value);

} // namespace concordance
