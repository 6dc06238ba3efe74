// The table layer: layouts on disk, navigation, keys and ranges, value checks,
// exclusive access across processes, crash safety and damaged files.

#include "platform/core/table.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

void defineTempWord(TTable& t, int wordSize = 18) {
    t.FieldDefs().Clear();
    t.FieldDefs().Add("Verses", ftInteger, 0, true);
    t.FieldDefs().Add("Word", ftString, wordSize, true);
    t.IndexDefs().Clear();
    t.IndexDefs().Add("", "Verses", ixPrimary | ixUnique);
    t.IndexDefs().Add("wordNdx", "Word", ixCaseInsensitive);
}

void append(TTable& t, int key, const QString& word) {
    t.Append();
    t.Fields(0).setAsInteger(key);
    t.Fields(1).setAsString(word);
    t.Post();
}

// Rows of a query on a closed table file, read with the engine directly, as
// another program would; columns joined by '|'.
QStringList query(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                QStringList columns;
                for (int i = 0; i < sqlite3_column_count(st); ++i)
                    columns << QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                rows << columns.join('|');
            }
        } else {
            rows << QStringLiteral("error: %1").arg(sqlite3_errmsg(db));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

// The EDatabaseError message of `f`, or "" when nothing is raised.
template <typename F> QString failure(F f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.message();
    }
    return QString();
}

// The helper process holding or filling a table.
class Holder {
public:
    Holder(const QString& folder, const QString& table, const QString& mode) {
        process.setProgram(QCoreApplication::applicationDirPath() + "/table_holder");
        process.setArguments({folder, table, mode});
        process.start();
    }
    ~Holder() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // The first line it prints: "ready" or "error: ...".
    QString firstLine() {
        while (!process.canReadLine() && process.waitForReadyRead(30000)) {
        }
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    void killHard() {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
    QString quit() {
        process.write("quit\n");
        process.closeWriteChannel();
        process.waitForFinished(10000);
        return QString::fromLocal8Bit(process.readAll()).trimmed();
    }

private:
    QProcess process;
};

} // namespace

class TestTable : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString folder;
    QString path(const QString& table) const { return folder + table + ".db"; }
    void bind(TTable& t, const QString& name, bool exclusive = false) {
        t.setDatabaseName(folder);
        t.setTableType(ttParadox);
        t.setTableName(name);
        t.setUpdateMode(upWhereKeyOnly);
        t.setExclusive(exclusive);
    }
    // A Temp_Word table holding `words` at keys 10, 20, 30, ...
    void makeTempWord(const QStringList& words) {
        TTable t;
        bind(t, "Temp_Word", true);
        defineTempWord(t);
        t.CreateTable();
        t.Open();
        for (int i = 0; i < words.size(); ++i)
            append(t, 10 * (i + 1), words[i]);
        t.Close();
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        folder = dir.path() + "/";
        for (const QString& f : QDir(folder).entryList(QDir::Files))
            QFile::remove(folder + f);
    }

