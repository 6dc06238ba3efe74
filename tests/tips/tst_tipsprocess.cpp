// The real Tips program as a single running copy: a second start asks the
// first to come forward and ends with 1, a killed copy blocks nobody, and of
// twenty copies started at the same moment exactly one stays up.
//
// Every copy runs offscreen from a program folder of the test's own, with a
// runtime folder of its own (where the marker lives), and reports its side of
// the talk on standard error (logging category platform.instance).
// Killed copies leave their marker behind, as a crash would.

#include "tests/support/files.h"
#include "tests/support/processrun.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

class TestTipsProcess : public QObject {
    Q_OBJECT

    QTemporaryDir app;
    std::unique_ptr<QTemporaryDir> runtime;

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime->path());
        env.insert("QT_LOGGING_RULES", "platform.instance.info=true");
        return env;
    }
    std::unique_ptr<QProcess> start() const {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        process->start(app.filePath("Tips"), {});
        process->waitForStarted();
        return process;
    }
    // Waits until the copy's standard error holds `text`.
    static bool saysSoon(QProcess& process, const char* text, QByteArray& seen) {
        QDeadlineTimer deadline(30000);
        while (!seen.contains(text) && !deadline.hasExpired() &&
               process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            seen += process.readAllStandardError();
        }
        return seen.contains(text);
    }
    static void stop(QProcess& process) {
        process.kill();
        process.waitForFinished();
    }
private slots:
    void initTestCase() {
        QVERIFY(testsupport::copyProgram(TIPS_PROGRAM, app.path()));
        for (const char* file : {"Bible right.bmp", "Texts.db"})
            QVERIFY(QFile::copy(QStringLiteral(APP_DIR "/") + file, app.filePath(file)));
    }
    void init() {
        runtime = std::make_unique<QTemporaryDir>();
        QFile::remove(app.filePath("Tips.data"));
    }

    void secondStartComesForward() {
        auto first = start();
        QByteArray said;
        QVERIFY2(saysSoon(*first, "Listening on", said), said.constData());
        testsupport::ProcessOptions options;
        options.environment = environment();
        const auto run = testsupport::runProcess(app.filePath("Tips"), {}, options);
        QVERIFY2(run.exitCode == 1, qPrintable(run.report()));
        QVERIFY2(saysSoon(*first, "Asked to come forward", said), said.constData());
        QCOMPARE(first->state(), QProcess::Running);
        // Asked to end, the first copy closes as after Close and saves.
        first->terminate();
        QVERIFY(first->waitForFinished(30000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        QVERIFY(testsupport::readFile(app.filePath("Tips.data")).contains("Last tip shown=2"));
    }

    // The killed copy leaves its lock file and socket behind.
    void killedCopyBlocksNobody() {
        auto first = start();
        QByteArray said;
        QVERIFY2(saysSoon(*first, "Listening on", said), said.constData());
        stop(*first);
        QVERIFY(QFile::exists(runtime->filePath("ZavuzeRidOvu")));
        QVERIFY(QFile::exists(runtime->filePath("ZavuzeRidOvu.lock")));
        auto next = start();
        said.clear();
        QVERIFY2(saysSoon(*next, "Listening on", said), said.constData());
        QVERIFY(!next->waitForFinished(500));
        // The dead socket was replaced: a third start reaches the next copy.
        testsupport::ProcessOptions options;
        options.environment = environment();
        const auto third = testsupport::runProcess(app.filePath("Tips"), {}, options);
        QVERIFY2(third.exitCode == 1, qPrintable(third.report()));
        QVERIFY2(saysSoon(*next, "Asked to come forward", said), said.constData());
        stop(*next);
    }

    void twentyAtOnce() {
        std::vector<std::unique_ptr<QProcess>> copies;
        for (int i = 0; i < 20; ++i)
            copies.push_back(start());
        QDeadlineTimer deadline(90000);
        int running = 20;
        while (running > 1 && !deadline.hasExpired()) {
            QTest::qWait(100);
            running = 0;
            for (const auto& copy : copies)
                running += copy->state() != QProcess::NotRunning ? 1 : 0;
        }
        QTest::qWait(1000);
        QList<int> exitCodes;
        QProcess* survivor = nullptr;
        for (const auto& copy : copies) {
            if (copy->state() == QProcess::NotRunning)
                exitCodes << copy->exitCode();
            else
                survivor = copy.get();
        }
        QCOMPARE(exitCodes, QList<int>(19, 1));
        QVERIFY(survivor);
        QByteArray said;
        QVERIFY2(saysSoon(*survivor, "Listening on", said), said.constData());
        stop(*survivor);
    }
};

QTEST_GUILESS_MAIN(TestTipsProcess)
#include "tst_tipsprocess.moc"
