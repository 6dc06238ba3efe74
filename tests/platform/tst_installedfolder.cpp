// The programs in a program folder the user may not write, as after an
// install: settings go to the user's XDG configuration folder and texts to
// the user's XDG data folder, and they survive a restart.
//
// The folder is a copy of the built one with every write bit taken away.
// Run by root, the programs run as user nobody (through setpriv), so that
// the folder is really out of their reach and not only marked read-only.

#include "tests/support/files.h"
#include "tests/support/processrun.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets the mode of `path` and, when `below`, of everything under it.
bool setMode(const QString& path, mode_t folders, mode_t files) {
    bool ok = ::chmod(QFile::encodeName(path).constData(), folders) == 0;
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        ok = ::chmod(QFile::encodeName(entry.filePath()).constData(),
                     entry.isDir() ? folders : files) == 0 &&
             ok;
    }
    return ok;
}

} // namespace

class TestInstalledFolder : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    QString app;
    // Set when the programs run as nobody.
    std::optional<passwd> user;

    QString folder(const char* name) const { return base.filePath(QLatin1String(name)); }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", folder("home"));
        env.insert("XDG_CONFIG_HOME", folder("config"));
        env.insert("XDG_DATA_HOME", folder("data"));
        env.insert("XDG_RUNTIME_DIR", folder("runtime"));
        env.insert("QT_LOGGING_RULES", "platform.instance.info=true");
        return env;
    }
    // The program and its arguments, as nobody when the test runs as root.
    std::pair<QString, QStringList> command(const char* program, QStringList arguments) const {
        const QString path = QDir(app).filePath(QLatin1String(program));
        if (!user)
            return {path, arguments};
        return {QStringLiteral("setpriv"),
                QStringList{QStringLiteral("--reuid=%1").arg(user->pw_uid),
                            QStringLiteral("--regid=%1").arg(user->pw_gid),
                            QStringLiteral("--clear-groups"), path} +
                    arguments};
    }
    testsupport::ProcessResult run(const char* program, const QStringList& arguments) const {
        const auto [path, all] = command(program, arguments);
        testsupport::ProcessOptions options;
        options.environment = environment();
        options.workingDirectory = base.path();
        return testsupport::runProcess(path, all, options);
    }

    // One run of Tips to its end, asked to close as at logout.
    void runTips() {
        QProcess tips;
        tips.setProcessEnvironment(environment());
        const auto [path, arguments] = command("Tips", {});
        tips.start(path, arguments);
        QVERIFY(tips.waitForStarted());
        QByteArray said;
        QDeadlineTimer deadline(60000);
        while (!said.contains("Listening on") && !deadline.hasExpired() &&
               tips.state() == QProcess::Running) {
            tips.waitForReadyRead(100);
            said += tips.readAllStandardError();
        }
        QVERIFY2(said.contains("Listening on"), said.constData());
        tips.terminate();
        QVERIFY(tips.waitForFinished(30000));
        said += tips.readAllStandardError();
        QVERIFY2(tips.exitStatus() == QProcess::NormalExit && tips.exitCode() == 0,
                 said.constData());
    }

private slots:
    void initTestCase() {
        app = folder("app");
        QVERIFY(QDir().mkpath(app));
        QVERIFY(testsupport::copyProgram(BUILD_PROGRAM, app));
        for (const char* program : {TIPS_PROGRAM, IMPORT_PROGRAM}) {
            const QFileInfo built(QString::fromLocal8Bit(program));
            QVERIFY(QFile::copy(built.filePath(), QDir(app).filePath(built.fileName())));
        }
        for (const char* file : {"Bible left.bmp", "Bible right.bmp", "Texts.db"})
            QVERIFY(QFile::copy(QStringLiteral(APP_DIR "/") + file, QDir(app).filePath(file)));
        QVERIFY(QFile::copy(DATA_DIR "/sample/kjv-sample.txt", folder("sample.txt")));
        for (const char* name : {"home", "config", "data", "runtime"})
            QVERIFY(QDir().mkpath(folder(name)));

        QVERIFY(setMode(app, 0555, 0555));
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || QStandardPaths::findExecutable("setpriv").isEmpty())
                QSKIP("Run as root, the test needs the user nobody and setpriv (util-linux)");
            user = *nobody;
            // nobody reaches the program folder and the sample, and owns
            // the folders of its own.
            QVERIFY(::chmod(QFile::encodeName(base.path()).constData(), 0755) == 0);
            QVERIFY(::chmod(QFile::encodeName(folder("sample.txt")).constData(), 0644) == 0);
            for (const char* name : {"home", "config", "data", "runtime"}) {
                QVERIFY(::chown(QFile::encodeName(folder(name)).constData(), user->pw_uid,
                                user->pw_gid) == 0);
                QVERIFY(::chmod(QFile::encodeName(folder(name)).constData(), 0700) == 0);
            }
        }
    }
    void cleanupTestCase() {
        // The temporary folder can be removed again.
        setMode(app, 0755, 0644);
        for (const char* name : {"home", "config", "data", "runtime"})
            setMode(folder(name), 0777, 0666);
    }

    // The next tip is remembered in the user's configuration folder.
    void tipsResumeAtTheNextTip() {
        const QString settings = folder("config") + "/concordance/Tips.data";
        runTips();
        QVERIFY2(testsupport::readFile(settings).contains("Last tip shown=2"),
                 testsupport::readFile(settings).constData());
        runTips();
        QVERIFY2(testsupport::readFile(settings).contains("Last tip shown=3"),
                 testsupport::readFile(settings).constData());
        QVERIFY(!QFileInfo::exists(QDir(app).filePath("Tips.data")));
    }

    // Before the import, Build says how to import the text with the installed
    // command, and where it will go.
    void buildOfATextNotImportedSaysHowToImport() {
        const auto built = run("Build", {"--batch", "Text", "KJV"});
        QVERIFY2(built.exitCode == 1, qPrintable(built.report()));
        const QByteArray text = QFile::encodeName(folder("data")) + "/concordance/Text/KJV/";
        QVERIFY2(built.err.contains("Build: There is no verse table for KJV yet.\n"
                                    "To import KJV from an installed SWORD module, run\n"
                                    "    concordance-import --sword KJV\n"
                                    "It goes to " +
                                    text),
                 qPrintable(built.report()));
    }

    // import-text without --to writes where Build looks for the text.
    void importedTextIsBuiltInTheUserDataFolder() {
        const QString text = folder("data") + "/concordance/Text/sample/";
        const auto imported = run("import-text", {"--vpl", "sample.txt"});
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.report()));
        QVERIFY(QFileInfo::exists(text + "Bible.db"));
        const auto built = run("Build", {"--batch", "Text", "sample"});
        QVERIFY2(built.exitCode == 0, qPrintable(built.report()));
        QVERIFY2(built.out.contains(("Tables in " + text).toLocal8Bit()),
                 qPrintable(built.report()));
        for (const char* file : {"Word.db", "Key.db", "Freq.db", "sample_Alpha.txt"})
            QVERIFY2(QFileInfo::exists(text + file), file);
        QVERIFY(!QFileInfo::exists(QDir(app).filePath("Text")));
    }
};

QTEST_GUILESS_MAIN(TestInstalledFolder)
#include "tst_installedfolder.moc"
