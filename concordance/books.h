#pragma once
// The books of the Bible by number: 1 to 66 in the Protestant order, then the
// further books in the order of the NRSVA versification. Their English names,
// OSIS abbreviations and the usual variants of their names.

#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace concordance {

// Number of the books of the Protestant canon.
constexpr int protestantBooks = 66;
// Number of the books with a fixed number (the canon and the further books).
int fixedBookCount();

// The book with a fixed number whose name, OSIS abbreviation or usual variant is
// `name` (case, blanks and full stops ignored; "I", "II", "III", "IV" before the
// name read as 1 to 4). 0 for an unknown name.
int bookNumber(QStringView name);
// The fixed number of the book with the OSIS abbreviation `osisId` (exact), 0 if none.
int bookNumberFromOsis(QStringView osisId);
// The English name of a book with a fixed number; "Book N" for any other.
QString bookName(int book);
// The reference of a verse key for messages: "Esther (Greek) 1:1". A key that
// no verse has (its low byte is not 0) is followed by the key itself.
QString verseReference(qint32 key);

} // namespace concordance
