#pragma once
// The tables of a text's database: their names, and their layouts as field and
// index definitions. Every program, tool and test that creates one of these
// tables takes its layout from here.
//
// Each define function clears both lists and fills them in order; the word
// fields are `wordSize` characters wide. Every field is required, numeric
// fields have size 0, and every primary index is unnamed.

#include "platform/core/table.h"

#include <QLatin1String>

namespace concordance {

// Word numbers are stored in 16-bit signed fields ("Word" R2, "Freq" F1): a
// text can have at most this many distinct words. A text of the Unicode word
// rule stores them in 32-bit fields (WordNumbers::Wide) instead.
constexpr int maxDistinctWords = 32767;
constexpr int maxDistinctWideWords = 2147483647;
enum class WordNumbers { Narrow, Wide };

// The verse table, the build's input: a text's verses by verse key.
inline constexpr QLatin1String verseTable("Bible");
// One row per word occurrence while a build runs.
inline constexpr QLatin1String tempWordTable("Temp_Word");
// The distinct words in word order: word n is record n.
inline constexpr QLatin1String keyTable("Key");
// Word number, occurrences and length of every distinct word.
inline constexpr QLatin1String freqTable("Freq");
// One row per word occurrence: occurrence key and word number.
inline constexpr QLatin1String wordTable("Word");
// Beside the verse table, for a text whose words are tagged: the Strong's
// numbers and morphology of each tagged word occurrence.
inline constexpr QLatin1String strongsTable("Strongs");
// Made by Build from "Strongs": the occurrences of every Strong's number.
inline constexpr QLatin1String strongsWordTable("StrongsWord");
// The folder inside a text's folder where Build writes "StrongsWord" before
// it moves it beside the other tables.
inline constexpr QLatin1String strongsStagingFolder("Temp_StrongsWord");
// The width of "StrongsWord"'s Number field: "G12345" and room to spare.
constexpr int strongsNumberSize = 8;

// Binds the closed `table` to the table `name` of the text whose folder is
// `folder`, as every user of a text's tables does: the table type and update
// mode the table layer keeps for its callers are set alike everywhere.
void bindTable(TTable& table, const QString& folder, const QString& name);

// "Bible": Verse (ftInteger, the verse key), Text (ftMemo); primary on Verse.
void defineVerseTable(TFieldDefs& fields, TIndexDefs& indexes);
// "Temp_Word": Verses (ftInteger, the occurrence key), Word (ftString);
// primary on Verses, wordNdx on Word without regard to case.
void defineTempWordTable(TFieldDefs& fields, TIndexDefs& indexes, int wordSize);
// "Key": Word (ftString); primary on Word.
void defineKeyTable(TFieldDefs& fields, TIndexDefs& indexes, int wordSize);
// "Freq": F1 (ftSmallint, word number; ftInteger when Wide), F2 (ftInteger,
// occurrences), F3 (ftSmallint, length); primary on F1, freqNdx on F2 and
// wordLenNdx on F3, both descending. Tables made before F2 was widened hold
// it as ftWord (0 to 65,535); readers take it as a number either way.
void defineFreqTableFor(TFieldDefs& fields, TIndexDefs& indexes, WordNumbers numbers);
// The layout with 16-bit word numbers.
void defineFreqTable(TFieldDefs& fields, TIndexDefs& indexes);
// "Word" as it is created: R1 (ftInteger, occurrence key), R2 (ftSmallint,
// word number; ftInteger when Wide); primary on R1. wordKeyIndex is added to
// it afterwards.
void defineWordTableFor(TFieldDefs& fields, TIndexDefs& indexes, WordNumbers numbers);
// The layout with 16-bit word numbers.
void defineWordTable(TFieldDefs& fields, TIndexDefs& indexes);
// The field type of word numbers.
inline TFieldType wordNumberType(WordNumbers numbers) {
    return numbers == WordNumbers::Wide ? ftInteger : ftSmallint;
}
// wordKeyNdx: R2, descending; added to the created "Word" table.
TIndexDef wordKeyIndex();
// "Strongs": Place (ftInteger, the occurrence key: verse key and word
// position, as in "Word"), Element (ftSmallint, the number in its verse of the
// word element the word lies in: words of one element share it), Numbers
// (ftMemo, "H5315 H2416"), Morph (ftMemo, the module's codes, blank-separated;
// the one field that may be empty: most modules have none); primary on Place.
void defineStrongsTable(TFieldDefs& fields, TIndexDefs& indexes);
// "StrongsWord": Number (ftString, the number in its one form, "G26"), Place
// (ftInteger, the occurrence key of the first word of the word element), Length
// (ftSmallint, the words of the element that carry the number); primary on
// Number and Place. One row per occurrence of a number: a word element that
// carries it, however many words it spans.
void defineStrongsWordTable(TFieldDefs& fields, TIndexDefs& indexes);

} // namespace concordance
