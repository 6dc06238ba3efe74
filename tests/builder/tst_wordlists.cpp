// The six word-list files of stage 3: their bytes for a small text, the header
// block they share, numbers and headings, the status texts, lists that cannot
// be replaced, created or written, a table error in the middle of a list, a
// text without words, a second build, and the whole build against the
// independent reference of tools/ on generated texts with odd cases.

#include "builder/Wordlists.h"
#include "tests/builder/stagetables.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"
#include "tests/support/processrun.h"

#include <QDateTime>
#include <QRegularExpression>
#include <csignal>
#include <sys/resource.h>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

const QStringList suffixes = {"_Freq", "_List", "_Alpha", "_Length", "_CharFreq", "_Pcre"};

// The lines of a list file (split at "\r\n").
QList<QByteArray> linesOf(const QByteArray& file) {
    return file.split('\n');
}

// The file without its header block (its first five lines).
QByteArray body(const QByteArray& file) {
    qsizetype at = 0;
    for (int line = 0; line < 5 && at >= 0; ++line)
        at = file.indexOf("\r\n", at) + 2;
    return file.mid(at);
}

// Holds the size limit of the files this process writes at `bytes` while it
// lives; a write past it fails (EFBIG) instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved{};
};

} // namespace

class TestWordLists : public QObject {
    Q_OBJECT
    std::unique_ptr<StageTables> tables;
    RecordingReport report;
    testsupport::MessageCapture messages; // messages.lines() as "caption: text"

    QByteArray list(const QString& suffix) const { return readFile(tables->list(suffix)); }

    // Stages 2 and 3 on `verses`; the tables are committed and the lists
    // named.
    void build(const Verses& verses) {
        tables->index(verses, report);
        TWordList lists(report, tables->text());
        lists.buildTables(&tables->tempWord);
        lists.commit();
    }
    // The list files of the folder, and the unnamed ones beside them.
    QStringList listFiles() const {
        return QDir(tables->folder()).entryList({"*.txt", "*.txt.part"}, QDir::Files);
    }
    static Verses theTheAndVerse() { return {{verseKey(1, 1, 1), "The the, and."}}; }
    void buildTheTheAnd() { build(theTheAndVerse()); }
    // The files of the folder that are neither a list nor a table's.
    QStringList strayFiles() const {
        QStringList stray =
            QDir(tables->folder()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        stray.removeIf([](const QString& name) { return name.contains(".db"); });
        for (const QString& suffix : suffixes)
            stray.removeAll("KJV" + suffix + ".txt");
        return stray;
    }

private slots:
    void init() {
        tables = std::make_unique<StageTables>();
        report = RecordingReport();
        messages.clear();
    }

    // The, the, and: each file after its header, byte for byte.
    void theTheAnd_data() {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("_Freq") << "_Freq"
                               << QByteArray("Word\tCount\tPercent\r\n\r\n"
                                             "the\t2\t66.666,660 %\r\n"
                                             "and\t1\t33.333,330 %\r\n\r\n\r\n");
        QTest::newRow("_List") << "_List" << QByteArray("and\r\nthe\r\n\r\n\r\n");
        QTest::newRow("_Alpha") << "_Alpha"
                                << QByteArray("Word\tCount\r\n\r\nand\t1\r\nthe\t2\r\n\r\n\r\n");
        QTest::newRow("_Length") << "_Length"
                                 << QByteArray("Word\tCount\r\n\r\n\t\tWords 3 characters long\r\n"
                                               "and\t1\r\nthe\t2\r\n\r\n\r\n");
        QTest::newRow("_CharFreq")
            << "_CharFreq"
            << QByteArray("Frequency of word length occurrence\r\n\r\n"
                          "Length\tDifferent\tTotal\tPercent of total\r\n"
                          "3\t2\t3\t100.00 %\r\n"
                          "\r\n\r\nFrequency of character occurrence\r\n\r\n"
                          "Dec\tGlyph\tCount\tPercent\tGraph\r\n"
                          "97\ta\t1\t11.11 %\t" +
                          QByteArray(34, '-') + "\r\n100\td\t1\t11.11 %\t" + QByteArray(34, '-') +
                          "\r\n101\te\t2\t22.22 %\t" + QByteArray(67, '-') +
                          "\r\n104\th\t2\t22.22 %\t" + QByteArray(67, '-') +
                          "\r\n110\tn\t1\t11.11 %\t" + QByteArray(34, '-') +
                          "\r\n116\tt\t2\t22.22 %\t" + QByteArray(67, '-') +
                          "\r\n\r\n\r\nTotal character count: 9"
                          "\r\n\r\nCharacters sorted by frequency of occurrence\r\n\r\n"
                          "ehtadnbcfgijklmopqrsuvwxyz\r\n\r\n");
    }
    void theTheAnd() {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, bytes);
        buildTheTheAnd();
        QCOMPARE(body(list(suffix)), bytes);
        QVERIFY(messages.lines().isEmpty());
    }

