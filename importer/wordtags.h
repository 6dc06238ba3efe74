#pragma once
// The Strong's numbers and morphology codes a module tags its words with,
// kept for each word of a verse by its position: the position the
// concordance's word rule gives the word (concordance/wordrule.h), so that a
// number's places and a word's places can be joined.

#include "importer/osis.h"

#include <QByteArray>
#include <vector>

namespace wordtags {

struct WordTag {
    int position = 0;   // the word's position in its verse, from 1
    int element = 0;    // the number, in its verse, of the first word element the word lies in
    QByteArray numbers; // the Strong's numbers of the elements it lies in: "H5315 H2416"
    QByteArray morph;   // their morphology codes as the module gives them, blank-separated

    bool operator==(const WordTag&) const = default;
};

// The tags of the words of the text that `runs` make, each word taking the
// numbers and codes of every word element it lies in, even in part (a
// boundary inside a word, "give</w>n", leaves the word whole and tagged).
// Words outside any tagged element get none. The runs' texts must be as the
// verse's text is stored, apostrophes folded or not: a folded apostrophe
// joins "king’s" into one word. Positions beyond the verse key's room
// (concordance::maxWordsPerVerse) are left out.
std::vector<WordTag> tagWords(const std::vector<osis::Run>& runs);

} // namespace wordtags
