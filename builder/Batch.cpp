#include "builder/Batch.h"

#include "builder/Oddsandsods.h"
#include "builder/Pipeline.h"
#include "builder/Wordlists.h"
#include "concordance/numberformat.h"
#include "platform/core/messagesink.h"
#include "platform/core/table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

using concordance::formatNumber;

namespace {

const char usage[] = "Usage: Build [--batch [--verbose]] Text NAME\n"
                     "       Build --help | --version\n";

const char description[] =
    "Builds the concordance database and the word lists of the Bible text NAME\n"
    "from its verse table Text/NAME/Bible.db in the folder of texts. Options\n"
    "come before the word \"Text\"; everything from \"Text\" on names the text.\n"
    "\n"
    "The folder of texts is Text/ beside the program where the user may write\n"
    "the program's folder, otherwise $XDG_DATA_HOME/concordance/Text/ (by default\n"
    "~/.local/share/concordance/Text/).\n"
    "\n"
    "Without options the build dialog opens and the build starts at \"OK Build\".\n"
    "\n"
    "  --batch    Build at once without a window (and without a display). Standard\n"
    "             output gets the start time, a line per stage and a summary of\n"
    "             the tables and word lists made; on a terminal, a live line shows\n"
    "             the stage, the percent done and the current status. Every\n"
    "             message goes to standard error as \"caption: text\".\n"
    "  --verbose  With --batch: every caption, action and status text is a line\n"
    "             of its own on standard output, as it changes.\n"
    "  --help     Show this text.\n"
    "  --version  Show the program's version.\n"
    "\n"
    "Exit status of --batch: 0 the build completed; 1 it stopped (the database is\n"
    "in use, there is no Bible.db, or an error ended it); 2 no text was named, or\n"
    "NAME is not one folder name, or an option is unknown; 3 the build completed,\n"
    "but errors were reported on the way.\n";

// Where the stages report in batch mode, and what a person reads of the build
// on standard output: the start time, a line for each stage, on a terminal a
// live line (stage, percent, status) that updates in place below them, and a
// summary at the end. Messages go to standard error, the live line cleared
// first. When verbose, every caption, action and status text is a line of its
// own, as it changes, and the live line shows the percent alone.
class BatchReport : public QObject, public StageReport {
public:
    BatchReport(BuildPipeline* pipeline, bool verboseOutput)
        : verbose(verboseOutput), onTerminal(isatty(STDOUT_FILENO) != 0) {
        connect(pipeline, &BuildPipeline::textChanged, this,
                [this](const QString& what, const QString& value) {
                    platform::reportExceptions([&] { text(what, value); });
                });
        connect(pipeline, &BuildPipeline::stageStarted, this,
                [this](int number, const QString& what) {
                    platform::reportExceptions([&] { stage(number, what); });
                });
        sinceDrawn.start();
    }
    ~BatchReport() override { clearLine(); }
    BatchReport(const BatchReport&) = delete;
    BatchReport& operator=(const BatchReport&) = delete;

    void showStatus(const QString& value) override { text(QStringLiteral("status"), value); }
    void setProgress(int position) override {
        if (position == percent)
            return;
        percent = position;
        if (onTerminal)
            drawLine(true);
    }
    // Without a window nothing waits on the event loop but what Qt itself
    // posts: it runs every 50 ms rather than at every status.
    void processEvents() override {
        if (sinceEvents.isValid() && sinceEvents.elapsed() < 50)
            return;
        sinceEvents.start();
        QCoreApplication::processEvents();
    }

    // A message box as one line on standard error.
    void message(const QString& caption, const QString& text) {
        clearLine();
        std::fflush(stdout);
        platform::printMessage(caption, text);
        drawLine(true);
    }

    // After a completed build: the elapsed time, and where the tables and
    // lists are, with their sizes.
    void summary(const BuildPipeline& build) {
        clearLine();
        live = false;
        if (!verbose)
            print(QStringLiteral("Build complete. ") + elapsed);
        QList<QStringList> tables;
        for (TTable* table : {build.T_Word, build.T_Key, build.T_Freq}) {
            const QFileInfo file(table->fileName());
            tables.append({file.fileName(),
                           formatNumber(table->RecordCount()) + QStringLiteral(" rows"),
                           size(file)});
        }
        QList<QStringList> lists;
        for (const char* suffix : listfile::all) {
            const QFileInfo file(build.dataPath + build.bibleName + QLatin1String(suffix) +
                                 QStringLiteral(".txt"));
            lists.append(
                {file.fileName(), file.isFile() ? size(file) : QStringLiteral("not written")});
        }
        print(QStringLiteral("Tables in ") + build.dataPath + QLatin1Char(':'));
        printColumns(tables);
        print(QStringLiteral("Word lists in ") + build.dataPath + QLatin1Char(':'));
        printColumns(lists);
    }

private:
    void text(const QString& what, const QString& value) {
        if (verbose) {
            const auto last = lastTexts.constFind(what);
            if (last != lastTexts.constEnd() && *last == value)
                return;
            lastTexts.insert(what, value);
            print(value);
            return;
        }
        if (what == QLatin1String("start")) {
            print(value);
        } else if (what == QLatin1String("finish")) {
            elapsed = value;
        } else if (what == QLatin1String("status")) {
            status = value;
            if (onTerminal)
                drawLine(false);
        }
    }

