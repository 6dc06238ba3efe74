#include "tests/support/versetable.h"

#include "concordance/tablelayouts.h"
#include "platform/core/table.h"

namespace testsupport {

void writeVerseTable(const QString& folder, const Verses& verses) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(concordance::verseTable);
    concordance::defineVerseTable(table.FieldDefs(), table.IndexDefs());
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
