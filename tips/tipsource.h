#pragma once
// The tips table "Texts" and the readable file it is made from.
//
// The table's primary index is Class, Tip, Cat; Data holds the tip as rich
// text (the toolkit's HTML subset) or plain text. The viewer shows the rows
// of class 2 from tip 1 to tip 32000 only.
//
// The source file holds one tip per entry. An entry starts with a header line
//
//     [tip CLASS NUMBER CATEGORY]
//
// (two integers and one word), and its text is every line up to the next
// header, without the blank lines at either end. A text that does not start
// with a tag is plain text: the lines of each of its paragraphs are joined by
// single blanks (the viewer wraps them), and its paragraphs are kept one blank
// line apart. A line starting with '#' is a comment, wherever it stands;
// blank lines and comments may come before the first header, nothing else.

#include <QLatin1String>
#include <QString>
#include <vector>

class TTable;

struct TipEntry {
    int tipClass = 0;
    int number = 0;
    QString category;
    QString text;
    int line = 0; // of the header, for messages
};

// The table's name, for the viewer and the table's generator alike.
inline constexpr QLatin1String tipsTable("Texts");

// The width of the category field.
inline constexpr int tipCategoryWidth = 20;

// The entries of a source file in file order. Raises EConvertError naming the
// line of the first mistake.
std::vector<TipEntry> parseTipSource(const QString& source);

// Defines the layout of "Texts" on a closed table.
void defineTipsTable(TTable& table);

// Creates the table "Texts" in `folder` (replacing one that is there) and
// writes the entries. Raises EDatabaseError, naming the entry's line when a
// row is refused (a key that two entries share).
void writeTipsTable(const QString& folder, const std::vector<TipEntry>& tips);
