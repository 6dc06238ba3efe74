// A build killed at any moment: every table file it leaves is whole, and the
// next build removes what it left and makes the same tables as a build that
// was never interrupted.

#include "builder/Oddsandsods.h"
#include "platform/gui/application.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"
#include "tests/support/processrun.h"
#include "tests/support/sqlfile.h"

#include <random>

namespace {

// 6,000 verses of some 30 words each, drawn from 2,000 words of which a few
// are common: long enough for the build to take a while at every stage, and
// for the word table to be written through the rollback journal (its file
// grows past the engine's cache before the end of the build).
Verses manyVerses() {
    std::mt19937 random(1611);
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

} // namespace

class TestInterruptedBuild : public QObject {
    Q_OBJECT

    Verses verses = manyVerses();
    QStringList expected; // the tables of a build that was not interrupted

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
        QTest::newRow("complete") << "built" << 0;
    }

    void killedBuild() {
        QFETCH(QString, moment);
        QFETCH(int, ms);
        TestProgram program;
        const QString folder = program.path("Text/KJV/");
        QVERIFY(QDir().mkpath(folder));
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
        // "Build complete" is shown only when the tables are on disk.
        if (moment == "built")
            QCOMPARE(tableRows(folder), expected);

        buildHere(program);
        QCOMPARE(tableRows(folder), expected);
        // Nothing left of the interrupted build: no temporary table, no new
        // file that did not take its place, no journal.
        QCOMPARE(QDir(folder).entryList({"*.db*"}, QDir::Files),
                 (QStringList{"Bible.db", "Freq.db", "Key.db", "Word.db"}));
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
