#pragma once
// Writes a text's verse table "Bible" as import-text does: the verse key and
// the verse's text, primary index on the key.

#include <QList>
#include <QString>
#include <utility>

namespace testsupport {

using Verses = QList<std::pair<int, QString>>;

// Writes the verse table "Bible" (key and text) into `folder`.
void writeVerseTable(const QString& folder, const Verses& verses);

} // namespace testsupport