    void stage(int number, const QString& what) {
        currentStage = number;
        if (!verbose)
            print(QStringLiteral("Stage %1 of 4: %2").arg(number).arg(what));
    }

    // A line of its own, above the live line.
    void print(const QString& line) {
        clearLine();
        std::fputs(line.toLocal8Bit().constData(), stdout);
        std::fputc('\n', stdout);
        drawLine(true);
    }

    // Indented rows of columns, the first aligned left, the others right.
    void printColumns(const QList<QStringList>& rows) {
        QList<qsizetype> widths;
        for (const QStringList& row : rows) {
            widths.resize(qMax(widths.size(), row.size()));
            for (qsizetype i = 0; i < row.size(); ++i)
                widths[i] = qMax(widths[i], row[i].size());
        }
        for (const QStringList& row : rows) {
            QString line = QStringLiteral("  ") + row[0].leftJustified(widths[0]);
            for (qsizetype i = 1; i < row.size(); ++i)
                line += QStringLiteral("  ") + row[i].rightJustified(widths[i]);
            print(line);
        }
    }

    static QString size(const QFileInfo& file) {
        return formatNumber(file.size()) + QStringLiteral(" bytes");
    }

    // The live line: the stage, the progress bar's percent and the status,
    // cut to the terminal's width so that it never wraps. A change of the
    // status alone is drawn at most every 50 ms.
    void drawLine(bool force) {
        if (!onTerminal || !live || (!verbose && currentStage == 0) || (verbose && percent < 0))
            return;
        if (!force && sinceDrawn.elapsed() < 50)
            return;
        sinceDrawn.restart();
        QString line;
        if (verbose)
            line = QStringLiteral("Progress %1%").arg(percent, 3);
        else
            line = QStringLiteral("Stage %1 of 4 %2%  %3")
                       .arg(currentStage)
                       .arg(qMax(percent, 0), 3)
                       .arg(status);
        if (lineShown)
            std::fputs("\r\033[K", stdout);
        std::fputs(line.left(terminalWidth() - 1).toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
        lineShown = true;
    }

    void clearLine() {
        if (!lineShown)
            return;
        std::fputs("\r\033[K", stdout);
        std::fflush(stdout);
        lineShown = false;
    }

    static int terminalWidth() {
        winsize size{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
            return size.ws_col;
        return 80;
    }

    bool verbose;
    bool onTerminal;
    bool lineShown = false;
    bool live = true; // false once the summary is written
    int currentStage = 0;
    int percent = -1;
    QString status;
    QString elapsed;
    QElapsedTimer sinceDrawn;
    QElapsedTimer sinceEvents;
    QHash<QString, QString> lastTexts;
};

} // namespace

platform::CommandLineSpec buildCommandLine() {
    return {QStringLiteral("Build"),
            QString::fromLatin1(usage),
            QString::fromLatin1(description),
            {{"--batch"}, {"--verbose"}, {"-v"}},
            true,
            QStringLiteral("Text")};
}

BuildOptions readBuildOptions(int argc, char** argv) {
    BuildOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strncmp(argument, "Text", 4) == 0) {
            options.textNamed = true;
            break;
        }
        if (std::strcmp(argument, "--batch") == 0)
            options.batch = true;
        else if (std::strcmp(argument, "--verbose") == 0 || std::strcmp(argument, "-v") == 0)
            options.verbose = true;
    }
    return options;
}

// Runs the build as "OK Build" would, and reports how it ended in the exit
// status.
int runBatch(int& argc, char** argv, bool verbose) {
    if (!readBuildOptions(argc, argv).textNamed) {
        std::fputs("Build: name the text to build, for example: Build --batch Text KJV\n\n",
                   stderr);
        std::fputs(usage, stderr);
        return BadCommandLine;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(applicationTitle));

    int messages = 0;
    BatchReport* shown = nullptr;
    platform::setMessageSink([&messages, &shown](const QString& caption, const QString& text) {
        ++messages;
        if (shown)
            shown->message(caption, text);
        else
            platform::printMessage(caption, text);
    });

    int exitCode = Stopped;
    try {
        BuildPipeline pipeline;
        {
            BatchReport report(&pipeline, verbose);
            shown = &report;
            pipeline.setStageReport(&report);
            pipeline.run();
            pipeline.setStageReport(nullptr);
            if (pipeline.state() == BuildPipeline::State::Done)
                report.summary(pipeline);
            shown = nullptr;
        }
        switch (pipeline.state()) {
        case BuildPipeline::State::Done:
            exitCode = messages == 0 ? Completed : CompletedWithErrors;
            break;
        default:
            // A name that is no text's name has been told in its box.
            if (!pipeline.textNameProblem().isEmpty()) {
                exitCode = BadCommandLine;
                break;
            }
            if (!pipeline.stopReason().isEmpty())
                platform::printMessage(QStringLiteral("Build stopped"), pipeline.stopReason());
            if (const QString advice = pipeline.importAdvice(); !advice.isEmpty())
                platform::printMessage(QString::fromLatin1(applicationTitle), advice);
            exitCode = Stopped;
            break;
        }
    } catch (const std::exception& e) {
        shown = nullptr;
        std::fflush(stdout);
        platform::showException(e);
        exitCode = Stopped;
    }
    platform::setMessageSink({});
    return exitCode;
}
