// The data-aware rich-text view: it follows the table's cursor, shows rich
// text as rich text and anything else as written, and reads nothing that a
// text names.

#include "platform/core/table.h"
#include "platform/gui/dbcontrols.h"
#include "tests/support/files.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTextFrame>
#include <QtTest>

class TestDbControls : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // A view of field "Data" of a table, through a data source.
    struct Viewed {
        TTable table;
        platform::TDataSource source;
        platform::TDBRichEdit view;
        Viewed() {
            source.setDataSet(&table);
            view.setDataField("Data");
            view.setDataSource(&source);
        }
    };

    // A table of one memo field "Data" holding `texts`, open on its first row.
    void open(TTable& table, const QStringList& texts) {
        table.setDatabaseName(dir.path());
        table.setTableName("Memo");
        table.FieldDefs().Add("Key", ftInteger, 0, true);
        table.FieldDefs().Add("Data", ftMemo);
        table.IndexDefs().Add("", "Key", ixPrimary | ixUnique);
        table.CreateTable();
        table.Open();
        for (int i = 0; i < texts.size(); ++i) {
            table.Append();
            table.Fields(0).setAsInteger(i + 1);
            table.Fields(1).setAsString(texts[i]);
            table.Post();
        }
        table.Close();
        table.Open();
    }

private slots:
    void followsTheCursor() {
        Viewed v;
        auto& [table, source, view] = v;
        open(table, {"one", "two"});
        QCOMPARE(view.toPlainText(), "one");
        table.Next();
        QCOMPARE(view.toPlainText(), "two");
        table.Close();
        QCOMPARE(view.toPlainText(), "");
        table.Open();
        QCOMPARE(view.toPlainText(), "one");
        view.setDataField("Missing");
        QCOMPARE(view.toPlainText(), "");
        QVERIFY(view.isReadOnly());
    }

    void shown_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("rich") << "<p>Press <b>&gt;&gt;</b></p>"
                              << "Press >>";
        QTest::newRow("rich after blanks") << "\n  <html><body>Hi</body></html>"
                                           << "Hi";
        QTest::newRow("script") << "<p>Safe</p><script>alert('x')</script>"
                                << "Safe";
        QTest::newRow("plain") << "a < b & c"
                               << "a < b & c";
        QTest::newRow("plain, arrows first") << "<< and >> step"
                                             << "<< and >> step";
        QTest::newRow("plain, tag later") << "Use <b> for bold"
                                          << "Use <b> for bold";
        QTest::newRow("plain, no known tag") << "<Ctrl+N> opens"
                                             << "<Ctrl+N> opens";
    }
    void shown() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        Viewed v;
        open(v.table, {text});
        QCOMPARE(v.view.toPlainText(), shown);
    }

    // A red picture and a style sheet that paints text red, named by path,
    // relative name and URL: neither is read, the view shows no red.
    void nothingRead() {
        QImage red(40, 40, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath("red.png")));
        QVERIFY(testsupport::writeFile(dir.filePath("red.css"), "p { color: #ff0000; }"));
        const QString url = QUrl::fromLocalFile(dir.filePath("red.png")).toString();
        Viewed v;
        auto& [table, source, view] = v;
        view.document()->setBaseUrl(QUrl::fromLocalFile(dir.path() + "/"));
        open(table, {QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"%1\"></head>"
                                    "<body><p>Text<img src=\"%2\"><img src=\"red.png\">"
                                    "<img src=\"%3\"></p></body></html>")
                         .arg(dir.filePath("red.css"), dir.filePath("red.png"), url)});
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage shot = view.grab().toImage();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                QVERIFY2(!(c.red() > 200 && c.green() < 60 && c.blue() < 60),
                         qPrintable(QStringLiteral("red at %1, %2").arg(x).arg(y)));
            }
    }
};

QTEST_MAIN(TestDbControls)
#include "tst_dbcontrols.moc"
