// Build: builds the concordance database of one Bible text, named on the
// command line ("Build Text KJV"), from a small dialog; with --batch the same
// build runs without a window or a user.

#include "builder/Oddsandsods.h"
#include "builder/Rebuild.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"

#include <QByteArray>
#include <QHash>
#include <QPushButton>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

constexpr char usage[] =
    "Usage: Build [--batch] Text NAME\n"
    "       Build --help\n"
    "\n"
    "Builds the concordance database and the word lists of the Bible text NAME\n"
    "from its verse table Text/NAME/Bible.db below the program's folder. Options\n"
    "come before the word \"Text\"; everything from \"Text\" on names the text.\n"
    "\n"
    "Without options the build dialog opens and the build starts at \"OK Build\".\n"
    "\n"
    "  --batch  Build at once without a window (and without a display): every\n"
    "           caption, action and status text goes to standard output as it\n"
    "           changes, every message to standard error as \"caption: text\".\n"
    "  --help   Show this text.\n"
    "\n"
    "Exit status of --batch: 0 the build completed; 1 it stopped (the database is\n"
    "in use, there is no Bible.db, or an error ended it); 2 no text was named, or\n"
    "NAME is not one folder name; 3 the build completed, but errors were reported\n"
    "on the way.\n";

enum ExitCode { Completed = 0, Stopped = 1, BadCommandLine = 2, CompletedWithErrors = 3 };

struct Options {
    bool batch = false;
    bool help = false;
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
        else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)
            options.help = true;
    }
    return options;
}

// Writes the dialog's texts to standard output, one line each as it changes,
// and is where the stages report. On a terminal the progress bar is one line
// that updates in place, below the texts; into a file or a pipe no progress is
// written.
class BatchReport : public QObject, public StageReport {
public:
    BatchReport(TRebuildDlg* dialog, bool terminal) : onTerminal(terminal) {
        connect(dialog, &TRebuildDlg::textChanged, this,
                [this](const QString& what, const QString& value) {
                    platform::reportExceptions([&] { text(what, value); });
                });
    }
    ~BatchReport() override { clearProgress(); }
    BatchReport(const BatchReport&) = delete;
    BatchReport& operator=(const BatchReport&) = delete;

    void showStatus(const QString& value) override { text(QStringLiteral("status"), value); }
    void setProgress(int position) override {
        if (onTerminal)
            progress(position);
    }
    void processEvents() override { QCoreApplication::processEvents(); }

private:
    void text(const QString& what, const QString& value) {
        const auto last = lastTexts.constFind(what);
        if (last != lastTexts.constEnd() && *last == value)
            return;
        lastTexts.insert(what, value);
        clearProgress();
        std::fputs(value.toLocal8Bit().constData(), stdout);
        std::fputc('\n', stdout);
        drawProgress();
        std::fflush(stdout);
    }

    void progress(int value) {
        if (value == percent)
            return;
        clearProgress();
        percent = value;
        drawProgress();
        std::fflush(stdout);
    }

    void drawProgress() {
        if (percent < 0)
            return;
        std::fprintf(stdout, "Progress %3d%%", percent);
        progressShown = true;
    }

    void clearProgress() {
        if (!progressShown)
            return;
        std::fputs("\r\033[K", stdout);
        progressShown = false;
    }

    bool onTerminal;
    bool progressShown = false;
    int percent = -1;
    QHash<QString, QString> lastTexts;
};

// Presses "OK Build" on a dialog that is never shown and reports how the build
// ended in the exit status.
int runBatch(int& argc, char** argv) {
    // No display is needed: the window is never shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));

    int messages = 0;
    platform::setMessageSink([&messages](const QString& caption, const QString& text) {
        ++messages;
        platform::printMessage(caption, text);
    });

    int exitCode = Stopped;
    std::unique_ptr<TRebuildDlg> dialog;
    try {
        // Nobody sees the window: it has no place to remember.
        dialog = std::make_unique<TRebuildDlg>(nullptr, TRebuildDlg::WindowPlace::NotRemembered);
        RebuildDlg = dialog.get();
        {
            BatchReport report(dialog.get(), isatty(STDOUT_FILENO) != 0);
            dialog->setStageReport(&report);
            dialog->B_BuildClick(dialog->B_Build);
            dialog->setStageReport(nullptr);
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
            exitCode = Stopped;
            break;
        }
    } catch (const std::exception& e) {
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
    const Options options = readOptions(argc, argv);
    if (options.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (options.batch) {
        if (!options.textNamed) {
            std::fputs("Build: name the text to build, for example: Build --batch Text KJV\n\n",
                       stderr);
            std::fputs(usage, stderr);
            return BadCommandLine;
        }
        return runBatch(argc, argv);
    }
    return runDialog(argc, argv);
}
