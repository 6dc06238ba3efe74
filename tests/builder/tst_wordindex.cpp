// Stages 2 and 3 of the build without a dialog: the temporary word table from
// the verses, and the word, key and frequency tables built from it, with what
// each stage reports on the way.

#include "builder/Wordlists.h"
#include "tests/builder/stagetables.h"
#include "tests/support/messagecapture.h"

class TestWordIndex : public QObject {
    Q_OBJECT
    std::unique_ptr<StageTables> tables;
    TTable *bible = nullptr, *tempWord = nullptr, *word = nullptr, *key = nullptr, *freq = nullptr;
    RecordingReport report;
    testsupport::MessageCapture messages; // messages.lines() as "caption: text"

    // `verses` verses of one hundred "amen" each.
    static Verses amens(int verses) {
        const QString line = QStringLiteral("amen ").repeated(100);
        Verses all;
        for (int v = 0; v < verses; ++v)
            all.append({verseKey(1 + v / 200, 1 + v % 200, 1), line});
        return all;
    }

    BuildText text() { return tables->text(); }

    // Runs stage 2, and stage 3 unless told not to, on `verses` as the
    // pipeline does.
    void index(const Verses& verses, bool frequencies = true) {
        tables->index(verses, report);
        if (frequencies)
            TWordList(report, text()).buildTables(tempWord);
    }

private slots:
    void init() {
        tables = std::make_unique<StageTables>();
        bible = &tables->bible;
        tempWord = &tables->tempWord;
        word = &tables->word;
        key = &tables->key;
        freq = &tables->freq;
        report = RecordingReport();
        messages.clear();
    }

