// A build killed at any moment: every table file it leaves is whole, every
// word list beside the tables describes them (none is left of the build
// before, none of this build beside tables that are not yet its own), and the
// next build removes what it left and makes the same tables as a build that
// was never interrupted.

#include "builder/Oddsandsods.h"
#include "platform/gui/application.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"
#include "tests/support/processrun.h"
#include "tests/support/sqlfile.h"

#include <QElapsedTimer>
#include <QMap>
#include <QRegularExpression>
#include <random>

namespace {

// 6,000 verses of some 30 words each, drawn from 2,000 words of which a few
// are common: long enough for the build to take a while at every stage, and
// for the word table to be written through the rollback journal (its file
// grows past the engine's cache before the end of the build). Another seed
// makes another text, whose build and lists differ from this one's.
Verses manyVerses(unsigned seed = 1611) {
    std::mt19937 random(seed);
    std::vector<double> weights(2000);
    for (size_t i = 0; i < weights.size(); ++i)
        weights[i] = 1.0 / (double(i) + 2.0);
    std::discrete_distribution<int> word(weights.begin(), weights.end());
    std::uniform_int_distribution<int> length(5, 55);
    Verses verses;
    for (int i = 0; i < 6000; ++i) {
        QStringList words;
        for (int n = length(random); n > 0; --n)
            words << QStringLiteral("w%1").arg(word(random), 0, 36);
        verses.append({verseKey(i / 3000 + 1, i / 30 % 100 + 1, i % 30 + 1),
                       words.join(QLatin1Char(' ')) + '.'});
    }
    return verses;
}

// The rows of the three tables as another program reads them.
QStringList tableRows(const QString& folder) {
    QStringList rows;
    for (const char* sql : {"SELECT * FROM Key ORDER BY rowid", "SELECT * FROM Freq ORDER BY rowid",
                            "SELECT * FROM Word ORDER BY rowid"}) {
        const QString table = QString::fromLatin1(sql).section(' ', 3, 3);
        rows << testsupport::sqlRows(folder + table + ".db", sql);
    }
    return rows;
}

const QStringList listSuffixes = {"_Freq", "_List", "_Alpha", "_Length", "_CharFreq", "_Pcre"};

// The word lists of the folder by suffix, each without what differs between
// two builds of the same text: the folder's path and the time of the build.
QMap<QString, QByteArray> lists(const QString& folder) {
    QMap<QString, QByteArray> found;
    // The folder as the header spells it ("/tmp/x/./Text/KJV/", say).
    static const QRegularExpression folderPath(QStringLiteral("[^\\r\\n]*/Text/KJV/"));
    static const QRegularExpression time(QStringLiteral("\\r\\n\\d{4} \\S+ \\d\\d, "
                                                        "\\d\\d:\\d\\d\\r\\n"));
    for (const QString& suffix : listSuffixes) {
        QFile file(folder + "KJV" + suffix + ".txt");
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString text = QString::fromLatin1(file.readAll());
        text.replace(folderPath, QStringLiteral("<folder>/"));
        text.replace(time, QStringLiteral("\r\n<time>\r\n"));
        found.insert(suffix, text.toLatin1());
    }
    return found;
}

// The rows of one of the three tables as another program reads them.
QStringList rowsOf(const QString& folder, const QString& table) {
    const QByteArray sql = "SELECT * FROM " + table.toLatin1() + " ORDER BY rowid";
    return testsupport::sqlRows(folder + table + ".db", sql.constData());
}

} // namespace

class TestInterruptedBuild : public QObject {
    Q_OBJECT

    Verses verses = manyVerses();
    Verses earlierVerses = manyVerses(1560);
    QStringList expected; // the tables of a build that was not interrupted
    // What a complete build of each text makes: rows by table, lists by suffix.
    struct Made {
        QMap<QString, QStringList> tables;
        QMap<QString, QByteArray> lists;
    };
    Made made, earlierMade;
    qint64 buildMs = 0; // how long a build runs, from its first text to "built"

    // Builds `text` in a program folder of its own and keeps what it made.
    Made completeBuild(const Verses& text) {
        TestProgram program;
        const QString folder = program.path("Text/KJV/");
        QDir().mkpath(folder);
        writeVerseTable(folder, text);
        buildHere(program);
        Made result;
        for (const char* table : {"Key", "Freq", "Word"})
            result.tables.insert(table, rowsOf(folder, table));
        result.lists = lists(folder);
        return result;
    }

    // Whatever the build was killed doing: each of the three tables is that
    // of the earlier build, empty or that of the new one, and the lists
    // beside them are the earlier build's while all three tables are, or the
    // new build's while all three are, and otherwise there is none. No list
    // is half written.
    void verifyListsDescribeTheTables(const QString& folder) {
        QStringList states;
        for (const char* table : {"Key", "Freq", "Word"}) {
            const QStringList rows = rowsOf(folder, table);
            if (rows == made.tables[table])
                states << "new";
            else if (rows == earlierMade.tables[table])
                states << "earlier";
            else if (rows.isEmpty())
                states << "empty";
            else
                QFAIL(qPrintable(QStringLiteral("%1 holds rows of no build").arg(table)));
        }
        const QMap<QString, QByteArray> found = lists(folder);
        const QString built = states.count(states[0]) == 3 ? states[0] : QString();
        const Made* describes = built == "new"       ? &made
                                : built == "earlier" ? &earlierMade
                                                     : nullptr;
        for (auto list = found.cbegin(); list != found.cend(); ++list) {
            QVERIFY2(describes,
                     qPrintable("KJV" + list.key() + ".txt beside tables " + states.join(", ")));
            QVERIFY2(
                list.value() == describes->lists.value(list.key()),
                qPrintable("KJV" + list.key() + ".txt is not that of the " + built + " build"));
        }
    }

