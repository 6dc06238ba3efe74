#pragma once
// Reading OSIS verse entries as SWORD modules store them: the markup is read
// as structure, and what comes out is the text a reader of the module sees,
// as runs that keep the word element each piece stood in. Needs no SWORD
// library, so it builds and is tested everywhere.

#include <QByteArray>
#include <vector>

namespace osis {

// A piece of a verse's text. Text inside a word element `<w …>` carries the
// element's attributes: `lemma` ("strong:H5315 strong:H2416") and `morph`
// ("strongMorph:TH8804"), both as the module gives them; text outside one has
// both empty. A run that holds the blank standing for markup between two words
// has no attributes either.
struct Run {
    QByteArray text;
    QByteArray lemma;
    QByteArray morph;
    bool inWord = false; // inside a word element

    bool operator==(const Run&) const = default;
};

// The runs of an OSIS entry, in order; their texts joined are the verse's
// plain text (see plainText).
//
// Notes, and titles other than canonical ones (the Psalms'), are left out
// with everything in them. Canonical titles stay where they stand. Elements
// that end a line or a block (line, line group, line break, paragraph and
// division, chapter and list) leave a blank. Inline elements (word, divine
// name, added words, quotation, …) leave their text alone, so a word that an
// element boundary cuts ("give</w>n.") stays whole. Where markup alone stands
// between two words, one word element ending and the next beginning, or a
// note between them, one blank keeps the words apart; none goes before
// closing punctuation or after opening punctuation. Character and entity
// references are resolved.
std::vector<Run> read(const QByteArray& entry);

// The runs' texts, joined.
QByteArray plainText(const std::vector<Run>& runs);

// The Strong's numbers a lemma attribute holds, in order ("H5315", "H2416"),
// with or without their "strong:" prefix, leading zeros kept as given.
std::vector<QByteArray> strongsNumbers(const QByteArray& lemma);

// The entry up to the milestone that ends its book (`<div … eID="…" type="book"/>`).
// Some modules store material that follows the last book, such as a glossary,
// in its last verse; it is not verse text.
QByteArray cutAtBookEnd(const QByteArray& entry);

// Whether a heading (the markup a module keeps before a verse) is a title marked
// canonical="true": part of the text, like the titles of the Psalms.
bool isCanonicalTitle(const QByteArray& heading);

} // namespace osis
