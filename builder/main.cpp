// Build: builds the concordance database of one Bible text, named on the
// command line ("Build Text KJV"), from a small dialog; with --batch the same
// build runs without a window or a user.

#include "builder/Oddsandsods.h"
#include "builder/Rebuild.h"
#include "builder/Wordlists.h"
#include "concordance/numberformat.h"
#include "platform/core/commandline.h"
#include "platform/core/table.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
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

enum ExitCode { Completed = 0, Stopped = 1, BadCommandLine = 2, CompletedWithErrors = 3 };

struct Options {
    bool batch = false;
    bool verbose = false;
    bool textNamed = false; // an argument starts with "Text"
};

// The options before the word "Text"; what follows it is the text's name,
// which the dialog reads from the whole command line itself. Anything else
// before it is left to the toolkit (-platform NAME and the like).
Options readOptions(int argc, char** argv) {
    Options options;
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

// Where the stages report in batch mode, and what a person reads of the build
// on standard output: the start time, a line for each stage, on a terminal a
// live line (stage, percent, status) that updates in place below them, and a
// summary at the end. Messages go to standard error, the live line cleared
// first. When verbose, every caption, action and status text is a line of its
// own, as it changes, and the live line shows the percent alone.
class BatchReport : public QObject, public StageReport {
public:
    BatchReport(TRebuildDlg* dialog, bool verboseOutput)
        : verbose(verboseOutput), onTerminal(isatty(STDOUT_FILENO) != 0) {
        connect(dialog, &TRebuildDlg::textChanged, this,
                [this](const QString& what, const QString& value) {
                    platform::reportExceptions([&] { text(what, value); });
                });
        connect(dialog, &TRebuildDlg::stageStarted, this, [this](int number, const QString& what) {
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
    void processEvents() override { QCoreApplication::processEvents(); }

    // A message box as one line on standard error.
    void message(const QString& caption, const QString& text) {
        clearLine();
        std::fflush(stdout);
        platform::printMessage(caption, text);
        drawLine(true);
    }

    // After a completed build: the elapsed time, and where the tables and
    // lists are, with their sizes.
    void summary(const TRebuildDlg& dialog) {
        clearLine();
        live = false;
        if (!verbose)
            print(QStringLiteral("Build complete. ") + elapsed);
        QList<QStringList> tables;
        for (TTable* table : {dialog.T_Word, dialog.T_Key, dialog.T_Freq}) {
            const QFileInfo file(table->fileName());
            tables.append({file.fileName(),
                           formatNumber(table->RecordCount()) + QStringLiteral(" rows"),
                           size(file)});
        }
        QList<QStringList> lists;
        for (const char* suffix : listfile::all) {
            const QFileInfo file(dialog.dataPath + dialog.bibleName + QLatin1String(suffix) +
                                 QStringLiteral(".txt"));
            lists.append(
                {file.fileName(), file.isFile() ? size(file) : QStringLiteral("not written")});
        }
        print(QStringLiteral("Tables in ") + dialog.dataPath + QLatin1Char(':'));
        printColumns(tables);
        print(QStringLiteral("Word lists in ") + dialog.dataPath + QLatin1Char(':'));
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
    QHash<QString, QString> lastTexts;
};

// Presses "OK Build" on a dialog that is never shown and reports how the build
// ended in the exit status.
int runBatch(int& argc, char** argv, bool verbose) {
    // No display is needed: the window is never shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));

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
    std::unique_ptr<TRebuildDlg> dialog;
    try {
        // Nobody sees the window: it has no place to remember.
        dialog = std::make_unique<TRebuildDlg>(nullptr, TRebuildDlg::WindowPlace::NotRemembered);
        RebuildDlg = dialog.get();
        {
            BatchReport report(dialog.get(), verbose);
            shown = &report;
            dialog->setStageReport(&report);
            dialog->B_BuildClick(dialog->B_Build);
            dialog->setStageReport(nullptr);
            if (dialog->buildState() == TRebuildDlg::BuildState::Done)
                report.summary(*dialog);
            shown = nullptr;
        }
        switch (dialog->buildState()) {
        case TRebuildDlg::BuildState::Done:
            exitCode = messages == 0 ? Completed : CompletedWithErrors;
            break;
        default:
            // A name that is no text's name has been told in its box.
            if (!dialog->textNameProblem().isEmpty()) {
                exitCode = BadCommandLine;
                break;
            }
            if (!dialog->stopReason().isEmpty())
                platform::printMessage(QStringLiteral("Build stopped"), dialog->stopReason());
            if (const QString advice = dialog->importAdvice(); !advice.isEmpty())
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
    dialog.reset();
    RebuildDlg = nullptr;
    platform::setMessageSink({});
    return exitCode;
}

int runDialog(int& argc, char** argv) {
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));
    try {
        std::unique_ptr<TRebuildDlg> dialog = std::make_unique<TRebuildDlg>();
        RebuildDlg = dialog.get();
        dialog->show();
        // A text not imported yet: how to import it, before the build would fail.
        if (const QString advice = dialog->importAdvice(); !advice.isEmpty())
            QTimer::singleShot(0, dialog.get(), [advice] {
                platform::messageBox(QString::fromLatin1(applicationTitle), advice);
            });
        QApplication::exec();
        // The destructor saves the window's place.
        dialog.reset();
        RebuildDlg = nullptr;
    } catch (const std::exception& e) {
        RebuildDlg = nullptr;
        platform::showException(e);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const platform::CommandLineSpec spec{QStringLiteral("Build"),
                                         QString::fromLatin1(usage),
                                         QString::fromLatin1(description),
                                         {{"--batch"}, {"--verbose"}, {"-v"}},
                                         true,
                                         QStringLiteral("Text")};
    if (const auto answered = platform::answerCommandLine(spec, argc, argv))
        return *answered;
    const Options options = readOptions(argc, argv);
    if (options.batch) {
        if (!options.textNamed) {
            std::fputs("Build: name the text to build, for example: Build --batch Text KJV\n\n",
                       stderr);
            std::fputs(usage, stderr);
            return BadCommandLine;
        }
        return runBatch(argc, argv, options.verbose);
    }
    return runDialog(argc, argv);
}
