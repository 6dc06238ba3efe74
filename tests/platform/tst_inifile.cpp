// The INI-file service: layout kept byte for byte, case-insensitive names,
// atomic writes, and writers in two processes that lose nothing.

#include "platform/core/inifile.h"
#include "platform/core/lasterror.h"
#include "tests/support/files.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::IniFile;

using namespace testsupport;

class TestIniFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.filePath("settings.data"); }

private slots:
    void init() { QFile::remove(path()); }

    void firstWriteCreatesFileInCommonForm() {
        IniFile ini(path());
        QVERIFY(!QFile::exists(path()));
        QCOMPARE(ini.readString("Main", "Size", "none"), QString("none"));
        QVERIFY(!QFile::exists(path()));
        QVERIFY(ini.writeString("Main", "Size", "300"));
        QVERIFY(ini.writeString("Main", "Name", "KJV"));
        QVERIFY(ini.writeString("Position", "Form RebuildDlg", "1 2 3 4"));
        QCOMPARE(readFile(path()),
                 QByteArray("[Main]\nSize=300\nName=KJV\n[Position]\nForm RebuildDlg=1 2 3 4\n"));
        QVERIFY(!QFile::exists(path() + ".lock"));
    }

    void namesMatchWithoutCaseAndKeepFirstSpelling() {
        IniFile ini(path());
        ini.writeString("Main", "ShowTips", "1");
        QVERIFY(ini.valueExists("MAIN", "showtips"));
        QCOMPARE(ini.readString("main", "SHOWTIPS", ""), QString("1"));
        ini.writeString("mAIN", "SHOWTIPS", "0");
        QCOMPARE(readFile(path()), QByteArray("[Main]\nShowTips=0\n"));
        QVERIFY(!ini.valueExists("Main", "Other"));
        QVERIFY(!ini.valueExists("Other", "ShowTips"));
    }

    void emptyValueCountsAsPresent() {
        IniFile ini(path());
        ini.writeString("S", "k", "");
        QVERIFY(ini.valueExists("S", "k"));
        QCOMPARE(ini.readString("S", "k", "default"), QString());
    }

    void untouchedLinesStayByteForByte() {
        const QByteArray original = "; a comment\r\n\r\n[Other]\r\n  odd line without equals\r\n"
                                    "x = 1 \r\n\r\n[Main]\r\nKey=old\r\n\r\n[Tail]\r\ny=2";
        QVERIFY(writeFile(path(), original));
        IniFile ini(path());
        QCOMPARE(ini.readString("Other", "X", ""), QString("1"));
        QVERIFY(ini.writeString("Main", "key", "new"));
        QVERIFY(ini.writeString("Main", "Added", "a"));
        QByteArray expected = original;
        expected.replace("Key=old\r\n", "Key=new\r\nAdded=a\r\n");
        QCOMPARE(readFile(path()), expected);
        // A key new to the last section keeps the file's missing final line end
        // apart from the line it adds.
        QVERIFY(ini.writeString("Tail", "z", "3"));
        QCOMPARE(readFile(path()), expected + "\r\nz=3\r\n");
    }

    void valuesRoundTripBlanksQuotesAndLineBreaks() {
        IniFile ini(path());
        const QStringList values = {"  padded  ", "\"quoted\"", "in \"middle\"",
                                    "tab\t",      "ü ñ 漢",     "a=b=c"};
        for (const QString& v : values) {
            QVERIFY(ini.writeString("S", "v", v));
            QCOMPARE(ini.readString("S", "v", ""), v);
        }
        // A line break cannot plant a key or a section of its own.
        QVERIFY(ini.writeString("S", "evil", "x\n[Position]\nForm A=1 1 1 1"));
        QVERIFY(!ini.valueExists("Position", "Form A"));
        QCOMPARE(ini.readString("S", "evil", ""), QString("x [Position] Form A=1 1 1 1"));
    }

    void eraseSectionRemovesOnlyThatSection() {
        QVERIFY(writeFile(path(), "[A]\na=1\n\n[B]\nb=2\n[a]\nc=3\n[C]\nc=4\n"));
        IniFile ini(path());
        QVERIFY(ini.eraseSection("a"));
        QCOMPARE(readFile(path()), QByteArray("[B]\nb=2\n[C]\nc=4\n"));
        QVERIFY(ini.eraseSection("missing"));
        QCOMPARE(readFile(path()), QByteArray("[B]\nb=2\n[C]\nc=4\n"));
    }

    void missingFolderIsNotCreated() {
        IniFile ini(dir.filePath("no/such/folder/settings.data"));
        platform::setLastError(0);
        QVERIFY(!ini.writeString("S", "k", "v"));
        QCOMPARE(platform::lastError(), ENOENT);
        QVERIFY(!QFile::exists(dir.filePath("no")));
    }

    // A read-only file is refused rather than replaced behind its back.
    void readOnlyFileIsRefused() {
        if (::geteuid() == 0)
            QSKIP("root may write every file");
        const QByteArray original = "[S]\nk=old\n";
        QVERIFY(writeFile(path(), original));
        QVERIFY(QFile::setPermissions(path(), QFileDevice::ReadOwner));
        QVERIFY(!IniFile(path()).writeString("S", "k", "new"));
        QCOMPARE(readFile(path()), original);
        QVERIFY(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    }

    // A folder that refuses the temporary file: the old file stays whole.
    void unwritableFolderKeepsFile() {
        if (::geteuid() == 0)
            QSKIP("root may write in every folder");
        const QByteArray original = "[S]\nk=old\n";
        QVERIFY(writeFile(path(), original));
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const bool written = IniFile(path()).writeString("S", "k", "new");
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner));
        QVERIFY(!written);
        QCOMPARE(readFile(path()), original);
    }

    void fullDiskKeepsFile() {
        const QByteArray original = "[S]\nk=old\n";
        QVERIFY(writeFile(path(), original));
        // A full disk: a child process whose file-size limit is smaller than
        // the new content. The write fails and the old file stays whole.
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--full-disk", path()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(readFile(path()), original);
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList{"settings.data"});
    }

    // Blanks at a section name's ends are dropped where it is written, as
    // reading drops them, so the section is found again and never doubled.
    void sectionNamesAreWrittenAsTheyAreRead() {
        IniFile ini(path());
        for (const char* section : {" Main ", "Main", "\tMain  "})
            QVERIFY(ini.writeString(section, "k", section));
        QVERIFY(ini.writeString("two\nlines", "k", "1"));
        QVERIFY(ini.writeString("two\nlines", "k", "2"));
        QCOMPARE(readFile(path()), QByteArray("[Main]\nk=\"\tMain  \"\n[two lines]\nk=2\n"));
        QVERIFY(ini.valueExists(" Main ", "k"));
        QCOMPARE(ini.readString("two\nlines", "k", ""), QString("2"));
        QVERIFY(ini.eraseSection(" two\nlines"));
        QCOMPARE(readFile(path()), QByteArray("[Main]\nk=\"\tMain  \"\n"));
    }

    // A settings file or lock file that is no regular file is reported and
    // never waited for: a FIFO would block the first read until a writer came,
    // a folder would keep the lock out of reach for the whole wait. The child
    // reads and writes; it is killed if it hangs.
    void filesThatAreNotRegularAreNotWaitedFor_data() {
        QTest::addColumn<QString>("odd");   // the path made odd, after the settings file
        QTest::addColumn<bool>("fifo");     // a FIFO, or else a folder
        QTest::addColumn<QString>("named"); // in the reason
        QTest::newRow("FIFO") << "" << true << "The settings file ";
        QTest::newRow("folder") << "" << false << "The settings file ";
        QTest::newRow("lock folder") << ".lock" << false << "The lock file ";
        QTest::newRow("lock FIFO") << ".lock" << true << "The lock file ";
    }
    void filesThatAreNotRegularAreNotWaitedFor() {
        QFETCH(QString, odd);
        QFETCH(bool, fifo);
        QFETCH(QString, named);
        const QString oddPath = path() + odd;
        QVERIFY(fifo ? ::mkfifo(QFile::encodeName(oddPath).constData(), 0600) == 0
                     : QDir().mkdir(oddPath));
        const auto removeOdd = qScopeGuard([&] {
            QFile::remove(oddPath);
            QDir().rmdir(oddPath);
        });
        QVERIFY(IniFile(path()).unusableReason().startsWith(named + oddPath + " is "));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--odd", path()});
        const bool ended = child.waitForFinished(8000);
        if (!ended)
            child.kill();
        QVERIFY2(ended, "the settings file was waited for");
        QCOMPARE(child.exitCode(), 0);
    }

    // Temporary files of writers that were killed go with the next write;
    // those of a live process and other files beside them stay.
    void temporariesOfKilledWritersAreRemoved() {
        QProcess gone;
        gone.start("sleep", {"0.1"});
        QVERIFY(gone.waitForStarted());
        const QString dead = path() + QString(".%1.new").arg(gone.processId());
        QVERIFY(gone.waitForFinished());
        const QString live = path() + QString(".%1.new").arg(::getppid());
        const QString other = path() + ".backup.new";
        for (const QString& file : {dead, live, other})
            QVERIFY(writeFile(file, "[S]\nk=half"));
        QVERIFY(IniFile(path()).writeString("S", "k", "v"));
        QVERIFY(!QFile::exists(dead));
        QVERIFY(QFile::exists(live) && QFile::exists(other));
        QFile::remove(live);
        QFile::remove(other);
    }

    void twoProcessesWritingAtOnceLoseNothing() {
        // Each child writes its own 40 keys while the other writes too; every
        // key must survive the read-modify-write cycles of both.
        const QString program = QCoreApplication::applicationFilePath();
        QProcess a, b;
        a.start(program, {"--writer", path(), "A"});
        b.start(program, {"--writer", path(), "B"});
        QVERIFY(a.waitForFinished(60000));
        QVERIFY(b.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        IniFile ini(path());
        for (int i = 0; i < 40; ++i) {
            QCOMPARE(ini.readString("A", QString("k%1").arg(i), ""), QString::number(i));
            QCOMPARE(ini.readString("B", QString("k%1").arg(i), ""), QString::number(i));
        }
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--writer") {
        IniFile ini(QString::fromLocal8Bit(argv[2]));
        for (int i = 0; i < 40; ++i)
            if (!ini.writeString(argv[3], QString("k%1").arg(i), QString::number(i)))
                return 1;
        return 0;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--odd") {
        IniFile ini(QString::fromLocal8Bit(argv[2]));
        const bool found = ini.valueExists("S", "k") || ini.readString("S", "k", "d") != "d";
        return found || ini.writeString("S", "k", "v") ? 1 : 0;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--full-disk") {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        IniFile ini(QString::fromLocal8Bit(argv[2]));
        const bool written = ini.writeString("S", "k", QString(1000, 'x'));
        return !written && platform::lastError() != 0 ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    TestIniFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_inifile.moc"
