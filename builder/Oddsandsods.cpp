#include "builder/Oddsandsods.h"

#include "builder/Rebuild.h"
#include "platform/core/lasterror.h"
#include "platform/core/table.h"
#include "platform/gui/messages.h"

namespace {

// Every create operation: close, define fields and indexes, create. A failure
// is reported under the operation's name and the table stays as it was.
template <typename Define> void defineAndCreate(TTable* table, const char* caption, Define define) {
    try {
        table->setActive(false);
        table->FieldDefs().Clear();
        table->IndexDefs().Clear();
        define(table->FieldDefs(), table->IndexDefs());
        table->CreateTable();
    } catch (const EDatabaseError& e) {
        msgBox(caption, e.message() + QStringLiteral(" "));
    }
}

} // namespace

void msgBox(const char* caption, const QString& text) {
    platform::messageBox(QString::fromUtf8(caption), text, platform::MessageIcon::None);
}

void showLastError(const char* caption) {
    platform::showLastError(QString::fromUtf8(caption));
}

void openTable(TTable* table, const QString& tableName, TTableKind kind, bool emptyIfExists) {
    table->setActive(false);
    table->setDatabaseName(RebuildDlg->dataPath);
    table->setTableType(ttParadox);
    table->setTableName(tableName);
    table->setUpdateMode(upWhereKeyOnly);

    if (table->Exists()) {
        if (emptyIfExists && !emptyTable(table))
            return;
    } else {
        switch (kind) {
        case tkWord:
            createWordTable(table);
            break;
        case tkKey:
            createKeyTable(table);
            break;
        case tkFreq:
            createFreqTable(table);
            break;
        case tkRec:
            createRecTable(table);
            break;
        case tkIndexedRec:
            createIndexedRecTable(table);
            break;
        default:
            break;
        }
    }

    if (table->Exists()) {
        table->setActive(false);
        table->setExclusive(true);
        table->setActive(true);
    }
}

void createWordTable(TTable* table) {
    defineAndCreate(table, "createWordTable", [](TFieldDefs& fields, TIndexDefs& indexes) {
        fields.Add(QStringLiteral("Verses"), ftInteger, 0, true);
        fields.Add(QStringLiteral("Word"), ftString, RebuildDlg->wordSize, true);
        indexes.Add(QString(), QStringLiteral("Verses"), ixPrimary | ixUnique);
        indexes.Add(QStringLiteral("wordNdx"), QStringLiteral("Word"), ixCaseInsensitive);
    });
}

void createKeyTable(TTable* table) {
    defineAndCreate(table, "createKeyTable", [](TFieldDefs& fields, TIndexDefs& indexes) {
        fields.Add(QStringLiteral("Word"), ftString, RebuildDlg->wordSize, true);
        indexes.Add(QString(), QStringLiteral("Word"), ixPrimary | ixUnique);
    });
}

void createRecTable(TTable* table) {
    defineAndCreate(table, "createRecTable", [](TFieldDefs& fields, TIndexDefs& indexes) {
        fields.Add(QStringLiteral("R1"), ftInteger, 0, true);
        fields.Add(QStringLiteral("R2"), ftSmallint, 0, true);
        indexes.Add(QString(), QStringLiteral("R1"), ixPrimary | ixUnique);
    });
}

void createIndexedRecTable(TTable* table) {
    createRecTable(table);
    try {
        table->AddIndex(QStringLiteral("wordKeyNdx"), QStringLiteral("R2"), ixDescending,
                        QString());
    } catch (const EDatabaseError& e) {
        // The table built with this layout is "Word", hence the caption.
        msgBox("createWordTable", e.message() + QStringLiteral(" "));
    }
}

void createFreqTable(TTable* table) {
    defineAndCreate(table, "createFreqTable", [](TFieldDefs& fields, TIndexDefs& indexes) {
        fields.Add(QStringLiteral("F1"), ftSmallint, 0, true);
        fields.Add(QStringLiteral("F2"), ftWord, 0, true);
        fields.Add(QStringLiteral("F3"), ftSmallint, 0, true);
        indexes.Add(QString(), QStringLiteral("F1"), ixPrimary | ixUnique);
        indexes.Add(QStringLiteral("freqNdx"), QStringLiteral("F2"), ixDescending);
        indexes.Add(QStringLiteral("wordLenNdx"), QStringLiteral("F3"), ixDescending);
    });
}

bool emptyTable(TTable* table) {
    if (!table->Exists())
        return true;
    try {
        try {
            table->setActive(false);
            table->setExclusive(true);
            table->setActive(true);
            if (table->RecordCount() == 0)
                return true;
            table->setActive(false);
            table->EmptyTable();
            table->setExclusive(false);
        } catch (const EDatabaseError&) {
            // Emptying in one go failed: delete the rows one by one, with
            // whatever access the table has by now.
            table->setActive(true);
            table->First();
            while (!table->Eof())
                table->Delete();
        }
        table->setActive(true);
    } catch (const EDatabaseError& e) {
        msgBox("Error - emptyTable", e.message() +
                                         QStringLiteral("\r\n unable to delete records in ") +
                                         table->TableName());
        return false;
    }
    return true;
}

void deleteTable(TTable* table) {
    if (table->TableName().isEmpty() || !table->Exists())
        return;
    try {
        table->setActive(false);
        table->DeleteTable();
    } catch (const EDatabaseError& e) {
        msgBox("deleteTable",
               e.message() + QStringLiteral("\r\nTrying to delete ") + table->TableName());
    }
}