    void layoutsAreStoredAndReadBack() {
        TTable t;
        QVERIFY(!t.Exists()); // no name yet
        bind(t, "Word", true);
        QVERIFY(!t.Exists());
        t.FieldDefs().Clear();
        t.FieldDefs().Add("R1", ftInteger, 0, true);
        t.FieldDefs().Add("R2", ftSmallint, 0, true);
        t.IndexDefs().Clear();
        t.IndexDefs().Add("", "R1", ixPrimary | ixUnique);
        t.CreateTable();
        QVERIFY(!t.Active());
        t.AddIndex("wordKeyNdx", "R2", ixDescending);
        QVERIFY(t.Exists());
        QVERIFY(QFile::exists(path("Word")));

        TTable again;
        bind(again, "Word");
        again.FieldDefs().Clear();
        again.IndexDefs().Clear();
        again.Open();
        QCOMPARE(again.FieldDefs().Count(), 2);
        QCOMPARE(again.FieldDefs()[1].Name, QString("R2"));
        QCOMPARE(again.FieldDefs()[1].DataType, ftSmallint);
        QVERIFY(again.FieldDefs()[1].Required);
        QCOMPARE(again.IndexDefs().Count(), 2);
        QCOMPARE(again.IndexDefs()[0].Name, QString());
        QCOMPARE(again.IndexDefs()[0].Options, ixPrimary | ixUnique);
        QCOMPARE(again.IndexDefs()[1].Name, QString("wordKeyNdx"));
        QCOMPARE(again.IndexDefs()[1].Fields, QString("R2"));
        QCOMPARE(again.IndexDefs()[1].Options, TIndexOptions(ixDescending));
        again.Close();

        // Other programs see a table named after the layout, its columns and
        // its indexes, and can read the layout.
        makeTempWord({"a"});
        QCOMPARE(query(path("Temp_Word"), "SELECT Verses, Word FROM Temp_Word"),
                 QStringList{"10|a"});
        const QStringList indexSql =
            query(path("Temp_Word"), "SELECT sql FROM sqlite_master WHERE name = 'wordNdx'");
        QCOMPARE(indexSql.size(), 1);
        QVERIFY(indexSql[0].contains("COLLATE NOCASE"));
        QVERIFY(query(path("Word"), "SELECT sql FROM sqlite_master WHERE name = 'wordKeyNdx'")[0]
                    .contains("DESC"));
        QCOMPARE(query(path("Temp_Word"),
                       "SELECT name, type, size, required FROM _layout_fields ORDER BY position"),
                 (QStringList{"Verses|Integer|0|1", "Word|String|18|1"}));
        QCOMPARE(query(path("Temp_Word"), "PRAGMA journal_mode"), QStringList{"delete"});
    }

    void definitionsAreChecked() {
        TTable t;
        bind(t, "Bad");
        t.FieldDefs().Add("A", ftInteger, 0, true);
        t.IndexDefs().Add("", "Missing", ixPrimary);
        QVERIFY(failure([&] { t.CreateTable(); }).contains("Missing"));
        t.IndexDefs().Clear();
        t.FieldDefs().Add("a", ftString, 5, false);
        QVERIFY(failure([&] { t.CreateTable(); }).contains("Duplicate field"));
        QVERIFY(!t.Exists());
        bind(t, "../escape");
        QVERIFY(failure([&] { t.CreateTable(); }).contains("Invalid table name"));

        // Names are quoted, never spliced into the SQL.
        TTable odd;
        bind(odd, "Odd\"; DROP TABLE x; --", true);
        odd.FieldDefs().Add("we\"ird", ftString, 4, true);
        odd.IndexDefs().Add("", "we\"ird", ixPrimary);
        odd.CreateTable();
        odd.Open();
        odd.Append();
        odd.FieldByName("WE\"IRD").setAsString("x'); --");
        odd.Post();
        odd.Close();
        odd.Open();
        QCOMPARE(odd.Fields(0).AsString(), QString("x'); --"));

        TTable w;
        bind(w, "Word");
        w.FieldDefs().Add("R1", ftInteger, 0, true);
        w.FieldDefs().Add("R2", ftSmallint, 0, true);
        w.IndexDefs().Add("", "R1", ixPrimary | ixUnique);
        w.CreateTable();
        QVERIFY(!failure([&] { w.AddIndex("x", "R2", {}, "R2"); }).isEmpty());
        QVERIFY(!failure([&] { w.AddIndex("y", "R2", ixPrimary); }).isEmpty());
        w.AddIndex("wordKeyNdx", "R2", ixDescending);
        QVERIFY(failure([&] { w.AddIndex("WORDKEYNDX", "R1", {}); }).contains("Duplicate"));
    }

