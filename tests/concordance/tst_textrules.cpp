// A text's record of its word rule, and the alphabetical order its lists
// follow.

#include "concordance/textrules.h"
#include "platform/core/errors.h"
#include "tests/support/files.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace concordance;
using namespace Qt::StringLiterals;

namespace {

QStringList ordered(const QStringList& words, const TextRules& rules) {
    QStringList out;
    for (const qsizetype i : alphabeticalOrder(words, rules))
        out << words[i];
    return out;
}

TextRules unicode(const QString& language, bool foldAccents = false) {
    return TextRules{WordForm{WordRule::Unicode, foldAccents}, language};
}

} // namespace

class TestTextRules : public QObject {
    Q_OBJECT

private slots:
    void aFolderWithoutRecordHasTheByteRule() {
        QTemporaryDir dir;
        QCOMPARE(readTextRules(dir.path()), TextRules{});
    }

    void recordsRoundTrip() {
        QTemporaryDir dir;
        for (const TextRules& rules : {unicode(u"es"_s), unicode(u"el"_s, true), unicode({})}) {
            writeTextRules(dir.path(), rules);
            QCOMPARE(readTextRules(dir.path()), rules);
        }
        // Back to the byte rule: the record goes, and with it any doubt.
        writeTextRules(dir.path(), TextRules{});
        QVERIFY(!QFileInfo::exists(dir.filePath(QLatin1String(textRulesFile))));
        QCOMPARE(readTextRules(dir.path()), TextRules{});
    }

    void aRecordWrittenByHandIsRead() {
        QTemporaryDir dir;
        QVERIFY(testsupport::writeFile(dir.filePath(QLatin1String(textRulesFile)),
                                       "; Reina-Valera\n[words]\n rule = Unicode \n"
                                       "foldaccents=YES\nLanguage=es\n"));
        QCOMPARE(readTextRules(dir.path()), unicode(u"es"_s, true));
    }

    void unknownValuesAreRefusedByName_data() {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("named");
        QTest::newRow("rule") << QByteArray("[Words]\nRule=utf8\n") << u"Rule=utf8"_s;
        QTest::newRow("fold") << QByteArray("[Words]\nRule=unicode\nFoldAccents=1\n")
                              << u"FoldAccents=1"_s;
        QTest::newRow("fold without unicode")
            << QByteArray("[Words]\nFoldAccents=yes\n") << u"FoldAccents=yes"_s;
    }
    void unknownValuesAreRefusedByName() {
        QFETCH(QByteArray, record);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QString path = dir.filePath(QLatin1String(textRulesFile));
        QVERIFY(testsupport::writeFile(path, record));
        try {
            readTextRules(dir.path());
            QFAIL("a record the rules do not know was read");
        } catch (const platform::Exception& e) {
            QVERIFY2(e.message().contains(path) && e.message().contains(named),
                     qPrintable(e.message()));
        }
    }

    void aRecordThatCannotBeWrittenIsReported() {
        QTemporaryDir dir;
        const QString missing = dir.filePath(u"no such folder"_s);
        QVERIFY_THROWS_EXCEPTION(platform::Exception, writeTextRules(missing, unicode(u"es"_s)));
    }

    // Spanish: "ñ" is a letter after "n"; accented words beside their plain
    // forms.
    void spanishOrder() {
        const QStringList words{u"oro"_s,          u"\u00F1ame"_s, u"nube"_s,
                                u"coraz\u00F3n"_s, u"corazones"_s, u"corazon"_s,
                                u"\u00E1rbol"_s,   u"arca"_s,      u"zorra"_s};
        QCOMPARE(ordered(words, unicode(u"es"_s)),
                 (QStringList{u"\u00E1rbol"_s, u"arca"_s, u"corazon"_s, u"coraz\u00F3n"_s,
                              u"corazones"_s, u"nube"_s, u"\u00F1ame"_s, u"oro"_s, u"zorra"_s}));
    }

    void greekAndRussianOrder() {
        QCOMPARE(ordered({u"\u03C9"_s, u"\u03BB\u03CC\u03B3\u03BF\u03C3"_s, u"\u03B1"_s,
                          u"\u03AC\u03B2"_s},
                         unicode(u"el"_s)),
                 (QStringList{u"\u03B1"_s, u"\u03AC\u03B2"_s, u"\u03BB\u03CC\u03B3\u03BF\u03C3"_s,
                              u"\u03C9"_s}));
        // "\u0451" sorts with "\u0435", before "\u0436".
        QCOMPARE(
            ordered({u"\u0436\u0430"_s, u"\u0451\u0436"_s, u"\u0435\u0437"_s}, unicode(u"ru"_s)),
            (QStringList{u"\u0451\u0436"_s, u"\u0435\u0437"_s, u"\u0436\u0430"_s}));
    }

    // Without a language, the root collation: accented letters with their
    // base letters, not after "z" as their code points are.
    void rootOrderWithoutALanguage() {
        QCOMPARE(ordered({u"zorra"_s, u"\u00E1rbol"_s, u"\u00F1ame"_s, u"nube"_s}, unicode({})),
                 (QStringList{u"\u00E1rbol"_s, u"\u00F1ame"_s, u"nube"_s, u"zorra"_s}));
    }

    // The byte rule's lists keep the tables' byte order; words that collate
    // alike keep a fixed order.
    void byteOrderAndTies() {
        const QStringList words{u"b"_s, u"a"_s, u"B"_s};
        QCOMPARE(ordered(words, TextRules{}), words);
        QCOMPARE(ordered({u"a\u200Db"_s, u"ab"_s}, unicode(u"en"_s)),
                 ordered({u"ab"_s, u"a\u200Db"_s}, unicode(u"en"_s)));
    }
};

QTEST_GUILESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
