// The installed layout, from `cmake --install` into a prefix of the test's
// own (with a blank in its path): only the usual folders in the prefix, the
// commands in bin/ as links into the private program folder, which holds
// what the programs read beside them; the installed programs start from
// their commands and find their libraries and their folder; manual pages,
// desktop entries and the AppStream metadata are where a desktop looks and
// pass their validators.
// A check whose tool is missing is skipped and says which.

#include "tests/support/files.h"
#include "tests/support/processrun.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

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
             {"Build", "Tips", "concordance-browser", "import-text", "concordance-query",
              "libTesk21.so", "libPlatformCore.so", "libPlatformGui.so", "Bible left.bmp",
              "Bible right.bmp", "Texts.db", "help/2_rebuild.html"})
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
    void commandsFindTheirLibraries_data() { commandsAreRelativeLinksToThePrograms_data(); }
    void commandsFindTheirLibraries() {
        QFETCH(QString, name);
        auto options = offscreen();
        options.environment.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
        const auto result = runProcess(command(name.toLatin1().constData()), {}, options);
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