    void occurrenceKeys() {
        const int k = verseKey(1, 1, 1);
        index({{k, "In the beginning God created the heaven and the earth."},
               {verseKey(1, 1, 2), "... --"},
               {verseKey(1, 1, 3), "And God said"}},
              false);
        const QStringList all = rows(tempWord);
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
        QCOMPARE(tempWord->RecordCount(), 201);
        tempWord->Last();
        QCOMPARE(tempWord->Fields(1).AsString(), QString("short"));
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
        QCOMPARE(rows(tempWord), QStringList({"1001 one", "1002 two", "1003 three", "1004 four",
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
        list.buildTables(tempWord);
        QCOMPARE(rows(key), QStringList({"and", "the"}));
        QCOMPARE(rows(freq), QStringList({"1 1 3", "2 2 3"}));
        QCOMPARE(rows(word), QStringList({QString("%1 2").arg(k + 1), QString("%1 2").arg(k + 2),
                                          QString("%1 1").arg(k + 3)}));
        QString counted;
        for (int c = 0; c < 256; ++c)
            if (list.characterCounts()[size_t(c)])
                counted += QChar(c) + QString::number(list.characterCounts()[size_t(c)]);
        QCOMPARE(counted, QString("a1d1e2h2n1t2"));
        QVERIFY(report.statuses.contains("Total Words 2"));
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
        QVERIFY(shown.contains("Total Words 3"));
    }

    void noWordsStoreNothing() {
        index({{verseKey(1, 1, 1), "... !!"}});
        QCOMPARE(key->RecordCount() + freq->RecordCount() + word->RecordCount(), 0);
        QVERIFY(report.statuses.contains("Total Words 0"));
        QVERIFY(messages.lines().isEmpty());
    }

    // A word may occur more than 65,535 times: the count is read back exactly.
    void countsBeyond16Bits() {
        index(amens(700));
        QVERIFY2(messages.lines().isEmpty(), qPrintable(messages.lines().join('\n')));
        QCOMPARE(rows(freq), QStringList{"1 70000 4"});
        QCOMPARE(word->RecordCount(), 70000);
    }

    // A "Freq" of the former layout (count field 16-bit) is made anew.
    void formerFreqLayoutIsWidened() {
        writeTable(
            text().dataPath, "Freq",
            [](TFieldDefs& fields, TIndexDefs& indexes) {
                concordance::defineFreqTable(fields, indexes);
                fields.Clear();
                fields.Add("F1", ftSmallint, 0, true);
                fields.Add("F2", ftWord, 0, true);
                fields.Add("F3", ftSmallint, 0, true);
            },
            [](TTable&) {});
        index(amens(700));
        QVERIFY2(messages.lines().isEmpty(), qPrintable(messages.lines().join('\n')));
        QCOMPARE(freq->FieldByName("F2").DataType(), ftInteger);
        QCOMPARE(rows(freq), QStringList{"1 70000 4"});
        QVERIFY(freq->Exclusive());
    }

    // Past 255 words a verse has no keys left: the rest of it is left out,
    // the next verse is indexed, and the cut verses are reported once.
    void longVerseIsCutTo255Words() {
        const int k = verseKey(17, 1, 1);
        index({{k, QStringLiteral("w ").repeated(300)}, {k + 256, "next"}});
        QCOMPARE(word->RecordCount(), 256);
        QCOMPARE(rows(freq), (QStringList{"1 1 4", "2 255 1"}));
        tempWord->setIndexName(QString());
        tempWord->Last();
        QCOMPARE(tempWord->Fields(0).AsInteger(), k + 256 + 1);
        tempWord->Prior();
        QCOMPARE(tempWord->Fields(0).AsInteger(), k + 255);
        QCOMPARE(messages.lines(), QStringList{"TWordTable::build: 1 verse has more than 255 "
                                               "words, more than a verse has keys for; only the "
                                               "first 255 words of each were indexed: Esther 1:1"});
    }

    void manyCutVersesNameTheFirstFive_data() {
        QTest::addColumn<int>("cut");
        QTest::addColumn<QString>("tail");
        QTest::newRow("3") << 3
                           << "words of each were indexed: Esther (Greek) 1:1, Esther "
                              "(Greek) 1:2, Esther (Greek) 1:3";
        QTest::newRow("7") << 7 << "(Greek) 1:5 and 2 more";
    }
    void manyCutVersesNameTheFirstFive() {
        QFETCH(int, cut);
        QFETCH(QString, tail);
        Verses verses;
        for (int v = 1; v <= cut; ++v)
            verses.append({verseKey(69, 1, v), QStringLiteral("a ").repeated(256)});
        index(verses);
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.lines()[0].endsWith(tail), qPrintable(messages.lines()[0]));
        QCOMPARE(word->RecordCount(), 255 * cut);
    }

    // The occurrence keys of a verse must stay within the signed 32-bit
    // range; a verse whose keys would not is left out, the rest is built.
    void keysPastTheRangeLeaveTheVerseOut_data() {
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("words");
        QTest::addColumn<int>("indexed");
        QTest::newRow("top key, one word") << INT_MAX << 1 << 0;
        QTest::newRow("last verse key, 255 words") << verseKey(127, 255, 255) << 255 << 255;
        QTest::newRow("last verse key, cut to 255") << verseKey(127, 255, 255) << 300 << 255;
        QTest::newRow("one key too many") << verseKey(127, 255, 255) + 1 << 255 << 0;
        QTest::newRow("top key, no words") << INT_MAX << 0 << 0;
    }
    void keysPastTheRangeLeaveTheVerseOut() {
        QFETCH(int, last);
        QFETCH(int, words);
        QFETCH(int, indexed);
        index({{verseKey(1, 1, 1), "first"}, {last, QStringLiteral("x ").repeated(words) + "."}});
        QCOMPARE(word->RecordCount(), 1 + indexed);
        QCOMPARE(key->RecordCount(), indexed ? 2 : 1);
        const QStringList skipped = messages.lines().filter("not indexed");
        QCOMPARE(skipped.size(), indexed == 0 && words > 0 ? 1 : 0);
        if (!skipped.isEmpty())
            QVERIFY2(skipped[0].startsWith("TWordTable::build: 1 verse was not indexed: the keys "
                                           "of its words would pass 2,147,483,647"),
                     qPrintable(skipped[0]));
    }

    // 32,767 word numbers: one more distinct word stops the build with one
    // message naming the limit, and no table keeps part of the words.
    void tooManyDistinctWords() {
        Verses verses;
        QString line;
        for (int n = 0; n <= concordance::maxDistinctWords; ++n) {
            line += QString(QChar('a' + n / 26 / 26 / 26 % 26)) + QChar('a' + n / 26 / 26 % 26) +
                    QChar('a' + n / 26 % 26) + QChar('a' + n % 26) + ' ';
            if (n % 200 == 199 || n == concordance::maxDistinctWords) {
                verses.append(
                    {verseKey(1, 1 + int(verses.size()) / 200, 1 + verses.size() % 200), line});
                line.clear();
            }
        }
        QString error;
        try {
            index(verses);
        } catch (const platform::Exception& e) {
            error = e.message();
        }
        QVERIFY2(error.contains("more than 32,767 different words"), qPrintable(error));
        QVERIFY(messages.lines().isEmpty());
        QCOMPARE(key->RecordCount() + freq->RecordCount() + word->RecordCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWordIndex)
#include "tst_wordindex.moc"
