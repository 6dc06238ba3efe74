#pragma once
// Lexicon entries for Strong's numbers, as the installed Strong's dictionary
// modules keep them: the original word, its transliteration and pronunciation,
// where it comes from and what it means. This part reads one entry's markup;
// lexiconsource.h finds the entry in the installed modules.

#include <QByteArray>
#include <QString>

namespace concordance::lexicon {

struct Entry {
    QString headword;        // in its own script: "ἀγάπη"
    QString transliteration; // "agápē"
    QString pronunciation;   // "ag-ah'-pay"
    QString derivation;      // "from G25;"
    QString definition;      // the meaning and, after ":--" or " - ", the renderings
    bool isEmpty() const { return headword.isEmpty() && definition.isEmpty(); }
};

// The entry whose markup (an `entryFree` element) is `markup`. Markup that is
// not well formed still gives its text, as the definition.
Entry parseEntry(const QByteArray& markup);

// `text` as its writer meant it where it was encoded as UTF-8 twice, the
// second time from Windows-1252 (as one installed Hebrew lexicon is: "×—×¡×“"
// for "חסד"); any other text unchanged.
QByteArray undoDoubleEncoding(const QByteArray& text);

// One line for a status bar or a tooltip: "ἀγάπη (agápē): love, i.e. …".
QString summary(const Entry& entry);

} // namespace concordance::lexicon
