#pragma once
// Strong's numbers: the numbers of the Hebrew (H) and Greek (G) words of the
// original text that the tagged modules give their words. One form is written
// everywhere: the letter in upper case and the number without leading zeros
// ("G26", "H2617"); "g0026" and "G26" name the same number.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace concordance {

struct StrongsNumber {
    char language = 'G'; // 'G' Greek, 'H' Hebrew
    int number = 0;      // 1 and up

    // "G26", "H2617".
    QString toString() const;
    // The lexicons' own key for the entry: five digits, "00026".
    QByteArray lexiconKey() const;
    // Hebrew numbers sort before Greek ones, then by number.
    int sortKey() const { return (language == 'H' ? 0 : 100000) + number; }
    friend bool operator==(const StrongsNumber&, const StrongsNumber&) = default;
};

// `text` read as a Strong's number: a G or H in either case, then one to five
// digits with any leading zeros, and nothing else. An augmented number's
// trailing letter ("H1254a") is read as its plain number. Null for anything
// else, 0 included.
std::optional<StrongsNumber> parseStrongsNumber(QStringView text);

// The numbers of a word element's lemma attribute, in order and each once:
// "strong:H0430 strong:H0853" gives H430 and H853. Values of other schemes
// ("lemma.TR:...") are passed over.
QList<StrongsNumber> strongsNumbersOfLemma(QByteArrayView lemma);

} // namespace concordance
