// The help launcher: opening a document with the desktop's handler, the
// messages for each failure, and the self-freeing worker thread.
//
// A fake xdg-open placed first on PATH records what it was asked to open and
// exits as the test tells it.

#include "builder/Html.h"
#include "platform/gui/shellopen.h"
#include "tests/support/fakeopener.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <unistd.h>

using namespace testsupport;

class TestHtml : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString docsDir;
    std::unique_ptr<FakeOpener> opener;
    std::unique_ptr<MessageCapture> messages;

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        docsDir = root.filePath(QStringLiteral("docs"));
        QVERIFY(QDir().mkpath(docsDir));
        QVERIFY(writeFile(docsDir + QStringLiteral("/page.html"), "<html>help</html>\n"));
        opener = std::make_unique<FakeOpener>();
        messages = std::make_unique<MessageCapture>();
    }
    void init() {
        messages->clear();
        opener->clearCalls();
        opener->setOnPath(true);
        opener->setExitCode(0);
        opener->setCrash(false);
    }
    void cleanupTestCase() {
        messages.reset();
        opener.reset();
    }

    // The messages of the results openDocument gives; the other codes of the
    // shell's numbering cannot occur on this desktop.
    void shellErrorMessages_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QString name = QStringLiteral("/opt/app/help/2_rebuild.html");
        QTest::newRow("2") << 2 << name + "  was not found.";
        QTest::newRow("3") << 3 << "The path to " + name + " was not found.";
        QTest::newRow("5") << 5 << "The operating system denied access to " + name;
        QTest::newRow("27") << 27 << "The filename association is incomplete or invalid.";
        QTest::newRow("31") << 31 << "There is no application associated with " + name;
        QTest::newRow("success shows nothing") << 42 << QString();
    }
    void shellErrorMessages() {
        QFETCH(int, code);
        QFETCH(QString, text);
        HtmlThread::showShellError(code, QStringLiteral("/opt/app/help/2_rebuild.html"));
        const QList<Box> expected{{"Build", text}};
        QCOMPARE(messages->boxes(), text.isEmpty() ? QList<Box>{} : expected);
    }

    void openDocument_data() {
        QTest::addColumn<QString>("document"); // relative to the docs folder
        QTest::addColumn<QString>("handler");  // the opener: "absent", "crash" or its exit code
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("openerCalled");
        const QString page = QStringLiteral("page.html");
        QTest::newRow("opened") << page << "0" << 42 << true;
        QTest::newRow("opener: no such file") << page << "2" << 2 << true;
        QTest::newRow("opener: no tool") << page << "3" << 31 << true;
        QTest::newRow("opener: action failed") << page << "4" << 31 << true;
        QTest::newRow("opener: bad syntax") << page << "1" << 27 << true;
        QTest::newRow("opener crashes") << page << "crash" << 27 << true;
        QTest::newRow("no opener") << page << "absent" << 31 << false;
        QTest::newRow("page missing") << "gone.html"
                                      << "0" << 2 << false;
        QTest::newRow("folder missing") << "nowhere/page.html"
                                        << "0" << 3 << false;
        QTest::newRow("empty name") << QString() << "0" << 2 << false;
    }
    void openDocument() {
        QFETCH(QString, document);
        QFETCH(QString, handler);
        QFETCH(int, expected);
        QFETCH(bool, openerCalled);
        opener->setOnPath(handler != "absent");
        opener->setCrash(handler == "crash");
        opener->setExitCode(handler.toInt());
        const QString path = document.isEmpty() ? QString() : docsDir + QLatin1Char('/') + document;
        QCOMPARE(platform::openDocument(path), expected);
        QCOMPARE(opener->calls(), openerCalled ? QStringList{path} : QStringList{});
    }

    void unreadableDocument() {
        if (::geteuid() == 0)
            QSKIP("root may read every file");
        const QString path = docsDir + QStringLiteral("/secret.html");
        QVERIFY(writeFile(path, "secret"));
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        QCOMPARE(platform::openDocument(path), 5);
        QVERIFY(opener->calls().isEmpty());
    }

    // Each thread opens its page or tells the user why not, then frees itself.
    void threadsRunSideBySide() {
        const QString page = docsDir + QStringLiteral("/page.html");
        const QString missing = docsDir + QStringLiteral("/gone.html");
        for (const QString& name : {page, missing, page}) {
            auto* thread = new HtmlThread(true);
            thread->setFileName(name);
            thread->start();
        }
        QCOMPARE(HtmlThread::liveCount(), 3);
        QTRY_COMPARE(HtmlThread::liveCount(), 0);
        QCOMPARE(opener->calls(), (QStringList{page, page}));
        QCOMPARE(messages->lines(), QStringList{"Build: " + missing + "  was not found."});
    }
};

QTEST_MAIN(TestHtml)
#include "tst_html.moc"
