#pragma once
// What the browser shows of a tagged text's Strong's numbers: for a word of
// the verse panel, its numbers, each with its gloss from the installed
// lexicon (or how to install the lexicon) and the words that render it in the
// text, the most frequent first.

#include "concordance/queryengine.h"

#include <QList>
#include <QString>

namespace browser {

// A number's renderings in the text, the most frequent first; counts are
// occurrences (word elements) and verses.
QList<concordance::FormCount> renderings(concordance::QueryEngine& engine, const QString& number);

// The rich text of the panel for the word `word` at `position` of verse
// `key`: each number a link "strongs:G26" that looks it up, its gloss, and up
// to `shown` renderings with their occurrences. A word without numbers says so.
QString strongsText(concordance::QueryEngine& engine, qint32 key, int position, const QString& word,
                    int shown = 8);

} // namespace browser
