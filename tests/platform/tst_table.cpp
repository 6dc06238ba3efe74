// The table layer: layouts on disk, navigation, keys and ranges, value checks,
// exclusive access across processes, crash safety and damaged files.

#include "platform/core/table.h"
#include "platform/core/tablefile.h"
#include "tests/support/files.h"
#include "tests/support/sqlfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <climits>
#include <csignal>
#include <random>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

void defineTempWord(TTable& t, int wordSize = 18) {
    t.FieldDefs().Clear();
    t.FieldDefs().Add("Verses", ftInteger, 0, true);
    t.FieldDefs().Add("Word", ftString, wordSize, true);
    t.IndexDefs().Clear();
    t.IndexDefs().Add("", "Verses", ixPrimary | ixUnique);
    t.IndexDefs().Add("wordNdx", "Word", ixCaseInsensitive);
}

void defineFreq(TTable& t) {
    t.FieldDefs().Clear();
    t.FieldDefs().Add("F1", ftSmallint, 0, true);
    t.FieldDefs().Add("F2", ftWord, 0, true);
    t.IndexDefs().Clear();
    t.IndexDefs().Add("", "F1", ixPrimary | ixUnique);
    t.IndexDefs().Add("freqNdx", "F2", ixDescending);
}

void appendFreq(TTable& t, int f1, int f2) {
    t.Append();
    t.Fields(0).setAsInteger(f1);
    t.Fields(1).setAsInteger(f2);
    t.Post();
}

void append(TTable& t, int key, const QString& word) {
    t.Append();
    t.Fields(0).setAsInteger(key);
    t.Fields(1).setAsString(word);
    t.Post();
}

// Rows of a query on a closed table file, run with the engine directly.
const auto query = testsupport::sqlRows;

using Kind = EDatabaseError::Kind;

// The EDatabaseError that an operation raised; `any` is false without one.
struct Raised {
    bool any = false;
    QString message;
    Kind kind = Kind::Other;
};

