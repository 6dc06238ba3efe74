// The help launcher: opening a document with the desktop's handler, the
// messages for each failure, and the self-freeing worker thread.
//
// A fake xdg-open placed first on PATH records what it was asked to open and
// exits as the test tells it (FAKE_OPENER_EXIT, or FAKE_OPENER_MODE=crash).

#include "builder/Html.h"
#include "platform/gui/messages.h"
#include "platform/gui/shellopen.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

struct Box {
    QString caption;
    QString text;
};

QMutex boxesMutex;
QList<Box> boxes;

QList<Box> shownBoxes() {
    QMutexLocker lock(&boxesMutex);
    return boxes;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

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
    QStringList openerCalls() const;
    void useOpener(bool onPath);

    QTemporaryDir root;
    QString openerDir;
    QString emptyDir;
    QString docsDir;
    QString logFile;
    QByteArray originalPath;
};

void TestHtml::initTestCase() {
    QVERIFY(root.isValid());
    openerDir = root.filePath(QStringLiteral("bin"));
    emptyDir = root.filePath(QStringLiteral("empty"));
    docsDir = root.filePath(QStringLiteral("docs"));
    logFile = root.filePath(QStringLiteral("opener.log"));
    QVERIFY(QDir().mkpath(openerDir));
    QVERIFY(QDir().mkpath(emptyDir));
    QVERIFY(QDir().mkpath(docsDir));

    const QString opener = openerDir + QStringLiteral("/xdg-open");
    writeFile(opener, "#!/bin/sh\n"
                      "printf '%s\\n' \"$1\" >> \"$FAKE_OPENER_LOG\"\n"
                      "if [ \"$FAKE_OPENER_MODE\" = crash ]; then kill -SEGV $$; fi\n"
                      "exit \"${FAKE_OPENER_EXIT:-0}\"\n");
    QVERIFY(QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther));
    writeFile(docsDir + QStringLiteral("/page.html"), "<html><body>help</body></html>\n");

    originalPath = qgetenv("PATH");
    qputenv("FAKE_OPENER_LOG", logFile.toLocal8Bit());
    platform::setMessageSink([](const QString& caption, const QString& text) {
        QMutexLocker lock(&boxesMutex);
        boxes.append({caption, text});
    });
}

void TestHtml::init() {
    {
        QMutexLocker lock(&boxesMutex);
        boxes.clear();
    }
    QFile::remove(logFile);
    useOpener(true);
    qputenv("FAKE_OPENER_EXIT", "0");
    qunsetenv("FAKE_OPENER_MODE");
}

void TestHtml::cleanupTestCase() {
    platform::setMessageSink({});
    qputenv("PATH", originalPath);
}

QStringList TestHtml::openerCalls() const {
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The fake opener first on PATH, or a PATH on which there is no opener at all.
void TestHtml::useOpener(bool onPath) {
    qputenv("PATH", (onPath ? openerDir + QLatin1Char(':') + QString::fromLocal8Bit(originalPath)
                            : emptyDir)
                        .toLocal8Bit());
}

void TestHtml::shellErrorMessages_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const QString name = QStringLiteral("/opt/app/help/2_rebuild.html");
    QTest::newRow("0") << 0
                       << QStringLiteral("The operating system is out of memory or resources.");
    QTest::newRow("2") << 2 << name + QStringLiteral("  was not found.");
    QTest::newRow("3") << 3
                       << QStringLiteral("The path to ") + name + QStringLiteral(" was not found.");
    QTest::newRow("5") << 5 << QStringLiteral("The operating system denied access to ") + name;
    QTest::newRow("8") << 8
                       << QStringLiteral("There was not enough memory to complete the operation.");
    QTest::newRow("11") << 11
                        << QStringLiteral("The .EXE file is invalid (non-Win32 .EXE or error in "
                                          ".EXE image).");
    QTest::newRow("26") << 26 << QStringLiteral("A sharing violation occurred.");
    QTest::newRow("27") << 27
                        << QStringLiteral("The filename association is incomplete or invalid.");
    QTest::newRow("28") << 28
                        << QStringLiteral("The DDE transaction could not be completed because the "
                                          "request timed out.");
    QTest::newRow("29") << 29 << QStringLiteral("The DDE transaction failed.");
    QTest::newRow("30") << 30
                        << QStringLiteral("The DDE transaction could not be completed because "
                                          "other DDE transactions were being processed.");
    QTest::newRow("31") << 31 << QStringLiteral("There is no application associated with ") + name;
    QTest::newRow("32") << 32
                        << QStringLiteral("The specified dynamic-link library was not found.");
}

void TestHtml::shellErrorMessages() {
    QFETCH(int, code);
    QFETCH(QString, text);
    HtmlThread::showShellError(code, QStringLiteral("/opt/app/help/2_rebuild.html"));
    const QList<Box> shown = shownBoxes();
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

    useOpener(openerOnPath);
    qputenv("FAKE_OPENER_EXIT", exitCode);
    if (!mode.isEmpty())
        qputenv("FAKE_OPENER_MODE", mode);
    const QString path = document.isEmpty() ? QString() : docsDir + QLatin1Char('/') + document;

    QCOMPARE(platform::openDocument(path), expected);
    QCOMPARE(openerCalls(), openerCalled ? QStringList{path} : QStringList{});
}

void TestHtml::unreadableDocument() {
    if (::geteuid() == 0)
        QSKIP("root may read every file");
    const QString path = docsDir + QStringLiteral("/secret.html");
    writeFile(path, "secret");
    QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    QCOMPARE(platform::openDocument(path), 5);
    QVERIFY(openerCalls().isEmpty());
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
    useOpener(openerOnPath);
    const QString path = docsDir + QLatin1Char('/') + document;

    auto* thread = new HtmlThread(true);
    thread->setFileName(path);
    QCOMPARE(HtmlThread::liveCount(), 1);
    thread->start();
    QTRY_COMPARE(HtmlThread::liveCount(), 0);

    const QList<Box> shown = shownBoxes();
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
    QCOMPARE(openerCalls(), (QStringList{page, page}));
    const QList<Box> shown = shownBoxes();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, missing + QStringLiteral("  was not found."));
}

QTEST_MAIN(TestHtml)
#include "tst_html.moc"