    void navigationFollowsTheIndexes() {
        makeTempWord({"the", "And", "the", "apple", "Zion", "and"});
        TTable t;
        bind(t, "Temp_Word");
        t.Open();
        QVERIFY(t.Bof());
        QVERIFY(!t.Eof());
        QCOMPARE(t.RecordCount(), 6);
        QCOMPARE(t.RecNo(), 1);
        QCOMPARE(t.Fields(0).AsInteger(), 10);
        t.Next();
        t.Next();
        QCOMPARE(t.RecNo(), 3);
        QCOMPARE(t.FieldByName("verses").AsInteger(), 30);
        t.Prior();
        QCOMPARE(t.Fields(0).AsInteger(), 20);
        t.Last();
        QVERIFY(t.Eof());
        QCOMPARE(t.RecNo(), 6);
        t.Next(); // stays on the last row
        QCOMPARE(t.Fields(0).AsInteger(), 60);
        t.First();
        t.Prior();
        QVERIFY(t.Bof());
        QCOMPARE(t.RecNo(), 1);

        // Case-insensitive secondary order; equal words in key order.
        t.setIndexName("wordNdx");
        QCOMPARE(t.RecNo(), 1);
        QStringList order;
        for (t.First(); !t.Eof(); t.Next())
            order << t.Fields(1).AsString() + t.Fields(0).AsString();
        QCOMPARE(order, (QStringList{"And20", "and60", "apple40", "the10", "the30", "Zion50"}));
        t.setRecNo(4);
        QCOMPARE(t.Fields(0).AsInteger(), 10);
        t.setRecNo(99); // out of range: stays put
        QCOMPARE(t.RecNo(), 4);
        t.Next();
        QCOMPARE(t.Fields(0).AsInteger(), 30);
        t.setIndexName("");
        QCOMPARE(t.Fields(0).AsInteger(), 10);
        QVERIFY(failure([&] { t.setIndexName("nope"); }).contains("nope"));
        t.Close();

        // A descending index, across flushes and re-reads of a larger table.
        TTable freq;
        bind(freq, "Freq", true);
        freq.FieldDefs().Add("F1", ftSmallint, 0, true);
        freq.FieldDefs().Add("F2", ftWord, 0, true);
        freq.IndexDefs().Add("", "F1", ixPrimary | ixUnique);
        freq.IndexDefs().Add("freqNdx", "F2", ixDescending);
        freq.CreateTable();
        freq.Open();
        for (int k = 1; k <= 3000; ++k) {
            freq.Append();
            freq.Fields(0).setAsInteger((k * 7919) % 3001);
            freq.Fields(1).setAsInteger(k % 100);
            freq.Post();
        }
        freq.setIndexName("freqNdx");
        QCOMPARE(freq.RecordCount(), 3000);
        int last = 100, n = 0, lastKey = 0;
        for (freq.First(); !freq.Eof(); freq.Next(), ++n) {
            const int f2 = freq.Fields(1).AsInteger(), key = freq.Fields(0).AsInteger();
            QVERIFY(f2 < last || (f2 == last && key > lastKey));
            QCOMPARE(freq.RecNo(), n + 1);
            last = f2;
            lastKey = key;
        }
        QCOMPARE(n, 3000);
        freq.setRecNo(1500);
        const int middle = freq.Fields(0).AsInteger();
        freq.Next();
        freq.Prior();
        QCOMPARE(freq.Fields(0).AsInteger(), middle);
    }

    void afterScrollFiresOnMovesToAnotherRow() {
        makeTempWord({"a", "b", "c"});
        TTable t;
        bind(t, "Temp_Word");
        int fired = 0;
        t.setAfterScroll([&](TTable* table) {
            QCOMPARE(table, &t);
            ++fired;
        });
        t.Open();
        QCOMPARE(fired, 1);
        t.First(); // already there
        QCOMPARE(fired, 1);
        t.Next();
        t.Last();
        QCOMPARE(fired, 3);
        t.Next(); // at the end: no move
        t.setRecNo(3);
        QCOMPARE(fired, 3);
        t.SetKey();
        t.Fields(0).setAsInteger(15);
        QVERIFY(!t.GotoKey());
        QCOMPARE(fired, 3);
        QCOMPARE(t.RecNo(), 3);
        t.SetKey();
        t.Fields(0).setAsInteger(10);
        QVERIFY(t.GotoKey());
        QCOMPARE(t.RecNo(), 1);
        QCOMPARE(fired, 4);
    }

