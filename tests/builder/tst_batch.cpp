// The batch mode of the real Build program: "Build --batch Text T" in a program
// folder of the test's own, without a display. Its output into a log, on a
// terminal and with --verbose, its messages on standard error and its exit
// status for a completed build, a missing verse table, a database in use, an
// error inside a stage and errors reported on the way; --help and a missing
// text name. A batch build loads no display library; without --batch the
// process becomes the dialog's program, or says why it cannot.

#include "concordance/textfolder.h"
#include "platform/core/process.h"
#include "tests/builder/testprogram.h"
#include "tests/support/processrun.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A run of Build: its exit code, the lines of its standard output and its
// standard error.
struct Run {
    testsupport::ProcessResult result;
    int exitCode = result.exitCode;
    QStringList out = result.outLines();
    QString err = QString::fromLocal8Bit(result.err);
};

QString report(const Run& run) {
    return run.result.report();
}

// The libraries a running process has mapped, by file name.
QStringList mappedLibraries(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype slash = line.lastIndexOf('/');
        if (slash >= 0 && line.contains(".so"))
            names << QString::fromLocal8Bit(line.mid(slash + 1));
    }
    names.removeDuplicates();
    return names;
}

QStringList displayLibraries(const QStringList& libraries) {
    return libraries.filter(QRegularExpression(QStringLiteral("^libQt6(Widgets|Gui)\\.so")));
}

// Genesis 1:1-2 in short: 18 occurrences of 12 words.
Verses genesis() {
    return {{verseKey(1, 1, 1), "In the beginning God created the heaven and the earth."},
            {verseKey(1, 1, 2), "And the earth was without form, and void."}};
}

// Enough verses for running reports: one at every 37th verse.
Verses eightyVerses() {
    Verses verses;
    for (int i = 1; i <= 80; ++i)
        verses.append({verseKey(1, 1, i), QStringLiteral("Verse %1 of the test").arg(i)});
    return verses;
}

} // namespace

class TestBatch : public QObject {
    Q_OBJECT

    QTemporaryDir app;
    QTemporaryDir runtime; // the toolkit's runtime folder, private to the user

    QString textFolder() const { return app.filePath(QStringLiteral("Text/T/")); }

    // Runs the copy of Build in the program folder (or the one at `program`);
    // with `terminal`, on a pseudo-terminal of its own (through script(1)),
    // output and errors merged.
    Run build(const QStringList& arguments, bool terminal = false, QString program = QString()) {
        testsupport::ProcessOptions options;
        // The program must do without a display of its own accord.
        options.environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        options.environment.remove(QStringLiteral("DISPLAY"));
        options.environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        options.environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        if (program.isEmpty())
            program = app.filePath(QStringLiteral("Build"));
        return Run{terminal ? testsupport::runProcess(
                                  QStringLiteral("script"),
                                  {"-qec", "'" + program + "' " + arguments.join(' '), "/dev/null"},
                                  options)
                            : testsupport::runProcess(program, arguments, options)};
    }

    // The environment of a run: no display, a runtime folder of its own.
    QStringList environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        return environment.toStringList();
    }

