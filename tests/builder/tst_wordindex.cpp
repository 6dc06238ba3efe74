// Stages 2 and 3 of the build: splitting verses into words, the temporary word
// table, and the word, key and frequency tables built from it.

#include "builder/Oddsandsods.h"
#include "builder/Wordlists.h"
#include "builder/Wordtables.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"

#include <QProgressBar>
#include <numeric>

namespace {

QStringList split(const QByteArray& text) {
    QList<QByteArray> words;
    TWordTables::splitVerse(text, words);
    QStringList out;
    for (const QByteArray& w : words)
        out << QString::fromLatin1(w);
    return out;
}

} // namespace

class TestWordIndex : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;
    std::unique_ptr<TRebuildDlg> dialog;
    testsupport::MessageCapture messages; // messages.lines() as "caption: text"
    QStringList statuses;

    // Runs stages 2 and 3 on `verses` as the pipeline does.
    void index(const Verses& verses, bool frequencies = true) {
        writeVerseTable(dialog->dataPath, verses);
        openTable(dialog->T_Bible, "Bible", tkExisting, false);
        openTable(dialog->T_Key, "Key", tkKey, true);
        openTable(dialog->T_Freq, "Freq", tkFreq, true);
        openTable(dialog->T_Word, "Word", tkIndexedRec, true);
        openTable(dialog->T_TempWord, "Temp_Word", tkWord, false);
        TWordTables(dialog->StatusBar, dialog->ProgressBar)
            .build(dialog->T_Bible, dialog->T_TempWord);
        if (frequencies)
            TWordList(dialog->StatusBar, dialog->ProgressBar).buildTables(dialog->T_TempWord);
    }

