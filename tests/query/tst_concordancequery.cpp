// The concordance-query program as a user runs it: copied into a program
// folder of the test's own beside a text that Build builds there. What each
// answer prints in each format, its exit status (0 found, 1 nothing, 2 an
// error with its message on standard error), and the figures of the KJV when
// one is built in the program folder of the build.

#include "tests/builder/testprogram.h"
#include "tests/support/processrun.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>

namespace {

const Verses smallText = {
    {verseKey(1, 1, 1), "In the beginning God created the heaven and the earth."},
    {verseKey(40, 1, 1), "The son of man, the Son of God."},
    {verseKey(43, 3, 16), "For God so loved the world, that he gave his only begotten Son."},
    {verseKey(43, 11, 35), "Jesus wept."},
};

struct Run {
    testsupport::ProcessResult result;
    int exitCode = result.exitCode;
    QStringList out = result.outLines();
    QString err = QString::fromUtf8(result.err);
};

} // namespace

class TestConcordanceQuery : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;

    Run query(const QStringList& arguments, const QString& executable = QString()) {
        return Run{testsupport::runProcess(
            executable.isEmpty() ? program->path(QStringLiteral("concordance-query")) : executable,
            arguments)};
    }

private slots:
    void initTestCase() {
        program = std::make_unique<TestProgram>(QStringLiteral("Text T"));
        auto dialog = program->makeDialog();
        writeVerseTable(dialog->dataPath, smallText);
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        // The program with its libraries, in the test's program folder.
        const QFileInfo built(QStringLiteral(QUERY_PROGRAM));
        QVERIFY(QFile::copy(built.filePath(), program->path(QStringLiteral("concordance-query"))));
        QDirIterator libraries(built.path(), {QStringLiteral("*.so*")}, QDir::Files);
        while (libraries.hasNext()) {
            const QFileInfo library(libraries.next());
            QVERIFY(QFile::copy(library.filePath(), program->path(library.fileName())));
        }
    }

    void answers_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::newRow("count") << QStringList{"--count", "god"} << 0 << QStringList{"3\t3"};
        QTest::newRow("count of a phrase, in TSV")
            << QStringList{"--count", "--format", "tsv", "\"the son\""} << 0
            << QStringList{"occurrences\tverses", "2\t1"};
        QTest::newRow("count in JSON") << QStringList{"--count", "--format", "json", "god"} << 0
                                       << QStringList{"{\"occurrences\":3,\"verses\":3}"};
        QTest::newRow("nothing found")
            << QStringList{"--count", "xyzzy"} << 1 << QStringList{"0\t0"};
        QTest::newRow("verses")
            << QStringList{"jesus", "OR", "heaven"} << 0
            << QStringList{"Genesis 1:1\tIn the beginning God created the heaven and the earth.",
                           "John 11:35\tJesus wept."};
        QTest::newRow("verses in a range")
            << QStringList{"--in", "NT", "god"} << 0
            << QStringList{"Matthew 1:1\tThe son of man, the Son of God.",
                           "John 3:16\tFor God so loved the world, that he gave his only "
                           "begotten Son."};
        QTest::newRow("verses in CSV, quoted where needed")
            << QStringList{"--format", "csv", "son -begotten"} << 0
            << QStringList{"reference,verse,positions,text",
                           "Matthew 1:1,671154432,2 6,\"The son of man, the Son of God.\""};
        QTest::newRow("per book") << QStringList{"--by-book", "god OR the"} << 0
                                  << QStringList{"Genesis\t4\t1", "Matthew\t3\t1", "John\t2\t1"};
        QTest::newRow("words of a prefix") << QStringList{"--words", "b*"} << 0
                                           << QStringList{"beginning\t1\t1", "begotten\t1\t1",
                                                          "2 words, 2 occurrences in 2 verses"};
        QTest::newRow("keyword in context")
            << QStringList{"--kwic", "2", "--format", "tsv", "\"son of\""} << 0
            << QStringList{"reference\tbefore\tmatch\tafter", "Matthew 1:1\tThe\tson of\tman, the",
                           "Matthew 1:1\tman, the\tSon of\tGod"};
    }
    void answers() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        const Run run = query(QStringList{"--text", "T"} + arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.result.report()));
        QCOMPARE(run.out, out);
        QCOMPARE(run.err, QString());
    }

    // One JSON object per verse: reference, verse key, positions and text.
    void jsonVerses() {
        const Run run = query({"--text", "T", "--format", "json", "\"son of\""});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.size(), 1);
        const QJsonObject verse = QJsonDocument::fromJson(run.out.first().toUtf8()).object();
        QCOMPARE(verse.value("reference").toString(), QStringLiteral("Matthew 1:1"));
        QCOMPARE(verse.value("verse").toInteger(), verseKey(40, 1, 1));
        QCOMPARE(verse.value("positions").toVariant().toList(), (QVariantList{2, 3, 6, 7}));
        QCOMPARE(verse.value("text").toString(), smallText[1].second);
    }

    void errors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err");
        QTest::newRow("bad query")
            << QStringList{"--text", "T", "\"son of"}
            << "concordance-query: the phrase at character 1 has no closing quote\n  \"son "
               "of\n  ^\n";
        QTest::newRow("unknown text") << QStringList{"--text", "X", "god"}
                                      << "concordance-query: there is no text X (no folder " +
                                             program->path("Text/X") + ")\n";
        QTest::newRow("a path for a text")
            << QStringList{"--text", "../T", "god"}
            << "concordance-query: \"../T\" is no text name: a text is a folder of " +
                   program->path("Text/") + "\n";
        QTest::newRow("bad range")
            << QStringList{"--text", "T", "--in", "Jhon", "god"}
            << "concordance-query: --in: \"Jhon\" is no book, chapter or verse range (try "
               "\"John\", \"Matthew-John\", \"John 1-3\", \"John 3:16\", \"OT\" or \"NT\")\n";
        QTest::newRow("a book the text lacks")
            << QStringList{"--text", "T", "--in", "Mark", "god"}
            << "concordance-query: --in: the text has no book Mark (in \"Mark\")\n";
        QTest::newRow("two answers at once") << QStringList{"--count", "--words", "god"}
                                             << "concordance-query: --count, --by-book, --words, "
                                                "--renderings and --kwic exclude one another\n";
        QTest::newRow("bad format")
            << QStringList{"--format", "xml", "god"}
            << "concordance-query: --format is text, tsv, csv or json, not \"xml\"\n";
        QTest::newRow("no query")
            << QStringList{"--text", "T"}
            << "concordance-query: give a query, for example: concordance-query --count jesus "
               "(see --help)\n";
        QTest::newRow("unknown option")
            << QStringList{"--cuont", "god"}
            << "concordance-query: unknown option --cuont\n"
               "Usage: concordance-query [--text NAME] [--in RANGE]\n"
               "                         [--count | --by-book | --words | --renderings | --kwic "
               "N]\n"
               "                         [--format text|tsv|csv|json] QUERY\n"
               "       concordance-query --help | --version\n"
               "Try \"concordance-query --help\" for more.\n";
    }
    void errors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        const Run run = query(arguments);
        QVERIFY2(run.exitCode == 2, qPrintable(run.result.report()));
        QCOMPARE(run.err, err);
        QCOMPARE(run.out, QStringList());
    }

    // Without --text: the only text there is; among several, the name is asked for.
    void choosingTheText() {
        Run run = query({"--count", "god"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.result.report()));
        QCOMPARE(run.out, QStringList{"3\t3"});
        const QString other = program->path(QStringLiteral("Text/N/"));
        QDir().mkpath(other);
        writeVerseTable(other, smallText);
        run = query({"--count", "god"});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err, QStringLiteral("concordance-query: name the text with --text (N, T)\n"));
        run = query({"--text", "N", "god"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("has no concordance yet")), qPrintable(run.err));
        QDir(other).removeRecursively();
    }

    void helpAndVersion() {
        Run run = query({"--help"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.join('\n').contains(QStringLiteral("--kwic <N>")));
        run = query({"--version"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.size(), 1);
        QVERIFY(run.out.first().startsWith(QStringLiteral("concordance-query ")));
    }

    // The KJV as the quick start builds it, when it is there.
    void kjv_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("last");
        QTest::newRow("jesus") << QStringList{"--count", "jesus"} << "973\t935";
        QTest::newRow("the son of man") << QStringList{"--count", "\"the son of man\""} << "97\t94";
        QTest::newRow("bless*") << QStringList{"--words", "bless*"}
                                << "7 words, 522 occurrences in 463 verses";
        QTest::newRow("a Strong's number") << QStringList{"--count", "g0026"} << "117\t106";
        QTest::newRow("its renderings")
            << QStringList{"--renderings", "H2617"}
            << "15 renderings, 248 occurrences (word elements) in 241 verses";
    }
    void kjv() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, last);
        if (arguments.last().startsWith('H') || arguments.last().startsWith('g')) {
            if (!QFileInfo::exists(QStringLiteral(KJV_FOLDER "StrongsWord.db")))
                QSKIP("The KJV in the program folder has no Strong's numbers");
        }
        if (!QFileInfo::exists(QStringLiteral(KJV_FOLDER "Word.db")) ||
            QFileInfo::exists(QStringLiteral(KJV_FOLDER "Temp_Word.db")))
            QSKIP("No KJV is built in the program folder (tools/run.sh builds one)");
        const Run run =
            query(QStringList{"--text", "KJV"} + arguments, QStringLiteral(QUERY_PROGRAM));
        QVERIFY2(run.exitCode == 0, qPrintable(run.result.report()));
        QCOMPARE(run.out.last(), last);
    }
};

QTEST_MAIN(TestConcordanceQuery)
#include "tst_concordancequery.moc"
