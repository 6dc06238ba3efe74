// Where a message box goes in a program without windows: to the sink when one
// is installed, else to the presenter a window library installs (unless it
// cannot show one), else to standard error as "caption: text"; from a worker
// thread always on the user-interface thread, without waiting.

#include "platform/core/messagesink.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryFile>
#include <QThread>
#include <QtTest>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

namespace {

struct Shown {
    QString caption;
    QString text;
    platform::MessageIcon icon;
    bool wait;
    bool onMainThread;
};

QList<Shown> shown;
bool presenterShows = true;

bool recordingPresenter(const QString& caption, const QString& text, platform::MessageIcon icon,
                        bool wait) {
    shown.append({caption, text, icon, wait,
                  QThread::currentThread() == QCoreApplication::instance()->thread()});
    return presenterShows;
}

// What `work` writes on standard error.
template <typename Work> QByteArray standardError(Work work) {
    QTemporaryFile file;
    if (!file.open())
        return "no temporary file";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    work();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

} // namespace

class TestMessageSink : public QObject {
    Q_OBJECT

private slots:
    void init() {
        shown.clear();
        presenterShows = true;
        platform::setMessagePresenter(nullptr);
        platform::setMessageSink({});
    }
    void cleanupTestCase() { platform::setMessagePresenter(nullptr); }

    // Without a window library every box is a line on standard error, its
    // Windows-style line breaks made plain.
    void withoutPresenterTheBoxIsPrinted() {
        const QByteArray err = standardError(
            [] { platform::messageBox("openTable", "File is locked\r\n unable to open Key"); });
        QCOMPARE(err, QByteArray("openTable: File is locked\n unable to open Key\n"));
    }

    // The sink comes first; without it the presenter shows the box, modal; a
    // presenter that cannot show one leaves it to be printed.
    void sinkThenPresenterThenPrinted() {
        platform::setMessagePresenter(recordingPresenter);
        QStringList sunk;
        platform::setMessageSink([&sunk](const QString& caption, const QString& text) {
            sunk << caption + ": " + text;
        });
        QByteArray err = standardError([] { platform::messageBox("Build", "one"); });
        QCOMPARE(sunk, QStringList{"Build: one"});
        QVERIFY(shown.isEmpty());
        QVERIFY(err.isEmpty());

        const auto previous = platform::setMessageSink({});
        QVERIFY(previous);
        err = standardError(
            [] { platform::messageBox("Build", "two", platform::MessageIcon::Error); });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("two"));
        QCOMPARE(shown[0].icon, platform::MessageIcon::Error);
        QVERIFY(shown[0].wait);
        QVERIFY(err.isEmpty());

        presenterShows = false;
        err = standardError([] { platform::messageBox("Build", "three"); });
        QCOMPARE(shown.size(), 2);
        QCOMPARE(err, QByteArray("Build: three\n"));
    }

    // A box from a worker thread returns at once and is shown on the
    // user-interface thread when it next processes events, without waiting.
    void workerThreadHandsTheBoxOver() {
        platform::setMessagePresenter(recordingPresenter);
        QThread* worker = QThread::create([] { platform::messageBox("Help", "not found"); });
        worker->start();
        QVERIFY(worker->wait(10000));
        delete worker;
        QVERIFY(shown.isEmpty());
        QTRY_COMPARE(shown.size(), 1);
        QVERIFY(shown[0].onMainThread);
        QVERIFY(!shown[0].wait);
        QCOMPARE(shown[0].caption, QStringLiteral("Help"));
    }

    // An exception's report: its message under the application's name, as
    // an error.
    void exceptionIsReportedUnderTheApplicationsName() {
        platform::setMessagePresenter(recordingPresenter);
        platform::reportExceptions([] { throw std::runtime_error("disk full"); });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].caption, QCoreApplication::applicationName());
        QCOMPARE(shown[0].text, QStringLiteral("disk full"));
        QCOMPARE(shown[0].icon, platform::MessageIcon::Error);
    }
};

QTEST_GUILESS_MAIN(TestMessageSink)
#include "tst_messagesink.moc"
