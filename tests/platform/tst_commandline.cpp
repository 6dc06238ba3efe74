// The command line every program answers before anything else: --help,
// --version and an unknown option; the rule itself, then each real program
// as a child process, without a display.

#include "platform/core/commandline.h"
#include "tests/support/processrun.h"

#include <QtTest>

using testsupport::runProcess;

namespace {

const platform::CommandLineSpec windowProgram{
    "Prog", "Usage: Prog [--to DIR] Text NAME\n", "Does things.\n", {{"--to", true}, {"-v"}}, true,
    "Text"};

const platform::CommandLineSpec batchProgram{
    "tool", "Usage: tool --to DIR\n", "", {{"--to", true}, {"--force"}}, false, {}};

// No display and no offscreen platform: answering must not need either.
QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    return env;
}

testsupport::ProcessResult run(const QString& program, const QStringList& arguments) {
    testsupport::ProcessOptions options;
    options.environment = withoutDisplay();
    options.timeoutMs = 30000;
    return runProcess(program, arguments, options);
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    // -1 stands for "the program goes on".
    void answers_data() {
        QTest::addColumn<bool>("window");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("answer");
        QTest::newRow("nothing") << true << QStringList{} << -1;
        QTest::newRow("own options and words")
            << true << QStringList{"-v", "--to", "x", "KJV"} << -1;
        QTest::newRow("value after =") << false << QStringList{"--to=/tmp/x", "--force"} << -1;
        QTest::newRow("help") << false << QStringList{"--help"} << 0;
        QTest::newRow("short help") << false << QStringList{"-h"} << 0;
        QTest::newRow("version") << true << QStringList{"--version"} << 0;
        QTest::newRow("unknown") << true << QStringList{"--bogus"} << 2;
        QTest::newRow("unknown short") << false << QStringList{"-x"} << 2;
        QTest::newRow("unknown wins over help") << false << QStringList{"--help", "--bogus"} << 2;
        QTest::newRow("flag given a value") << false << QStringList{"--force=yes"} << 2;
        QTest::newRow("value missing") << false << QStringList{"--to"} << 2;
        QTest::newRow("value that looks like an option")
            << false << QStringList{"--to", "-d"} << -1;
        QTest::newRow("lone dash is a word") << false << QStringList{"-"} << -1;
        QTest::newRow("after --") << false << QStringList{"--", "--bogus", "--help"} << -1;
        QTest::newRow("toolkit options")
            << true << QStringList{"-platform", "offscreen", "--style=x", "-reverse"} << -1;
        QTest::newRow("toolkit option value missing") << true << QStringList{"-platform"} << 2;
        QTest::newRow("no toolkit in a batch program")
            << false << QStringList{"-platform", "offscreen"} << 2;
        QTest::newRow("the text's name is no option")
            << true << QStringList{"Text", "King", "-x", "--version"} << -1;
        QTest::newRow("a name that begins like an option")
            << true << QStringList{"Text", "--version"} << 2;
        QTest::newRow("a name that is a dash") << true << QStringList{"Text", "-"} << -1;
        QTest::newRow("option before the text") << true << QStringList{"-x", "Text", "KJV"} << 2;
    }
    void answers() {
        QFETCH(bool, window);
        QFETCH(QStringList, arguments);
        QFETCH(int, answer);
        const auto answered =
            platform::answerCommandLine(window ? windowProgram : batchProgram, arguments);
        QCOMPARE(answered.value_or(-1), answer);
    }

    void programs_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("Build") << BUILD_PROGRAM << "Build";
        // The dialog that Build becomes answers as Build.
        QTest::newRow("build-dialog") << BUILD_DIALOG_PROGRAM << "Build";
        QTest::newRow("Tips") << TIPS_PROGRAM << "Tips";
        QTest::newRow("browser") << BROWSER_PROGRAM << "concordance-browser";
        QTest::newRow("importer") << IMPORT_PROGRAM << "import-text";
        QTest::newRow("query") << QUERY_PROGRAM << "concordance-query";
    }

    void programsTellTheirVersion_data() { programs_data(); }
    void programsTellTheirVersion() {
        QFETCH(QString, program);
        QFETCH(QString, name);
        const auto result = run(program, {"--version"});
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
        QCOMPARE(QString::fromLocal8Bit(result.out), name + " " PROJECT_VERSION "\n");
        QCOMPARE(result.err, QByteArray());
    }

    void programsShowTheirHelp_data() { programs_data(); }
    void programsShowTheirHelp() {
        QFETCH(QString, program);
        QFETCH(QString, name);
        const auto result = run(program, {"--help"});
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
        QVERIFY2(result.out.startsWith(("Usage: " + name).toLocal8Bit()),
                 qPrintable(result.report()));
        QVERIFY(result.out.contains("--version"));
        QCOMPARE(result.err, QByteArray());
    }

    // Never read as a text's name, never a window: a usage line and 2.
    void programsRefuseUnknownOptions_data() { programs_data(); }
    void programsRefuseUnknownOptions() {
        QFETCH(QString, program);
        QFETCH(QString, name);
        for (const QStringList& arguments :
             {QStringList{"--bogus"}, QStringList{"--batch", "--bogus", "Text", "KJV"},
              QStringList{"-x"}}) {
            const auto result = run(program, arguments);
            QVERIFY2(result.exitCode == 2, qPrintable(result.report()));
            QCOMPARE(result.out, QByteArray());
            QVERIFY2(result.err.startsWith((name + ": unknown option ").toLocal8Bit()) &&
                         result.err.contains(("\nUsage: " + name).toLocal8Bit()),
                     qPrintable(result.report()));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
