#pragma once
// Reading a Bible text from an installed SWORD module.

#include "importer/verses.h"

#include <QList>
#include <QString>

class Progress;

namespace sword_source {

// Whether the importer was built with the SWORD library.
bool available();

struct ModuleInfo {
    QString name;         // the module's own name, e.g. "engKJV2006eb"
    QString abbreviation; // its short name, e.g. "KJV"
    QString description;  // e.g. "King James Version"
};

// The installed Bible-text modules.
QList<ModuleInfo> bibleModules();

// Reads every verse of the module named `name` (its own name, its short name or
// a former name, without regard to case) into `verses`, in the order of its
// versification: books 1 to 66 by the Protestant canon, further books numbered
// on from 67 in the versification's order; introductions left out; the text
// plain, as a reader of the module sees it: canonical titles (such as the
// Psalms') kept before their verse, every other heading, note, lemma, number
// and mark left out. An OSIS module's markup is read as structure
// (importer/osis.h); a module in another markup goes through the library's
// plain rendering. Empty verses, and verses
// that share the text of the verse before, are left out and counted.
// `interrupted` is polled between verses. Returns false, with an error
// recorded in `verses`, when there is no such module or it cannot be read.
bool read(const QString& name, verses::Collection& verses, Progress& progress,
          bool (*interrupted)() = nullptr);

} // namespace sword_source
