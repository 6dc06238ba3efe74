// The tips' source file: what it accepts and refuses, and the tips table the
// build made from the shipped file.

#include "platform/core/errors.h"
#include "platform/core/table.h"
#include "tests/support/files.h"
#include "tips/tipsource.h"

#include <QtTest>

class TestTipSource : public QObject {
    Q_OBJECT

private slots:
    void parse() {
        const auto tips = parseTipSource("# comment\n\n[tip 2 1 Welcome]\n\n<p>One</p>\n"
                                         "# inside\n<p>Two</p>\n\n[tip 1 -3 Other]\r\nplain\r\n");
        QStringList read;
        for (const TipEntry& tip : tips)
            read << QStringLiteral("%1 %2 %3 line %4: %5")
                        .arg(tip.tipClass)
                        .arg(tip.number)
                        .arg(tip.category)
                        .arg(tip.line)
                        .arg(tip.text);
        QCOMPARE(read, QStringList({"2 1 Welcome line 3: <p>One</p>\n<p>Two</p>",
                                    "1 -3 Other line 9: plain"}));
    }

    // Plain text is wrapped by the viewer: the lines of a paragraph are
    // joined, paragraphs stay apart. Rich text is kept as written.
    void plainParagraphsAreJoined() {
        const auto tips = parseTipSource(
            "[tip 2 1 A]\nOne line\n  and the next.\n\n\nA second  \nparagraph.\n"
            "[tip 2 2 A]\n<p>Rich\ntext</p>\n[tip 2 3 A]\n<< and >> step.\nNext line.\n");
        QCOMPARE(tips.at(0).text, QString("One line and the next.\n\nA second paragraph."));
        QCOMPARE(tips.at(1).text, QString("<p>Rich\ntext</p>"));
        QCOMPARE(tips.at(2).text, QString("<< and >> step. Next line."));
    }

    void refused_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");
        QTest::newRow("text first") << "hello\n[tip 2 1 A]\nx"
                                    << "line 1: text before";
        QTest::newRow("bad header") << "[tip 2 1]\nx"
                                    << "line 1: a header reads";
        QTest::newRow("no number") << "\n[tip 2 one A]\nx"
                                   << "line 2: the number one is no";
        QTest::newRow("too big") << "[tip 2 99999999999 A]\nx"
                                 << "line 1: the number";
        QTest::newRow("empty tip") << "[tip 2 1 A]\n\n[tip 2 2 A]\nx"
                                   << "line 1: the tip has no text";
        QTest::newRow("long category") << "[tip 2 1 ABCDEFGHIJKLMNOPQRSTU]\nx"
                                       << "line 1: the category";
    }
    void refused() {
        QFETCH(QString, source);
        QFETCH(QString, message);
        try {
            parseTipSource(source);
            QFAIL("accepted");
        } catch (const platform::EConvertError& e) {
            QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
        }
    }

    void sameKeyTwice() {
        QTemporaryDir dir;
        const auto tips = parseTipSource("[tip 2 1 A]\nx\n[tip 2 1 A]\ny\n");
        try {
            writeTipsTable(dir.path(), tips);
            QFAIL("accepted");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.kind(), EDatabaseError::Kind::KeyViolation);
            QVERIFY2(e.message().startsWith("line 3: tip 2 1 A: "), qPrintable(e.message()));
        }
    }

    // The program folder's table: at least twenty tips, and rows outside them.
    void shippedTable() {
        TTable table;
        table.setDatabaseName(APP_DIR);
        table.setTableName("Texts");
        table.Open();
        const int rows = table.RecordCount();
        table.EditRangeStart();
        table.FieldByName("Class").setAsInteger(2);
        table.FieldByName("Tip").setAsInteger(1);
        table.EditRangeEnd();
        table.FieldByName("Class").setAsInteger(2);
        table.FieldByName("Tip").setAsInteger(32000);
        table.ApplyRange();
        QVERIFY(table.RecordCount() >= 20);
        QVERIFY(rows >= table.RecordCount() + 3);
        static const QRegularExpression lineBreakInParagraph("[^\\n]\\n[^\\n]");
        for (table.First(); !table.Eof(); table.Next()) {
            const QString text = table.FieldByName("Data").AsString();
            QVERIFY(!text.contains("never be shown"));
            if (!text.startsWith('<'))
                QVERIFY2(!text.contains(lineBreakInParagraph), qPrintable(text));
        }
    }
};

QTEST_MAIN(TestTipSource)
#include "tst_tipsource.moc"
