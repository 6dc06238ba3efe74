#pragma once
// A text's own rules, chosen when it is imported and kept in its folder, in
// the file "Words.ini", so that Build, the browser and every later tool make
// and look up its words alike:
//
//   [Words]
//   Rule=unicode        byte (the default) or unicode
//   FoldAccents=yes     yes or no; with the Unicode rule only
//   Language=es         the text's language (BCP 47), for alphabetical order
//
// A folder without the file holds a text of the byte rule.

#include "concordance/wordrule.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace concordance {

inline constexpr char textRulesFile[] = "Words.ini";

struct TextRules {
    WordForm words;
    QString language; // empty: not known
    bool operator==(const TextRules&) const = default;

    bool isUnicode() const { return words.rule == WordRule::Unicode; }
};

// The rules of the text in `folder`; the byte rule when the folder has no
// record. A record that cannot be read, or that holds a value these rules do
// not know, raises platform::Exception naming the file, key and value.
TextRules readTextRules(const QString& folder);
// Writes the record in one step (a new file renamed over the old). The byte
// rule, which orders its lists by bytes whatever the language, removes the
// record instead. Raises
// platform::Exception naming the file when it cannot.
void writeTextRules(const QString& folder, const TextRules& rules);

// The words in alphabetical order, as indexes into `words`. A Unicode text's
// words follow its language's collation (the root collation when the language
// is not known), words that collate alike by their code points; a byte-rule
// text's words keep their order, which is already the byte order of the
// tables.
QList<qsizetype> alphabeticalOrder(const QStringList& words, const TextRules& rules);

} // namespace concordance
