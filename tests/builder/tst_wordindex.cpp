// Stages 2 and 3 of the build without a dialog: the temporary word table from
// the verses, and the word, key and frequency tables built from it, with what
// each stage reports on the way.

#include "builder/Oddsandsods.h"
#include "builder/Wordlists.h"
#include "builder/Wordtables.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"

namespace {

// Records what a stage reports.
class RecordingReport : public StageReport {
public:
    QStringList statuses;
    int progress = 0;
    int eventRounds = 0;

    void showStatus(const QString& text) override { statuses << text; }
    void setProgress(int position) override { progress = position; }
    void processEvents() override { ++eventRounds; }
};

} // namespace

class TestWordIndex : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    TTable bible, tempWord, word, key, freq;
    RecordingReport report;
    testsupport::MessageCapture messages; // messages.lines() as "caption: text"

    BuildText text() { return {dir->path() + "/", "KJV", 18, &word, &key, &freq}; }

    // Runs stage 2, and stage 3 unless told not to, on `verses` as the
    // pipeline does.
    void index(const Verses& verses, bool frequencies = true) {
        writeVerseTable(text().dataPath, verses);
        openTable(&bible, "Bible", tkExisting, false, text());
        openTable(&key, "Key", tkKey, true, text());
        openTable(&freq, "Freq", tkFreq, true, text());
        openTable(&word, "Word", tkIndexedRec, true, text());
        openTable(&tempWord, "Temp_Word", tkWord, false, text());
        TWordTables(report).build(&bible, &tempWord);
        if (frequencies)
            TWordList(report, text()).buildTables(&tempWord);
    }

private slots:
    void init() {
        for (TTable* table : {&bible, &tempWord, &word, &key, &freq})
            table->Close();
        dir = std::make_unique<QTemporaryDir>();
        report = RecordingReport();
        messages.clear();
    }

    void occurrenceKeys() {
        const int k = verseKey(1, 1, 1);
        index({{k, "In the beginning God created the heaven and the earth."},
               {verseKey(1, 1, 2), "... --"},
               {verseKey(1, 1, 3), "And God said"}},
              false);
        const QStringList all = rows(&tempWord);
        QCOMPARE(all.size(), 13);
        QCOMPARE(all.first(), QString("%1 in").arg(k + 1));
        QCOMPARE(all[9], QString("%1 earth").arg(k + 10));
        // The second verse yields nothing; the third starts again at 1.
        QCOMPARE(all[10], QString("%1 and").arg(verseKey(1, 1, 3) + 1));
        QVERIFY(messages.lines().isEmpty());
    }

    // Verses far longer than any fixed buffer are indexed whole, and a short
    // verse after them keeps nothing of theirs.
    void longVersesAreIndexedWhole() {
        const QString long5000 = QStringLiteral("abcdefghijklmnopqrstuvwx ").repeated(200);
        index({{verseKey(1, 1, 1), long5000}, {verseKey(1, 1, 2), "short"}}, false);
        QCOMPARE(tempWord.RecordCount(), 201);
        tempWord.Last();
        QCOMPARE(tempWord.Fields(1).AsString(), QString("short"));
    }

    // Every 37 verses a report; the progress step is the verse count / 40.
    void runningReports_data() {
        QTest::addColumn<int>("verses");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<int>("progress");
        QTest::newRow("36: none") << 36
                                  << QStringList{"Indexing verse 0 of 36", "36 records processed"}
                                  << 0;
        QTest::newRow("40: at the 37th")
            << 40 << QStringList{"Indexing verse 0 of 40", "Verse 37 of 40", "40 records processed"}
            << 37;
        QTest::newRow("80: step 2") << 80
                                    << QStringList{"Indexing verse 0 of 80", "Verse 37 of 80",
                                                   "Verse 74 of 80", "80 records processed"}
                                    << 37;
    }
    void runningReports() {
        QFETCH(int, verses);
        QFETCH(QStringList, statuses);
        QFETCH(int, progress);
        Verses all;
        for (int v = 1; v <= verses; ++v)
            all.append({verseKey(1, 2, v), "amen"});
        index(all, false);
        QCOMPARE(report.statuses, statuses);
        QCOMPARE(report.progress, progress);
        // The window processes its events at each running report only.
        QCOMPARE(report.eventRounds, statuses.size() - 2);
    }

    void collidingKeysStopWithAMessage() {
        // Keys 1000 and 1005 with six words in the first verse: 1006 is asked
        // for twice.
        index({{1000, "one two three four five six"}, {1005, "seven eight"}, {2000, "nine"}},
              false);
        QCOMPARE(rows(&tempWord), QStringList({"1001 one", "1002 two", "1003 three", "1004 four",
                                               "1005 five", "1006 six"}));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.lines()[0].startsWith("TWordTable::build: Key violation.\r\n"));
        QVERIFY(messages.lines()[0].contains("1005"));
        QVERIFY(!report.statuses.contains("3 records processed"));
    }

    void theTheAnd() {
        const int k = verseKey(1, 1, 1);
        index({{k, "the the and"}}, false);
        TWordList list(report, text());
        list.buildTables(&tempWord);
        QCOMPARE(rows(&key), QStringList({"and", "the"}));
        QCOMPARE(rows(&freq), QStringList({"1 1 3", "2 2 3"}));
        QCOMPARE(rows(&word), QStringList({QString("%1 2").arg(k + 1), QString("%1 2").arg(k + 2),
                                           QString("%1 1").arg(k + 3)}));
        QString counted;
        for (int c = 0; c < 256; ++c)
            if (list.characterCounts()[size_t(c)])
                counted += QChar(c) + QString::number(list.characterCounts()[size_t(c)]);
        QCOMPARE(counted, QString("a1d1e2h2n1t2"));
        QCOMPARE(report.statuses.last(), QString("Total Words 2"));
        QVERIFY(messages.lines().isEmpty());
    }

    void progressReportsAtWordBoundariesPast200Rows() {
        // 301 occurrences: "a" at rows 1-150, "b" at 151-300, "c" at 301.
        Verses verses;
        for (int v = 1; v <= 150; ++v)
            verses.append({verseKey(2, 1, v), "a b"});
        verses.append({verseKey(2, 2, 1), "c"});
        index(verses);
        const QStringList& shown = report.statuses;
        QVERIFY(shown.contains("a - word # 1 of 301 words"));
        QVERIFY(!shown.contains("b - word # 151 of 301 words"));
        QVERIFY(shown.contains("c - word # 301 of 301 words"));
        QCOMPARE(report.progress, 301 / 5 + 40);
        QCOMPARE(shown.last(), QString("Total Words 3"));
    }

    void noWordsStoreNothing() {
        index({{verseKey(1, 1, 1), "... !!"}});
        QCOMPARE(key.RecordCount() + freq.RecordCount() + word.RecordCount(), 0);
        QCOMPARE(report.statuses.last(), QString("Total Words 0"));
        QVERIFY(messages.lines().isEmpty());
    }

    void countBeyondItsFieldIsRefusedAndReported() {
        // 70,000 occurrences of one word do not fit the 16-bit unsigned count.
        const QString amens = QStringLiteral("amen ").repeated(100);
        Verses verses;
        for (int v = 0; v < 700; ++v)
            verses.append({verseKey(1 + v / 200, 1 + v % 200, 1), amens});
        index(verses);
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.lines()[0].startsWith("TWordList::buildTables: "));
        QVERIFY(messages.lines()[0].contains("70000"));
        QCOMPARE(freq.RecordCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWordIndex)
#include "tst_wordindex.moc"