    // Builds in this process, as "OK Build" does, and closes the tables.
    void buildHere(TestProgram& program) {
        testsupport::MessageCapture messages;
        auto dialog = program.makeDialog();
        dialog->B_BuildClick(nullptr);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        QCOMPARE(messages.lines(), QStringList());
    }

private slots:
    void initTestCase() {
        made = completeBuild(verses);
        earlierMade = completeBuild(earlierVerses);
        QCOMPARE(made.lists.size(), 6);
        QCOMPARE(earlierMade.lists.size(), 6);
        QVERIFY(made.lists["_Alpha"] != earlierMade.lists["_Alpha"]);
        {
            TestProgram program;
            QVERIFY(QDir().mkpath(program.path("Text/KJV")));
            writeVerseTable(program.path("Text/KJV/"), verses);
            testsupport::ChildProcess build(QCoreApplication::applicationDirPath() +
                                                "/build_holder",
                                            {program.path("."), "texts"});
            QVERIFY(!build.readLine().isEmpty());
            QElapsedTimer clock;
            clock.start();
            QString line;
            do
                line = build.readLine();
            while (!line.isEmpty() && line != "built");
            QCOMPARE(line, QStringLiteral("built"));
            buildMs = clock.elapsed();
        }

        TestProgram program;
        QVERIFY(QDir().mkpath(program.path("Text/KJV")));
        writeVerseTable(program.path("Text/KJV/"), verses);
        buildHere(program);
        expected = tableRows(program.path("Text/KJV/"));
        qsizetype occurrences = 0;
        for (const auto& verse : verses)
            occurrences += verse.second.count(' ') + 1;
        QCOMPARE(
            testsupport::sqlRows(program.path("Text/KJV/Word.db"), "SELECT count(*) FROM Word"),
            QStringList{QString::number(occurrences)});
    }

    void killedBuild_data() {
        // The kill comes `ms` after the first line of the build that holds
        // `moment`.
        QTest::addColumn<QString>("moment");
        QTest::addColumn<int>("ms");
        QTest::newRow("stage 1") << "caption:  Building - Stage 1 of 4" << 0;
        QTest::newRow("temporary table made") << "status: Stage 1 complete" << 0;
        QTest::newRow("indexing") << "status: Verse 2,960 of 6,000" << 0;
        QTest::newRow("indexed") << "status: Stage 2 complete." << 0;
        QTest::newRow("numbering words") << " - word # " << 0;
        for (const int ms : {0, 10, 30, 60})
            QTest::addRow("writing the tables, %d ms", ms) << "status: Total Words" << ms;
        for (const char* list : {"Creating frequency wordlist.", "Creating simple wordlist.",
                                 "Creating alpha wordlist.", "Creating length sorted wordlist.",
                                 "Creating character frequency file."})
            QTest::addRow("%s", list) << QStringLiteral("status: ") + list << 0;
        // The last list, then the tables committed and the lists named.
        for (const int ms : {0, 2, 5, 10, 20, 40, 80})
            QTest::addRow("last list, %d ms", ms) << "status: Creating PCRE file" << ms;
        QTest::newRow("complete") << "built" << 0;
        // And at moments spread evenly over the build's time: the n-th of
        // them -n ms after its start.
        for (int n = 1; n <= 9; ++n)
            QTest::addRow("%d/10 of the time", n) << "caption:  Building" << -n;
    }

    void killedBuild() {
        QFETCH(QString, moment);
        QFETCH(int, ms);
        if (ms < 0)
            ms = int(buildMs * -ms / 10);
        TestProgram program;
        const QString folder = program.path("Text/KJV/");
        QVERIFY(QDir().mkpath(folder));
        // The tables and lists of an earlier build of another text.
        writeVerseTable(folder, earlierVerses);
        buildHere(program);
        writeVerseTable(folder, verses);
        {
            testsupport::ChildProcess build(QCoreApplication::applicationDirPath() +
                                                "/build_holder",
                                            {program.path("."), "texts"});
            QString line;
            do
                line = build.readLine();
            while (!line.isEmpty() && !line.contains(moment));
            QVERIFY2(!line.isEmpty(), "the build ended before that moment");
            QTest::qSleep(ms);
            build.kill();
        }
        const QStringList files = QDir(folder).entryList({"*.db"}, QDir::Files);
        for (const QString& file : files)
            QCOMPARE(testsupport::sqlRows(folder + file, "PRAGMA integrity_check"),
                     QStringList{"ok"});
        verifyListsDescribeTheTables(folder);
        // "Build complete" is shown only when the tables and lists are on disk.
        if (moment == "built") {
            QCOMPARE(tableRows(folder), expected);
            QCOMPARE(lists(folder), made.lists);
        }

        buildHere(program);
        QCOMPARE(tableRows(folder), expected);
        QCOMPARE(lists(folder), made.lists);
        // Nothing left of the interrupted build: no temporary table, no new
        // file that did not take its place, no journal, no unnamed list.
        QCOMPARE(QDir(folder).entryList({"*.db*"}, QDir::Files),
                 (QStringList{"Bible.db", "Freq.db", "Key.db", "Word.db"}));
        QCOMPARE(QDir(folder).entryList({"*.part"}, QDir::Files), QStringList());
    }
};

// The program's own application object, as Build has it.
int main(int argc, char** argv) {
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));
    TestInterruptedBuild test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_interruptedbuild.moc"
