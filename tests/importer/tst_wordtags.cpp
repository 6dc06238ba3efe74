// Strong's numbers and morphology by word position: the positions are the
// word rule's, whatever the markup does to the words, and each word takes the
// tags of every word element it lies in. The importer writes them into a
// table beside the verse table, and only for a text that has some.

#include "concordance/tablelayouts.h"
#include "concordance/wordrule.h"
#include "importer/bibletable.h"
#include "importer/osis.h"
#include "importer/progress.h"
#include "importer/verses.h"
#include "importer/wordtags.h"
#include "platform/core/table.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using wordtags::WordTag;

namespace {

// The tags of an entry's words, apostrophes folded as import-text folds them
// by default.
std::vector<WordTag> tags(const QByteArray& entry, bool fold = true) {
    std::vector<osis::Run> runs = osis::read(entry);
    if (fold) {
        for (osis::Run& run : runs)
            run.text = verses::foldApostrophes(run.text);
    }
    return wordtags::tagWords(runs);
}

QByteArray describe(const std::vector<WordTag>& list) {
    QByteArray d;
    for (const WordTag& t : list)
        d += QByteArray::number(t.position) + ':' + QByteArray::number(t.element) + '[' +
             t.numbers + '|' + t.morph + "] ";
    return d;
}

quint32 genesis(int chapter, int verse) {
    return concordance::packKey(concordance::Place{1, chapter, verse});
}

// Place, element, numbers and morphology of every row of a folder's Strong's table.
QList<QStringList> readStrongs(const QString& folder) {
    QList<QStringList> rows;
    TTable t;
    concordance::bindTable(t, folder, concordance::strongsTable);
    t.Open();
    for (t.First(); !t.Eof(); t.Next())
        rows.append({QString::number(t.Fields(0).AsInteger()), t.Fields(1).AsString(),
                     t.Fields(2).AsString(), t.Fields(3).AsString()});
    t.Close();
    return rows;
}

} // namespace