    // The search file: the words and a line feed after each, nothing else.
    void searchFileIsEightBytes() {
        buildTheTheAnd();
        QCOMPARE(list("_Pcre"), QByteArray("and\nthe\n"));
    }

    // Every list but the search file starts with its own path, then the same
    // date and totals in all of them.
    void headerBlock() {
        const QDateTime before = QDateTime::currentDateTime();
        buildTheTheAnd();
        const QByteArray shared = linesOf(list("_Freq")).mid(1, 4).join('\n');
        for (const QString& suffix : suffixes.mid(0, 5)) {
            const QList<QByteArray> lines = linesOf(list(suffix));
            QCOMPARE(lines[0], QFile::encodeName(tables->list(suffix)) + "\r");
            QCOMPARE(lines.mid(1, 4).join('\n'), shared);
        }
        const QList<QByteArray> lines = linesOf(list("_Alpha"));
        QCOMPARE(lines[2], QByteArray("Total word count 3\r"));
        QCOMPARE(lines[3], QByteArray("Different words 2\r"));
        QCOMPARE(lines[4], QByteArray("\r"));
        // "yyyy mmm dd, hh:nn" with the short month name, at the build's time.
        QStringList dates;
        for (QDateTime at = before; at <= QDateTime::currentDateTime().addSecs(60);
             at = at.addSecs(60))
            dates << QLocale().toString(at, QStringLiteral("yyyy MMM dd, hh:mm")) + "\r";
        QVERIFY2(dates.contains(QString::fromLocal8Bit(lines[1])), lines[1].constData());
    }

    // The build's status texts around the lists, spellings included.
    void statusTexts() {
        buildTheTheAnd();
        const qsizetype at = report.statuses.indexOf("Total Words 2");
        QCOMPARE(
            report.statuses.mid(at),
            (QStringList{"Total Words 2", "Creating frequency wordlist.", "Creating Frequenct text",
                         "Creating simple wordlist.", "Creating Simple List",
                         "Creating alpha wordlist.", "Creating Alpha List",
                         "Creating length sorted wordlist.", "Creating word list sorted by length",
                         "Creating character frequency file.", "Creating character file",
                         "Creating PCRE search file.", "Creating PCRE file"}));
    }

    // A count of 12,345 is written with its comma in every list; a length
    // (here of a word of 1,234 letters) never is.
    void countsAndLengths() {
        Verses verses;
        for (int v = 1; v <= 50; ++v)
            verses.append(
                {verseKey(2, 1, v), QStringLiteral("amen ").repeated(v <= 45 ? 247 : 246)});
        verses.append({verseKey(2, 2, 1), QString(1234, 'x')});
        build(verses);
        QVERIFY(list("_Freq").contains("\namen\t12,345\t"));
        QVERIFY(list("_Alpha").contains("\namen\t12,345\r\n"));
        QVERIFY(list("_Length").contains("\r\n\t\tWords 1234 characters long\r\nxxxx"));
        QVERIFY(list("_Length").contains("\namen\t12,345\r\n"));
        const QByteArray charFreq = list("_CharFreq");
        QVERIFY(charFreq.contains("\n1234\t1\t1\t0.01 %\r\n4\t1\t12,345\t99.99 %\r\n"));
        QVERIFY(charFreq.contains("\n120\tx\t1,234\t"));
    }

