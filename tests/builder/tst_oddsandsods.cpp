// The build's table operations: binding, creating by kind, emptying and
// deleting tables in the text's folder, and the message boxes they show.

#include "builder/Oddsandsods.h"
#include "platform/core/lasterror.h"
#include "tests/builder/testprogram.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"

Q_DECLARE_METATYPE(TTableKind)

namespace {

// Whether `open` fails because another table holds the file.
template <typename Open> bool refusedAsLocked(Open open) {
    try {
        open();
    } catch (const EDatabaseError& e) {
        return e.kind() == EDatabaseError::Kind::Locked;
    }
    return false;
}

} // namespace

class TestOddsandsods : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    TTable table;
    testsupport::MessageCapture messages; // messages.lines() as "caption: text"

    QString folder() const { return dir->path() + "/"; }
    BuildText text() const { return {folder(), "KJV", 18}; }
    void bind(TTable& t, const QString& name) {
        t.setDatabaseName(folder());
        t.setTableName(name);
    }

private slots:
    void init() {
        table.Close();
        table.setExclusive(false);
        dir = std::make_unique<QTemporaryDir>();
        messages.clear();
    }

    // Each kind creates its layout (with the text's word width); every other
    // kind creates nothing and shows nothing.
    void missingTablesAreCreatedByKind_data() {
        QTest::addColumn<TTableKind>("kind");
        QTest::addColumn<QStringList>("indexes"); // empty: nothing is created
        QTest::newRow("tkWord") << tkWord << QStringList{"", "wordNdx"};
        QTest::newRow("tkKey") << tkKey << QStringList{""};
        QTest::newRow("tkFreq") << tkFreq << QStringList{"", "freqNdx", "wordLenNdx"};
        QTest::newRow("tkRec") << tkRec << QStringList{""};
        QTest::newRow("tkIndexedRec") << tkIndexedRec << QStringList{"", "wordKeyNdx"};
        QTest::newRow("tkExisting") << tkExisting << QStringList{};
        QTest::newRow("out of range") << TTableKind(7) << QStringList{};
    }
    void missingTablesAreCreatedByKind() {
        QFETCH(TTableKind, kind);
        QFETCH(QStringList, indexes);
        openTable(&table, "T", kind, true, text());
        QCOMPARE(table.DatabaseName(), folder());
        QCOMPARE(table.Exists(), !indexes.isEmpty());
        QCOMPARE(table.Active(), !indexes.isEmpty());
        QVERIFY(messages.lines().isEmpty());
        if (indexes.isEmpty())
            return;
        QVERIFY(table.Exclusive());
        QCOMPARE(table.IndexDefs().Count(), indexes.size());
        for (int i = 0; i < indexes.size(); ++i)
            QCOMPARE(table.IndexDefs()[i].Name, indexes[i]);
        if (TField* word = table.FindField("Word"))
            QCOMPARE(word->Size(), 18);
    }

    void existingTableKeepsItsRowsUnlessEmptied() {
        writeWordTable(folder(), "Key", {"and", "the"});
        openTable(&table, "Key", tkKey, false, text());
        QVERIFY(table.Active());
        QCOMPARE(table.RecordCount(), 2);
        openTable(&table, "Key", tkKey, true, text());
        QCOMPARE(table.RecordCount(), 0);
        QVERIFY(table.Exclusive());
        QVERIFY(messages.lines().isEmpty());
    }

    // Held exclusively, nobody else gets in; and a table held elsewhere is a
    // failure openTable passes on to its caller.
    void openTableHoldsTheTable() {
        writeWordTable(folder(), "Key", {"and"});
        openTable(&table, "Key", tkKey, false, text());
        TTable other;
        bind(other, "Key");
        QVERIFY(refusedAsLocked([&] { other.Open(); }));
        table.Close();
        other.Open();
        QVERIFY(refusedAsLocked([&] { openTable(&table, "Key", tkKey, false, text()); }));
    }

    void emptyTableOnMissingAndEmptyTables() {
        bind(table, "Key");
        QVERIFY(emptyTable(&table));
        QVERIFY(!table.Active());
        writeWordTable(folder(), "Key", {});
        QVERIFY(emptyTable(&table));
        QVERIFY(table.Active());
        QVERIFY(table.Exclusive());
    }

    // A table that another program holds is no failure to empty: its "File
    // is locked" goes to the caller, who says the database is in use, and
    // no box of the emptying's own is shown.
    void emptyTableOnAHeldTable() {
        writeWordTable(folder(), "Key2", {"a", "b", "c"});
        bind(table, "Key2");
        TTable holder;
        bind(holder, "Key2");
        holder.Open();
        QVERIFY(refusedAsLocked([&] { emptyTable(&table); }));
        QVERIFY(messages.lines().isEmpty());
        holder.Close();
        QVERIFY(emptyTable(&table));
        QCOMPARE(table.RecordCount(), 0);
    }

    // A table that is no table cannot be emptied: that is reported.
    void emptyTableOnAForeignFile() {
        QVERIFY(testsupport::writeFile(folder() + "Key3.db", "this is no table"));
        bind(table, "Key3");
        QVERIFY(!emptyTable(&table));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.lines()[0].startsWith("Error - emptyTable: "));
        QVERIFY(messages.lines()[0].endsWith("\r\n unable to delete records in Key3"));
    }

    void deleteTableCases() {
        TTable unbound;
        deleteTable(&unbound); // no name: nothing happens
        openTable(&table, "Temp_Word", tkWord, false, text());
        deleteTable(&table);
        QVERIFY(!QFile::exists(folder() + "Temp_Word.db"));
        QVERIFY(!table.Active());
        deleteTable(&table); // already gone
        QVERIFY(messages.lines().isEmpty());
    }

    // A folder that does not exist (a text that is not there): each creation
    // is reported once under its name, in words of the table's own file; the
    // record layout that could not be made gets no index either.
    void failedCreationsAreReportedUnderTheirNames() {
        bind(table, "Word");
        const QString missing = folder() + "no/such/folder/";
        table.setDatabaseName(missing);
        createIndexedRecTable(&table);
        createFreqTable(&table);
        createKeyTable(&table, 18);
        createWordTable(&table, 18);
        const QStringList lines = messages.lines();
        const QStringList captions = {"createRecTable", "createFreqTable", "createKeyTable",
                                      "createWordTable"};
        QCOMPARE(lines.size(), captions.size());
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(lines[i], captions[i] + ": Cannot create table " + missing +
                                   "Word.db: there is no folder " + missing + ". ");
    }

    void showLastErrorResetsTheCode() {
        platform::setLastError(ENOENT);
        showLastError("createTextFile");
        QCOMPARE(messages.lines(),
                 QStringList{"createTextFile: " + platform::lastErrorText(ENOENT)});
        QCOMPARE(platform::lastError(), 0);
    }
};

QTEST_GUILESS_MAIN(TestOddsandsods)
#include "tst_oddsandsods.moc"
