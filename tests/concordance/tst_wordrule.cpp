// The word rule through each of its doors: Build's splitting in place, the
// spans of a verse's words, and the count the importer checks verses with.

#include "concordance/wordrule.h"

#include <QtTest>

using namespace concordance;

namespace {

QStringList splitWords(const QByteArray& text) {
    QByteArray buffer = text; // split in place: a copy, NUL-terminated
    QStringList words;
    splitInPlace(buffer.data(), [&words](const char* word, qsizetype length) {
        words << QString::fromLatin1(word, length);
    });
    return words;
}

QStringList spanWords(const QByteArray& text) {
    QStringList words;
    for (const WordSpan& span : wordSpans(text))
        words << QString::fromLatin1(wordAt(text, span));
    return words;
}

} // namespace

class TestWordRule : public QObject {
    Q_OBJECT

private slots:
    void words_data() {
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
        QTest::newRow("DEL starts a word") << QByteArray("a \x7f-b") << QStringList{"a", "\x7f-b"};
        QTest::newRow("ends at NUL")
            << QByteArray("one two\0three", 13) << QStringList{"one", "two"};
        QTest::newRow("empty") << QByteArray() << QStringList{};
    }
    void words() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, words);
        QCOMPARE(splitWords(text), words);
        QCOMPARE(spanWords(text), words);
        QCOMPARE(countWords(text), words.size());
    }

    // The browser marks words where they stand.
    void spansPointIntoTheText() {
        QCOMPARE(wordSpans("(Selah). LORD's"), (QList<WordSpan>{{1, 5}, {9, 6}}));
        // A view need not end in a NUL: nothing past it is read.
        const QByteArray text("one two");
        QCOMPARE(wordSpans(QByteArrayView(text).first(5)), (QList<WordSpan>{{0, 3}, {4, 1}}));
    }
};

QTEST_GUILESS_MAIN(TestWordRule)
#include "tst_wordrule.moc"
