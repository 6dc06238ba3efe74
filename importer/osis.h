#pragma once
// Small helpers for OSIS verse entries as SWORD modules store them. They need
// no SWORD library, so they build and are tested everywhere.

#include <QByteArray>

namespace osis {

// The entry up to the milestone that ends its book (`<div … eID="…" type="book"/>`).
// Some modules store material that follows the last book, such as a glossary,
// in its last verse; it is not verse text.
QByteArray cutAtBookEnd(const QByteArray& entry);

// Whether a heading (the markup a module keeps before a verse) is a title marked
// canonical="true": part of the text, like the titles of the Psalms.
bool isCanonicalTitle(const QByteArray& heading);

} // namespace osis
