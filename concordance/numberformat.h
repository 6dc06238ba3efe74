#pragma once
// How every status text, word list and summary writes a count, and how the
// word lists write a share of the text.

#include <QString>
#include <QtGlobal>

namespace concordance {

// Decimal digits with a comma before every complete group of three that has a
// digit to its left: 999 → "999", 1234567 → "1,234,567".
QString formatNumber(qint64 value);

// The share of `count` in `total` as the frequency list writes it: count × 100
// / total held as a 32-bit float, written with six decimals rounded to at most
// seven significant digits (the digits past the seventh are 0), a comma
// between the third and fourth decimal: 1 of 3 → "33.333,330", 1 of 790,000 →
// "0.000,127", all → "100.000,000". A total of 0 gives "0.000,000".
QString formatFloatPercent(qint64 count, qint64 total);

// The share of `count` in `total` as the character report writes it: the exact
// quotient count × 100 / total rounded to the nearest hundredth (halves up),
// two decimals: 1 of 9 → "11.11". A total of 0 gives "0.00".
QString formatPercent(qint64 count, qint64 total);

} // namespace concordance
