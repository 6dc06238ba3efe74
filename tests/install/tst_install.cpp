// The installed layout, from `cmake --install` into a prefix of the test's
// own (with a blank in its path): only the usual folders in the prefix, the
// commands in bin/ as links into the private program folder, which holds
// what the programs read beside them; the installed programs start from
// their commands and find their libraries and their folder; manual pages,
// desktop entries and the AppStream metadata are where a desktop looks and
// pass their validators.
// Build becomes the dialog's program installed beside it, also for a user who
// may not write the program folder.
// A check whose tool is missing is skipped and says which.

#include "tests/support/files.h"
#include "tests/support/processrun.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::runProcess;

namespace {

// The commands on PATH and the programs they start.
const struct {
    const char* command;
    const char* program;
} commands[] = {
    {"concordance-build", "Build"},        {"concordance-browser", "concordance-browser"},
    {"concordance-import", "import-text"}, {"concordance-query", "concordance-query"},
    {"concordance-tips", "Tips"},
};

// The desktop entries, each named after the command it starts.
const char* const entryNames[] = {"concordance-build", "concordance-browser", "concordance-tips"};

// The first folder of a path relative to the prefix ("lib" of "lib/x/y").
QString topFolder(const QString& path) {
    return path.section(QLatin1Char('/'), 0, 0);
}

// Takes every write bit from `path` and everything under it, or gives the
// owner's back (folders 0755, files as they were but writable by the owner).
bool setWritable(const QString& path, bool writable) {
    bool ok = true;
    const auto change = [&ok, writable](const QString& entry) {
        struct stat st {};
        const QByteArray name = QFile::encodeName(entry);
        ok = ::lstat(name.constData(), &st) == 0 && ok;
        if (S_ISLNK(st.st_mode))
            return;
        const mode_t mode = writable ? (st.st_mode | S_IWUSR) : (st.st_mode & ~mode_t(0222));
        ok = ::chmod(name.constData(), mode & 07777) == 0 && ok;
    };
    change(path);
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        change(it.next());
    return ok;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir work;
    QString prefix;

    QString inPrefix(const QString& relative) const { return prefix + QLatin1Char('/') + relative; }
    QString programFolder() const { return inPrefix(QStringLiteral(INSTALL_PROGRAM_DIR)); }
    QString command(const char* name) const {
        return inPrefix(QStringLiteral(INSTALL_BINDIR "/") + QLatin1String(name));
    }
    static testsupport::ProcessOptions offscreen() {
        testsupport::ProcessOptions options;
        options.environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        options.timeoutMs = 30000;
        return options;
    }

private slots:
    void initTestCase() {
        QVERIFY(work.isValid());
        prefix = work.filePath(QStringLiteral("in stall"));
        const auto result = runProcess(QStringLiteral(CMAKE_PROGRAM),
                                       {QStringLiteral("--install"), QStringLiteral(BUILD_DIR),
                                        QStringLiteral("--prefix"), prefix});
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
    }

    // Nothing in the prefix's root but the usual folders, and the program
    // folder complete: programs, libraries, pictures, tips and help.
    void prefixHoldsTheUsualFoldersOnly() {
        const QSet<QString> expected{topFolder(QStringLiteral(INSTALL_BINDIR)),
                                     topFolder(QStringLiteral(INSTALL_DATADIR)),
                                     topFolder(QStringLiteral(INSTALL_PROGRAM_DIR))};
        const QStringList entries =
            QDir(prefix).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString& entry : entries)
            QVERIFY2(expected.contains(entry), qPrintable(entry + " in the prefix's root"));

        for (const char* file :
             {"Build", "build-dialog", "Tips", "concordance-browser", "import-text",
              "concordance-query", "libTesk21.so", "libPlatformCore.so", "libPlatformGui.so",
              "Bible left.bmp", "Bible right.bmp", "Texts.db", "help/2_rebuild.html"})
            QVERIFY2(QFileInfo::exists(programFolder() + QLatin1Char('/') + QLatin1String(file)),
                     file);
        const QStringList inBin =
            QDir(inPrefix(QStringLiteral(INSTALL_BINDIR)))
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& entry : inBin)
            QVERIFY2(entry.startsWith(QLatin1String("concordance-")),
                     qPrintable(entry + " in bin/ without the namespace"));
    }

    // Each command is a relative link to its program, so the installed tree
    // may move as a whole.
    void commandsAreRelativeLinksToThePrograms_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("program");
        for (const auto& c : commands)
            QTest::newRow(c.command)
                << QString::fromLatin1(c.command) << QString::fromLatin1(c.program);
    }
    void commandsAreRelativeLinksToThePrograms() {
        QFETCH(QString, name);
        QFETCH(QString, program);
        const QFileInfo link(command(name.toLatin1().constData()));
        QVERIFY2(link.isSymLink(), qPrintable(link.filePath() + " is no link"));
        const auto target =
            std::filesystem::read_symlink(QFile::encodeName(link.filePath()).data());
        QVERIFY2(target.is_relative(), target.c_str());
        QCOMPARE(link.canonicalFilePath(),
                 QFileInfo(programFolder() + QLatin1Char('/') + program).canonicalFilePath());
        QVERIFY(link.isExecutable());
    }

    // Every command starts through its link: the dynamic loader, asked to
    // trace instead of run, finds every library, the program's own in the
    // program folder (through the $ORIGIN run path, which names the link's
    // target's folder) and none in the build tree.
    // So does the dialog's program, which Build becomes.
    void commandsFindTheirLibraries_data() {
        commandsAreRelativeLinksToThePrograms_data();
        QTest::newRow("build-dialog") << QString() << QStringLiteral("build-dialog");
    }
    void commandsFindTheirLibraries() {
        QFETCH(QString, name);
        QFETCH(QString, program);
        auto options = offscreen();
        options.environment.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
        const QString started = name.isEmpty() ? programFolder() + QLatin1Char('/') + program
                                               : command(name.toLatin1().constData());
        const auto result = runProcess(started, {}, options);
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
        QVERIFY2(!result.out.contains("not found"), qPrintable(result.report()));
        QVERIFY2(!result.out.contains(BUILD_DIR), qPrintable(result.report()));
        const QString canonicalFolder = QFileInfo(programFolder()).canonicalFilePath();
        for (const QString& line : result.outLines()) {
            if (line.contains(QLatin1String("libPlatformCore.so")))
                QVERIFY2(line.contains(canonicalFolder + QStringLiteral("/libPlatformCore.so")),
                         qPrintable(line));
        }
    }

    // Every command answers --version through its link with the project's
    // version, without a window.
    void commandsAnswerVersion_data() { commandsAreRelativeLinksToThePrograms_data(); }
    void commandsAnswerVersion() {
        QFETCH(QString, name);
        const auto result = runProcess(command(name.toLatin1().constData()),
                                       {QStringLiteral("--version")}, offscreen());
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
        QVERIFY2(result.out.contains(PROGRAMS_VERSION), qPrintable(result.report()));
    }

    // Started through its link, a program finds its own folder (the link's
    // target's): the importer writes a text below the program folder, which
    // this prefix's user may write, and Build builds it there.
    void programsStartedByTheirCommandsWorkInTheProgramFolder() {
        const QString text = programFolder() + QStringLiteral("/Text/Sample");
        auto result =
            runProcess(command("concordance-import"),
                       {QStringLiteral("--vpl"), QStringLiteral(DATA_DIR "/sample/kjv-sample.txt"),
                        QStringLiteral("--to"), text},
                       offscreen());
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
        auto options = offscreen();
        options.workingDirectory = work.path();
        result = runProcess(
            command("concordance-build"),
            {QStringLiteral("--batch"), QStringLiteral("Text"), QStringLiteral("Sample")}, options);
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
        for (const char* file : {"Word.db", "Key.db", "Freq.db", "Sample_Freq.txt"})
            QVERIFY2(QFileInfo::exists(text + QLatin1Char('/') + QLatin1String(file)), file);
        QDir(text).removeRecursively();
    }

    // Without --batch the command becomes the dialog's program beside Build
    // (the same process), which opens its window, for a user who may not
    // write the program folder: every write bit is taken away, and run by
    // root the command runs as nobody.
    void buildDialogStartsForAUserWhoCannotWriteTheProgramFolder() {
        std::optional<passwd> user;
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || QStandardPaths::findExecutable("setpriv").isEmpty())
                QSKIP("Run as root, the test needs the user nobody and setpriv (util-linux)");
            user = *nobody;
        }
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QVERIFY(::chmod(QFile::encodeName(work.path()).constData(), 0755) == 0);
        if (user)
            QVERIFY(::chown(QFile::encodeName(home.path()).constData(), user->pw_uid,
                            user->pw_gid) == 0);
        QVERIFY(setWritable(programFolder(), false));
        struct Restore {
            QString folder;
            ~Restore() { setWritable(folder, true); }
        } restore{programFolder()};

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
            environment.insert(QLatin1String(name), home.path());
        QString program = command("concordance-build");
        QStringList arguments{QStringLiteral("Text"), QStringLiteral("Sample")};
        if (user) {
            arguments = QStringList{QStringLiteral("--reuid=%1").arg(user->pw_uid),
                                    QStringLiteral("--regid=%1").arg(user->pw_gid),
                                    QStringLiteral("--clear-groups"), program} +
                        arguments;
            program = QStringLiteral("setpriv");
        }
        QProcess build;
        build.setProcessEnvironment(environment);
        build.setWorkingDirectory(home.path());
        build.start(program, arguments);
        QVERIFY(build.waitForStarted());
        const QString exe = QStringLiteral("/proc/%1/exe").arg(build.processId());
        const QString dialog = QFileInfo(programFolder() + "/build-dialog").canonicalFilePath();
        QElapsedTimer clock;
        clock.start();
        while (QFileInfo(exe).symLinkTarget() != dialog && build.state() == QProcess::Running &&
               clock.elapsed() < 30000)
            QTest::qWait(10);
        QCOMPARE(QFileInfo(exe).symLinkTarget(), dialog);
        // The window is open, and stays until it is closed.
        const bool ended = build.waitForFinished(500);
        const QString said = QString::fromLocal8Bit(build.readAllStandardError());
        QVERIFY2(!ended, qPrintable(said));
        build.kill();
        QVERIFY(build.waitForFinished());
    }

    // A manual page for every command, compressed, found by man.
    void manualPages_data() { commandsAreRelativeLinksToThePrograms_data(); }
    void manualPages() {
        QFETCH(QString, name);
        const QString page =
            inPrefix(QStringLiteral(INSTALL_MANDIR "/man1/")) + name + QStringLiteral(".1.gz");
        QVERIFY2(QFileInfo::exists(page), qPrintable(page));

        const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
        if (man.isEmpty())
            QSKIP("man is not installed (Debian package man-db): not asked for the page");
        testsupport::ProcessOptions options;
        options.environment.insert(QStringLiteral("MANPATH"),
                                   inPrefix(QStringLiteral(INSTALL_MANDIR)));
        const auto found = runProcess(man, {QStringLiteral("-w"), name}, options);
        QVERIFY2(found.exitCode == 0, qPrintable(found.report()));
        QCOMPARE(QString::fromUtf8(found.out).trimmed(), page);
        options.environment.insert(QStringLiteral("MANPAGER"), QStringLiteral("cat"));
        const auto shown = runProcess(man, {QStringLiteral("-l"), page}, options);
        QVERIFY2(shown.exitCode == 0 && shown.out.contains("SYNOPSIS"), qPrintable(shown.report()));
    }

    // Each desktop entry passes desktop-file-validate without a word, starts
    // the command in bin/ (quoted: the prefix has a blank) and names an icon
    // that is installed.
    void desktopEntries_data() {
        QTest::addColumn<QString>("entry");
        for (const char* entry : entryNames)
            QTest::newRow(entry) << QString::fromLatin1(entry);
    }
    void desktopEntries() {
        QFETCH(QString, entry);
        const QString file = inPrefix(QStringLiteral(INSTALL_DATADIR "/applications/")) + entry +
                             QStringLiteral(".desktop");
        const QString text = QString::fromUtf8(testsupport::readFile(file));
        QVERIFY2(!text.isEmpty(), qPrintable(file));

        const QRegularExpressionMatch exec =
            QRegularExpression(QStringLiteral("^Exec=\"([^\"]*)\"( |$)"),
                               QRegularExpression::MultilineOption)
                .match(text);
        QVERIFY2(exec.hasMatch(), qPrintable(text));
        QCOMPARE(exec.captured(1), command(entry.toLatin1().constData()));
        const QString icon =
            QRegularExpression(QStringLiteral("^Icon=(.*)$"), QRegularExpression::MultilineOption)
                .match(text)
                .captured(1);
        QVERIFY2(QFileInfo::exists(
                     inPrefix(QStringLiteral(INSTALL_DATADIR "/icons/hicolor/scalable/apps/")) +
                     icon + ".svg"),
                 qPrintable(icon));

        const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
        if (validate.isEmpty())
            QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
        const auto result = runProcess(validate, {file});
        QVERIFY2(result.exitCode == 0 && result.out.isEmpty() && result.err.isEmpty(),
                 qPrintable(result.report()));
    }

    // The browser's AppStream metadata: it launches an installed entry,
    // states the project's version and passes appstreamcli's check.
    void appStreamMetadata() {
        const QString file =
            inPrefix(QStringLiteral(INSTALL_DATADIR "/metainfo/" APP_ID ".metainfo.xml"));
        const QByteArray text = testsupport::readFile(file);
        QVERIFY2(!text.isEmpty(), qPrintable(file));
        QVERIFY(text.contains("<id>" APP_ID "</id>"));
        QVERIFY(text.contains("<release version=\"" PROGRAMS_VERSION "\""));
        const QString launched =
            QRegularExpression(QStringLiteral("<launchable type=\"desktop-id\">"
                                              "([^<]*)</launchable>"))
                .match(QString::fromUtf8(text))
                .captured(1);
        QVERIFY2(QFileInfo::exists(inPrefix(QStringLiteral(INSTALL_DATADIR "/applications/")) +
                                   launched),
                 qPrintable(launched));

        const QString appstream = QStandardPaths::findExecutable("appstreamcli");
        if (appstream.isEmpty())
            QSKIP("appstreamcli is not installed (Debian package appstream)");
        const auto result =
            runProcess(appstream, {QStringLiteral("validate"), QStringLiteral("--no-net"), file});
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