    // One heading per length, longest first, each followed by its words.
    void oneHeadingPerLength() {
        build({{verseKey(1, 1, 1), "fives three a sixsix four two fiver one b"}});
        const QByteArray text = body(list("_Length"));
        QCOMPARE(text, QByteArray("Word\tCount\r\n"
                                  "\r\n\t\tWords 6 characters long\r\nsixsix\t1\r\n"
                                  "\r\n\t\tWords 5 characters long\r\nfiver\t1\r\nfives\t1\r\n"
                                  "three\t1\r\n"
                                  "\r\n\t\tWords 4 characters long\r\nfour\t1\r\n"
                                  "\r\n\t\tWords 3 characters long\r\none\t1\r\ntwo\t1\r\n"
                                  "\r\n\t\tWords 1 characters long\r\na\t1\r\nb\t1\r\n\r\n\r\n"));
    }

    // The report's corners: punctuation inside words, DEL, a letter of 100 %.
    void characterRows() {
        build({{verseKey(1, 1, 1), QStringLiteral("aa-a a'a b\x7f")}});
        const QByteArray charFreq = list("_CharFreq");
        for (const char* row :
             {"\n39\t'\t1\t11.11 %\t", "\n45\t-\t1\t11.11 %\t", "\n127\tdel\t1\t11.11 %\t"})
            QVERIFY2(charFreq.contains(row + QByteArray(34, '-') + "\r\n"), row);
        QVERIFY(charFreq.contains("\n97\ta\t5\t55.56 %\t" + QByteArray(167, '-') + "\r\n"));
    }
    void wholeText() {
        build({{verseKey(1, 1, 1), "aaa"}});
        QVERIFY(
            list("_CharFreq").contains("\n97\ta\t3\t100.00 %\t" + QByteArray(301, '-') + "\r\n"));
        QVERIFY(list("_Freq").contains("\naaa\t1\t100.000,000 %\r\n"));
    }

    // Without any word: no rows to divide, totals of 0, and 0.00 % where a
    // share of nothing is asked for.
    void noWords() {
        build({{verseKey(1, 1, 1), "... !"}});
        QVERIFY(messages.lines().isEmpty());
        for (const QString& suffix : suffixes.mid(0, 5))
            QVERIFY(list(suffix).contains("\r\nTotal word count 0\r\nDifferent words 0\r\n"));
        QCOMPARE(body(list("_Freq")), QByteArray("Word\tCount\tPercent\r\n\r\n\r\n\r\n"));
        QCOMPARE(body(list("_List")), QByteArray("\r\n\r\n"));
        QCOMPARE(body(list("_Length")), QByteArray("Word\tCount\r\n\r\n\r\n"));
        QCOMPARE(body(list("_CharFreq")),
                 QByteArray("Frequency of word length occurrence\r\n\r\n"
                            "Length\tDifferent\tTotal\tPercent of total\r\n"
                            "0\t0\t0\t0.00 %\r\n"
                            "\r\n\r\nFrequency of character occurrence\r\n\r\n"
                            "Dec\tGlyph\tCount\tPercent\tGraph\r\n"
                            "\r\n\r\nTotal character count: 0"
                            "\r\n\r\nCharacters sorted by frequency of occurrence\r\n\r\n"
                            "abcdefghijklmnopqrstuvwxyz\r\n\r\n"));
        QVERIFY(QFile::exists(tables->list("_Pcre")));
        QCOMPARE(list("_Pcre"), QByteArray());
    }

