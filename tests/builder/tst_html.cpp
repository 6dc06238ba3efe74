// The help launcher: opening a document with the desktop's handler, the
// messages for each failure, and the self-freeing worker thread.
//
// A fake xdg-open placed first on PATH records what it was asked to open and
// exits as the test tells it (FAKE_OPENER_EXIT, or FAKE_OPENER_MODE=crash).

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

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void shellErrorMessages_data();
    void shellErrorMessages();

    void openDocument_data();
    void openDocument();
    void unreadableDocument();

    void threadReportsFailure_data();
    void threadReportsFailure();
    void threadsRunSideBySide();

private:
    QTemporaryDir root;
    QString docsDir;
    std::unique_ptr<FakeOpener> opener;
    std::unique_ptr<MessageCapture> messages;
};

void TestHtml::initTestCase() {
    QVERIFY(root.isValid());
    docsDir = root.filePath(QStringLiteral("docs"));
    QVERIFY(QDir().mkpath(docsDir));
    QVERIFY(writeFile(docsDir + QStringLiteral("/page.html"), "<html><body>help</body></html>\n"));
    opener = std::make_unique<FakeOpener>();
    messages = std::make_unique<MessageCapture>();
}

void TestHtml::init() {
    messages->clear();
    opener->clearCalls();
    opener->setOnPath(true);
    opener->setExitCode(0);
    opener->setCrash(false);
}

void TestHtml::cleanupTestCase() {
    messages.reset();
    opener.reset();
}

// The messages of the results openDocument gives; the other codes of the
// shell's numbering cannot occur on this desktop.
void TestHtml::shellErrorMessages_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const QString name = QStringLiteral("/opt/app/help/2_rebuild.html");
    QTest::newRow("2") << 2 << name + QStringLiteral("  was not found.");
    QTest::newRow("3") << 3
                       << QStringLiteral("The path to ") + name + QStringLiteral(" was not found.");
    QTest::newRow("5") << 5 << QStringLiteral("The operating system denied access to ") + name;
    QTest::newRow("27") << 27
                        << QStringLiteral("The filename association is incomplete or invalid.");
    QTest::newRow("31") << 31 << QStringLiteral("There is no application associated with ") + name;
    QTest::newRow("success shows nothing") << 42 << QString();
}

void TestHtml::shellErrorMessages() {
    QFETCH(int, code);
    QFETCH(QString, text);
    HtmlThread::showShellError(code, QStringLiteral("/opt/app/help/2_rebuild.html"));
    const QList<Box> shown = messages->boxes();
    if (text.isEmpty()) {
        QVERIFY(shown.isEmpty());
        return;
    }
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].caption, QStringLiteral("Build"));
    QCOMPARE(shown[0].text, text);
}

void TestHtml::openDocument_data() {
    QTest::addColumn<QString>("document"); // relative to the docs folder
    QTest::addColumn<bool>("openerOnPath");
    QTest::addColumn<QByteArray>("exitCode");
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("openerCalled");

    const QString page = QStringLiteral("page.html");
    QTest::newRow("opened") << page << true << QByteArray("0") << QByteArray() << 42 << true;
    QTest::newRow("opener: no such file")
        << page << true << QByteArray("2") << QByteArray() << 2 << true;
    QTest::newRow("opener: no tool")
        << page << true << QByteArray("3") << QByteArray() << 31 << true;
    QTest::newRow("opener: action failed")
        << page << true << QByteArray("4") << QByteArray() << 31 << true;
    QTest::newRow("opener: bad syntax")
        << page << true << QByteArray("1") << QByteArray() << 27 << true;
    QTest::newRow("opener crashes")
        << page << true << QByteArray("0") << QByteArray("crash") << 27 << true;
    QTest::newRow("no opener") << page << false << QByteArray("0") << QByteArray() << 31 << false;
    QTest::newRow("page missing") << QStringLiteral("gone.html") << true << QByteArray("0")
                                  << QByteArray() << 2 << false;
    QTest::newRow("folder missing") << QStringLiteral("nowhere/page.html") << true
                                    << QByteArray("0") << QByteArray() << 3 << false;
    QTest::newRow("empty name") << QString() << true << QByteArray("0") << QByteArray() << 2
                                << false;
}

void TestHtml::openDocument() {
    QFETCH(QString, document);
    QFETCH(bool, openerOnPath);
    QFETCH(QByteArray, exitCode);
    QFETCH(QByteArray, mode);
    QFETCH(int, expected);
    QFETCH(bool, openerCalled);

    opener->setOnPath(openerOnPath);
    opener->setExitCode(exitCode.toInt());
    opener->setCrash(mode == "crash");
    const QString path = document.isEmpty() ? QString() : docsDir + QLatin1Char('/') + document;

    QCOMPARE(platform::openDocument(path), expected);
    QCOMPARE(opener->calls(), openerCalled ? QStringList{path} : QStringList{});
}

void TestHtml::unreadableDocument() {
    if (::geteuid() == 0)
        QSKIP("root may read every file");
    const QString path = docsDir + QStringLiteral("/secret.html");
    QVERIFY(writeFile(path, "secret"));
    QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    QCOMPARE(platform::openDocument(path), 5);
    QVERIFY(opener->calls().isEmpty());
}

void TestHtml::threadReportsFailure_data() {
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("openerOnPath");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("page missing") << QStringLiteral("2_rebuild.html") << true << QString()
                                  << QStringLiteral("  was not found.");
    QTest::newRow("folder missing")
        << QStringLiteral("nowhere/2_rebuild.html") << true << QStringLiteral("The path to ")
        << QStringLiteral(" was not found.");
    QTest::newRow("no opener") << QStringLiteral("page.html") << false
                               << QStringLiteral("There is no application associated with ")
                               << QString();
}

void TestHtml::threadReportsFailure() {
    QFETCH(QString, document);
    QFETCH(bool, openerOnPath);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    opener->setOnPath(openerOnPath);
    const QString path = docsDir + QLatin1Char('/') + document;

    auto* thread = new HtmlThread(true);
    thread->setFileName(path);
    QCOMPARE(HtmlThread::liveCount(), 1);
    thread->start();
    QTRY_COMPARE(HtmlThread::liveCount(), 0);

    const QList<Box> shown = messages->boxes();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].caption, QStringLiteral("Build"));
    QCOMPARE(shown[0].text, prefix + path + suffix);
}

void TestHtml::threadsRunSideBySide() {
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
    const QList<Box> shown = messages->boxes();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, missing + QStringLiteral("  was not found."));
}

QTEST_MAIN(TestHtml)
#include "tst_html.moc"
