// The word rule through each of its doors: Build's splitting in place, the
// spans of a verse's words, and the count the importer checks verses with.

#include "concordance/wordrule.h"

#include <QtTest>

using namespace concordance;
using namespace Qt::StringLiterals;

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

QStringList unicodeSplit(const QString& text, bool foldAccents = false) {
    QStringList words;
    forEachStoredWord(text, WordForm{WordRule::Unicode, foldAccents},
                      [&words](const QString& word) { words << word; });
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

    // The Unicode rule on real verses: each split as written, case-folded,
    // and with accent folding, bare.
    void unicodeWords_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("bare");
        QTest::newRow("Spanish")
            << QStringLiteral("\u00BFQui\u00E9n es \u00E9ste? \u2014dijo el Se\u00F1or; "
                              "\u00ABcoraz\u00F3n\u00BB del a\u00F1o.")
            << QStringList{u"qui\u00E9n"_s,   "es",  u"\u00E9ste"_s, "dijo", "el", u"se\u00F1or"_s,
                           u"coraz\u00F3n"_s, "del", u"a\u00F1o"_s}
            << QStringList{"quien", "es", "este", "dijo", "el", "senor", "corazon", "del", "ano"};
        // Final sigma folds to sigma; the breathing, accents and iota
        // subscript are non-spacing marks once decomposed.
        QTest::newRow("Greek") << QStringLiteral(
                                      "\u1F18\u03BD \u1F00\u03C1\u03C7\u1FC7 \u1F66\u03BD "
                                      "\u1F41 \u039B\u03CC\u03B3\u03BF\u03C2,")
                               << QStringList{u"\u1F10\u03BD"_s, u"\u1F00\u03C1\u03C7\u1FC7"_s,
                                              u"\u1F66\u03BD"_s, u"\u1F41"_s,
                                              u"\u03BB\u03CC\u03B3\u03BF\u03C3"_s}
                               << QStringList{u"\u03B5\u03BD"_s, u"\u03B1\u03C1\u03C7\u03B7"_s,
                                              u"\u03C9\u03BD"_s, u"\u03BF"_s,
                                              u"\u03BB\u03BF\u03B3\u03BF\u03C3"_s};
        // "\u0439" is "\u0438" with a breve: folding merges them.
        QTest::newRow("Russian")
            << QStringLiteral("\u0412 \u043D\u0430\u0447\u0430\u043B\u0435 \u0431\u044B"
                              "\u043B\u043E \u0421\u043B\u043E\u0432\u043E \u0442\u0432"
                              "\u043E\u0439.")
            << QStringList{u"\u0432"_s, u"\u043D\u0430\u0447\u0430\u043B\u0435"_s,
                           u"\u0431\u044B\u043B\u043E"_s, u"\u0441\u043B\u043E\u0432\u043E"_s,
                           u"\u0442\u0432\u043E\u0439"_s}
            << QStringList{u"\u0432"_s, u"\u043D\u0430\u0447\u0430\u043B\u0435"_s,
                           u"\u0431\u044B\u043B\u043E"_s, u"\u0441\u043B\u043E\u0432\u043E"_s,
                           u"\u0442\u0432\u043E\u0438"_s};
        // Points are marks inside the word; the maqaf joins two words into
        // one, the sof pasuq is trimmed.
        QTest::newRow("Hebrew with points")
            << QStringLiteral("\u05D1\u05B0\u05BC\u05E8\u05B5\u05D0\u05E9\u05C1\u05B4"
                              "\u05D9\u05EA \u05E2\u05B7\u05DC\u05BE\u05E4\u05BC\u05B0"
                              "\u05E0\u05B5\u05D9 \u05D4\u05B8\u05D0\u05B8\u05E8\u05B6"
                              "\u05E5\u05C3")
            << QStringList{u"\u05D1\u05B0\u05BC\u05E8\u05B5\u05D0\u05E9\u05C1\u05B4\u05D9\u05EA"_s
                               .normalized(QString::NormalizationForm_C),
                           u"\u05E2\u05B7\u05DC\u05BE\u05E4\u05BC\u05B0\u05E0\u05B5\u05D9"_s
                               .normalized(QString::NormalizationForm_C),
                           u"\u05D4\u05B8\u05D0\u05B8\u05E8\u05B6\u05E5"_s}
            << QStringList{u"\u05D1\u05E8\u05D0\u05E9\u05D9\u05EA"_s,
                           u"\u05E2\u05DC\u05BE\u05E4\u05E0\u05D9"_s,
                           u"\u05D4\u05D0\u05E8\u05E5"_s};
        // A verse in NFD gives the words of its NFC form.
        QTest::newRow("NFD verse") << QStringLiteral("Coraz\u006F\u0301n de Jesu\u0301s")
                                   << QStringList{u"coraz\u00F3n"_s, "de", u"jes\u00FAs"_s}
                                   << QStringList{"corazon", "de", "jesus"};
        // A mark starts a word; one without a composed form stays a mark.
        QTest::newRow("combining marks")
            << QStringLiteral("\u0301x y\u0323\u0307 q\u0323")
            << QStringList{u"\u0301x"_s,
                           u"y\u0323\u0307"_s.normalized(QString::NormalizationForm_C),
                           u"q\u0323"_s}
            << QStringList{"x", "y", "q"};
        QTest::newRow("letters beyond ASCII in English")
            << QStringLiteral("C\u00E6sar\u2019s na\u00EFve")
            << QStringList{u"c\u00E6sar"_s + u"\u2019s"_s, u"na\u00EFve"_s}
            << QStringList{u"c\u00E6sar\u2019s"_s, "naive"};
        QTest::newRow("punctuation kept inside, trimmed at the end")
            << QStringLiteral("\u00AB\u00A1ay\u2014ay!\u00BB \u00BFs\u00ED?'")
            << QStringList{u"ay\u2014ay"_s, u"s\u00ED?'"_s} << QStringList{u"ay\u2014ay"_s, "si?'"};
        QTest::newRow("separators and controls end a word")
            << QStringLiteral("a\u00A0b\u2028c\u200Bd\u007Fe")
            << QStringList{"a", "b", "c", "d", "e"} << QStringList{"a", "b", "c", "d", "e"};
        QTest::newRow("beyond the BMP") << QStringLiteral("\U00010400\U00010401 \U0001D7CE")
                                        << QStringList{u"\U00010428\U00010429"_s, u"\U0001D7CE"_s}
                                        << QStringList{u"\U00010428\U00010429"_s, u"\U0001D7CE"_s};
        QTest::newRow("no words") << QStringLiteral(" \u2014 \u00BF? ") << QStringList{}
                                  << QStringList{};
    }
    void unicodeWords() {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QFETCH(QStringList, bare);
        QCOMPARE(unicodeSplit(text), words);
        QCOMPARE(unicodeSplit(text, true), bare);
        const WordForm unicode{WordRule::Unicode, false};
        QCOMPARE(countWords(text, unicode), words.size());
        const QList<WordSpan> spans = wordSpans(text, unicode);
        QCOMPARE(spans.size(), words.size());
        const QString nfc = text.normalized(QString::NormalizationForm_C);
        for (qsizetype i = 0; i < spans.size(); ++i)
            QCOMPARE(foldWord(QStringView(nfc).sliced(spans[i].start, spans[i].length), false),
                     words[i]);
    }

    // Bytes that are not UTF-8 are blanks, as the table layer hands them on.
    void invalidUtf8IsABlank() {
        const QString text = QString::fromUtf8("caf\xe9"
                                               "s \xff\xfe"
                                               "amen");
        QCOMPARE(unicodeSplit(text), (QStringList{"caf", "s", "amen"}));
    }

    // On ASCII the Unicode rule gives the byte rule's words, DEL aside: every
    // character against every other, and random verses of them.
    void asciiAgreesWithTheByteRule() {
        QByteArray pairs;
        for (int a = 1; a < 127; ++a)
            for (int b = 1; b < 127; ++b)
                pairs += QByteArray() + char(a) + char(b) + 'x' + char(b) + ' ';
        QCOMPARE(unicodeSplit(QString::fromLatin1(pairs)), splitWords(pairs));

        QRandomGenerator random(1611);
        for (int round = 0; round < 2000; ++round) {
            QByteArray verse;
            for (int i = 0, n = random.bounded(1, 40); i < n; ++i)
                verse += char(random.bounded(1, 127));
            QCOMPARE(unicodeSplit(QString::fromLatin1(verse)), splitWords(verse));
            const WordForm unicode{WordRule::Unicode, false};
            QCOMPARE(wordSpans(QString::fromLatin1(verse), unicode),
                     wordSpans(QString::fromLatin1(verse), WordForm{}));
        }
    }

    void lengthsAreInCharacters() {
        QCOMPARE(wordLength(u"coraz\u00F3n"), 7);
        QCOMPARE(wordLength(u"\U00010428x"), 2);
        QCOMPARE(wordLength(u"amen"), 4);
    }
};

QTEST_GUILESS_MAIN(TestWordRule)
#include "tst_wordrule.moc"
