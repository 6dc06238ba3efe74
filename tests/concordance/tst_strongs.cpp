// Strong's numbers as the modules tag words and users type them, and the
// lexicon entries that explain them.

#include "concordance/lexicon.h"
#include "concordance/lexiconsource.h"
#include "concordance/strongs.h"

#include <QtTest>

using concordance::StrongsNumber;

class TestStrongs : public QObject {
    Q_OBJECT

private slots:
    void numbersAreReadInOneForm_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("number"); // empty: not a number
        QTest::newRow("plain") << "G26"
                               << "G26";
        QTest::newRow("lower case") << "h2617"
                                    << "H2617";
        QTest::newRow("leading zeros") << "G0026"
                                       << "G26";
        QTest::newRow("five digits") << "H08674"
                                     << "H8674";
        QTest::newRow("augmented") << "H1254a"
                                   << "H1254";
        QTest::newRow("zero") << "G0"
                              << "";
        QTest::newRow("zeros only") << "G000"
                                    << "";
        QTest::newRow("no digits") << "G"
                                   << "";
        QTest::newRow("other letter") << "A26"
                                      << "";
        QTest::newRow("word") << "God"
                              << "";
        QTest::newRow("inner letter") << "G2a6"
                                      << "";
        QTest::newRow("six digits") << "G123456"
                                    << "";
        QTest::newRow("many zeros then digits") << "G0000000026"
                                                << "G26";
        QTest::newRow("blank") << "G 26"
                               << "";
    }
    void numbersAreReadInOneForm() {
        QFETCH(QString, text);
        QFETCH(QString, number);
        const auto parsed = concordance::parseStrongsNumber(text);
        QCOMPARE(parsed ? parsed->toString() : QString(), number);
    }

    void lexiconKeysHaveFiveDigits() {
        QCOMPARE(StrongsNumber({'G', 26}).lexiconKey(), QByteArray("00026"));
        QCOMPARE(StrongsNumber({'H', 8674}).lexiconKey(), QByteArray("08674"));
        QVERIFY(StrongsNumber({'H', 9000}).sortKey() < StrongsNumber({'G', 1}).sortKey());
    }

    void lemmasGiveTheirNumbersOnce() {
        auto strings = [](const QByteArray& lemma) {
            QStringList out;
            for (const StrongsNumber& n : concordance::strongsNumbersOfLemma(lemma))
                out << n.toString();
            return out;
        };
        QCOMPARE(strings("strong:H0430"), QStringList{"H430"});
        QCOMPARE(strings("strong:H0853 strong:H08064"), (QStringList{"H853", "H8064"}));
        QCOMPARE(strings("lemma.TR:x strong:G3588 strong:G3588"), QStringList{"G3588"});
        QCOMPARE(strings("strong:X12 strong:"), QStringList{});
        QCOMPARE(strings(""), QStringList{});
    }

    // Entries in the form the installed lexicons use; the words are our own.
    void entriesAreReadByPart() {
        const QByteArray greek =
            "<entryFree n=\"00001\">  <orth>\xce\xb1\xce\xb2</orth> <orth "
            "type=\"writing\">AB</orth>"
            " <orth rend=\"bold\" type=\"trans\">ab</orth> <pron rend=\"italic\">ahb</pron><lb/>"
            "<lb/> <def><orig>from <ref target=\"StrongsGreek:2\">G2</ref>;</orig><lb/> a made-up"
            "   word:--sample, test. </def> </entryFree>";
        const auto entry = concordance::lexicon::parseEntry(greek);
        QCOMPARE(entry.headword, QString::fromUtf8("\xce\xb1\xce\xb2"));
        QCOMPARE(entry.transliteration, QString("ab"));
        QCOMPARE(entry.pronunciation, QString("ahb"));
        QCOMPARE(entry.derivation, QString("from G2;"));
        QCOMPARE(entry.definition, QString("a made-up word:--sample, test."));
        QCOMPARE(concordance::lexicon::summary(entry),
                 QString::fromUtf8("\xce\xb1\xce\xb2 (ab): a made-up word:--sample, test."));

        const QByteArray hebrew = "<entryFree n=\"7\"><orth>x</orth><lb/><def>From <ref>H6</ref>; "
                                  "<hi rend=\"italic\">kind</hi>; - {kind}.</def></entryFree>";
        const auto second = concordance::lexicon::parseEntry(hebrew);
        QCOMPARE(second.headword, QString("x"));
        QVERIFY(second.derivation.isEmpty());
        QCOMPARE(second.definition, QString("From H6; kind; - {kind}."));

        const auto broken = concordance::lexicon::parseEntry("<entryFree><def>half <b>open");
        QCOMPARE(broken.definition, QString("half open"));
        QVERIFY(concordance::lexicon::parseEntry("").isEmpty());
    }

    void doubleEncodedTextIsRepaired() {
        using concordance::lexicon::undoDoubleEncoding;
        const QByteArray hebrew = QString::fromUtf8("חסד").toUtf8();
        // The same bytes read as Windows-1252 and encoded again.
        const QByteArray twice = "\xc3\x97\xe2\x80\x94\xc3\x97\xc2\xa1\xc3\x97\xe2\x80\x9c";
        QCOMPARE(undoDoubleEncoding(twice), hebrew);
        QCOMPARE(undoDoubleEncoding(hebrew), hebrew);
        const QByteArray greek = QString::fromUtf8("ἀγάπη agápē").toUtf8();
        QCOMPARE(undoDoubleEncoding(greek), greek);
        const QByteArray latin = QString::fromUtf8("chêsêd").toUtf8();
        QCOMPARE(undoDoubleEncoding(latin), latin); // "ê" once is not a broken pair
        QCOMPARE(undoDoubleEncoding("plain"), QByteArray("plain"));
    }

    // The installed lexicons, where the machine has them.
    void installedLexiconsExplainNumbers() {
        QString message;
        const auto love = concordance::lexicon::lookUp({'G', 26}, &message);
        if (!love) {
            QVERIFY(message.contains("sword-dict-strongs-greek"));
            QSKIP("the Greek lexicon is not installed");
        }
        QCOMPARE(love->headword, QString::fromUtf8("ἀγάπη"));
        QCOMPARE(love->transliteration, QString::fromUtf8("agápē"));
        QVERIFY(love->definition.contains("love"));

        const auto mercy = concordance::lexicon::lookUp({'H', 2617}, &message);
        if (mercy) {
            QCOMPARE(mercy->headword, QString::fromUtf8("חסד"));
            QVERIFY(mercy->definition.contains("kindness"));
        } else {
            QVERIFY(message.contains("sword-dict-strongs-hebrew"));
        }
        QVERIFY(!concordance::lexicon::lookUp({'G', 99999}, &message));
        QVERIFY(message.contains("no entry G99999"));
    }
};

QTEST_GUILESS_MAIN(TestStrongs)
#include "tst_strongs.moc"