    void keysAndRangesOnACompoundKey() {
        TTable t;
        bind(t, "Texts", true);
        t.FieldDefs().Add("Class", ftInteger, 0, true);
        t.FieldDefs().Add("Tip", ftInteger, 0, true);
        t.FieldDefs().Add("Cat", ftString, 10, true);
        t.FieldDefs().Add("Data", ftMemo, 1, false);
        t.IndexDefs().Add("", "Class;Tip;Cat", ixPrimary | ixUnique);
        t.CreateTable();
        t.Open();
        const struct {
            int c, tip;
            const char* cat;
        } rows[] = {{2, 5, "b"}, {1, 3, "x"},      {2, 1, "AA"},      {2, 0, "x"},
                    {3, 1, "a"}, {2, 32000, "zz"}, {2, 32000, "zzz"}, {2, 7, "q"}};
        for (const auto& r : rows) {
            t.Append();
            t.FieldByName("Class").setAsInteger(r.c);
            t.FieldByName("Tip").setAsInteger(r.tip);
            t.FieldByName("Cat").setAsString(r.cat);
            t.FieldByName("Data").setAsString(QString("{\\rtf tip %1 é}").arg(r.tip));
            t.Post();
        }
        t.EditRangeStart();
        t.FieldByName("Class").setAsInteger(2);
        t.FieldByName("Tip").setAsInteger(1);
        t.FieldByName("Cat").setAsString("AA");
        t.EditRangeEnd();
        t.FieldByName("Class").setAsInteger(2);
        t.FieldByName("Tip").setAsInteger(32000);
        t.FieldByName("Cat").setAsString("zz");
        t.ApplyRange();
        QCOMPARE(t.RecordCount(), 4);
        QStringList tips;
        for (t.First(); !t.Eof(); t.Next())
            tips << t.FieldByName("Tip").AsString();
        QCOMPARE(tips, (QStringList{"1", "5", "7", "32000"}));
        t.setRecNo(2);
        QCOMPARE(t.RecNo(), 2);
        QCOMPARE(t.FieldByName("Data").AsString(), QString("{\\rtf tip 5 é}"));
        t.setRecNo(5); // beyond the range
        QCOMPARE(t.RecNo(), 2);
        t.SetKey();
        t.Fields(0).setAsInteger(3); // outside the range: not found
        QVERIFY(!t.GotoKey());
        t.SetKey();
        t.Fields(0).setAsInteger(2);
        t.Fields(1).setAsInteger(7);
        QVERIFY(t.GotoKey());
        QCOMPARE(t.RecNo(), 3);
        t.CancelRange();
        QCOMPARE(t.RecordCount(), 8);
        t.SetKey();
        t.Fields(0).setAsInteger(3);
        QVERIFY(t.GotoKey());
        QCOMPARE(t.RecNo(), 8);
    }

