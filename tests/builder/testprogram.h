#pragma once
// A program folder of a test's own: a temporary folder holding the picture,
// with the program's folder and command line pointed at it, and helpers that
// make a dialog there and write a text's verse table.

#include "builder/Rebuild.h"
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

using testsupport::Verses;
using testsupport::writeVerseTable;

// The verse key of book, chapter and verse.
inline int verseKey(int book, int chapter, int verse) {
    return (book << 24) | (chapter << 16) | (verse << 8);
}

// A table with one word field (the layout of "Key") holding `words`.
inline void writeWordTable(const QString& folder, const QString& name, const QStringList& words) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(name);
    table.FieldDefs().Add(QStringLiteral("Word"), ftString, 18, true);
    table.IndexDefs().Add(QString(), QStringLiteral("Word"), ixPrimary | ixUnique);
    table.CreateTable();
    table.setExclusive(true);
    table.Open();
    for (const QString& word : words) {
        table.Append();
        table.Fields(0).setAsString(word);
        table.Post();
    }
    table.Close();
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