private slots:
    void init() {
        messages.clear();
        statuses.clear();
        program = std::make_unique<TestProgram>("Text KJV");
        dialog = program->makeDialog();
    }
    void cleanup() {
        dialog.reset();
        program.reset();
    }

    void numbersHaveCommasBetweenGroups() {
        QCOMPARE(formatNumber(0), QString("0"));
        QCOMPARE(formatNumber(100), QString("100"));
        QCOMPARE(formatNumber(999), QString("999"));
        QCOMPARE(formatNumber(1000), QString("1,000"));
        QCOMPARE(formatNumber(31102), QString("31,102"));
        QCOMPARE(formatNumber(100000), QString("100,000"));
        QCOMPARE(formatNumber(1234567), QString("1,234,567"));
    }

    void wordRule_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("Genesis 1:1")
            << QByteArray("In the beginning God created the heaven and the earth.")
            << QStringList{"in",  "the",    "beginning", "god", "created",
                           "the", "heaven", "and",       "the", "earth"};
        QTest::newRow("parenthesis") << QByteArray("(Selah).") << QStringList{"selah"};
        QTest::newRow("apostrophes") << QByteArray("LORD's disciples', end.' 'Tis")
                                     << QStringList{"lord's", "disciples'", "end.'", "tis"};
        QTest::newRow("inner punctuation")
            << QByteArray("well-known 1:1 ...and") << QStringList{"well-known", "1:1", "and"};
        QTest::newRow("only punctuation") << QByteArray(" -- ;: ... ") << QStringList{};
        QTest::newRow("high byte splits") << QByteArray("caf\xe9s") << QStringList{"caf", "s"};
        QTest::newRow("utf-8 splits")
            << QByteArray("king\xe2\x80\x99s") << QStringList{"king", "s"};
        QTest::newRow("tabs and lines") << QByteArray("A\tB\r\nC") << QStringList{"a", "b", "c"};
        QTest::newRow("only A-Z lowered")
            << QByteArray("ABC[]^_`xyz{|}~") << QStringList{"abc[]^_`xyz"};
        QTest::newRow("empty") << QByteArray() << QStringList{};
    }
    void wordRule() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, words);
        QCOMPARE(split(text), words);
    }

    void longVersesAreSplitWhole() {
        // Far longer than any fixed verse buffer: every word is found.
        QByteArray text;
        for (int i = 0; i < 500; ++i)
            text += "word" + QByteArray::number(i) + ", ";
        const QStringList words = split(text);
        QCOMPARE(words.size(), 500);
        QCOMPARE(words.last(), QString("word499"));
    }

    void occurrenceKeysAndReports() {
        const int k = verseKey(1, 1, 1);
        Verses verses{{k, "In the beginning God created the heaven and the earth."},
                      {verseKey(1, 1, 2), "... --"},
                      {verseKey(1, 1, 3), "And God said"}};
        for (int v = 4; v <= 40; ++v)
            verses.append({verseKey(1, 1, v), "amen"});
        QStringList shown;
        connect(dialog->StatusBar, &TStatusBar::panelTextChanged, this,
                [&](const QString& t) { shown << t; });
        index(verses, false);
        TTable* temp = dialog->T_TempWord;
        QCOMPARE(temp->RecordCount(), 10 + 3 + 37);
        temp->First();
        QCOMPARE(temp->Fields(0).AsInteger(), k + 1);
        QCOMPARE(temp->Fields(1).AsString(), QString("in"));
        temp->setRecNo(10);
        QCOMPARE(temp->Fields(0).AsInteger(), k + 10);
        QCOMPARE(temp->Fields(1).AsString(), QString("earth"));
        temp->Next(); // the second verse yielded nothing; the third starts at 1
        QCOMPARE(temp->Fields(0).AsInteger(), verseKey(1, 1, 3) + 1);
        // 40 verses: one report at the 37th, progress step 1.
        QCOMPARE(shown,
                 QStringList({"Indexing verse 0 of 40", "Verse 37 of 40", "40 records processed"}));
        QCOMPARE(dialog->ProgressBar->value(), 37);
        QVERIFY(messages.lines().isEmpty());
    }

    void fewVersesHaveNoRunningReport() {
        Verses verses;
        for (int v = 1; v <= 36; ++v)
            verses.append({verseKey(1, 2, v), "amen"});
        QStringList shown;
        connect(dialog->StatusBar, &TStatusBar::panelTextChanged, this,
                [&](const QString& t) { shown << t; });
        index(verses, false);
        QCOMPARE(shown, QStringList({"Indexing verse 0 of 36", "36 records processed"}));
        QCOMPARE(dialog->ProgressBar->value(), 0);
    }

    void collidingKeysStopWithAMessage() {
        // Keys 1000 and 1005 with six words in the first verse: 1006 is asked
        // for twice.
        index({{1000, "one two three four five six"}, {1005, "seven eight"}, {2000, "nine"}},
              false);
        QCOMPARE(rows(dialog->T_TempWord), QStringList({"1001 one", "1002 two", "1003 three",
                                                        "1004 four", "1005 five", "1006 six"}));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.lines()[0].startsWith("TWordTable::build: Key violation.\r\n"));
        QVERIFY(messages.lines()[0].contains("1005"));
        QVERIFY(dialog->StatusBar->panelText() != "3 records processed");
    }

    void theTheAnd() {
        const int k = verseKey(1, 1, 1);
        index({{k, "the the and"}}, false);
        TWordList list(dialog->StatusBar, dialog->ProgressBar);
        list.buildTables(dialog->T_TempWord);
        QCOMPARE(rows(dialog->T_Key), QStringList({"and", "the"}));
        QCOMPARE(rows(dialog->T_Freq), QStringList({"1 1 3", "2 2 3"}));
        QCOMPARE(rows(dialog->T_Word),
                 QStringList({QString("%1 2").arg(k + 1), QString("%1 2").arg(k + 2),
                              QString("%1 1").arg(k + 3)}));
        const auto& counts = list.characterCounts();
        QCOMPARE(counts['t'], 2);
        QCOMPARE(counts['h'], 2);
        QCOMPARE(counts['e'], 2);
        QCOMPARE(counts['a'], 1);
        QCOMPARE(counts['n'], 1);
        QCOMPARE(counts['d'], 1);
        QCOMPARE(std::accumulate(counts.begin(), counts.end(), 0), 9);
        QCOMPARE(dialog->StatusBar->panelText(), QString("Total Words 2"));
        QVERIFY(messages.lines().isEmpty());
    }

    void progressReportsAtWordBoundariesPast200Rows() {
        // 300 occurrences: "a" 150 times, then "b" 150 times, "c" once.
        Verses verses;
        for (int v = 1; v <= 150; ++v)
            verses.append({verseKey(2, 1, v), "a b"});
        verses.append({verseKey(2, 2, 1), "c"});
        QStringList shown;
        connect(dialog->StatusBar, &TStatusBar::panelTextChanged, this,
                [&](const QString& t) { shown << t; });
        index(verses);
        // Rows in word order: a 1-150, b 151-300, c 301. Only c starts past row 200.
        QVERIFY(shown.contains("a - word # 1 of 301 words"));
        QVERIFY(!shown.contains("b - word # 151 of 301 words"));
        QVERIFY(shown.contains("c - word # 301 of 301 words"));
        QCOMPARE(dialog->ProgressBar->value(), 301 / 5 + 40);
        QCOMPARE(shown.last(), QString("Total Words 3"));
    }

    void noWordsStoreNothing() {
        index({{verseKey(1, 1, 1), "... !!"}});
        QCOMPARE(dialog->T_Key->RecordCount(), 0);
        QCOMPARE(dialog->T_Freq->RecordCount(), 0);
        QCOMPARE(dialog->T_Word->RecordCount(), 0);
        QCOMPARE(dialog->StatusBar->panelText(), QString("Total Words 0"));
        QVERIFY(messages.lines().isEmpty());
    }

    void countBeyondItsFieldIsRefusedAndReported() {
        // 70,000 occurrences of one word do not fit the 16-bit unsigned count.
        Verses verses;
        for (int v = 0; v < 700; ++v) {
            QByteArray text;
            for (int i = 0; i < 100; ++i)
                text += "amen ";
            verses.append({verseKey(1 + v / 200, 1 + v % 200, 1), QString::fromLatin1(text)});
        }
        index(verses);
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.lines()[0].startsWith("TWordList::buildTables: "));
        QVERIFY(messages.lines()[0].contains("70000"));
        QCOMPARE(dialog->T_Freq->RecordCount(), 0);
    }
};

QTEST_MAIN(TestWordIndex)
#include "tst_wordindex.moc"
