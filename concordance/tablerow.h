#pragma once
// One row of an exported table as a line of text: tab-separated cells (tabs
// and line breaks inside a cell become blanks) or comma-separated cells
// (RFC 4180: a cell with a comma, a quote or a line break is quoted, its
// quotes doubled). The query command and the browser's export write rows so.

#include <QString>
#include <QStringList>

namespace concordance {

enum class RowFormat { Tsv, Csv };

QString tableRow(RowFormat format, const QStringList& cells);

} // namespace concordance
