#pragma once
// Table operations of the build and the two message boxes its error handlers
// share. Every table operation reports its own table-layer failures in a
// message box and returns normally, so the caller goes on with its next step.

#include "builder/Stage.h"
#include "concordance/tablelayouts.h"

#include <QString>

class TTable;

// The application's title: the caption of the program's own message boxes.
inline constexpr char applicationTitle[] = "Build";

// The layout openTable creates for a missing table. Any other value creates
// nothing, like tkExisting.
enum TTableKind {
    tkWord = 2,       // "Temp_Word": occurrence key and word
    tkKey = 3,        // "Key": the distinct words
    tkFreq = 4,       // "Freq": word number, occurrences, length
    tkRec = 5,        // occurrence key and word number
    tkIndexedRec = 6, // "Word": tkRec plus the index wordKeyNdx
    tkExisting = 69   // never created
};

// Binds `table` to `tableName` in the text's folder, creates it by `kind` when
// it is missing (word fields as wide as the text's, word numbers as wide as its
// word rule needs), empties it when asked and
// it exists, and leaves it open for exclusive use when it exists by then. A
// failure to open propagates.
void openTable(TTable* table, const QString& tableName, TTableKind kind, bool emptyIfExists,
               const BuildText& text);

// Define the layout on the bound, closed table and create it (left closed).
// createIndexedRecTable adds its index only to a table it could create.
void createWordTable(TTable* table, int wordSize);
void createKeyTable(TTable* table, int wordSize);
void createRecTable(TTable* table,
                    concordance::WordNumbers numbers = concordance::WordNumbers::Narrow);
void createIndexedRecTable(TTable* table,
                           concordance::WordNumbers numbers = concordance::WordNumbers::Narrow);
void createFreqTable(TTable* table,
                     concordance::WordNumbers numbers = concordance::WordNumbers::Narrow);
// The word numbers a text's tables need: 32-bit for the Unicode rule.
concordance::WordNumbers wordNumbers(const BuildText& text);

// True when the table is missing or was emptied; false after a reported failure.
// A table that another program holds raises its "File is locked" error.
bool emptyTable(TTable* table);
// Deletes the bound table when it exists.
void deleteTable(TTable* table);

// Shows `text` under `caption` with an OK button and no icon; an empty text
// shows an empty box. Returns when the user has closed the box.
void msgBox(const char* caption, const QString& text);
// Shows the system's description of the last error under `caption`, then
// resets the error code to 0.
void showLastError(const char* caption);