    void keyViolationKeepsTheRowToDiscard() {
        for (const bool exclusive : {true, false}) {
            makeTempWord({"in", "the"});
            TTable t;
            bind(t, "Temp_Word", exclusive);
            t.Open();
            t.Last();
            append(t, 30, "beginning");
            t.Append();
            t.Fields(0).setAsInteger(30);
            t.Fields(1).setAsString("god");
            QCOMPARE(failure([&] { t.Post(); }), QString("Key violation."));
            QCOMPARE(t.State(), dsInsert);
            t.Delete(); // discards the row being appended
            QCOMPARE(t.State(), dsBrowse);
            QCOMPARE(t.Fields(1).AsString(), QString("beginning"));
            QCOMPARE(t.RecordCount(), 3);
            QCOMPARE(failure([&] { append(t, 10, "again"); }), QString("Key violation."));
            t.Delete();
            t.Close();
            t.Open();
            QCOMPARE(t.RecordCount(), 3);
        }
        // A text key, compared with regard to case.
        TTable key;
        bind(key, "Key", true);
        key.FieldDefs().Add("Word", ftString, 18, true);
        key.IndexDefs().Add("", "Word", ixPrimary | ixUnique);
        key.CreateTable();
        key.Open();
        for (const char* w : {"and", "the", "And"}) {
            key.Append();
            key.Fields(0).setAsString(w);
            key.Post();
        }
        key.Append();
        key.Fields(0).setAsString("the");
        QCOMPARE(failure([&] { key.Post(); }), QString("Key violation."));
        key.Delete();
        QCOMPARE(key.RecordCount(), 3);
    }

    void valuesAreCheckedNeverCut() {
        TTable t;
        bind(t, "Freq", true);
        t.FieldDefs().Add("F1", ftSmallint, 0, true);
        t.FieldDefs().Add("F2", ftWord, 0, true);
        t.FieldDefs().Add("F3", ftInteger, 0, false);
        t.FieldDefs().Add("W", ftString, 18, true);
        t.IndexDefs().Add("", "F1", ixPrimary | ixUnique);
        t.CreateTable();
        t.Open();
        t.Append();
        QString message = failure([&] { t.FieldByName("F2").setAsInteger(70000); });
        QVERIFY2(message.contains("F2") && message.contains("70000"), qPrintable(message));
        message = failure([&] { t.FieldByName("F1").setAsInteger(70000); });
        QVERIFY2(message.contains("F1") && message.contains("70000"), qPrintable(message));
        QVERIFY(!failure([&] { t.FieldByName("F2").setAsInteger(-1); }).isEmpty());
        QVERIFY(!failure([&] { t.FieldByName("F1").setAsString("32768"); }).isEmpty());
        QVERIFY(!failure([&] { t.FieldByName("F3").setAsInteger(2147483648LL); }).isEmpty());
        QVERIFY_THROWS_EXCEPTION(EConvertError, t.FieldByName("F3").setAsString("many"));
        t.FieldByName("F1").setAsInteger(-32768);
        t.FieldByName("F2").setAsInteger(65535);
        t.FieldByName("F3").setAsString(" -2147483648 ");
        // Required: neither NULL nor the empty text.
        QCOMPARE(failure([&] { t.Post(); }), QString("Field 'W' must have a value."));
        t.FieldByName("W").setAsString("");
        QCOMPARE(failure([&] { t.Post(); }), QString("Field 'W' must have a value."));
        t.FieldByName("W").setAsString("maher-shalal-hash-baz"); // 21 > 18
        t.Post();
        t.Append();
        t.Fields(0).Assign(t.Fields(0)); // NULL copied
        QVERIFY(t.Fields(0).IsNull());
        t.Delete();
        t.Close();
        t.Open();
        QCOMPARE(t.FieldByName("W").AsString(), QString("maher-shalal-hash-baz"));
        QCOMPARE(t.FieldByName("W").Size(), 18);
        QCOMPARE(t.FieldByName("F1").AsInteger(), -32768);
        QCOMPARE(t.FieldByName("F2").AsInteger(), 65535);
        QCOMPARE(t.FieldByName("F3").AsInteger(), INT_MIN);
        QVERIFY(!failure([&] { t.Fields(0).setAsInteger(1); }).isEmpty()); // not appending
        QVERIFY(!failure([&] { t.Fields(9); }).isEmpty());
        QVERIFY(!failure([&] { t.FieldByName("nope"); }).isEmpty());

        // Copying between tables keeps the target's checks.
        TTable other;
        bind(other, "Other", true);
        other.FieldDefs().Add("S", ftSmallint, 0, true);
        other.FieldDefs().Add("T", ftString, 2, false);
        other.CreateTable();
        other.Open();
        other.Append();
        other.Fields(1).Assign(t.FieldByName("F3"));
        QCOMPARE(other.Fields(1).AsString(), QString("-2147483648"));
        QVERIFY(!failure([&] { other.Fields(0).Assign(t.FieldByName("F3")); }).isEmpty());
        other.Fields(0).Assign(t.FieldByName("F1"));
        other.Post();
        QCOMPARE(other.Fields(0).AsInteger(), -32768);
    }

