#pragma once
// Looking a word up in the concordance of a text, and what a text's folder
// holds.
//
// A text's folder (Text/<NAME>/ below the program folder) holds its verse
// table "Bible" and, once Build has built its concordance, the tables "Key"
// (the distinct words; row n is word number n), "Freq" (occurrences of word n)
// and "Word" (one row per occurrence: occurrence key and word number, with the
// index "wordKeyNdx" on the word number). During a build the folder also holds
// "Temp_Word", which a completed build deletes.
//
// A look-up opens "Key", "Freq" and "Word" plainly (shared) and closes them
// before it returns, so it never keeps a build waiting; while a build holds
// them, the open fails at once with an EDatabaseError of kind Locked.

#include "concordance/queryengine.h"
#include "concordance/wordrule.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace browser {

// What the folder's files say; no table is opened. The query engine's rule.
using TextState = concordance::TextState;
using concordance::textState;

// The texts below `textsFolder`: the names of its folders that hold a verse
// table, sorted.
QStringList textNames(const QString& textsFolder);

// The word of `typed` as the concordance of a text of `form` stores it (the
// punctuation around it dropped, in lower case; folded as the text's words
// are), or "" when it holds no word. `wordCount` receives the number of words
// in `typed`.
QByteArray concordanceWord(const QString& typed, int* wordCount = nullptr,
                           concordance::WordForm form = {});

struct VerseHit {
    qint32 verseKey = 0;
    QList<int> positions; // 1-based word positions in the verse, ascending
};

struct LookupResult {
    enum Status { Found, NotInText, NotBuilt };
    Status status = NotInText;
    QByteArray word;
    int wordNumber = 0;     // row of "Key", 0 when not found
    int occurrences = 0;    // from "Freq"
    int occurrenceRows = 0; // rows of "Word" for the word
    QList<VerseHit> verses; // in Bible order

    // The tables agree: "Freq" has the word and counts its "Word" rows.
    bool consistent = true;
};

// Looks `word` (as concordanceWord gives it) up in the tables of `folder`.
// Raises EDatabaseError when a table cannot be opened or read.
LookupResult lookUp(const QString& folder, const QByteArray& word);

// The spans of `text` (start and length in UTF-16 units) of the words at the
// given 1-based positions, by the word rule of `form`; positions past the last
// word are passed over. The Unicode rule's spans are those of the text's NFC
// form (concordance::toNfc), which is the text to show them in.
struct TextSpan {
    int start = 0;
    int length = 0;
    bool operator==(const TextSpan&) const = default;
};
QList<TextSpan> wordSpansAt(const QString& text, const QList<int>& positions,
                            concordance::WordForm form = {});

} // namespace browser
