#include "tests/support/versetable.h"

#include "platform/core/table.h"

namespace testsupport {

void writeVerseTable(const QString& folder, const Verses& verses) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(QStringLiteral("Bible"));
    table.FieldDefs().Add(QStringLiteral("Verse"), ftInteger, 0, true);
    table.FieldDefs().Add(QStringLiteral("Text"), ftMemo, 0, true);
    table.IndexDefs().Add(QString(), QStringLiteral("Verse"), ixPrimary | ixUnique);
    table.CreateTable();
    table.setExclusive(true);
    table.Open();
    for (const auto& [key, text] : verses) {
        table.Append();
        table.Fields(0).setAsInteger(key);
        table.Fields(1).setAsString(text);
        table.Post();
    }
    table.Close();
}

} // namespace testsupport