template <typename F> Raised raised(F f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return {true, e.message(), e.kind()};
    }
    return {};
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
    qint64 pid() const { return process.processId(); }
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
    // A new, empty Temp_Word table, open for this test alone.
    void createTempWord(TTable& t) {
        bind(t, "Temp_Word", true);
        defineTempWord(t);
        t.CreateTable();
        t.Open();
    }
    // A Temp_Word table holding `words` at keys 10, 20, 30, ...
    void makeTempWord(const QStringList& words) {
        TTable t;
        createTempWord(t);
        for (int i = 0; i < words.size(); ++i)
            append(t, 10 * (i + 1), words[i]);
        t.Close();
    }
    // A tips table "Texts", ranged to class 2 from (1, "AA") to (32000, "zz").
    void makeTexts(TTable& t) {
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
        const auto bound = [&](int tip, const char* cat) {
            t.FieldByName("Class").setAsInteger(2);
            t.FieldByName("Tip").setAsInteger(tip);
            t.FieldByName("Cat").setAsString(cat);
        };
        t.EditRangeStart();
        bound(1, "AA");
        t.EditRangeEnd();
        bound(32000, "zz");
        t.ApplyRange();
    }

    void makeDamagedFile(const QString& name) {
        // A table of 20,000 rows, then cut to newSize(its size).
        const auto cut = [&](auto newSize) {
            TTable big;
            bind(big, name, true);
            defineTempWord(big);
            big.CreateTable();
            big.Open();
            for (int k = 1; k <= 20000; ++k)
                append(big, k, QStringLiteral("word%1").arg(k));
            big.Close();
            QVERIFY(QFile::resize(path(name), newSize(QFileInfo(path(name)).size())));
        };
        if (name == "Garbage")
            QVERIFY(testsupport::writeFile(path(name), QByteArray(8192, 'x')));
        else if (name == "Empty")
            QVERIFY(testsupport::writeFile(path(name), QByteArray()));
        else if (name == "Short")
            QVERIFY(testsupport::writeFile(path(name), "SQLite format 3"));
        else if (name == "HalfHeader")
            cut([](qint64) { return 50; });
        else if (name == "Header")
            cut([](qint64) { return 100; });
        else if (name == "Half")
            cut([](qint64 size) { return size / 2; });
        else if (name == "Tail")
            cut([](qint64 size) { return size - 100; });
        else if (name == "Foreign")
            query(path(name), "CREATE TABLE Foreign_(a, b); INSERT INTO Foreign_ VALUES(1, 2);");
        else if (name == "Newer") {
            makeTempWord({"a"});
            QVERIFY(QFile::rename(path("Temp_Word"), path(name)));
            query(path(name), "PRAGMA user_version=2");
        } else if (name == "Folder")
            QVERIFY(QDir(folder).mkpath("Folder.db"));
        else if (name == "Pipe")
            QVERIFY(QFile::exists(path(name)) ||
                    ::mkfifo(QFile::encodeName(path(name)).constData(), 0600) == 0);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        folder = dir.path() + "/";
        for (const QString& f : QDir(folder).entryList(QDir::Files))
            QFile::remove(folder + f);
    }

    void layoutsAreReadBack() {
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
        QCOMPARE(raised([&] { t.AddIndex("x", "R2", {}, "R2"); }).kind, Kind::InvalidDefinition);
        QCOMPARE(raised([&] { t.AddIndex("y", "R2", ixPrimary); }).kind, Kind::InvalidDefinition);
        QCOMPARE(raised([&] { t.AddIndex("WORDKEYNDX", "R1", {}); }).kind, Kind::InvalidName);
        QVERIFY(t.Exists());
        QVERIFY(QFile::exists(path("Word")));

        TTable again;
        bind(again, "Word");
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
    }

    // Other programs see a table named after the layout, its columns and its
    // indexes, and can read the layout.
    void otherProgramsSeeTheLayout() {
        makeTempWord({"a"});
        QCOMPARE(query(path("Temp_Word"), "SELECT Verses, Word FROM Temp_Word"),
                 QStringList{"10|a"});
        QVERIFY(query(path("Temp_Word"), "SELECT sql FROM sqlite_master WHERE name = 'wordNdx'")
                    .value(0)
                    .contains("COLLATE NOCASE"));
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
        const Raised missing = raised([&] { t.CreateTable(); });
        QCOMPARE(missing.kind, Kind::InvalidDefinition);
        QVERIFY(missing.message.contains("Missing"));
        t.IndexDefs().Clear();
        t.FieldDefs().Add("a", ftString, 5, false);
        QCOMPARE(raised([&] { t.CreateTable(); }).kind, Kind::InvalidName); // taken
        QVERIFY(!t.Exists());
        bind(t, "../escape");
        QCOMPARE(raised([&] { t.CreateTable(); }).kind, Kind::InvalidName);
    }

    // Names are quoted, never spliced into the SQL.
    void namesAreQuoted() {
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
    }

    void primaryOrderMoves() {
        makeTempWord({"the", "And", "the", "apple", "Zion", "and"});
        TTable t;
        bind(t, "Temp_Word");
        t.Open();
        QVERIFY(t.Bof() && !t.Eof());
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
    }

    // Case-insensitive secondary order; equal words in key order.
    void secondaryOrderMoves() {
        makeTempWord({"the", "And", "the", "apple", "Zion", "and"});
        TTable t;
        bind(t, "Temp_Word");
        t.Open();
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
        QCOMPARE(raised([&] { t.setIndexName("nope"); }).kind, Kind::NotFound);
    }

    // A descending index, across group commits and re-reads of the order.
    void descendingOrderOfManyRows() {
        TTable freq;
        bind(freq, "Freq", true);
        defineFreq(freq);
        freq.CreateTable();
        freq.Open();
        for (int k = 1; k <= 3000; ++k)
            appendFreq(freq, (k * 7919) % 3001, k % 100);
        freq.setIndexName("freqNdx");
        QCOMPARE(freq.RecordCount(), 3000);
        int last = 100, n = 0, lastKey = 0;
        for (freq.First(); !freq.Eof(); freq.Next(), ++n) {
            const int f2 = freq.Fields(1).AsInteger(), key = freq.Fields(0).AsInteger();
            if (f2 > last || (f2 == last && key <= lastKey) || freq.RecNo() != n + 1)
                QFAIL(qPrintable(QStringLiteral("row %1").arg(n)));
            last = f2;
            lastKey = key;
        }
        QCOMPARE(n, 3000);
        freq.Close();
        QVERIFY(
            query(path("Freq"), "SELECT sql FROM sqlite_master WHERE name = 'freqNdx'")[0].contains(
                "DESC"));
    }

    // The walk goes on where it stood after a safe point or a new index.
    void walkGoesOnAfterFlushOrAddIndex() {
        makeTempWord({"a", "b", "c", "d"});
        TTable t;
        bind(t, "Temp_Word", true);
        t.Open();
        t.Next();
        t.FlushBuffers();
        t.Next();
        QVERIFY(!t.Eof());
        QCOMPARE(t.Fields(1).AsString(), QString("c"));
        t.AddIndex("versesNdx", "Verses", {});
        t.Next();
        QVERIFY(!t.Eof());
        QCOMPARE(t.RecNo(), 4);
    }

    void afterScrollFiresOnMovesToAnotherRow() {
        makeTempWord({"a", "b", "c"});
        TTable t;
        bind(t, "Temp_Word");
        int fired = 0;
        t.setAfterScroll([&](TTable* table) { fired += table == &t; });
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

    // A row number outside 1..RecordCount (0 is a scroll bar's lowest value)
    // leaves the cursor on its row, with its values: on the file, on rows
    // still in memory, and within a range.
    void recNoOutsideTheRowsStaysPut_data() {
        QTest::addColumn<QString>("rows");
        QTest::newRow("file") << "file";
        QTest::newRow("memory") << "memory";
        QTest::newRow("range") << "range";
    }
    void recNoOutsideTheRowsStaysPut() {
        QFETCH(QString, rows);
        const QStringList words = {"a", "b", "c", "d"};
        TTable t;
        if (rows == "memory") {
            createTempWord(t);
            for (int i = 0; i < words.size(); ++i)
                append(t, 10 * (i + 1), words[i]);
        } else {
            makeTempWord(words);
            bind(t, "Temp_Word");
            t.Open();
        }
        int count = 4;
        if (rows == "range") {
            t.EditRangeStart();
            t.Fields(0).setAsInteger(20);
            t.EditRangeEnd();
            t.Fields(0).setAsInteger(40);
            t.ApplyRange();
            count = 3;
        }
        QCOMPARE(t.RecordCount(), count);
        t.setRecNo(2);
        const int key = t.Fields(0).AsInteger();
        const QString word = t.Fields(1).AsString();
        int fired = 0;
        t.setAfterScroll([&](TTable*) { ++fired; });
        for (const int recNo : {0, -1, INT_MIN, count + 1, INT_MAX}) {
            t.setRecNo(recNo);
            QCOMPARE(t.RecNo(), 2);
            QVERIFY(!t.Fields(0).IsNull() && !t.Fields(1).IsNull());
            QCOMPARE(t.Fields(0).AsInteger(), key);
            QCOMPARE(t.Fields(1).AsString(), word);
        }
        QCOMPARE(fired, 0);
        t.Next();
        QCOMPARE(t.RecNo(), 3);
    }

    // A stored number that is no 32-bit integer (the file was written by
    // another program) is refused when read, at either end, never wrapped;
    // the message names the value, the field, the row and the file.
    void readingBeyond32Bits_data() {
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("lowest") << qint64(INT_MIN) << true;
        QTest::newRow("highest") << qint64(INT_MAX) << true;
        QTest::newRow("one below") << qint64(INT_MIN) - 1 << false;
        QTest::newRow("one above") << qint64(INT_MAX) + 1 << false;
        QTest::newRow("2^32 + 1") << (qint64(1) << 32) + 1 << false;
        QTest::newRow("-2^40") << -(qint64(1) << 40) << false;
    }
    void readingBeyond32Bits() {
        QFETCH(qint64, stored);
        QFETCH(bool, accepted);
        makeTempWord({"a", "b", "c"});
        const QByteArray update =
            "UPDATE Temp_Word SET Verses = " + QByteArray::number(stored) + " WHERE Verses = 20";
        QCOMPARE(query(path("Temp_Word"), update.constData()), QStringList());
        TTable t;
        bind(t, "Temp_Word");
        t.Open();
        t.setIndexName("wordNdx"); // "b" is row 2 in word order
        t.setRecNo(2);
        QCOMPARE(t.Fields(0).AsString(), QString::number(stored));
        try {
            QCOMPARE(qint64(t.Fields(0).AsInteger()), stored);
            QVERIFY(accepted);
        } catch (const EConvertError& e) {
            QVERIFY(!accepted);
            QCOMPARE(e.message(), QStringLiteral("Value %1 of field 'Verses' in row 2 of %2 is not "
                                                 "a 32-bit integer.")
                                      .arg(stored)
                                      .arg(path("Temp_Word")));
        }
    }

    // Text in a number field is read as a number; text that is none is
    // refused naming its row and file.
    void readingTextAsANumber() {
        TTable t;
        bind(t, "Numbers", true);
        t.FieldDefs().Add("Key", ftInteger, 0, true);
        t.FieldDefs().Add("N", ftString, 10, false);
        t.IndexDefs().Add("", "Key", ixPrimary | ixUnique);
        t.CreateTable();
        t.Open();
        for (const char* text : {" 42 ", "many"}) {
            t.Append();
            t.Fields(0).setAsInteger(t.RecordCount() + 1);
            t.Fields(1).setAsString(text);
            t.Post();
        }
        t.First();
        QCOMPARE(t.Fields(1).AsInteger(), 42);
        t.Next();
        try {
            t.Fields(1).AsInteger();
            QFAIL("no error");
        } catch (const EConvertError& e) {
            QCOMPARE(e.message(), "'many' is not a valid integer value for field 'N' in row 2 of " +
                                      path("Numbers") + ".");
        }
    }

    void rangeOnACompoundKey() {
        TTable t;
        makeTexts(t);
        QCOMPARE(t.RecordCount(), 4);
        QStringList tips;
        for (t.First(); !t.Eof(); t.Next())
            tips << t.FieldByName("Tip").AsString();
        QCOMPARE(tips, (QStringList{"1", "5", "7", "32000"}));
        t.setRecNo(2);
        QCOMPARE(t.FieldByName("Data").AsString(), QString("{\\rtf tip 5 é}"));
        t.setRecNo(5); // beyond the range
        QCOMPARE(t.RecNo(), 2);
        t.CancelRange();
        QCOMPARE(t.RecordCount(), 8);
    }

    void keysAreFoundWithinTheRange() {
        TTable t;
        makeTexts(t);
        t.SetKey();
        t.Fields(0).setAsInteger(3); // outside the range: not found
        QVERIFY(!t.GotoKey());
        t.SetKey();
        t.Fields(0).setAsInteger(2);
        t.Fields(1).setAsInteger(7);
        QVERIFY(t.GotoKey());
        QCOMPARE(t.RecNo(), 3);
        t.CancelRange();
        t.SetKey();
        t.Fields(0).setAsInteger(3);
        QVERIFY(t.GotoKey());
        QCOMPARE(t.RecNo(), 8);
    }

    // Rows posted under a range are counted, in it or not, and a discarded
    // append leaves the cursor on the row posted before.
    void postsAreCountedAndKept() {
        makeTempWord({"a", "b", "c"});
        TTable t;
        bind(t, "Temp_Word", true);
        t.Open();
        t.EditRangeStart();
        t.Fields(0).setAsInteger(20);
        t.EditRangeEnd();
        t.Fields(0).setAsInteger(100);
        t.ApplyRange();
        QCOMPARE(t.RecordCount(), 2);
        append(t, 40, "d");
        append(t, 200, "outside");
        QCOMPARE(t.RecordCount(), 3);
        t.CancelRange();
        append(t, 50, "e");
        t.Append();
        t.Delete();
        QCOMPARE(t.Fields(0).AsInteger(), 50);
        QCOMPARE(t.RecordCount(), 6);
    }

    void keyViolationKeepsTheRowToDiscard_data() {
        QTest::addColumn<bool>("exclusive");
        QTest::newRow("exclusive") << true;
        QTest::newRow("plain") << false;
    }

    void keyViolationKeepsTheRowToDiscard() {
        QFETCH(bool, exclusive);
        makeTempWord({"in", "the"});
        TTable t;
        bind(t, "Temp_Word", exclusive);
        t.Open();
        t.Last();
        append(t, 30, "beginning");
        t.Append();
        t.Fields(0).setAsInteger(30);
        t.Fields(1).setAsString("god");
        const Raised taken = raised([&] { t.Post(); });
        QCOMPARE(taken.kind, Kind::KeyViolation);
        QCOMPARE(taken.message, QString("Key violation."));
        QCOMPARE(t.State(), dsInsert);
        t.Delete(); // discards the row being appended
        QCOMPARE(t.State(), dsBrowse);
        QCOMPARE(t.Fields(1).AsString(), QString("beginning"));
        QCOMPARE(t.RecordCount(), 3);
        QCOMPARE(raised([&] { append(t, 10, "again"); }).kind, Kind::KeyViolation);
        t.Delete();
        t.Close();
        t.Open();
        QCOMPARE(t.RecordCount(), 3);
    }

    // A text key, compared with regard to case.
    void textKeyViolation() {
        TTable key;
        bind(key, "Key", true);
        key.FieldDefs().Add("Word", ftString, 18, true);
        key.IndexDefs().Add("", "Word", ixPrimary | ixUnique);
        key.CreateTable();
        key.Open();
        for (const char* w : {"and", "the", "And", "the"}) {
            key.Append();
            key.Fields(0).setAsString(w);
        }
        QCOMPARE(raised([&] { key.Post(); }).kind, Kind::KeyViolation); // the second "the"
        key.Delete();
        QCOMPARE(key.RecordCount(), 3);
    }

    // Every bound of each numeric type is taken and stored as it is; one
    // beyond it is refused, never wrapped, naming field and value.
    void numericBounds_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<bool>("accepted");
        const struct {
            TFieldType type;
            const char* name;
            qint64 low, high;
        } types[] = {{ftSmallint, "ftSmallint", -32768, 32767},
                     {ftWord, "ftWord", 0, 65535},
                     {ftInteger, "ftInteger", INT_MIN, INT_MAX}};
        for (const auto& t : types)
            for (const qint64 v : {t.low, t.high, t.low - 1, t.high + 1})
                QTest::addRow("%s %lld", t.name, static_cast<long long>(v))
                    << int(t.type) << v << (v == t.low || v == t.high);
    }

    void numericBounds() {
        QFETCH(int, type);
        QFETCH(qint64, value);
        QFETCH(bool, accepted);
        TTable t;
        bind(t, "Numbers", true);
        t.FieldDefs().Add("N", static_cast<TFieldType>(type), 0, true);
        t.CreateTable();
        t.Open();
        t.Append();
        const Raised r = raised([&] { t.Fields(0).setAsInteger(value); });
        QCOMPARE(r.any, !accepted);
        if (r.any) {
            QCOMPARE(r.kind, Kind::OutOfRange);
            QVERIFY2(r.message.contains("'N'") && r.message.contains(QString::number(value)),
                     qPrintable(r.message));
            return;
        }
        t.Post();
        t.Close();
        t.Open();
        QCOMPARE(t.Fields(0).AsString(), QString::number(value));
    }

    // Required: neither NULL nor the empty text. Text longer than its width
    // is stored whole.
    void requiredFieldsAndWidths() {
        TTable t;
        bind(t, "Key", true);
        t.FieldDefs().Add("K", ftInteger, 0, false);
        t.FieldDefs().Add("W", ftString, 18, true);
        t.IndexDefs().Add("", "K", ixPrimary | ixUnique);
        t.CreateTable();
        t.Open();
        t.Append();
        const Raised noKey = raised([&] { t.Post(); });
        QCOMPARE(noKey.kind, Kind::RequiredFieldMissing); // a key field is always required
        QCOMPARE(noKey.message, QString("Field 'K' must have a value."));
        t.Fields(0).setAsString(" -2147483648 ");
        QCOMPARE(raised([&] { t.Post(); }).message, QString("Field 'W' must have a value."));
        t.FieldByName("W").setAsString("");
        QCOMPARE(raised([&] { t.Post(); }).kind, Kind::RequiredFieldMissing);
        t.FieldByName("W").setAsString("maher-shalal-hash-baz"); // 21 > 18
        t.Post();
        t.Close();
        t.Open();
        QCOMPARE(t.FieldByName("W").AsString(), QString("maher-shalal-hash-baz"));
        QCOMPARE(t.FieldByName("W").Size(), 18);
        QCOMPARE(t.Fields(0).AsInteger(), INT_MIN);
        QVERIFY_THROWS_EXCEPTION(EConvertError, t.Fields(0).setAsString("many"));
        QCOMPARE(raised([&] { t.Fields(0).setAsString("2147483648"); }).kind, Kind::OutOfRange);
        QCOMPARE(raised([&] { t.Fields(0).setAsInteger(1); }).kind, Kind::WrongState);
        QCOMPARE(raised([&] { t.Fields(9); }).kind, Kind::NotFound);
        QCOMPARE(raised([&] { t.FieldByName("nope"); }).kind, Kind::NotFound);
    }

    // Each appended row starts empty: a field left unset is NULL, whatever
    // the row before held there, in memory and in the file.
    void appendedRowsStartEmpty() {
        TTable t;
        bind(t, "Freq", true);
        t.FieldDefs().Add("K", ftInteger, 0, false);
        t.FieldDefs().Add("W", ftString, 20, false);
        t.FieldDefs().Add("C", ftInteger, 0, false);
        t.IndexDefs().Add("", "K", ixPrimary | ixUnique);
        t.CreateTable();
        t.Open();
        t.Append();
        t.Fields(0).setAsInteger(1);
        t.Fields(1).setAsString("alpha");
        t.Fields(2).setAsInteger(7);
        t.Post();
        t.Append();
        QVERIFY(t.Fields(1).IsNull());
        t.Fields(0).setAsString("2");
        t.Post();
        t.Append();
        t.Fields(0).setAsInteger(3);
        t.Fields(1).setAsInteger(42); // a number in a text field is its digits
        t.Post();
        for (int pass = 0; pass < 2; ++pass) {
            t.First();
            QCOMPARE(t.Fields(1).AsString(), QString("alpha"));
            QCOMPARE(t.Fields(2).AsInteger(), 7);
            t.Next();
            QCOMPARE(t.Fields(0).AsInteger(), 2);
            QVERIFY(t.Fields(1).IsNull());
            QVERIFY(t.Fields(2).IsNull());
            t.Next();
            QCOMPARE(t.Fields(1).AsString(), QString("42"));
            QVERIFY(t.Fields(2).IsNull());
            t.Close();
            t.Open();
        }
    }

    // Copying between tables keeps the target's checks.
    void copyingKeepsTheTargetsChecks() {
        TTable source, target;
        bind(source, "Freq", true);
        defineFreq(source);
        source.CreateTable();
        source.Open();
        appendFreq(source, -32768, 65535);
        bind(target, "Other", true);
        target.FieldDefs().Add("S", ftSmallint, 0, true);
        target.FieldDefs().Add("T", ftString, 2, false);
        target.CreateTable();
        target.Open();
        target.Append();
        target.Fields(1).Assign(source.Fields(1));
        QCOMPARE(target.Fields(1).AsString(), QString("65535"));
        QCOMPARE(raised([&] { target.Fields(0).Assign(source.Fields(1)); }).kind, Kind::OutOfRange);
        target.Fields(0).Assign(source.Fields(0));
        target.Post();
        QCOMPARE(target.Fields(0).AsInteger(), -32768);
        target.Append();
        target.Fields(0).Assign(target.Fields(1)); // NULL copied
        QVERIFY(target.Fields(0).IsNull());
    }

    void exclusiveHoldsWithinOneProcess() {
        makeTempWord({"a"});
        TTable a, b, c;
        bind(a, "Temp_Word", true);
        bind(b, "Temp_Word");
        bind(c, "Temp_Word");
        a.Open();
        QVERIFY(raised([&] { b.Open(); }).message.startsWith("File is locked"));
        QVERIFY(a.Exists()); // looks, never opens: the hold stays
        QCOMPARE(raised([&] { b.Open(); }).kind, Kind::Locked);
        a.Close();
        b.Open();
        c.Open(); // plain opens coexist
        QCOMPARE(c.Fields(1).AsString(), QString("a"));
        a.setExclusive(true);
        QCOMPARE(raised([&] { a.Open(); }).kind, Kind::Locked);
        QCOMPARE(raised([&] { c.EmptyTable(); }).kind, Kind::Locked);
        c.Close();
        QCOMPARE(raised([&] { a.DeleteTable(); }).kind, Kind::Locked);
        QCOMPARE(raised([&] { b.DeleteTable(); }).kind, Kind::WrongState); // b is open
        QCOMPARE(raised([&] { b.setTableName("x"); }).kind, Kind::WrongState);
        b.Close();
        a.Open();
    }

    void exclusiveHoldsAcrossProcesses() {
        makeTempWord({"a"});
        TTable t;
        bind(t, "Temp_Word");
        {
            Holder holder(folder, "Temp_Word", "exclusive");
            QCOMPARE(holder.firstLine(), QString("ready"));
            QCOMPARE(raised([&] { t.Open(); }).kind, Kind::Locked);
            t.setExclusive(true);
            QCOMPARE(raised([&] { t.Open(); }).kind, Kind::Locked);
            holder.killHard(); // the hold dies with the process
            t.Open();
            t.Close();
        }
        {
            Holder holder(folder, "Temp_Word", "plain");
            QCOMPARE(holder.firstLine(), QString("ready"));
            QCOMPARE(raised([&] { t.Open(); }).kind, Kind::Locked);
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
            Holder plain(folder, "Temp_Word", "plain");
            QVERIFY(plain.firstLine().startsWith("error: File is locked"));
            QVERIFY(
                query(path("Temp_Word"), "SELECT count(*) FROM Temp_Word")[0].contains("locked"));
        }
        t.Close();
        Holder plain(folder, "Temp_Word", "plain");
        QCOMPARE(plain.firstLine(), QString("ready"));
    }

    // A kill leaves the file whole, as its last safe point left it: nothing
    // of the rows posted after it, wherever they were.
    void killedWriterLeavesItsLastSafePoint_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("textKey");
        QTest::addColumn<int>("kept");
        // A bulk fill keeps the rows in memory, then (past 64 MB) writes them
        // into the open transaction with the word index dropped.
        QTest::newRow("bulk fill") << "append" << false << 0;
        // After a safe point the rows go to the file in one transaction.
        QTest::newRow("after a safe point") << "flushed-append" << false << 1000;
        QTest::newRow("text key") << "flushed-append" << true << 1000;
    }

    void killedWriterLeavesItsLastSafePoint() {
        QFETCH(QString, mode);
        QFETCH(bool, textKey);
        QFETCH(int, kept);
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
            Holder writer(folder, "Temp_Word", mode);
            QCOMPARE(writer.firstLine(), QString("ready"));
            writer.killHard();
        }
        // Rows went to the file (the bulk fill's past 64 MB), uncommitted.
        QVERIFY(QFile::exists(path("Temp_Word") + "-journal"));
        TTable t;
        bind(t, "Temp_Word", true);
        t.Open(); // rolls the unfinished transaction back
        QCOMPARE(t.RecordCount(), kept);
        t.setIndexName("wordNdx");
        t.Close();
        QCOMPARE(query(path("Temp_Word"), "PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*), sum(Word = 'w' || Verses), "
                                          "coalesce(max(Verses), 0) FROM Temp_Word"),
                 QStringList{QStringLiteral("%1|%2|%1")
                                 .arg(kept)
                                 .arg(kept ? QString::number(kept) : QString())});
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM sqlite_master WHERE name = "
                                          "'wordNdx'"),
                 QStringList{"1"});
        QCOMPARE(query(path("Temp_Word"), "SELECT min(built) FROM _layout_indexes"),
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

    // The layout rows must describe the SQL table beside them: its fields in
    // order and every index marked built. The table's name is found without
    // regard to the case of its letters.
    void layoutsThatDisagreeWithTheirTableAreDamaged_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("refusal"); // empty: it opens
        const QList<std::pair<const char*, const char*>> cases = {
            {"", ""},
            {"ALTER TABLE Temp_Word RENAME TO T; ALTER TABLE T RENAME TO TEMP_WORD", ""},
            {"DROP INDEX wordNdx; UPDATE _layout_indexes SET built = 0 WHERE name = 'wordNdx'", ""},
            {"ALTER TABLE Temp_Word RENAME TO Other", "names no table Temp_Word"},
            {"ALTER TABLE Temp_Word RENAME COLUMN Word TO Other", "does not match its columns"},
            {"UPDATE _layout_fields SET position = position + 10; "
             "UPDATE _layout_fields SET position = 13 - position",
             "does not match its columns"},
            {"ALTER TABLE Temp_Word ADD COLUMN Extra INTEGER", "does not match its columns"},
            {"INSERT INTO _layout_fields VALUES (3, 'Extra', 'Integer', 0, 0)",
             "does not match its columns"},
            {"DROP INDEX wordNdx", "names a missing index wordNdx"},
            {"DROP INDEX wordNdx; CREATE TABLE Other (Word TEXT); "
             "CREATE INDEX wordNdx ON Other (Word)",
             "names a missing index wordNdx"},
        };
        for (const auto& [change, refusal] : cases)
            QTest::newRow(change) << QString(change) << QString(refusal);
    }
    void layoutsThatDisagreeWithTheirTableAreDamaged() {
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        makeTempWord({"a", "b"});
        if (!change.isEmpty())
            QCOMPARE(query(path("Temp_Word"), change.toUtf8().constData()), QStringList{});
        for (const bool exclusive : {false, true}) {
            TTable t;
            bind(t, "Temp_Word", exclusive);
            const Raised r = raised([&] { t.Open(); });
            if (refusal.isEmpty()) {
                QVERIFY2(!r.any, qPrintable(r.message));
                QCOMPARE(t.RecordCount(), 2);
                QCOMPARE(t.FieldByName("Word").AsString(), QString("a"));
                continue;
            }
            QCOMPARE(r.kind, Kind::Damaged);
            QVERIFY2(r.message.contains(refusal), qPrintable(r.message));
            QVERIFY(!t.Active());
        }
    }

    void damagedAndForeignFilesAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Kind>("kind");
        QTest::newRow("garbage") << "Garbage" << Kind::NotATable;
        QTest::newRow("empty") << "Empty" << Kind::NotATable;
        QTest::newRow("shorter than a header") << "Short" << Kind::NotATable;
        QTest::newRow("half a header") << "HalfHeader" << Kind::NotATable;
        QTest::newRow("header only") << "Header" << Kind::Damaged;
        QTest::newRow("end of last page cut") << "Tail" << Kind::Damaged;
        QTest::newRow("cut in half") << "Half" << Kind::Damaged;
        QTest::newRow("foreign database") << "Foreign" << Kind::NotATable;
        QTest::newRow("newer version") << "Newer" << Kind::NewerVersion;
        QTest::newRow("folder") << "Folder" << Kind::NotATable;
        QTest::newRow("pipe") << "Pipe" << Kind::NotATable;
        QTest::newRow("missing") << "Missing" << Kind::TableMissing;
    }

    void damagedAndForeignFilesAreRefused() {
        QFETCH(QString, name);
        QFETCH(Kind, kind);
        makeDamagedFile(name);
        for (const bool exclusive : {false, true}) {
            TTable t;
            bind(t, name, exclusive);
            const Raised r = raised([&] { t.Open(); });
            QVERIFY2(r.kind == kind, qPrintable(r.message));
            QVERIFY(!t.Active());
        }
        // A foreign database is left as it was; a damaged table can be deleted.
        if (name == "Foreign")
            QCOMPARE(query(path(name), "SELECT * FROM Foreign_"), QStringList{"1|2"});
        if (kind == Kind::Damaged) {
            TTable t;
            bind(t, name);
            t.DeleteTable();
            QVERIFY(!t.Exists());
        }
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
        QCOMPARE(raised([&] { t.Delete(); }).kind, Kind::WrongState);
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
        QCOMPARE(raised([&] { t.DeleteTable(); }).kind, Kind::WrongState); // still open
        t.Close();
        t.DeleteTable();
        QVERIFY(!t.Exists());
        QVERIFY(!QFile::exists(path("Temp_Word") + "-journal"));
        QCOMPARE(raised([&] { t.DeleteTable(); }).kind, Kind::TableMissing);
        QCOMPARE(raised([&] { t.EmptyTable(); }).kind, Kind::TableMissing);
    }

    void bulkWritesKeepTheLayout() {
        // Enough rows for several groups; the secondary index is built again
        // when the walk needs it, and stands in the file after Close.
        TTable t;
        createTempWord(t);
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

    // Rows kept in memory by a bulk fill come in the order the file gives
    // them once written, by every index: NULLs, case, descending order, two
    // fields, ties, and texts that the engine orders by their UTF-8 bytes.
    void bulkFillOrdersAsTheFileDoes_data() {
        QTest::addColumn<QString>("index");
        // Rows that come in key order, without a NULL number, are arranged
        // where they lie for an index on one text field.
        QTest::addColumn<bool>("inKeyOrder");
        QTest::newRow("primary") << "" << false;
        QTest::newRow("case-insensitive text") << "wordNdx" << false;
        QTest::newRow("descending number with NULLs") << "numNdx" << false;
        QTest::newRow("two fields") << "pairNdx" << false;
        QTest::newRow("primary, in key order") << "" << true;
        QTest::newRow("case-insensitive text, in key order") << "wordNdx" << true;
        QTest::newRow("descending text, in key order") << "wordDescNdx" << true;
        QTest::newRow("descending number, in key order") << "numNdx" << true;
    }

    void bulkFillOrdersAsTheFileDoes() {
        QFETCH(QString, index);
        QFETCH(bool, inKeyOrder);
        TTable t;
        bind(t, "Mixed", true);
        t.FieldDefs().Add("K", ftInteger, 0, true);
        t.FieldDefs().Add("W", ftString, 8, false);
        t.FieldDefs().Add("N", ftSmallint, 0, false);
        t.IndexDefs().Add("", "K", ixPrimary | ixUnique);
        t.IndexDefs().Add("wordNdx", "W", ixCaseInsensitive);
        t.IndexDefs().Add("numNdx", "N", ixDescending);
        t.IndexDefs().Add("pairNdx", "N;W", {});
        t.IndexDefs().Add("wordDescNdx", "W", ixDescending);
        t.CreateTable();
        t.Open();
        const QStringList words = {"apple", "Apple",
                                   "APPLE", "b",
                                   "B",     "",
                                   "é",     "𝔄",
                                   "�",     QString::fromUtf8("a\0b", 3),
                                   "ab",    QString::fromUtf8("a\0c", 3)};
        std::mt19937 random(7);
        t.setIndexName(index);
        for (int i = 0; i < 2000; ++i) {
            t.Append();
            t.Fields(0).setAsInteger(inKeyOrder ? 3 * i - 2000
                                     : i % 2    ? 1000000 - 37 * i
                                                : 53 * i - 50000);
            if (const auto w = random() % (words.size() + 1); w < size_t(words.size()))
                t.Fields(1).setAsString(words[qsizetype(w)]);
            if (const auto n = random() % 7; n < 6 || inKeyOrder)
                t.Fields(2).setAsInteger(n == 0 ? -32768 : n >= 5 ? 32767 : qint64(n));
            t.Post();
        }
        // Asked for its number, the row just posted stays current, wherever
        // the rows that are read in this order move to.
        t.AppendRecord({2000000, u"b"_s, 1});
        const QString lastPosted = u"2000000 b 1"_s;
        const int recNo = t.RecNo();
        QCOMPARE(t.Fields(0).AsString() + u' ' + t.Fields(1).AsString() + u' ' +
                     t.Fields(2).AsString(),
                 lastPosted);
        const auto rows = [&] {
            QStringList out;
            for (t.First(); !t.Eof(); t.Next())
                out << QStringLiteral("%1 %2 %3")
                           .arg(t.Fields(0).AsInteger())
                           .arg(t.Fields(1).IsNull() ? u"-"_s : t.Fields(1).AsString())
                           .arg(t.Fields(2).IsNull() ? u"-"_s : t.Fields(2).AsString());
            return out;
        };
        const QStringList inMemory = rows();
        QCOMPARE(inMemory.size(), 2001);
        QCOMPARE(inMemory[recNo - 1], lastPosted);
        t.setRecNo(777);
        QCOMPARE(t.Fields(0).AsString(), inMemory[776].section(u' ', 0, 0));
        QCOMPARE(t.RecNo(), 777);
        // The rows read in another order, and in this one again, are the same rows.
        t.setIndexName(QString());
        QStringList byKey = rows();
        t.setIndexName(index);
        QCOMPARE(rows(), inMemory);
        // A row posted after the rows were read in order takes its place.
        t.Append();
        t.Fields(0).setAsInteger(1000001);
        t.Fields(1).setAsString(u"apple"_s);
        t.Fields(2).setAsInteger(3);
        t.Post();
        byKey.insert(byKey.size() - 1, u"1000001 apple 3"_s); // before 2000000
        const QStringList withOneMore = rows();
        QCOMPARE(withOneMore.size(), 2002);
        QStringList withoutIt = withOneMore;
        QVERIFY(withoutIt.removeOne(u"1000001 apple 3"_s));
        QCOMPARE(withoutIt, inMemory);
        t.FlushBuffers(); // now the engine orders them
        QCOMPARE(rows(), withOneMore);
        t.setIndexName(QString());
        QCOMPARE(rows(), byKey);
    }

    // AppendRecord stores what Append, the setters and Post store, with their
    // checks, in a bulk fill and under a plain hold alike; a refused record
    // leaves nothing behind and the table browsing.
    void appendRecordAsTheFieldsDo_data() {
        QTest::addColumn<bool>("exclusive");
        QTest::newRow("bulk fill") << true;
        QTest::newRow("plain hold") << false;
    }
    void appendRecordAsTheFieldsDo() {
        QFETCH(bool, exclusive);
        TTable t;
        bind(t, "Temp_Word", exclusive);
        defineTempWord(t);
        t.CreateTable();
        t.Open();
        QString word = QStringLiteral("alpha");
        t.AppendRecord({20, word});
        // The record stands current, and a text set again from the same
        // buffer does not reach the row before.
        QCOMPARE(t.Fields(0).AsInteger(), 20);
        QCOMPARE(t.Fields(1).AsString(), QString("alpha"));
        word[0] = QLatin1Char('b');
        t.AppendRecord({qint64(10), word});
        word = QStringLiteral("12"); // a text for the number, a number for the text
        t.AppendRecord({word, 7});
        // A view's characters are the table's own once posted.
        char16_t buffer[] = u"delta";
        t.AppendRecord({25, QStringView(buffer, 5)});
        buffer[0] = u'x';
        QVERIFY(t.Fields(1).EqualsString(QStringLiteral("delta")));
        QVERIFY(!t.Fields(1).EqualsString(QStringLiteral("xelta")));
        QVERIFY(t.Fields(0).EqualsString(QStringLiteral("25")));
        append(t, 30, "gamma");
        const QString empty;
        const QList<std::pair<Raised, Kind>> refusals = {
            {raised([&] {
                 t.AppendRecord({20, word});
             }),
             Kind::KeyViolation},
            {raised([&] {
                 t.AppendRecord({40, empty});
             }),
             Kind::RequiredFieldMissing},
            {raised([&] {
                 t.AppendRecord({nullptr, word});
             }),
             Kind::RequiredFieldMissing},
            {raised([&] {
                 t.AppendRecord({qint64(1) << 40, word});
             }),
             Kind::OutOfRange},
            {raised([&] { t.AppendRecord({50}); }), Kind::WrongState},
        };
        for (const auto& [r, kind] : refusals) {
            QVERIFY2(r.any && r.kind == kind, qPrintable(r.message));
            QCOMPARE(t.State(), dsBrowse);
        }
        QCOMPARE(raised([&] {
                     t.AppendRecord({40, empty});
                 }).message,
                 QString("Field 'Word' must have a value."));
        QCOMPARE(t.RecordCount(), 5);
        t.setIndexName("wordNdx");
        t.First();
        QCOMPARE(t.Fields(1).AsString(), QString("7"));
        t.Close();
        QCOMPARE(query(path("Temp_Word"), "SELECT Verses || ' ' || Word FROM Temp_Word"),
                 (QStringList{"10 blpha", "12 7", "20 alpha", "25 delta", "30 gamma"}));
    }

    // A bulk fill refuses a taken key at Post, while keys come in order and
    // after, and the refused row is discarded as in the file.
    void bulkFillRefusesTakenKeys() {
        TTable t;
        createTempWord(t);
        const auto refused = [&](int key) {
            const Raised r = raised([&] { append(t, key, "again"); });
            const bool appending = t.State() == dsInsert;
            t.Delete();
            return r.kind == Kind::KeyViolation && appending;
        };
        for (const int key : {10, 20, 30})
            append(t, key, "w");
        QVERIFY(refused(30));
        QVERIFY(refused(20));
        for (const int key : {5, INT_MIN, INT_MAX})
            append(t, key, "w");
        for (const int key : {5, INT_MIN, INT_MAX, 10})
            QVERIFY2(refused(key), qPrintable(QString::number(key)));
        QCOMPARE(t.RecordCount(), 6);
        t.Close();
        QCOMPARE(query(path("Temp_Word"), "SELECT group_concat(Verses) FROM Temp_Word"),
                 QStringList{"-2147483648,5,10,20,30,2147483647"});
    }

    // A key search, a range or a deletion during a bulk fill takes the rows
    // to the file first, and then finds them there.
    void bulkFillMeetsSearchesRangesAndDeletions() {
        TTable t;
        createTempWord(t);
        for (const int key : {50, 10, 40, 20, 30})
            append(t, key, QStringLiteral("w%1").arg(key));
        t.SetKey();
        t.Fields(0).setAsInteger(40);
        QVERIFY(t.GotoKey());
        QCOMPARE(t.RecNo(), 4);
        append(t, 60, "w60"); // into the file now
        t.EditRangeStart();
        t.Fields(0).setAsInteger(20);
        t.EditRangeEnd();
        t.Fields(0).setAsInteger(50);
        t.ApplyRange();
        QCOMPARE(t.RecordCount(), 4);
        t.Delete();
        QCOMPARE(t.Fields(1).AsString(), QString("w30"));
        t.CancelRange();
        t.setIndexName("wordNdx");
        t.Last();
        QCOMPARE(t.Fields(1).AsString(), QString("w60"));
        QCOMPARE(t.RecordCount(), 5);
    }

    // Keys out of order in a bulk fill, as a word table gets them: a taken key
    // is refused wherever it lies (the same verse, the next verse, another
    // chapter, either end of the range, below zero), a free one next to a
    // taken one is not, and the rows reach the file in key order.
    void bulkFillTakenKeysOutOfOrder() {
        TTable t;
        createTempWord(t);
        const QList<qint32> keys = {0x01010105, 0x01010101, 0x010102ff, 0x01020100, 0x7fffffff,
                                    INT_MIN,    -1,         0,          0x0101ffff, 0x01010100};
        for (qint32 key : keys)
            append(t, key, QString::number(key));
        for (qint32 key : keys) {
            QCOMPARE(raised([&] { append(t, key, "taken"); }).kind, Kind::KeyViolation);
            t.Delete();
        }
        for (qint32 key :
             {0x01010104, 0x01010106, 0x01010200, 0x01000000, INT_MIN + 1, -2, 0x010102fe})
            append(t, key, QString::number(key));
        QCOMPARE(t.RecordCount(), 17);
        t.Close();
        QCOMPARE(
            query(path("Temp_Word"), "SELECT count(*), min(Verses), max(Verses) FROM Temp_Word"),
            QStringList{"17|-2147483648|2147483647"});
        QCOMPARE(query(path("Temp_Word"), "SELECT Word FROM Temp_Word LIMIT 2 OFFSET 6"),
                 (QStringList{"16843008", "16843009"}));
    }

    // Past its memory a fill whose keys come out of order, as a word table's
    // do (word by word, each word's keys ascending), puts its rows aside in
    // key order and goes on in memory: the file gets nothing meanwhile, a
    // taken key is refused whether its row was put aside or not, and the rows
    // reach the file whole, merged in key order, at the safe point or at the
    // first read that needs the file.
    // A fill given more memory puts its rows aside all the same, in runs of
    // 1 MiB, and the same comes of it.
    void bulkFillOutOfOrderPastItsMemory_data() {
        QTest::addColumn<bool>("readMidway");
        QTest::addColumn<size_t>("memory");
        QTest::newRow("written at close") << false << (size_t(1) << 20);
        QTest::newRow("read before close") << true << (size_t(1) << 20);
        QTest::newRow("runs within the memory") << false << (size_t(256) << 20);
    }
    void bulkFillOutOfOrderPastItsMemory() {
        QFETCH(bool, readMidway);
        QFETCH(size_t, memory);
        platform::tables::TableFile::setMemoryLimit(memory);
        const auto restore = qScopeGuard([] { platform::tables::TableFile::setMemoryLimit(0); });
        TTable t;
        createTempWord(t);
        constexpr int words = 8;
        constexpr int perWord = 40000; // 2.5 MB of rows: two runs put aside
        const auto keyOf = [](int word, int i) { return (i * words + word) * 2 + 2; };
        for (int w = 0; w < words; ++w)
            for (int i = 0; i < perWord; ++i)
                append(t, keyOf(w, i), QStringLiteral("w%1").arg(w));
        QVERIFY(!QFile::exists(path("Temp_Word") + "-journal")); // nothing written yet
        for (int key : {keyOf(0, 0), keyOf(3, 777), keyOf(words - 1, perWord - 1)}) {
            QCOMPARE(raised([&] { append(t, key, "taken"); }).kind, Kind::KeyViolation);
            t.Delete();
        }
        append(t, 3, "odd");
        const int rows = words * perWord + 1;
        if (readMidway) {
            t.setIndexName("wordNdx");
            QCOMPARE(t.RecordCount(), rows);
            t.First();
            QCOMPARE(t.Fields(1).AsString(), QString("odd"));
            t.Next();
            QCOMPARE(t.Fields(0).AsInteger(), keyOf(0, 0));
            QCOMPARE(t.Fields(1).AsString(), QString("w0"));
            QCOMPARE(raised([&] { append(t, keyOf(5, 5), "taken"); }).kind, Kind::KeyViolation);
            t.Delete();
        }
        t.Close();
        QCOMPARE(
            query(path("Temp_Word"), "SELECT count(*), min(Verses), max(Verses) FROM Temp_Word"),
            QStringList{QStringLiteral("%1|2|%2").arg(rows).arg(keyOf(words - 1, perWord - 1))});
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM Temp_Word WHERE Verses % 2 = 0 "
                                          "AND Word <> 'w' || ((Verses - 2) / 2 % 8)"),
                 QStringList{"0"});
        QCOMPARE(query(path("Temp_Word"), "SELECT built FROM _layout_indexes ORDER BY position"),
                 (QStringList{"1", "1"}));
    }

    // Texts are kept in 16 bits while a fill has fewer than 65,535 of them;
    // past that every row is widened, and reads before and after, in memory
    // and from the file, give the same rows. Small integers keep their sign.
    void bulkFillWidensItsTexts() {
        TTable t;
        bind(t, "Many", true);
        t.FieldDefs().Clear();
        t.FieldDefs().Add("K", ftInteger, 0, true);
        t.FieldDefs().Add("W", ftString, 10, false);
        t.FieldDefs().Add("S", ftSmallint, 0, true);
        t.IndexDefs().Clear();
        t.IndexDefs().Add("", "K", ixPrimary | ixUnique);
        t.IndexDefs().Add("wordNdx", "W", ixCaseInsensitive);
        t.CreateTable();
        t.Open();
        const int count = 70000;
        // Every seventh word ties with the next one in the index, the case apart.
        const auto word = [](int i) {
            return i % 7 ? QStringLiteral("t%1").arg(i) : QStringLiteral("T%1").arg(i + 1);
        };
        const auto small = [](int i) { return i % 65536 - 32768; };
        const auto rows = [&](int limit) {
            QStringList out;
            for (t.First(); !t.Eof() && out.size() < limit; t.Next())
                out << QStringLiteral("%1 %2 %3")
                           .arg(t.Fields(0).AsInteger())
                           .arg(t.Fields(1).IsNull() ? u"-"_s : t.Fields(1).AsString())
                           .arg(t.Fields(2).AsInteger());
            return out;
        };
        t.setIndexName("wordNdx");
        for (int i = 0; i < count; ++i) {
            const QString w = word(i);
            t.AppendRecord(
                {qint64(2 * i + 1), i % 1000 == 7 ? TRecordValue(nullptr) : w, small(i)});
            if (i == 40000) {
                // Narrow still: the rows so far, in word order.
                const QStringList early = rows(5);
                QCOMPARE(early.size(), 5);
                QCOMPARE(early.first(), u"15 - -32761"_s);
            }
        }
        QVERIFY(!QFile::exists(path("Many") + "-journal")); // all in memory
        const QStringList inMemory = rows(count);
        QCOMPARE(inMemory.size(), count);
        t.setIndexName(QString());
        t.setRecNo(count);
        QCOMPARE(t.Fields(1).AsString(), word(count - 1));
        QCOMPARE(t.Fields(2).AsInteger(), small(count - 1));
        t.setRecNo(32769);
        QCOMPARE(t.Fields(2).AsInteger(), 0);
        t.setIndexName("wordNdx");
        t.FlushBuffers(); // now the engine orders them
        QCOMPARE(rows(count), inMemory);
        t.Close();
        QCOMPARE(query(path("Many"), "SELECT count(DISTINCT W), count(*) - count(W), min(S), "
                                     "max(S), sum(S) FROM Many"),
                 QStringList{"69930|70|-32768|32767|-136347704"});
    }

    // A NULL number posted after rows were put aside reaches the file as
    // NULL, not as 0, and so do the numbers and texts around it.
    void bulkFillKeepsNullsOfRowsAfterARun() {
        TTable t;
        bind(t, "Nums", true);
        t.FieldDefs().Clear();
        t.FieldDefs().Add("K", ftInteger, 0, true);
        t.FieldDefs().Add("V", ftInteger, 0, false);
        t.FieldDefs().Add("W", ftString, 10, false);
        t.IndexDefs().Clear();
        t.IndexDefs().Add("", "K", ixPrimary | ixUnique);
        t.CreateTable();
        t.Open();
        // Out of key order, more than a run of 1 MiB.
        constexpr int rows = 150000;
        for (int i = 0; i < rows; ++i)
            t.AppendRecord({(i % 2) ? rows + i : rows - i, i, QStringLiteral("t")});
        t.AppendRecord({0, nullptr, nullptr});
        t.AppendRecord({1, 0, QStringLiteral("z")});
        t.Close();
        QCOMPARE(query(path("Nums"), "SELECT count(*), count(V), count(W) FROM Nums"),
                 QStringList{QStringLiteral("%1|%2|%2").arg(rows + 2).arg(rows + 1)});
        QCOMPARE(query(path("Nums"), "SELECT quote(V) || ' ' || quote(W) FROM Nums WHERE K < 2"),
                 (QStringList{"NULL NULL", "0 'z'"}));
    }

    // Past its memory a bulk fill goes on in the file: taken keys are still
    // refused, and every row is there, in order.
    void bulkFillPastItsMemory() {
        // The least memory a fill is given, whatever the machine.
        platform::tables::TableFile::setMemoryLimit(size_t(64) << 20);
        const auto restore = qScopeGuard([] { platform::tables::TableFile::setMemoryLimit(0); });
        TTable t;
        createTempWord(t);
        // 40,000 texts of 1,000 characters take more than the 64 MB.
        const QString filler(1000, QLatin1Char('x'));
        for (int k = 40000; k >= 1; --k)
            append(t, 2 * k, QStringLiteral("%1").arg(k, 5, 10, QLatin1Char('0')) + filler);
        QVERIFY(QFile::exists(path("Temp_Word") + "-journal")); // rows went to the file
        QCOMPARE(raised([&] { append(t, 2 * 40000, "taken"); }).kind, Kind::KeyViolation);
        t.Delete();
        QCOMPARE(raised([&] { append(t, 2, "taken"); }).kind, Kind::KeyViolation);
        t.Delete();
        append(t, 3, "3");
        QCOMPARE(t.RecordCount(), 40001);
        t.setIndexName("wordNdx");
        t.First();
        QCOMPARE(t.Fields(0).AsInteger(), 2); // "00001xxx..."
        t.Close();
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*), sum(Verses % 2) FROM Temp_Word"),
                 QStringList{"40001|1"});
        QCOMPARE(query(path("Temp_Word"), "PRAGMA integrity_check"), QStringList{"ok"});
    }

    // A table that is deleted next is closed without writing what was posted
    // since its last safe point.
    void closingWithoutWriting() {
        TTable t;
        createTempWord(t);
        append(t, 1, "kept");
        t.FlushBuffers();
        append(t, 2, "gone");
        t.CloseDiscarding();
        QVERIFY(!t.Active());
        QCOMPARE(query(path("Temp_Word"), "SELECT Verses, Word FROM Temp_Word"),
                 QStringList{"1|kept"});
        t.EmptyTable();
        t.Open();
        append(t, 7, "gone"); // a bulk fill, in memory
        t.CloseDiscarding();
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM Temp_Word"), QStringList{"0"});
        QCOMPARE(query(path("Temp_Word"), "PRAGMA integrity_check"), QStringList{"ok"});
    }

    // Emptying a closed table makes it a new file of its layout, as small as
    // an empty table; never while another program holds it.
    void emptyingAClosedTableRenewsItsFile() {
        TTable t;
        createTempWord(t);
        for (int k = 1; k <= 20000; ++k)
            append(t, k, QStringLiteral("word%1").arg(k));
        t.AddIndex("backNdx", "Word", ixDescending);
        t.Close();
        const qint64 full = QFileInfo(path("Temp_Word")).size();
        {
            Holder holder(folder, "Temp_Word", "plain");
            QCOMPARE(holder.firstLine(), QString("ready"));
            QCOMPARE(raised([&] { t.EmptyTable(); }).kind, Kind::Locked);
        }
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM Temp_Word"), QStringList{"20000"});
        QVERIFY(QFile::setPermissions(path("Temp_Word"), QFile::ReadOwner | QFile::WriteOwner));
        t.EmptyTable();
        QCOMPARE(QFile::permissions(path("Temp_Word")) & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QFileInfo(path("Temp_Word")).size() * 10 < full);
        QCOMPARE(query(path("Temp_Word"), "SELECT name, built FROM _layout_indexes"),
                 (QStringList{"|1", "wordNdx|1", "backNdx|1"}));
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM sqlite_master WHERE type = "
                                          "'index' AND name IN ('wordNdx', 'backNdx')"),
                 QStringList{"2"});
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"Temp_Word.db"});
    }

    // A table held exclusively is emptied the same way without letting go of
    // it first: a new file of its layout, whatever was posted since the last
    // safe point dropped, and the table open on the new file.
    void emptyingAHeldTableRenewsItsFile() {
        TTable t;
        createTempWord(t);
        for (int k = 1; k <= 20000; ++k)
            append(t, k, QStringLiteral("word%1").arg(k));
        t.AddIndex("backNdx", "Word", ixDescending);
        t.FlushBuffers();
        append(t, 20001, "posted");
        const qint64 full = QFileInfo(path("Temp_Word")).size();
        QVERIFY(QFile::setPermissions(path("Temp_Word"), QFile::ReadOwner | QFile::WriteOwner));
        QList<bool> changes;
        const QMetaObject::Connection watch =
            connect(&t, &TTable::activeChanged, this, [&](bool active) { changes.append(active); });
        t.EmptyHeldTable();
        disconnect(watch);
        QCOMPARE(changes, (QList<bool>{false, true}));
        QVERIFY(t.Active() && t.Exclusive());
        QCOMPARE(t.RecordCount(), 0);
        QCOMPARE(t.IndexDefs().Count(), 3);
        {
            TTable other;
            bind(other, "Temp_Word");
            QCOMPARE(raised([&] { other.Open(); }).kind, Kind::Locked);
        }
        append(t, 5, "again");
        t.Close();
        QCOMPARE(QFile::permissions(path("Temp_Word")) & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QFileInfo(path("Temp_Word")).size() * 10 < full);
        QCOMPARE(query(path("Temp_Word"), "SELECT Verses, Word FROM Temp_Word"),
                 QStringList{"5|again"});
        QCOMPARE(query(path("Temp_Word"), "SELECT name, built FROM _layout_indexes"),
                 (QStringList{"|1", "wordNdx|1", "backNdx|1"}));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"Temp_Word.db"});

        // Rows deleted but not yet at a safe point are the file's still: the
        // file is renewed all the same.
        t.Open();
        t.First();
        t.Delete();
        t.EmptyHeldTable();
        t.Close();
        QCOMPARE(query(path("Temp_Word"), "SELECT count(*) FROM Temp_Word"), QStringList{"0"});

        // Only a table held exclusively.
        t.setExclusive(false);
        QCOMPARE(raised([&] { t.EmptyHeldTable(); }).kind, Kind::WrongState);
        t.Open();
        QCOMPARE(raised([&] { t.EmptyHeldTable(); }).kind, Kind::WrongState);
        QVERIFY(t.Active());
    }

    // Every connection keeps its rollback journal, whatever a statement asks,
    // unless told that its file is nobody else's yet (a table being created).
    void journalTurnsOffOnlyWhenAllowed() {
        using platform::tables::Connection;
        using platform::tables::Statement;
        Connection file(folder + "New.db", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        const auto journalOff = [&] {
            Statement& st = file.statement(QStringLiteral("PRAGMA journal_mode=OFF"));
            file.step(st, QStringLiteral("Testing"));
            const QString mode = st.column(0).s;
            st.reset();
            return mode;
        };
        QCOMPARE(journalOff(), QString("delete"));
        file.allowJournalOff();
        QCOMPARE(journalOff(), QString("off"));
    }

    // Creating a table removes the temporary files that a killed process
    // left while creating one, never those of a process that runs.
    void leftoversOfKilledProcessesGo() {
        makeTempWord({"a"});
        Holder live(folder, "Temp_Word", "plain");
        Holder killed(folder, "Temp_Word", "plain");
        QCOMPARE(live.firstLine(), QString("ready"));
        QCOMPARE(killed.firstLine(), QString("ready"));
        const QString alive = QString::number(live.pid()), dead = QString::number(killed.pid());
        killed.killHard();
        const QString self = QString::number(QCoreApplication::applicationPid());
        const QStringList left = {"Key.db." + dead + ".new", "Key.db." + dead + ".new-journal",
                                  "Word.db." + dead + ".new-journal", "Freq.db." + self + ".new"};
        const QStringList running = {"Freq.db." + alive + ".new",
                                     "Freq.db." + alive + ".new-journal"};
        const QStringList others = {"Key.db.x" + dead + ".new", "Notes.db." + dead + ".new.txt",
                                    "Key.db-journal"};
        for (const QString& name : left + running + others)
            QVERIFY(testsupport::writeFile(folder + name, "x"));
        const auto create = [&] {
            TTable other;
            bind(other, "Other");
            defineFreq(other);
            other.CreateTable();
        };
        create();
        for (const QString& name : left)
            QVERIFY2(!QFile::exists(folder + name), qPrintable(name));
        for (const QString& name : running + others)
            QVERIFY2(QFile::exists(folder + name), qPrintable(name));
        live.killHard();
        create();
        for (const QString& name : running)
            QVERIFY2(!QFile::exists(folder + name), qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "tst_table.moc"