    void exclusiveHoldsWithinOneProcess() {
        makeTempWord({"a"});
        TTable a, b, c;
        bind(a, "Temp_Word", true);
        bind(b, "Temp_Word");
        bind(c, "Temp_Word");
        a.Open();
        QVERIFY(failure([&] { b.Open(); }).contains("File is locked"));
        QVERIFY(a.Exists()); // looks, never opens: the hold stays
        QVERIFY(failure([&] { b.Open(); }).contains("File is locked"));
        a.Close();
        b.Open();
        c.Open(); // plain opens coexist
        QCOMPARE(c.Fields(1).AsString(), QString("a"));
        a.setExclusive(true);
        QVERIFY(failure([&] { a.Open(); }).contains("File is locked"));
        QVERIFY(failure([&] { c.EmptyTable(); }).contains("File is locked"));
        c.Close();
        QVERIFY(failure([&] { a.DeleteTable(); }).contains("File is locked"));
        QVERIFY(!failure([&] { b.DeleteTable(); }).isEmpty()); // b is open
        QVERIFY(!failure([&] { b.setTableName("x"); }).isEmpty());
        b.Close();
        a.Open();
        a.Close();
    }

    void exclusiveHoldsAcrossProcesses() {
        makeTempWord({"a"});
        TTable t;
        bind(t, "Temp_Word");
        {
            Holder holder(folder, "Temp_Word", "exclusive");
            QCOMPARE(holder.firstLine(), QString("ready"));
            QVERIFY(failure([&] { t.Open(); }).contains("File is locked"));
            t.setExclusive(true);
            QVERIFY(failure([&] { t.Open(); }).contains("File is locked"));
            holder.killHard(); // the hold dies with the process
            t.Open();
            t.Close();
        }
        {
            Holder holder(folder, "Temp_Word", "plain");
            QCOMPARE(holder.firstLine(), QString("ready"));
            QVERIFY(failure([&] { t.Open(); }).contains("File is locked"));
            t.setExclusive(false);
            t.Open(); // plain beside plain
            t.Close();
            QCOMPARE(holder.quit(), QString("closed"));
            t.setExclusive(true);
            t.Open();
        }
        {
            // Our exclusive hold keeps the other process out, readers too,
            // and looking the file up does not drop it.
            QVERIFY(t.Exists());
            QVERIFY(QFileInfo(path("Temp_Word")).isFile());
            Holder plain(folder, "Temp_Word", "plain");
            QVERIFY(plain.firstLine().startsWith("error: File is locked"));
            QVERIFY(
                query(path("Temp_Word"), "SELECT count(*) FROM Temp_Word")[0].contains("locked"));
        }
        t.Close();
        Holder plain(folder, "Temp_Word", "plain");
        QCOMPARE(plain.firstLine(), QString("ready"));
    }

    void killedWriterLeavesACommittedPrefix_data() {
        QTest::addColumn<bool>("textKey");
        // Integer keys: rows are gathered and written in groups, the word
        // index is deferred. Text keys: every row goes to the file inside the
        // open transaction, so the kill leaves a journal to roll back.
        QTest::newRow("integer key") << false;
        QTest::newRow("text key") << true;
    }

