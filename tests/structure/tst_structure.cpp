// check-structure on small source trees made for each case: what it must
// flag, what it must let pass, and how the allow file lifts a known cycle.

#include "tests/support/files.h"
#include "tests/support/processrun.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using testsupport::ProcessResult;

namespace {

// "path" -> content; every file of the tree.
using Files = QMap<QString, QByteArray>;

ProcessResult check(const Files& files, const QByteArray& allow = {}) {
    QTemporaryDir dir;
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        const QString path = dir.filePath(it.key());
        QDir().mkpath(QFileInfo(path).path());
        if (!testsupport::writeFile(path, it.value()))
            return {};
    }
    QStringList arguments{dir.path()};
    if (!allow.isEmpty()) {
        arguments << dir.filePath(QStringLiteral("allow.txt"));
        testsupport::writeFile(arguments.last(), allow);
    }
    return testsupport::runProcess(QStringLiteral(CHECK_STRUCTURE), arguments);
}

// Two units of builder/ that include each other.
const Files cycle{{"builder/A.h", ""},
                  {"builder/A.cpp", "#include \"builder/B.h\"\n"},
                  {"builder/B.h", ""},
                  {"builder/B.cpp", "#include \"A.h\"\n"}};

} // namespace

class TestStructure : public QObject {
    Q_OBJECT
private slots:
    void flagged_data() {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QString>("line");
        QTest::newRow("folder named build")
            << Files{{"build/main.cpp", ""}} << "build/: a source folder named \"build\"";
        QTest::newRow("core includes gui")
            << Files{{"platform/gui/g.h", ""},
                     {"platform/core/c.cpp", "#include <QString>\n#include \"platform/gui/g.h\"\n"}}
            << "platform/core/c.cpp:2: includes \"platform/gui/g.h\" of platform/gui, a higher "
               "layer";
        QTest::newRow("relative include of a higher layer")
            << Files{{"platform/gui/g.h", ""}, {"platform/core/c.h", "#include \"../gui/g.h\"\n"}}
            << "platform/core/c.h:1: includes \"../gui/g.h\" of platform/gui";
        QTest::newRow("concordance includes package")
            << Files{{"package/p.h", ""}, {"concordance/k.h", "#include \"package/p.h\"\n"}}
            << "concordance/k.h:1: includes \"package/p.h\" of package, a higher layer";
        QTest::newRow("program includes another")
            << Files{{"importer/v.h", ""}, {"builder/x.cpp", "  #  include \"importer/v.h\"\n"}}
            << "builder/x.cpp:1: includes \"importer/v.h\": the program folder builder includes";
        QTest::newRow("widget in core")
            << Files{{"platform/core/c.cpp", "#include <QWidget>\n"}}
            << "platform/core/c.cpp:1: includes <QWidget> from QtWidgets";
        QTest::newRow("gui module path in concordance")
            << Files{{"concordance/k.cpp", "\n#include <QtGui/QImage>\n"}}
            << "concordance/k.cpp:2: includes <QtGui/QImage> from QtGui";
        QTest::newRow("include after a string with a comment mark")
            << Files{{"platform/core/c.cpp", "const char* s = \"/*\";\n#include <QWidget>\n"}}
            << "platform/core/c.cpp:2: includes <QWidget>";
        QTest::newRow("folder in no layer")
            << Files{{"misc/x.cpp", ""}} << "misc/x.cpp: its folder";
        QTest::newRow("cycle") << cycle << "builder: include cycle A -> B -> A (units in it: A, B)";
    }
    void flagged() {
        QFETCH(Files, files);
        QFETCH(QString, line);
        const ProcessResult result = check(files);
        QVERIFY2(result.exitCode == 1, qPrintable(result.report()));
        QVERIFY2(QString::fromUtf8(result.out).contains(line), qPrintable(result.report()));
    }

    void passes_data() {
        QTest::addColumn<Files>("files");
        QTest::newRow("layers in order")
            << Files{{"platform/core/c.h", "#include <QString>\n#include <sqlite3.h>\n"},
                     {"concordance/k.h", "#include \"platform/core/c.h\"\n"},
                     {"platform/gui/g.h", "#include <QWidget>\n#include \"concordance/k.h\"\n"},
                     {"package/p.h", "#include \"platform/gui/g.h\"\n"},
                     {"builder/b.cpp", "#include \"package/p.h\"\n#include \"b.h\"\n"},
                     {"builder/b.h", "#include <QtCore/QString>\n"}};
        QTest::newRow("tests and tools include anything")
            << Files{{"builder/b.h", ""},
                     {"importer/i.h", ""},
                     {"tests/t.cpp", "#include \"builder/b.h\"\n#include \"importer/i.h\"\n"},
                     {"tools/x.cpp", "#include \"builder/b.h\"\n"}};
        QTest::newRow("includes in comments")
            << Files{{"platform/core/c.cpp", "/* Not:\n#include <QWidget>\n*/\n"}};
        QTest::newRow("build trees and out/ passed by")
            << Files{{"build/CMakeCache.txt", ""}, {"build/x.cpp", ""}, {"out/build/y.cpp", ""}};
    }
    void passes() {
        QFETCH(Files, files);
        const ProcessResult result = check(files);
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
    }

    void allowedCycle() {
        const ProcessResult result = check(cycle, "# known\nbuilder: A B C\n");
        QVERIFY2(result.exitCode == 0, qPrintable(result.report()));
        QVERIFY2(result.out.contains("known, let pass by"), qPrintable(result.report()));
    }
    void allowFileLineWithoutUnits() {
        const ProcessResult result = check(cycle, "builder A B\n");
        QVERIFY2(result.exitCode == 1, qPrintable(result.report()));
        QVERIFY2(result.out.contains("allow.txt:1: not a line"), qPrintable(result.report()));
    }
    void allowanceOfAnotherFolder() {
        const ProcessResult result = check(cycle, "importer: A B\n");
        QVERIFY2(result.exitCode == 1, qPrintable(result.report()));
        QVERIFY2(result.out.contains("no cycle in importer is left"), qPrintable(result.report()));
    }
    void allowanceNarrowerThanCycle() {
        Files files = cycle;
        files.insert(QStringLiteral("builder/C.h"), "#include \"builder/A.h\"\n");
        files[QStringLiteral("builder/B.cpp")] = "#include \"builder/C.h\"\n";
        const ProcessResult result = check(files, "builder: A B\n");
        QVERIFY2(result.exitCode == 1, qPrintable(result.report()));
        QVERIFY2(result.out.contains("builder: include cycle A -> B -> C -> A"),
                 qPrintable(result.report()));
    }
};

QTEST_GUILESS_MAIN(TestStructure)
#include "tst_structure.moc"