    // A list whose old file cannot be removed (a folder stands in its place)
    // is reported and skipped: its own status never shows, the next list
    // builds the header, and the build goes on.
    void firstListCannotBeReplaced() {
        QVERIFY(QDir().mkpath(tables->list("_Freq") + "/inside"));
        buildTheTheAnd();
        QCOMPARE(messages.lines(),
                 QStringList{"TWordList::createTextFile - delete: " + qt_error_string(EISDIR)});
        QVERIFY(report.statuses.contains("Creating frequency wordlist."));
        QVERIFY(!report.statuses.contains("Creating Frequenct text"));
        for (const QString& suffix : suffixes.mid(1))
            QVERIFY2(!list(suffix).isEmpty(), qPrintable(suffix));
        QCOMPARE(body(list("_List")), QByteArray("and\r\nthe\r\n\r\n\r\n"));
        QVERIFY(QFileInfo(tables->list("_Freq")).isDir());
        QCOMPARE(strayFiles().join(" "), QString());
    }

    // A list file that cannot be made is reported, once per list.
    void listsCannotBeCreated() {
        // A text's name so long that no list's file name can be made.
        tables = std::make_unique<StageTables>(QString(250, 'N'));
        buildTheTheAnd();
        QCOMPARE(messages.lines(), QStringList(6, "TWordList::createTextFile - create: " +
                                                      qt_error_string(ENAMETOOLONG)));
        for (const char* own : {"Creating Frequenct text", "Creating Simple List",
                                "Creating Alpha List", "Creating word list sorted by length",
                                "Creating character file", "Creating PCRE file"})
            QVERIFY2(!report.statuses.contains(own), own);
        QCOMPARE(QDir(tables->folder()).entryList(QDir::Files).filter(".txt"), QStringList());
    }

    // A write that fails (here: past the file size limit, as on a full disk)
    // is reported naming the writer and the file, the short list is removed,
    // and the next list is written.
    void failedWriteIsReportedAndRemoved() {
        tables->index(theTheAndVerse(), report);
        TWordList lists(report, tables->text());
        lists.buildTables(&tables->tempWord);
        for (TTable* table : {&tables->tempWord, &tables->word, &tables->key, &tables->freq})
            table->FlushBuffers();
        messages.clear();
        {
            const FileSizeLimit limit(100);
            lists.writeFrequencyList();
            lists.writePcreFile();
        }
        lists.commit();
        QCOMPARE(messages.lines(),
                 QStringList{"TWordList::writeFrequencyList - write " + tables->list("_Freq") +
                             ": " + qt_error_string(EFBIG)});
        QVERIFY(!QFile::exists(tables->list("_Freq")));
        QCOMPARE(list("_Pcre"), QByteArray("and\nthe\n"));
        QCOMPARE(strayFiles().join(" "), QString());
    }