class TestWordTags : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void positionsFollowTheWordRule() {
        // "In the beginning God": an element over two words tags both; a word
        // outside any element ("In") has no tag; numbers and codes of one
        // element go to each of its words.
        const auto list =
            tags("In <w lemma=\"strong:H7225\" morph=\"m:N\">the beginning</w> "
                 "<w lemma=\"strong:H0430\">God</w>, <w lemma=\"strong:H5315 H2416\">hay "
                 "vida</w>.");
        const std::vector<WordTag> expected{{2, 1, "H7225", "m:N"},
                                            {3, 1, "H7225", "m:N"},
                                            {4, 2, "H0430", ""},
                                            {5, 3, "H5315 H2416", ""},
                                            {6, 3, "H5315 H2416", ""}};
        QVERIFY2(list == expected, describe(list).constData());
    }

    void wordsThatMarkupCuts() {
        // A boundary inside a word: the word is whole and takes the element's
        // number, and the text after it ("n.") adds no word.
        QCOMPARE(describe(tags("be <w lemma=\"strong:H5414\">give</w>n. now")),
                 QByteArray("2:1[H5414|] "));
        // Elements parted by added words: the added word has no tag; numbers
        // and codes repeated within an element count once.
        QCOMPARE(describe(tags("<w lemma=\"strong:G1\" morph=\"a\">x</w><transChange>y"
                               "</transChange><w lemma=\"strong:G2 G1 G2\" morph=\"a b a\">z</w>")),
                 QByteArray("1:1[G1|a] 3:2[G2 G1|a b] "));
        // A word that lies in two elements takes the numbers of both.
        QCOMPARE(describe(tags("<w lemma=\"strong:G1\">ab</w>c<w lemma=\"strong:G2\">d</w>")),
                 QByteArray("1:1[G1 G2|] "));
        QCOMPARE(describe(tags("<w lemma=\"strong:G1\">ab</w>c<seg><w "
                               "lemma=\"strong:G2\">d</w></seg>e")),
                 QByteArray("1:1[G1 G2|] "));
        // Punctuation the word rule trims is no part of the word: an element
        // holding only a trailing "." tags nothing.
        QCOMPARE(describe(tags("word<w lemma=\"strong:G9\">.</w> next")), QByteArray());
        // A folded apostrophe joins "king’s" into one word; kept, it parts it.
        const QByteArray kings = "the <w lemma=\"strong:H4428\">king\xe2\x80\x99s</w> scribes";
        QCOMPARE(describe(tags(kings, true)), QByteArray("2:1[H4428|] "));
        QCOMPARE(describe(tags(kings, false)), QByteArray("2:1[H4428|] 3:1[H4428|] "));
        // Lemmas of another kind and empty elements tag nothing.
        QCOMPARE(describe(tags("<w lemma=\"lemma.TR:logos\">word</w> <w lemma=\"strong:G1\"/>")),
                 QByteArray());
    }

    // The positions agree with the word rule on the text the verse table gets.
    void positionsAgreeWithTheVerseText() {
        const QByteArray entry =
            "<title canonical=\"true\">A <w lemma=\"strong:H4210\">Psalm</w>.</title> "
            "<divineName><w lemma=\"strong:H3068\">LORD</w></divineName>, how "
            "<w lemma=\"strong:H7231\">increased</w><note>x y z</note><w "
            "lemma=\"strong:H6862\">trouble</w>";
        const auto runs = osis::read(entry);
        const QByteArray text = osis::plainText(runs).simplified();
        const auto spans = concordance::wordSpans(text);
        QStringList tagged;
        for (const WordTag& t : wordtags::tagWords(runs))
            tagged << QString::fromUtf8(concordance::wordAt(text, spans[t.position - 1]) + ' ' +
                                        t.numbers);
        QCOMPARE(tagged,
                 (QStringList{"psalm H4210", "lord H3068", "increased H7231", "trouble H6862"}));
    }

    void noPositionBeyondTheVerseKey() {
        const QByteArray many = QByteArray("<w lemma=\"strong:G1\">a</w> ").repeated(300);
        const auto list = tags(many);
        QCOMPARE(int(list.size()), concordance::maxWordsPerVerse);
        QCOMPARE(list.back().position, concordance::maxWordsPerVerse);
    }

    // The Strong's table goes into the folder with the verses, and a text
    // imported again without tags leaves none behind.
    void tableBesideTheVerses() {
        const QString dir = tmp.filePath("Tagged");
        FILE* sink = std::fopen("/dev/null", "w");
        QVERIFY(sink);
        Progress quiet(sink, false);
        const auto import = [&](const std::vector<verses::Verse>& list) {
            BibleTableWriter writer(dir);
            QString message;
            QVERIFY2(writer.prepare(true, message), qPrintable(message));
            QVERIFY2(writer.write(list, quiet, nullptr, message), qPrintable(message));
            QVERIFY2(writer.commit(message), qPrintable(message));
        };
        const std::vector<verses::Verse> tagged{
            {genesis(1, 1), "In the beginning", {{3, 1, "H7225", ""}}},
            {genesis(1, 2), "And the earth was", {{3, 1, "H0776", "m:N"}, {4, 2, "H1961", "v"}}},
            {genesis(1, 3), "And God said", {}},
        };
        import(tagged);
        const QString g11 = QString::number(genesis(1, 1) | 3);
        QCOMPARE(readStrongs(dir),
                 (QList<QStringList>{{g11, "1", "H7225", ""},
                                     {QString::number(genesis(1, 2) | 3), "1", "H0776", "m:N"},
                                     {QString::number(genesis(1, 2) | 4), "2", "H1961", "v"}}));
        QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));

        import({{ genesis(1, 1), "In the beginning", {} }});
        QVERIFY(QFileInfo::exists(dir + "/Bible.db"));
        QVERIFY(!QFileInfo::exists(dir + "/Strongs.db"));

        // An import stopped while it writes leaves the old pair as it was.
        import(tagged);
        {
            BibleTableWriter writer(dir);
            QString message;
            QVERIFY(writer.prepare(true, message));
            QVERIFY(!writer.write(
                tagged, quiet, [] { return true; }, message));
        }
        QCOMPARE(readStrongs(dir).size(), 3);
        QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));
        std::fclose(sink);
    }
};

QTEST_GUILESS_MAIN(TestWordTags)
#include "tst_wordtags.moc"
