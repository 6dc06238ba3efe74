#pragma once
// What the tests of Build share: a program folder of a test's own (a
// temporary folder holding the picture, with the program's folder and command
// line pointed at it) that makes a dialog there, and helpers that write and
// read a text's tables.

#include "builder/Rebuild.h"
#include "concordance/tablelayouts.h"
#include "concordance/versekey.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "tests/support/versetable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <utility>

class TestProgram {
public:
    // `arguments` follow the program's path on the command line.
    explicit TestProgram(const QString& arguments = QStringLiteral("Text KJV")) {
        QFile::copy(QStringLiteral(DATA_DIR "/Bible left.bmp"), path("Bible left.bmp"));
        platform::overrideProgramFolder(dir.path());
        platform::overrideCommandLine(path("Build") + QLatin1Char(' ') + arguments);
    }
    ~TestProgram() {
        RebuildDlg = nullptr;
        platform::overrideProgramFolder(std::nullopt);
        platform::overrideCommandLine(std::nullopt);
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }

    // The dialog, also as RebuildDlg; its text's folder exists.
    std::unique_ptr<TRebuildDlg> makeDialog() {
        auto dialog = std::make_unique<TRebuildDlg>();
        RebuildDlg = dialog.get();
        QDir().mkpath(dialog->dataPath);
        return dialog;
    }

private:
    QTemporaryDir dir;
};

using concordance::verseKey;
using testsupport::Verses;
using testsupport::writeVerseTable;

// A table of `folder` bound to `name`, its layout made by `define` and the
// rows `fill` appends, created and closed again.
template <typename Define, typename Fill>
void writeTable(const QString& folder, const QString& name, Define define, Fill fill) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(name);
    define(table.FieldDefs(), table.IndexDefs());
    table.CreateTable();
    table.setExclusive(true);
    table.Open();
    fill(table);
    table.Close();
}

// A verse table whose verse key is text: reading it as a number raises inside
// stage 2, an error that no stage catches.
inline void writeVerseTableWithTextKeys(const QString& folder) {
    // The verse table's layout with a text field in place of the key.
    const auto define = [](TFieldDefs& fields, TIndexDefs& indexes) {
        concordance::defineVerseTable(fields, indexes);
        fields.Clear();
        fields.Add(QStringLiteral("Verse"), ftString, 10, true);
        fields.Add(QStringLiteral("Text"), ftMemo, 0, true);
    };
    writeTable(folder, concordance::verseTable, define, [](TTable& table) {
        table.Append();
        table.Fields(0).setAsString(QStringLiteral("Gen 1:1"));
        table.Fields(1).setAsString(QStringLiteral("In the beginning"));
        table.Post();
    });
}

// A table with the layout of "Key" (the KJV's word width) holding `words`.
inline void writeWordTable(const QString& folder, const QString& name, const QStringList& words) {
    const auto define = [](TFieldDefs& fields, TIndexDefs& indexes) {
        concordance::defineKeyTable(fields, indexes, 18);
    };
    writeTable(folder, name, define, [&](TTable& table) {
        for (const QString& word : words) {
            table.Append();
            table.Fields(0).setAsString(word);
            table.Post();
        }
    });
}

// The number of rows of the table `name` in `folder`.
inline int rowCount(const QString& folder, const QString& name) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(name);
    table.Open();
    return table.RecordCount();
}

// All rows of a table in its current index order, fields joined by blanks.
inline QStringList rows(TTable* table) {
    QStringList out;
    for (table->First(); !table->Eof(); table->Next()) {
        QStringList fields;
        for (int i = 0; i < table->FieldCount(); ++i)
            fields << table->Fields(i).AsString();
        out << fields.join(QLatin1Char(' '));
    }
    return out;
}
