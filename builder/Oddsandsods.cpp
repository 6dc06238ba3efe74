#include "builder/Oddsandsods.h"

#include "concordance/tablelayouts.h"
#include "platform/core/lasterror.h"
#include "platform/core/messagesink.h"
#include "platform/core/table.h"

#include <QFileInfo>

namespace {

// Every create operation: close, define fields and indexes, create. A failure
// is reported under the operation's name and the table stays as it was. A
// table cannot be made in a folder that is not there (a text that does not
// exist) or cannot be written; that is said in words of the table's own file.
template <typename Define> void defineAndCreate(TTable* table, const char* caption, Define define) {
    try {
        table->setActive(false);
        define(table->FieldDefs(), table->IndexDefs());
        const QFileInfo folder(table->DatabaseName());
        if (!folder.isDir() || !folder.isWritable())
            throw EDatabaseError(
                (folder.isDir() ? QStringLiteral("Cannot create table %1: the folder %2 cannot be "
                                                 "written.")
                                : QStringLiteral("Cannot create table %1: there is no folder %2."))
                    .arg(table->fileName(), table->DatabaseName()),
                EDatabaseError::Kind::IO);
        table->CreateTable();
    } catch (const EDatabaseError& e) {
        msgBox(caption, e.message() + QStringLiteral(" "));
    }
}

// Whether `table` is open for this build alone on the table `name` of
// `folder`.
bool holds(const TTable& table, const QString& folder, const QString& name) {
    return table.Active() && table.Exclusive() && table.DatabaseName() == folder &&
           table.TableName() == name;
}

} // namespace

void msgBox(const char* caption, const QString& text) {
    platform::messageBox(QString::fromUtf8(caption), text, platform::MessageIcon::None);
}

void showLastError(const char* caption) {
    platform::showLastError(QString::fromUtf8(caption));
}

void openTable(TTable* table, const QString& tableName, TTableKind kind, bool emptyIfExists,
               const BuildText& text) {
    // A table that is to be emptied and is held for this build already stays
    // held: nobody else gets at it between the hold and the emptying, and it
    // is not opened again for nothing.
    if (!emptyIfExists || !holds(*table, text.dataPath, tableName)) {
        table->setActive(false);
        concordance::bindTable(*table, text.dataPath, tableName);
    }

    if (table->Exists()) {
        if (emptyIfExists && !emptyTable(table))
            return;
    } else {
        switch (kind) {
        case tkWord:
            createWordTable(table, text.wordSize);
            break;
        case tkKey:
            createKeyTable(table, text.wordSize);
            break;
        case tkFreq:
            createFreqTable(table, wordNumbers(text));
            break;
        case tkRec:
            createRecTable(table, wordNumbers(text));
            break;
        case tkIndexedRec:
            createIndexedRecTable(table, wordNumbers(text));
            break;
        default:
            break;
        }
    }

    if (!table->Exists())
        return;
    if (holds(*table, text.dataPath, tableName)) {
        // What was written while emptying reaches the file, as a reopening
        // would have committed it.
        table->FlushBuffers();
        return;
    }
    table->setActive(false);
    table->setExclusive(true);
    table->setActive(true);
}

void createWordTable(TTable* table, int wordSize) {
    defineAndCreate(table, "createWordTable", [wordSize](TFieldDefs& fields, TIndexDefs& indexes) {
        concordance::defineTempWordTable(fields, indexes, wordSize);
    });
}

void createKeyTable(TTable* table, int wordSize) {
    defineAndCreate(table, "createKeyTable", [wordSize](TFieldDefs& fields, TIndexDefs& indexes) {
        concordance::defineKeyTable(fields, indexes, wordSize);
    });
}

concordance::WordNumbers wordNumbers(const BuildText& text) {
    return text.rules.isUnicode() ? concordance::WordNumbers::Wide
                                  : concordance::WordNumbers::Narrow;
}

void createRecTable(TTable* table, concordance::WordNumbers numbers) {
    defineAndCreate(table, "createRecTable", [numbers](TFieldDefs& fields, TIndexDefs& indexes) {
        concordance::defineWordTableFor(fields, indexes, numbers);
    });
}

void createIndexedRecTable(TTable* table, concordance::WordNumbers numbers) {
    createRecTable(table, numbers);
    // A table that could not be created has been reported; there is nothing
    // to add the index to.
    if (!table->Exists())
        return;
    try {
        const TIndexDef index = concordance::wordKeyIndex();
        table->AddIndex(index.Name, index.Fields, index.Options, QString());
    } catch (const EDatabaseError& e) {
        // The table built with this layout is "Word", hence the caption.
        msgBox("createWordTable", e.message() + QStringLiteral(" "));
    }
}

void createFreqTable(TTable* table, concordance::WordNumbers numbers) {
    defineAndCreate(table, "createFreqTable", [numbers](TFieldDefs& fields, TIndexDefs& indexes) {
        concordance::defineFreqTableFor(fields, indexes, numbers);
    });
}

bool emptyTable(TTable* table) {
    if (!table->Exists())
        return true;
    try {
        try {
            if (!table->Active() || !table->Exclusive()) {
                table->setActive(false);
                table->setExclusive(true);
                table->setActive(true);
            }
            // The first row tells whether it has any, without counting them.
            table->First();
            if (table->Eof())
                return true;
            table->EmptyHeldTable();
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
        // A table that another program holds is not one that failed to be
        // emptied: the caller says that the database is in use.
        if (e.kind() == EDatabaseError::Kind::Locked)
            throw;
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
        // What the table holds goes with it: it is not written first.
        table->CloseDiscarding();
        table->DeleteTable();
    } catch (const EDatabaseError& e) {
        msgBox("deleteTable",
               e.message() + QStringLiteral("\r\nTrying to delete ") + table->TableName());
    }
}