    void killedWriterLeavesACommittedPrefix() {
        QFETCH(bool, textKey);
        {
            TTable t;
            bind(t, "Temp_Word");
            defineTempWord(t);
            if (textKey) {
                t.IndexDefs().Clear();
                t.IndexDefs().Add("", "Word", ixPrimary | ixUnique);
                t.IndexDefs().Add("wordNdx", "Word", ixCaseInsensitive);
                t.IndexDefs().Add("versesNdx", "Verses", {});
            }
            t.CreateTable();
        }
        {
            Holder writer(folder, "Temp_Word", "append");
            QCOMPARE(writer.firstLine(), QString("ready"));
            QTest::qWait(150);
            writer.killHard();
        }
        TTable t;
        bind(t, "Temp_Word", true);
        t.Open(); // rolls an unfinished group back
        const int n = t.RecordCount();
        QVERIFY2(n >= 100000, qPrintable(QString::number(n)));
        t.setIndexName(textKey ? "versesNdx" : "");
        t.Last();
        QCOMPARE(t.Fields(0).AsInteger(), n);
        QCOMPARE(t.Fields(1).AsString(), QStringLiteral("w%1").arg(n));
        t.setIndexName("wordNdx"); // built now if the writer had deferred it
        int rows = 0;
        QString previous;
        for (t.First(); !t.Eof(); t.Next(), ++rows) {
            const QString w = t.Fields(1).AsString();
            QVERIFY(QString::compare(previous, w, Qt::CaseInsensitive) <= 0);
            previous = w;
        }
        QCOMPARE(rows, n);
        t.Close();
        QCOMPARE(query(path("Temp_Word"), "PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*), min(Verses), max(Verses), "
                                          "sum(Word = 'w' || Verses) FROM Temp_Word"),
                 QStringList{QStringLiteral("%1|1|%1|%1").arg(n)});
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM sqlite_master WHERE name = "
                                          "'wordNdx'"),
                 QStringList{"1"});
    }

    void flushedRowsSurviveAKill() {
        {
            TTable t;
            bind(t, "Temp_Word");
            defineTempWord(t);
            t.CreateTable();
        }
        {
            Holder writer(folder, "Temp_Word", "flush");
            QCOMPARE(writer.firstLine(), QString("ready"));
            writer.killHard();
        }
        QCOMPARE(query(path("Temp_Word"), "PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*), max(Verses) FROM Temp_Word"),
                 QStringList{"150000|150000"});
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM sqlite_master WHERE name = "
                                          "'wordNdx'"),
                 QStringList{"1"});
    }

    void damagedAndForeignFilesAreRefused() {
        makeTempWord({"a", "b"});
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(path(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        QByteArray garbage(8192, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = static_cast<char>(i * 37 + 11);
        write("Garbage", garbage);
        write("Empty", QByteArray());
        write("Short", "SQLite format 3");
        {
            TTable big;
            bind(big, "Big", true);
            defineTempWord(big);
            big.CreateTable();
            big.Open();
            for (int k = 1; k <= 20000; ++k)
                append(big, k, QStringLiteral("word%1").arg(k));
        }
        QVERIFY(QFile::resize(path("Big"), QFileInfo(path("Big")).size() / 2));
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(path("Foreign")).constData(), &db);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE Foreign_(a, b); INSERT INTO Foreign_ VALUES(1, 2);",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        QVERIFY(QDir(folder).mkdir("Folder.db"));
        QCOMPARE(::mkfifo(QFile::encodeName(path("Pipe")).constData(), 0600), 0);

        const struct {
            const char* name;
            const char* message;
        } cases[] = {{"Garbage", "Not a table"}, {"Empty", "Not a table"},
                     {"Short", "Not a table"},   {"Big", "damaged"},
                     {"Foreign", "Not a table"}, {"Folder", "Not a table"},
                     {"Pipe", "Not a table"},    {"Missing", "does not exist"}};
        for (const auto& c : cases) {
            for (const bool exclusive : {false, true}) {
                TTable t;
                bind(t, c.name, exclusive);
                const QString message = failure([&] { t.Open(); });
                QVERIFY2(message.contains(c.message),
                         qPrintable(QString("%1: %2").arg(c.name, message)));
                QVERIFY(!t.Active());
            }
        }
        // A damaged table can still be deleted; a foreign database is left
        // as it was by the refused open.
        TTable t;
        bind(t, "Garbage");
        t.DeleteTable();
        QVERIFY(!t.Exists());
        QCOMPARE(query(path("Foreign"), "SELECT * FROM Foreign_"), QStringList{"1|2"});
    }

    void emptyingAndDeleting() {
        makeTempWord({"a", "b", "c", "d"});
        TTable t;
        bind(t, "Temp_Word");
        t.EmptyTable(); // closed: takes the table for itself meanwhile
        t.Open();
        QCOMPARE(t.RecordCount(), 0);
        QVERIFY(t.Eof() && t.Bof());
        QCOMPARE(t.RecNo(), 0);
        QVERIFY(!failure([&] { t.Delete(); }).isEmpty());
        t.Close();

        // The row-by-row way: delete the current row until the end.
        makeTempWord({"a", "b", "c", "d", "e"});
        t.setExclusive(true);
        t.Open();
        t.setRecNo(5);
        t.Delete(); // the last row: back to the new last
        QVERIFY(t.Eof());
        QCOMPARE(t.Fields(1).AsString(), QString("d"));
        int deleted = 0;
        for (t.First(); !t.Eof(); ++deleted)
            t.Delete();
        QCOMPARE(deleted, 4);
        QCOMPARE(t.RecordCount(), 0);
        append(t, 1, "z"); // an emptied table takes rows again
        t.EmptyTable();
        QCOMPARE(t.RecordCount(), 0);
        QVERIFY(!failure([&] { t.DeleteTable(); }).isEmpty()); // still open
        t.Close();
        t.DeleteTable();
        QVERIFY(!t.Exists());
        QVERIFY(!QFile::exists(path("Temp_Word") + "-journal"));
        QVERIFY(failure([&] { t.DeleteTable(); }).contains("does not exist"));
        QVERIFY(failure([&] { t.EmptyTable(); }).contains("does not exist"));
    }

    void bulkWritesKeepTheLayout() {
        // Enough rows for several groups; the secondary index is built again
        // when the walk needs it, and stands in the file after Close.
        TTable t;
        bind(t, "Temp_Word", true);
        defineTempWord(t);
        t.CreateTable();
        t.Open();
        QList<QPair<QString, int>> expected;
        for (int k = 1; k <= 250000; ++k) {
            const QString w = QStringLiteral("%1w").arg((k * 7919) % 4001);
            append(t, k, w);
            expected.append({w.toLower(), k});
        }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(t.RecordCount(), 250000);
        t.setIndexName("wordNdx");
        int i = 0;
        for (t.First(); !t.Eof(); t.Next(), ++i) {
            if (t.Fields(0).AsInteger() != expected[i].second)
                QFAIL(qPrintable(QStringLiteral("row %1").arg(i)));
        }
        QCOMPARE(i, 250000);
        t.setRecNo(1234);
        QCOMPARE(t.Fields(0).AsInteger(), expected[1233].second);
        append(t, 250001, "0"); // first in word order
        QCOMPARE(t.RecNo(), 1);
        t.Next();
        QCOMPARE(t.Fields(0).AsInteger(), expected[0].second);
        t.Close();
        QCOMPARE(query(path("Temp_Word"), "SELECT built FROM _layout_indexes ORDER BY position"),
                 (QStringList{"1", "1"}));
        QCOMPARE(query(path("Temp_Word"), "PRAGMA integrity_check"), QStringList{"ok"});
        QVERIFY(query(path("Temp_Word"),
                      "EXPLAIN QUERY PLAN SELECT rowid FROM Temp_Word ORDER BY Word COLLATE NOCASE")
                    .join(' ')
                    .contains("wordNdx"));
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "tst_table.moc"