private slots:
    // The program folder: Build and its dialog with the libraries beside
    // them, and the picture.
    void initTestCase() {
        QVERIFY(app.isValid());
        const QFileInfo program(QStringLiteral(BUILD_PROGRAM));
        QVERIFY2(program.isExecutable(), BUILD_PROGRAM);
        QVERIFY(QFile::copy(program.filePath(), app.filePath(QStringLiteral("Build"))));
        QVERIFY(QFile::copy(QStringLiteral(BUILD_DIALOG_PROGRAM),
                            app.filePath(QStringLiteral("build-dialog"))));
        QDirIterator libraries(program.path(), {QStringLiteral("*.so*")}, QDir::Files);
        while (libraries.hasNext()) {
            const QFileInfo library(libraries.next());
            QVERIFY(QFile::copy(library.filePath(), app.filePath(library.fileName())));
        }
        QVERIFY(QFile::copy(QStringLiteral(DATA_DIR "/Bible left.bmp"),
                            app.filePath(QStringLiteral("Bible left.bmp"))));
    }
    void init() {
        QDir(textFolder()).removeRecursively();
        QVERIFY(QDir().mkpath(textFolder()));
    }

    // Into a log: the start time, a line per stage, the completion and the
    // summary; nothing of the running status, no line drawn in place.
    void completedBuildInALog() {
        writeVerseTable(textFolder(), genesis());
        const Run run = build({"--batch", "Text", "T"});
        QVERIFY2(run.exitCode == 0, qPrintable(report(run)));
        QVERIFY2(run.err.isEmpty(), qPrintable(report(run)));
        const QStringList expected = {"Start time *",
                                      "Stage 1 of 4: Creating tempory word table",
                                      "Stage 2 of 4: Building the word index tables",
                                      "Stage 3 of 4: Building frequency and lookup tables",
                                      "Build complete. Elapsed time * min *.* seconds",
                                      "Tables in " + textFolder() + ":",
                                      "  Word.db  18 rows  * bytes",
                                      "  Key.db   12 rows  * bytes",
                                      "  Freq.db  12 rows  * bytes",
                                      "Word lists in " + textFolder() + ":",
                                      "  T_Freq.txt      * bytes",
                                      "  T_List.txt      * bytes",
                                      "  T_Alpha.txt     * bytes",
                                      "  T_Length.txt    * bytes",
                                      "  T_CharFreq.txt  * bytes",
                                      "  T_Pcre.txt*68 bytes"};
        QCOMPARE(run.out.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const auto pattern = QRegularExpression::fromWildcard(expected[i], Qt::CaseSensitive);
            QVERIFY2(pattern.match(run.out[i]).hasMatch(), qPrintable(run.out[i]));
        }
        QCOMPARE(rowCount(textFolder(), "Word"), 18);
        QVERIFY(!QFile::exists(textFolder() + "Temp_Word.db"));
    }

    // --verbose: each caption, action and status text once, as it changed.
    void verboseBuild() {
        writeVerseTable(textFolder(), genesis());
        const Run run = build({"--batch", "--verbose", "Text", "T"});
        QVERIFY2(run.exitCode == 0, qPrintable(report(run)));
        const QStringList expected = {" Building",
                                      "Database and wordlists for",
                                      " Building - Stage 1 of 4",
                                      "Creating tempory word table",
                                      " Building - Stage 2 of 4",
                                      "Stage 1 complete",
                                      "Building the word index tables",
                                      "2 records processed",
                                      " Building - Stage 3 of 4",
                                      "Stage 2 complete.",
                                      "Building frequency and lookup tables",
                                      "Total Words 12",
                                      "Creating PCRE file",
                                      " Build complete",
                                      "Stage 4 complete.",
                                      "Build complete. You should close this dialog.",
                                      "Tables in " + textFolder() + ":"};
        qsizetype at = -1;
        for (const QString& line : expected) {
            const qsizetype found = run.out.indexOf(line, at + 1);
            QVERIFY2(found > at, qPrintable(line + "\n" + report(run)));
            QCOMPARE(run.out.count(line), 1);
            at = found;
        }
        QVERIFY2(run.out.first().startsWith("Start time "), qPrintable(report(run)));
        QVERIFY2(run.out[at - 1].startsWith("Elapsed time "), qPrintable(report(run)));
        // Into a pipe no progress lines are written.
        for (const QString& line : run.out)
            QVERIFY2(!line.contains('%') && !line.contains('\r'), qPrintable(line));
    }

    // On a terminal one live line shows the stage, the percent and the status
    // below the stage lines; it is wiped before each line of its own and
    // before the summary.
    void liveLineOnATerminal() {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) is not installed");
        writeVerseTable(textFolder(), eightyVerses());
        const Run run = build({"--batch", "Text", "T"}, true);
        QVERIFY2(run.exitCode == 0, qPrintable(report(run)));
        const QString output = run.out.join('\n');
        // 74 of 80 verses with a step of 2: 37 %, with the verse's text.
        QVERIFY2(output.contains("\r\033[KStage 2 of 4  37%  Verse 74 of 80"), qPrintable(output));
        QVERIFY2(output.contains("\r\033[KStage 3 of 4: Building frequency and lookup tables\r"),
                 qPrintable(output));
        QVERIFY2(QRegularExpression("Stage 3 of 4  [4-9]\\d%  ").match(output).hasMatch(),
                 qPrintable(output));
        // No status is a line of its own, and the live line is gone at the end.
        QVERIFY2(!output.contains("Verse 74 of 80\r\n"), qPrintable(output));
        const QString last = output.mid(output.lastIndexOf("\033[K") + 3);
        QVERIFY2(last.startsWith("Build complete. Elapsed time "), qPrintable(last));
        QVERIFY2(last.endsWith("T_Pcre.txt        249 bytes\r"), qPrintable(last));
    }

    // --verbose on a terminal: the progress bar is a line of its own that
    // updates in place below the texts.
    void verboseProgressOnATerminal() {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) is not installed");
        writeVerseTable(textFolder(), eightyVerses());
        const Run run = build({"--batch", "--verbose", "Text", "T"}, true);
        QVERIFY2(run.exitCode == 0, qPrintable(report(run)));
        const QString output = run.out.join('\n');
        QVERIFY2(output.contains("Progress  18%\r\033[KVerse 74 of 80\r\nProgress  18%\r\033[K"
                                 "Progress  37%\r\033[K"),
                 qPrintable(output));
        QVERIFY2(output.contains("Build complete. You should close this dialog.\r"),
                 qPrintable(output));
        QVERIFY2(!output.endsWith("%"), qPrintable(output));
    }

    // A message on a terminal wipes the live line first and stands on its own.
    void messageOnATerminal() {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) is not installed");
        writeVerseTable(textFolder(), {{verseKey(1, 1, 1), QStringLiteral("word ").repeated(300)}});
        const Run run = build({"--batch", "Text", "T"}, true);
        QVERIFY2(run.exitCode == 3, qPrintable(report(run)));
        QVERIFY2(run.out.join('\n').contains("\r\033[KTWordTable::build: 1 verse has more than 255 "
                                             "words"),
                 qPrintable(report(run)));
    }

    // No verse table, or no folder of the text at all: that one message, how
    // to import the text, and nothing is made.
    void missingVerseTable_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty folder") << "T";
        QTest::newRow("no folder") << "NOSUCH";
    }
    void missingVerseTable() {
        QFETCH(QString, text);
        const Run run = build({"--batch", "Text", text});
        QVERIFY2(run.exitCode == 1, qPrintable(report(run)));
        const QString folder = app.filePath("Text/" + text + "/");
        QCOMPARE(run.out, QStringList());
        platform::overrideProgramFolder(app.path());
        const QString advice = concordance::importAdvice(text).replace("\r\n", "\n");
        platform::overrideProgramFolder(std::nullopt);
        QVERIFY(advice.contains(app.filePath("import-text") + " --sword " + text));
        QCOMPARE(run.err, "Build stopped: Failed to find " + folder +
                              "Bible.db\nBuild: There is "
                              "no verse table for " +
                              text + " yet.\n" + advice + "\n");
        QCOMPARE(QDir(app.filePath("Text")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"T"});
        QCOMPARE(QDir(textFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // The word "Text" in the program's own path is no argument: a program
    // in /home/user/TextTools/app builds the text that its arguments name.
    void programFolderWithTextInItsPath() {
        const QString folder = app.filePath(QStringLiteral("TextTools/Text KJV/app/"));
        QVERIFY(QDir().mkpath(folder + "Text/T"));
        QVERIFY(QFile::copy(app.filePath("Build"), folder + "Build"));
        QVERIFY(QFile::copy(app.filePath("Bible left.bmp"), folder + "Bible left.bmp"));
        const QStringList libraries = QDir(app.path()).entryList({"*.so*"}, QDir::Files);
        for (const QString& library : libraries)
            QVERIFY(QFile::link(app.filePath(library), folder + library));
        writeVerseTable(folder + "Text/T/", genesis());
        const Run run = build({"--batch", "Text", "T"}, false, folder + "Build");
        QVERIFY2(run.exitCode == 0, qPrintable(report(run)));
        QCOMPARE(rowCount(folder + "Text/T/", "Word"), 18);
    }

    void databaseInUse() {
        writeVerseTable(textFolder(), {{verseKey(1, 1, 1), "Jesus wept."}});
        TTable holder;
        holder.setDatabaseName(textFolder());
        holder.setTableName(QStringLiteral("Bible"));
        holder.Open();
        const Run run = build({"--batch", "Text", "T"});
        QVERIFY2(run.exitCode == 1, qPrintable(report(run)));
        QCOMPARE(run.out, QStringList());
        QVERIFY2(run.err.contains("T database in use: The T database is in use by another "
                                  "program\nIf this is Lumavo either change the working text or "
                                  "close Lumavo\n"),
                 qPrintable(report(run)));
    }

    // A verse key that is no number raises inside stage 2; nothing catches it
    // there, so the run ends with the error's message.
    void errorInStage() {
        writeVerseTableWithTextKeys(textFolder());
        const Run run = build({"--batch", "Text", "T"});
        QVERIFY2(run.exitCode == 1, qPrintable(report(run)));
        QCOMPARE(run.out.last(), QStringLiteral("Stage 2 of 4: Building the word index tables"));
        QVERIFY2(run.err.contains("Build: "), qPrintable(report(run)));
        // The scratch table stays for the next build to remove.
        QVERIFY(QFile::exists(textFolder() + "Temp_Word.db"));
    }

    // Two verse keys too close together: indexing stops with a message and the
    // build goes on to the end, which is no success.
    void errorsReportedOnTheWay() {
        writeVerseTable(textFolder(), {{1000, "one two three four five six"}, {1005, "seven"}});
        const Run run = build({"--batch", "Text", "T"});
        QVERIFY2(run.exitCode == 3, qPrintable(report(run)));
        QVERIFY2(run.out.filter(QRegularExpression("^Build complete\\. ")).size() == 1,
                 qPrintable(report(run)));
        QVERIFY2(run.err.contains("TWordTable::build: Key violation."), qPrintable(report(run)));
    }

    // A verse of more than 255 words is cut and reported in one line; the
    // build goes on to the end.
    void cutVerseIsOneLine() {
        writeVerseTable(textFolder(), {{verseKey(1, 1, 1), QStringLiteral("word ").repeated(300)},
                                       {verseKey(1, 1, 2), "Jesus wept."}});
        const Run run = build({"--batch", "Text", "T"});
        QVERIFY2(run.exitCode == 3, qPrintable(report(run)));
        const QStringList lines = run.err.split('\n').filter("TWordTable::build: ");
        QCOMPARE(lines, QStringList{"TWordTable::build: 1 verse has more than 255 words, more "
                                    "than a verse has keys for; only the first 255 words of each "
                                    "were indexed: Genesis 1:1"});
        QCOMPARE(rowCount(textFolder(), "Word"), 257);
    }

    void help() {
        for (const QStringList& arguments :
             {QStringList{"--help"}, QStringList{"--batch", "--help", "Text", "T"}}) {
            const Run run = build(arguments);
            QVERIFY2(run.exitCode == 0, qPrintable(report(run)));
            QVERIFY2(run.out.value(0).startsWith("Usage: Build [--batch [--verbose]] Text NAME"),
                     qPrintable(report(run)));
            QVERIFY(run.out.join('\n').contains("--batch"));
        }
        QVERIFY(QDir(textFolder()).isEmpty());
    }

    void noTextNamed() {
        const Run run = build({"--batch"});
        QVERIFY2(run.exitCode == 2, qPrintable(report(run)));
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains("Usage: Build"), qPrintable(report(run)));
    }

    // A name that would lead out of the folder of texts is refused before any
    // file is touched, as a mistake of the command line.
    void nameLeavingTheFolderOfTexts() {
        const QString outside = app.filePath(QStringLiteral("outside/"));
        QVERIFY(QDir().mkpath(outside));
        writeVerseTable(outside, {{verseKey(1, 1, 1), "Jesus wept."}});
        const Run run = build({"--batch", "Text", "../outside"});
        QVERIFY2(run.exitCode == 2, qPrintable(report(run)));
        QVERIFY2(run.err.contains("Build: \"../outside\" is not the name of a text"),
                 qPrintable(report(run)));
        QCOMPARE(QDir(outside).entryList(QDir::Files), QStringList{"Bible.db"});
    }

    // Nobody sees the window of a batch run: it stores no window place.
    void noWindowPlace() {
        QFile::remove(app.filePath(QStringLiteral("Lumavo.data")));
        const Run run = build({"--batch", "Text", "T"});
        QVERIFY2(run.exitCode == 1, qPrintable(report(run)));
        QVERIFY(!QFile::exists(app.filePath(QStringLiteral("Lumavo.data"))));
    }

    // A batch build runs in a process without the display libraries. Its
    // standard output is a pipe that is full already, so that it waits at
    // its first line (the tables open, the start time to be written) while
    // its mapped libraries are read; then it goes on to the end.
    void batchBuildLoadsNoDisplayLibrary() {
        writeVerseTable(textFolder(), genesis());
        int pipe[2];
        QVERIFY(::pipe2(pipe, O_CLOEXEC) == 0);
        ::fcntl(pipe[1], F_SETPIPE_SZ, 4096);
        QVERIFY(::fcntl(pipe[1], F_SETFL, O_NONBLOCK) == 0);
        const QByteArray filler(4096, 'x');
        qsizetype filled = 0;
        for (ssize_t written;
             (written = ::write(pipe[1], filler.constData(), size_t(filler.size()))) > 0;)
            filled += written;
        QCOMPARE(errno, EAGAIN);
        QVERIFY(::fcntl(pipe[1], F_SETFL, 0) == 0);

        const QByteArray program = QFile::encodeName(app.filePath(QStringLiteral("Build")));
        std::vector<QByteArray> strings = {program, "--batch", "Text", "T"};
        std::vector<char*> argv;
        for (QByteArray& string : strings)
            argv.push_back(string.data());
        argv.push_back(nullptr);
        std::vector<QByteArray> variables;
        for (const QString& variable : environment())
            variables.push_back(variable.toLocal8Bit());
        std::vector<char*> envp;
        for (QByteArray& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(pipe[1], STDOUT_FILENO);
            ::execve(program.constData(), argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(pipe[1]);
        QVERIFY(pid > 0);

        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(textFolder() + "Word.db") && clock.elapsed() < 30000)
            QTest::qWait(10);
        const QStringList libraries = mappedLibraries(pid);
        QByteArray out;
        char buffer[4096];
        for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
            out.append(buffer, got);
        ::close(pipe[0]);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);

        QVERIFY2(!libraries.filter(QStringLiteral("libQt6Core.so")).isEmpty(),
                 qPrintable(libraries.join(' ')));
        QCOMPARE(displayLibraries(libraries), QStringList());
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY2(out.mid(filled).startsWith("Start time "), out.mid(filled).constData());
        QCOMPARE(rowCount(textFolder(), "Word"), 18);
    }

    // Without --batch the process becomes the dialog's program: the same
    // process, with the display libraries now, and a window that stays until
    // it is closed.
    void dialogInTheSameProcess() {
        QProcess build;
        QProcessEnvironment environment;
        for (const QString& variable : this->environment())
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        build.setProcessEnvironment(environment);
        build.start(app.filePath(QStringLiteral("Build")), {"Text", "T"});
        QVERIFY(build.waitForStarted());
        const QString exe = QStringLiteral("/proc/%1/exe").arg(build.processId());
        QElapsedTimer clock;
        clock.start();
        // The new program's libraries are mapped a moment after the exec.
        while ((QFileInfo(exe).symLinkTarget() != app.filePath(QStringLiteral("build-dialog")) ||
                displayLibraries(mappedLibraries(build.processId())).size() < 2) &&
               build.state() == QProcess::Running && clock.elapsed() < 30000)
            QTest::qWait(10);
        QCOMPARE(QFileInfo(exe).symLinkTarget(), app.filePath(QStringLiteral("build-dialog")));
        QCOMPARE(displayLibraries(mappedLibraries(build.processId())).size(), 2);
        // The dialog's program has Build's arguments, the text's name among them.
        QFile arguments(QStringLiteral("/proc/%1/cmdline").arg(build.processId()));
        QVERIFY(arguments.open(QIODevice::ReadOnly));
        QCOMPARE(arguments.readAll().split('\0'),
                 (QByteArrayList{QFile::encodeName(app.filePath(QStringLiteral("Build"))), "Text",
                                 "T", ""}));
        QVERIFY(!build.waitForFinished(300));
        build.kill();
        QVERIFY(build.waitForFinished());
        QVERIFY(QDir(textFolder()).isEmpty());
    }

    // Without the dialog's program, Build says so and ends with 1.
    void dialogProgramMissing() {
        const QString dialog = app.filePath(QStringLiteral("build-dialog"));
        QVERIFY(QFile::rename(dialog, dialog + ".away"));
        const Run run = build({"Text", "T"});
        QVERIFY(QFile::rename(dialog + ".away", dialog));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QStringList());
        QCOMPARE(run.err, "Build: cannot start the build dialog " + dialog +
                              ": No such file or directory\n");
    }
};

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
