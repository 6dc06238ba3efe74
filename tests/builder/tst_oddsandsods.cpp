// The build's table operations: binding, creating by kind, emptying and
// deleting tables in the text's folder, with their message messages.lines().

#include "builder/Oddsandsods.h"
#include "builder/Rebuild.h"
#include "platform/core/lasterror.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestOddsandsods : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;
    std::unique_ptr<TRebuildDlg> dialog;
    testsupport::MessageCapture messages; // messages.lines() as "caption: text"

    QString folder() const { return program->path("Text/KJV/"); }

    void makeKeyTable(const QString& name, const QStringList& words) {
        writeWordTable(folder(), name, words);
    }

private slots:
    void initTestCase() {
        program = std::make_unique<TestProgram>();
        dialog = program->makeDialog();
        QCOMPARE(RebuildDlg->dataPath, folder());
    }
    void cleanupTestCase() {
        dialog.reset();
        program.reset();
    }
    void init() {
        messages.clear();
        for (TTable* t : dialog->findChildren<TTable*>())
            t->Close();
        for (const QString& f : QDir(folder()).entryList(QDir::Files))
            QFile::remove(folder() + f);
    }

    void missingTablesAreCreatedByKind() {
        openTable(dialog->T_Word, "Word", tkIndexedRec, true);
        TTable* w = dialog->T_Word;
        QVERIFY(w->Active());
        QVERIFY(w->Exclusive());
        QCOMPARE(w->DatabaseName(), folder());
        QCOMPARE(w->FieldCount(), 2);
        QCOMPARE(w->Fields(0).FieldName(), QString("R1"));
        QCOMPARE(w->Fields(0).DataType(), ftInteger);
        QCOMPARE(w->Fields(1).FieldName(), QString("R2"));
        QCOMPARE(w->Fields(1).DataType(), ftSmallint);
        QVERIFY(w->Fields(0).Required() && w->Fields(1).Required());
        QCOMPARE(w->IndexDefs().Count(), 2);
        QCOMPARE(w->IndexDefs()[0].Name, QString());
        QCOMPARE(w->IndexDefs()[1].Name, QString("wordKeyNdx"));
        QCOMPARE(w->IndexDefs()[1].Options, TIndexOptions(ixDescending));

        openTable(dialog->T_TempWord, "Temp_Word", tkWord, false);
        TTable* t = dialog->T_TempWord;
        QCOMPARE(t->Fields(1).FieldName(), QString("Word"));
        QCOMPARE(t->Fields(1).Size(), 18); // the KJV's word width
        QCOMPARE(t->IndexDefs()[1].Name, QString("wordNdx"));
        QCOMPARE(t->IndexDefs()[1].Options, TIndexOptions(ixCaseInsensitive));

        openTable(dialog->T_Freq, "Freq", tkFreq, true);
        TTable* f = dialog->T_Freq;
        QCOMPARE(f->Fields(1).DataType(), ftWord);
        QStringList names;
        for (int i = 0; i < f->IndexDefs().Count(); ++i)
            names << f->IndexDefs()[i].Name;
        QCOMPARE(names, QStringList({"", "freqNdx", "wordLenNdx"}));
        QVERIFY(messages.lines().isEmpty());
    }

    void existingTableIsNeverCreatedAndKeepsItsRowsUnlessEmptied() {
        openTable(dialog->T_Bible, "Bible", tkExisting, false);
        QVERIFY(!dialog->T_Bible->Active());
        QVERIFY(!QFile::exists(folder() + "Bible.db"));

        makeKeyTable("Key", {"and", "the"});
        openTable(dialog->T_Key, "Key", tkKey, false);
        QVERIFY(dialog->T_Key->Active());
        QCOMPARE(dialog->T_Key->RecordCount(), 2);
        // Held exclusively: nobody else gets in.
        TTable other;
        other.setDatabaseName(folder());
        other.setTableName("Key");
        try {
            other.Open();
            QFAIL("a second open got in");
        } catch (const EDatabaseError& e) {
            QVERIFY(e.message().contains("File is locked"));
        }
        // And the lock is what openTable passes on to its caller.
        dialog->T_Key->Close();
        other.Open();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, openTable(dialog->T_Key, "Key", tkKey, false));
        other.Close();

        openTable(dialog->T_Key, "Key", tkKey, true);
        QCOMPARE(dialog->T_Key->RecordCount(), 0);
        QVERIFY(dialog->T_Key->Exclusive());
        QVERIFY(messages.lines().isEmpty());
    }

    void emptyTableCases() {
        TTable* key = dialog->T_Key;
        key->setDatabaseName(folder());
        key->setTableName("Key");
        QVERIFY(emptyTable(key)); // missing
        QVERIFY(!key->Active());

        makeKeyTable("Key", {});
        QVERIFY(emptyTable(key)); // empty: stays open for itself
        QVERIFY(key->Active());
        QVERIFY(key->Exclusive());
        key->Close();

        makeKeyTable("Key2", {"a", "b", "c"});
        key->setTableName("Key2");
        key->setExclusive(false);
        TTable holder;
        holder.setDatabaseName(folder());
        holder.setTableName("Key2");
        holder.Open();
        QVERIFY(!emptyTable(key));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.lines()[0].startsWith("Error - emptyTable: "));
        QVERIFY(messages.lines()[0].endsWith("\r\n unable to delete records in Key2"));
        holder.Close();

        QVERIFY(emptyTable(key));
        QVERIFY(key->Active());
        QCOMPARE(key->RecordCount(), 0);
    }

    void deleteTableCases() {
        TTable unbound;
        deleteTable(&unbound); // no name: nothing happens
        openTable(dialog->T_TempWord, "Temp_Word", tkWord, false);
        QVERIFY(QFile::exists(folder() + "Temp_Word.db"));
        deleteTable(dialog->T_TempWord);
        QVERIFY(!QFile::exists(folder() + "Temp_Word.db"));
        QVERIFY(!dialog->T_TempWord->Active());
        deleteTable(dialog->T_TempWord); // already gone
        QVERIFY(messages.lines().isEmpty());
    }

    void failedCreationsAreReportedUnderTheirNames() {
        // A folder that does not exist: the record layout cannot be created,
        // and then the index cannot be added to the missing table.
        TTable t;
        t.setDatabaseName(program->path("no/such/folder/"));
        t.setTableName("Word");
        createIndexedRecTable(&t);
        QCOMPARE(messages.count(), 2);
        QVERIFY(messages.lines()[0].startsWith("createRecTable: "));
        QVERIFY(messages.lines()[0].endsWith(" "));
        QVERIFY(messages.lines()[1].startsWith("createWordTable: "));
        messages.clear();
        createFreqTable(&t);
        createKeyTable(&t);
        createWordTable(&t);
        QCOMPARE(messages.count(), 3);
        QVERIFY(messages.lines()[0].startsWith("createFreqTable: "));
        QVERIFY(messages.lines()[1].startsWith("createKeyTable: "));
        QVERIFY(messages.lines()[2].startsWith("createWordTable: "));
    }

    void showLastErrorResetsTheCode() {
        platform::setLastError(ENOENT);
        showLastError("createTextFile");
        QCOMPARE(messages.lines(),
                 QStringList{"createTextFile: " + platform::lastErrorText(ENOENT)});
        QCOMPARE(platform::lastError(), 0);
    }
};

QTEST_MAIN(TestOddsandsods)
#include "tst_oddsandsods.moc"