    // A table error in the middle of a list ends it without a file; the
    // lists written before it go unnamed with the build.
    void tableErrorLeavesNoList() {
        tables->index(theTheAndVerse(), report);
        {
            TWordList lists(report, tables->text());
            lists.buildTables(&tables->tempWord);
            tables->freq.Close();
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, lists.writeFrequencyList());
            QVERIFY(!QFile::exists(tables->list("_Freq")));
            QVERIFY(!QFile::exists(tables->list("_Freq") + ".part"));
        }
        QCOMPARE(strayFiles().join(" "), QString());
        QCOMPARE(listFiles(), QStringList());
    }

    // The lists take their names only when the tables they describe are
    // committed; lists never named go with the object that wrote them.
    void listsAreNamedAtCommit() {
        tables->index(theTheAndVerse(), report);
        {
            TWordList lists(report, tables->text());
            lists.buildTables(&tables->tempWord);
            QCOMPARE(listFiles().filter(QRegularExpression("\\.txt$")), QStringList());
            QCOMPARE(listFiles().size(), 6);
            lists.commit();
            QCOMPARE(listFiles().filter(QRegularExpression("\\.txt$")).size(), 6);
            QCOMPARE(listFiles().filter(".part"), QStringList());
        }
        QCOMPARE(listFiles().size(), 6);
        QCOMPARE(messages.lines(), QStringList());

        tables->index(theTheAndVerse(), report);
        {
            TWordList lists(report, tables->text());
            lists.buildTables(&tables->tempWord);
        }
        // The lists above were not removed (the pipeline does that), the
        // unnamed ones are gone.
        QCOMPARE(listFiles().filter(".part"), QStringList());
    }

    // Removing a text's lists takes its six lists and unnamed ones a killed
    // build left, and nothing else; one that cannot go is reported.
    void removingTheLists() {
        build(theTheAndVerse());
        for (const char* other : {"KJV_Freq.txt.part", "KJV_Pcre.txt.part", "KJVA_Freq.txt",
                                  "KJV_Notes.txt", "KJV_Freq.bak"})
            QVERIFY(writeFile(tables->folder() + other, "x"));
        QVERIFY(TWordList::removeLists(tables->folder(), "KJV"));
        QStringList left = QDir(tables->folder()).entryList({"*.txt*", "*.bak"}, QDir::Files);
        left.sort();
        QCOMPARE(left, (QStringList{"KJVA_Freq.txt", "KJV_Freq.bak", "KJV_Notes.txt"}));
        QCOMPARE(messages.lines(), QStringList());

        QVERIFY(QDir().mkpath(tables->list("_Alpha") + "/inside"));
        QVERIFY(!TWordList::removeLists(tables->folder(), "KJV"));
        QCOMPARE(messages.lines(),
                 QStringList{"TWordList::removeLists - delete " + tables->list("_Alpha") + ": " +
                             qt_error_string(EISDIR)});
    }

    // A second build replaces every file whole.
    void secondBuildReplacesEveryFile() {
        build({{verseKey(1, 1, 1), QStringLiteral("quokka zebra ").repeated(400)}});
        buildTheTheAnd();
        QCOMPARE(body(list("_Alpha")),
                 QByteArray("Word\tCount\r\n\r\nand\t1\r\nthe\t2\r\n\r\n\r\n"));
        for (const QString& suffix : suffixes) {
            const QByteArray file = list(suffix);
            QVERIFY2(!file.contains("quokka") && !file.contains("zebra"), qPrintable(suffix));
        }
        QVERIFY(list("_CharFreq").contains("\r\nTotal word count 3\r\n"));
        QCOMPARE(strayFiles().join(" "), QString());
    }

    // The six files of generated texts with odd cases are those that the
    // independent reference computes from the same verse table.
    void matchTheReference_data() {
        QTest::addColumn<Verses>("verses");
        QStringList many;
        for (int i = 0; i < 300; ++i)
            many << QStringLiteral("w%1").arg(i % 260);
        QTest::newRow("odd cases")
            << Verses{{-1000, "Before Genesis: a negative key."},
                      {verseKey(1, 1, 1), "(Selah). LORD's disciples', end.' well-known 1:1 ...and "
                                          "'Tis"},
                      {verseKey(1, 1, 2), QStringLiteral("caf\u00e9s na\u00efve \x7f\x7f ab\x7f"
                                                         "cd --- \ttab\nline\r")},
                      {verseKey(1, 1, 3), "a_b a[b aab a`b a^b a\\b a]b Zebra zebra ZEBRA"},
                      {verseKey(1, 1, 4), many.join(' ')},
                      {verseKey(1, 1, 5), QString(40, 'q') + " {braces} |pipes| ~x~ @at@ a@b"},
                      {verseKey(2, 1, 1), QStringLiteral("The the and AND And. ").repeated(7)},
                      {verseKey(127, 255, 254), QStringLiteral("top ").repeated(256)},
                      {verseKey(127, 255, 255) + 1, QStringLiteral("over ").repeated(255)},
                      {INT_MAX, "last"}};
        QTest::newRow("taken key")
            << Verses{{1000, "one two three four five six"}, {1005, "seven"}, {2000, "nine"}};
        QTest::newRow("no words") << Verses{{verseKey(1, 1, 1), "... !!"}};
    }
    void matchTheReference() {
        QFETCH(Verses, verses);
        build(verses);
        tables->close();
        const testsupport::ProcessResult run = testsupport::runProcess(
            QStringLiteral("bash"), {COMPARE_LISTS, "--name", "KJV", tables->folder(), BUILD_DIR});
        QVERIFY2(run.exitCode == 0, qPrintable(run.report()));
    }
};

QTEST_GUILESS_MAIN(TestWordLists)
#include "tst_wordlists.moc"
