#pragma once
// The Strong's table of a concordance. Where the text's words are tagged (the
// importer wrote "Strongs" beside "Bible"), a build also writes "StrongsWord":
// one row per occurrence of a Strong's number, the occurrence being the word
// element that carries it, with the key of its first word and the number of
// its words. The query engine and the browser find a number's places there and
// join them with "Word" on the occurrence key.
//
// The table is written in a folder of its own inside the text's folder
// ("Temp_StrongsWord/") and moves beside the other tables after they are
// committed: the table of an
// earlier build goes when the build begins, so a folder never holds a
// Strong's table of other tables than those beside it.

#include <QString>

namespace strongstable {

// What a write made, for the build's record and for tests.
struct Summary {
    qint64 occurrences = 0; // rows written
    int numbers = 0;        // distinct Strong's numbers
};

// Removes the text's "StrongsWord" and one that an interrupted build left in
// "Temp_StrongsWord/". False with `message` when a file stays.
bool removeOld(const QString& folder, QString& message);

// Writes "Temp_StrongsWord/StrongsWord" from the text's "Strongs"; does nothing for a text
// without one. False with `message` (naming the table and the place) when the
// Strong's table cannot be read or the new one written; nothing is left then.
bool write(const QString& folder, Summary& summary, QString& message);

// Moves the new "StrongsWord" beside the other tables, where a write made one.
bool publish(const QString& folder, QString& message);

} // namespace strongstable
