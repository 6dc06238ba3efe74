// The build's pipeline without a window, as the batch mode runs it: what it
// tells (texts, stages, progress) and when it calls the window over it, if
// any; a second run of the same pipeline; a run that stops before the stages
// leaves it ready.

#include "builder/Pipeline.h"
#include "concordance/versekey.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "tests/support/messagecapture.h"
#include "tests/support/versetable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using concordance::verseKey;

namespace {

// Records the window's calls among the pipeline's texts, with the state the
// pipeline is in at each.
class RecordingView : public BuildView {
public:
    explicit RecordingView(QStringList& record) : log(record) {}
    const BuildPipeline* pipeline = nullptr;

    void stagesStarting() override { note("stagesStarting"); }
    void stagesDone() override { note("stagesDone"); }
    void buildCompleted() override { note("buildCompleted"); }

private:
    void note(const char* call) {
        log << QLatin1String(call) +
                   (pipeline->isBuilding() ? QStringLiteral(" building") : QString());
    }
    QStringList& log;
};

} // namespace

class TestBuildPipeline : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    testsupport::MessageCapture messages;
    std::unique_ptr<BuildPipeline> pipeline;
    QStringList log; // "what: text", "stage N: what" and the view's calls, in order
    QList<int> progress;

    QStringList lines(const QString& prefix) const {
        return log.filter(QRegularExpression("^" + prefix));
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        platform::overrideProgramFolder(dir.path() + "/");
        platform::overrideCommandLine(dir.filePath("Build") + " Text KJV");
        log.clear();
        progress.clear();
        messages.clear();
        pipeline = std::make_unique<BuildPipeline>();
        QVERIFY(QDir().mkpath(pipeline->dataPath));
        connect(pipeline.get(), &BuildPipeline::textChanged,
                [this](const QString& what, const QString& text) { log << what + ": " + text; });
        connect(pipeline.get(), &BuildPipeline::stageStarted,
                [this](int stage, const QString& what) {
                    log << QStringLiteral("stage %1: %2").arg(stage).arg(what);
                });
        connect(pipeline.get(), &BuildPipeline::progressChanged,
                [this](int position) { progress << position; });
    }
    void cleanup() {
        pipeline.reset();
        QDir(dir.path() + "/Text").removeRecursively();
        platform::overrideProgramFolder(std::nullopt);
        platform::overrideCommandLine(std::nullopt);
    }

    // Without a window or a report of its own, the pipeline tells everything
    // itself: the stages' status texts among its own, the progress up to
    // the end, the stages by their texts; the tables are its own.
    void buildWithoutAWindow() {
        testsupport::Verses verses;
        for (int i = 1; i <= 80; ++i)
            verses.append({verseKey(1, 1, i), QStringLiteral("Verse %1 of the test").arg(i)});
        testsupport::writeVerseTable(pipeline->dataPath, verses);
        QCOMPARE(pipeline->wordSize, 18);
        pipeline->run();
        QCOMPARE(pipeline->state(), BuildPipeline::State::Done);
        QVERIFY(!pipeline->isBuilding());
        QVERIFY(pipeline->stopReason().isEmpty());
        QVERIFY(messages.lines().isEmpty());
        QCOMPARE(pipeline->T_Word->RecordCount(), 400);

        QCOMPARE(lines("stage"), (QStringList{"stage 1: Creating tempory word table",
                                              "stage 2: Building the word index tables",
                                              "stage 3: Building frequency and lookup tables"}));
        QVERIFY2(log.first().startsWith("start: Start time "), qPrintable(log.join('\n')));
        QVERIFY(log.contains("status: Verse 74 of 80"));
        QVERIFY(log.contains("status: Creating PCRE file"));
        QCOMPARE(log.mid(log.size() - 4, 3),
                 (QStringList{"caption:  Build complete", "status: Stage 4 complete.",
                              "action: Build complete. You should close this dialog."}));
        QVERIFY(log.last().startsWith("finish: Elapsed time "));
        // 74 of 80 verses in stage 2, with a step of 2.
        QVERIFY2(progress.contains(37), qPrintable(QString::number(progress.size())));

        // A text is built once per run of the program.
        log.clear();
        pipeline->run();
        QVERIFY(log.isEmpty());
        QCOMPARE(pipeline->state(), BuildPipeline::State::Done);
    }

    // The window's calls: before the stages, once the stages are done but
    // before "Build complete" shows, and after it; each while the build runs.
    void windowIsCalledAtTheBuildsTurns() {
        testsupport::writeVerseTable(pipeline->dataPath, {{verseKey(1, 1, 1), "Jesus wept."}});
        RecordingView view(log);
        view.pipeline = pipeline.get();
        pipeline->setView(&view);
        pipeline->run();
        QCOMPARE(pipeline->state(), BuildPipeline::State::Done);
        const auto at = [this](const QString& line) { return log.indexOf(line); };
        QVERIFY(at("stagesStarting building") > at("action: Database and wordlists for"));
        QVERIFY(at("stagesStarting building") < at("caption:  Building - Stage 1 of 4"));
        QVERIFY(at("stagesDone building") > at("status: Creating PCRE file"));
        QVERIFY(at("stagesDone building") < at("caption:  Build complete"));
        QVERIFY(at("buildCompleted building") == log.size() - 1);
        QCOMPARE(log.filter(QRegularExpression("^(stages|build)")).size(), 3);
    }

    // Without a verse table the run stops before the stages and says where
    // it looked, with the path as the action's path; it may run again, and
    // the window is never called.
    void missingVerseTableLeavesItReady() {
        RecordingView view(log);
        view.pipeline = pipeline.get();
        pipeline->setView(&view);
        const QString verses = pipeline->dataPath + "Bible.db";
        for (int run = 0; run < 2; ++run) {
            log.clear();
            pipeline->run();
            QCOMPARE(pipeline->state(), BuildPipeline::State::Ready);
            QCOMPARE(pipeline->stopReason(), "Failed to find " + verses);
            QCOMPARE(pipeline->actionPath(), verses);
            QCOMPARE(log, (QStringList{"caption:  Error!", "action: Failed to find " + verses}));
        }
        QVERIFY(messages.lines().isEmpty());
        QVERIFY(pipeline->importAdvice().startsWith("There is no verse table for KJV yet.\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBuildPipeline)
#include "tst_buildpipeline.moc"
