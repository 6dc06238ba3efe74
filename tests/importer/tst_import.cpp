// The verse-table importer import-text: the text clean-up, both verse-file
// forms with their errors, and the program itself: what it writes, what it
// refuses, and that an existing table is replaced only by a complete one. The
// SWORD check runs only where the KJV module is installed.

#include "importer/bibletable.h"
#include "importer/osis.h"
#include "importer/progress.h"
#include "importer/swordsource.h"
#include "importer/verses.h"
#include "platform/core/table.h"
#include "tests/support/files.h"
#include "tests/support/processrun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using verses::Place;

namespace {

const QString sample = QStringLiteral(DATA_DIR "/sample/kjv-sample.txt");

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run importText(const QStringList& arguments) {
    const testsupport::ProcessResult r = testsupport::runProcess(IMPORT_TEXT, arguments);
    return Run{r.exitCode, QString::fromUtf8(r.out), QString::fromUtf8(r.err)};
}

// Key and text of every row of the folder's verse table, in its primary order.
QList<std::pair<quint32, QString>> readTable(const QString& folder) {
    QList<std::pair<quint32, QString>> rows;
    TTable t;
    t.setDatabaseName(folder);
    t.setTableName(QStringLiteral("Bible"));
    t.Open();
    for (t.First(); !t.Eof(); t.Next())
        rows.append({quint32(t.Fields(0).AsInteger()), t.Fields(1).AsString()});
    t.Close();
    return rows;
}

quint32 key(int book, int chapter, int verse) {
    return verses::packKey(Place{book, chapter, verse});
}

int rowsWritten = 0;
bool stopAfterFiveRows() {
    return ++rowsWritten > 5;
}

// Whether an import holds the text folder's lock (it takes it once it is
// ready for signals, before it reads anything).
bool folderIsLocked(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

} // namespace

using testsupport::writeFile;

class TestImport : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString folder(const QString& name) const {
        return tmp.filePath(QStringLiteral("Text/") + name);
    }

private slots:
    void textCleanUp() {
        QCOMPARE(verses::simplified("  In the\t beginning\r\n God  "),
                 QByteArray("In the beginning God"));
        QCOMPARE(verses::simplified(" \t\r\n"), QByteArray());

        int folded = 0;
        QCOMPARE(verses::foldApostrophes("the king\xe2\x80\x99s \xe2\x80\x98Tis", &folded),
                 QByteArray("the king's 'Tis"));
        QCOMPARE(folded, 2);
        // Other characters, the double quotes and a cut-off sequence stay.
        const QByteArray other = "Jud\xc3\xa6"
                                 "a \xe2\x80\x9cso\xe2\x80\x9d \xe2\x80";
        QCOMPARE(verses::foldApostrophes(other, &folded), other);
        QCOMPARE(folded, 2);
    }

    void utf8IsChecked() {
        QVERIFY(verses::isValidUtf8("plain \xc3\xa6 \xe2\x80\x99 \xf0\x9f\x93\x96"));
        QVERIFY(!verses::isValidUtf8("\xff"));
        QVERIFY(!verses::isValidUtf8("\xc0\xaf"));         // overlong
        QVERIFY(!verses::isValidUtf8("end \xe2\x80"));     // cut off
        QVERIFY(!verses::isValidUtf8("\xed\xa0\x80"));     // surrogate
        QVERIFY(!verses::isValidUtf8("\xe2\x28\xa1"));     // bad continuation
        QVERIFY(!verses::isValidUtf8("\xf4\x90\x80\x80")); // above U+10FFFF
    }

    // One line of either verse-file form: its place and text ("book
    // chapter:verse text"), or the message that refuses it.
    void verseLines_data() {
        QTest::addColumn<bool>("tabSeparated");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("result");
        const auto vpl = [](const char* name, const char* line, const QString& result) {
            QTest::newRow(name) << false << QByteArray(line) << result;
        };
        const auto tsv = [](const char* name, const char* line, const QString& result) {
            QTest::newRow(name) << true << QByteArray(line) << result;
        };
        const QString notAVerseLine = "not a verse line (expected \"Book chapter:verse text\")";
        const QString keyRange = "out of range (book 1 to 127 in bits 24-31, chapter and verse 1 "
                                 "to 255 in bits 16-23 and 8-15, bits 0-7 zero)";
        const QString expected =
            "expected a verse key or \"book chapter verse\", a tab and the text";
        vpl("mod2vpl", "Genesis 1:1 In the beginning", "1 1:1 In the beginning");
        vpl("numbered book", "1 John 3:16 Hereby", "62 3:16 Hereby");
        vpl("Roman numeral", "I Samuel 1:1 Now", "9 1:1 Now");
        vpl("OSIS and tab", "Ps 119:176\tI have gone astray", "19 119:176 I have gone astray");
        vpl("a reference in the text", "Rev 22:21 see John 3:16 ", "66 22:21 see John 3:16");
        vpl("highest", "Genesis 255:255 x", "1 255:255 x");
        vpl("unknown book", "Genisis 1:1 In", "unknown book name \"Genisis\"");
        vpl("chapter 0", "Genesis 0:1 In", "chapter 0 out of range (1 to 255)");
        vpl("verse 256", "Genesis 1:256 In", "verse 256 out of range (1 to 255)");
        vpl("huge number", "Genesis 1:99999999999 In", "chapter or verse out of range (1 to 255)");
        vpl("no text", "Genesis 1:1", "line without text");
        vpl("blanks only after the verse", "Genesis 1:1 \t ", "line without text");
        vpl("no reference", "In the beginning", notAVerseLine);
        vpl("no book", "1:1 In the beginning", notAVerseLine);
        tsv("decimal key", "16843008\tIn the", "1 1:1 In the");
        tsv("hex key", "0x42161500\tThe grace", "66 22:21 The grace");
        tsv("book chapter verse", "Genesis 1 2\tAnd", "1 1:2 And");
        tsv("numbers", "19 23 1\tThe LORD", "19 23:1 The LORD");
        tsv("numbered book name", "1 John 3 16\tHereby", "62 3:16 Hereby");
        tsv("chapter:verse", "Rev 22:21\tThe grace", "66 22:21 The grace");
        tsv("low byte set", "16843009\tx", "verse key 16843009 " + keyRange);
        tsv("key 0", "0\tx", "verse key 0 " + keyRange);
        tsv("book 128", "128 1 1\tx", "book 128 out of range (1 to 127)");
        tsv("verse 0", "Genesis 1 0\tx", "verse 0 out of range (1 to 255)");
        tsv("tsv: unknown book", "Genisis 1 1\tx", "unknown book name \"Genisis\"");
        tsv("no tab", "Genesis 1 1", "line without text");
        tsv("empty text", "Genesis 1 1\t  ", "line without text");
        tsv("no verse", "Genesis\tx", expected);
        tsv("words", "In the beginning God created", expected);
    }
    void verseLines() {
        QFETCH(bool, tabSeparated);
        QFETCH(QByteArray, line);
        QFETCH(QString, result);
        Place place;
        QByteArray text;
        QString message;
        const bool ok = tabSeparated ? verses::parseTabSeparated(line, place, text, message)
                                     : verses::parseVersePerLine(line, place, text, message);
        QCOMPARE(ok ? QStringLiteral("%1 %2:%3 %4")
                          .arg(place.book)
                          .arg(place.chapter)
                          .arg(place.verse)
                          .arg(QString::fromUtf8(text))
                    : message,
                 result);
    }

    // The reader keeps a Psalm's title with its first verse and makes the
    // typographic apostrophes plain (the program's run of the sample checks
    // the rest).
    void sampleFileReads() {
        verses::Collection c;
        QVERIFY(verses::readFile(sample, verses::FileForm::VersePerLine, c));
        QVERIFY2(c.errors().isEmpty(), qPrintable(c.errors().join('\n')));
        const std::vector<verses::Verse> all = c.sorted();
        const auto psalm = std::find_if(all.begin(), all.end(),
                                        [](const auto& v) { return v.key == key(19, 23, 1); });
        QVERIFY(psalm != all.end());
        QVERIFY(psalm->text.startsWith("A Psalm of David. The LORD is my shepherd"));
        QCOMPARE(c.foldedApostrophes(), 3);
    }

    void fileErrorsNameFileAndLine() {
        const QString path = tmp.filePath("errors.txt");
        writeFile(path, "\xef\xbb\xbfGenesis 1:1 In the beginning\r\n"
                        "\n"
                        "Genesis 1:1 Again\n"
                        "Exodus 1:1 Caf\xe9\n"
                        "Genesis 1:2 And the earth\n");
        verses::Collection c;
        QVERIFY(verses::readFile(path, verses::FileForm::VersePerLine, c));
        QCOMPARE(c.errors(),
                 QStringList({path + ":3: duplicate verse Genesis 1:1 (first on line 1)",
                              path + ":4: the line is not valid UTF-8"}));
        QCOMPARE(c.size(), 2); // the BOM and the CR are not part of the text
        QCOMPARE(c.sorted().front().text, QByteArray("In the beginning"));

        verses::Collection missing;
        QVERIFY(
            !verses::readFile(tmp.filePath("absent.txt"), verses::FileForm::VersePerLine, missing));
        QVERIFY(missing.errors().value(0).startsWith(tmp.filePath("absent.txt") +
                                                     ": cannot open the file"));
    }

    // Line ends of every kind, and a verse text holding a NUL byte, which a
    // table would cut short.
    void lineEndsAndNulBytes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("texts");  // the verses read, in order
        QTest::addColumn<QStringList>("errors"); // after "file:"
        QTest::newRow("lone CR") << QByteArray("Genesis 1:1 One\rGenesis 1:2 Two\r")
                                 << QStringList{"One", "Two"} << QStringList{};
        QTest::newRow("mixed") << QByteArray("Genesis 1:1 One\r\n\rGenesis 1:2 Two\nGenesis 1:3 3")
                               << QStringList{"One", "Two", "3"} << QStringList{};
        QTest::newRow("NUL") << QByteArray("Genesis 1:1 One\nGenesis 1:2 T\0wo\n", 32)
                             << QStringList{"One"}
                             << QStringList{":2: the verse text holds a NUL byte"};
        QTest::newRow("endless line")
            << QByteArray("Genesis 1:1 One\n") + QByteArray(1100000, 'x') << QStringList{"One"}
            << QStringList{":2: the line is longer than 1,048,576 bytes"};
    }
    void lineEndsAndNulBytes() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, errors);
        const QString path = tmp.filePath("ends.txt");
        writeFile(path, content);
        verses::Collection c;
        verses::readFile(path, verses::FileForm::VersePerLine, c);
        QStringList read;
        for (const verses::Verse& v : c.sorted())
            read << QString::fromUtf8(v.text);
        QCOMPARE(read, texts);
        for (QString& e : errors)
            e.prepend(path);
        QCOMPARE(c.errors(), errors);
    }

    void osisHelpers() {
        const QByteArray last = "Amen. <chapter eID=\"Rev.22\"/> <div canonical=\"true\" "
                                "eID=\"gen1\" osisID=\"Rev\" type=\"book\"/>";
        QCOMPARE(osis::cutAtBookEnd(last + " <div sID=\"g2\" type=\"glossary\"/> Abaddon ..."),
                 last);
        QCOMPARE(osis::cutAtBookEnd("Amen. <div sID=\"x\" type=\"book\"/> more"),
                 QByteArray("Amen. <div sID=\"x\" type=\"book\"/> more")); // a book's start
        QCOMPARE(osis::cutAtBookEnd("<divineName>LORD</divineName> eID type=\"book\""),
                 QByteArray("<divineName>LORD</divineName> eID type=\"book\""));

        QVERIFY(osis::isCanonicalTitle("<title canonical=\"true\" type=\"psalm\">A Psalm</title>"));
        QVERIFY(osis::isCanonicalTitle("<title type='psalm' canonical='true'>A Psalm</title>"));
        QVERIFY(!osis::isCanonicalTitle("<title><foreign>BETH.</foreign></title>"));
        QVERIFY(!osis::isCanonicalTitle("<title noncanonical=\"true\">x</title>"));
        QVERIFY(!osis::isCanonicalTitle("<titlePage canonical=\"true\"/>"));
        QVERIFY(!osis::isCanonicalTitle("<div canonical=\"true\" type=\"book\"/>"));
    }

    void importsTheSample() {
        const QString dir = folder("Sample");
        const Run r = importText({"--vpl", sample, "--to", dir});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("Wrote " + dir + "/Bible.db with 109 verses"));
        QVERIFY(r.out.contains("Skipped: none"));
        QVERIFY(r.out.contains("Longest verse: Genesis 1:26, 254 bytes"));
        QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));

        const auto rows = readTable(dir);
        QCOMPARE(rows.size(), 109);
        QCOMPARE(rows.front().first, key(1, 1, 1));
        QCOMPARE(rows.front().second,
                 QString("In the beginning God created the heaven and the earth."));
        QCOMPARE(rows.back().first, key(66, 22, 21));
        QVERIFY(std::is_sorted(rows.begin(), rows.end()));
        for (const auto& [k, text] : rows)
            QVERIFY2(!text.contains(QChar(0x2019)), qPrintable(text));
    }

    // 256 words need more positions than a verse key has; 639 bytes are more
    // than a 640-byte verse buffer holds. Words are counted by the word rule:
    // "b-b" is one word, "--" none.
    void summaryWarnsOfCrowdedAndOverlongVerses() {
        const QByteArray crowded = QByteArray("a ").repeated(255) + "b-b";
        const QByteArray full = "-- " + QByteArray("a ").repeated(254) + "a.";
        const QByteArray overlong = QByteArray(638, 'x') + "y";
        const QString path = tmp.filePath("warnings.txt");
        writeFile(path, "Genesis 1:1 " + crowded + "\nGenesis 1:2 " + full + "\nGenesis 1:3 " +
                            overlong + "\nGenesis 1:4 " + overlong.chopped(1) + "\n");
        const Run r = importText({"--vpl", path, "--to", folder("Warnings")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Warning: 1 verse has more than 255 words, more than a verse key "
                                "has room for; Build cannot index them whole: Genesis 1:1\n"),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains("Warning: 1 verse is longer than 638 bytes: Genesis 1:3\n"),
                 qPrintable(r.out));
    }

    // A pipe or a FIFO is read as a stream, to its end.
    void streamsAreRead_data() {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("pipe") << false;
        QTest::newRow("FIFO") << true;
    }
    void streamsAreRead() {
        QFETCH(bool, fifo);
        const QString fifoPath = tmp.filePath("verses.fifo");
        QFile::remove(fifoPath);
        if (fifo)
            QVERIFY(::mkfifo(QFile::encodeName(fifoPath).constData(), 0600) == 0);
        const QString dir = folder(fifo ? "Fifo" : "Pipe");
        QProcess child;
        child.start(IMPORT_TEXT, {"--vpl", fifo ? fifoPath : "/dev/stdin", "--to", dir});
        QVERIFY(child.waitForStarted());
        QFile source(sample);
        QVERIFY(source.open(QIODevice::ReadOnly));
        if (fifo) {
            QFile stream(fifoPath);
            QVERIFY(stream.open(QIODevice::WriteOnly));
            stream.write(source.readAll());
        } else {
            child.write(source.readAll());
            child.closeWriteChannel();
        }
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(child.exitCode() == 0, qPrintable(out + child.readAllStandardError()));
        QVERIFY2(out.contains("with 109 verses"), qPrintable(out));
        QFile::remove(fifoPath);
    }

    // Ctrl+C and SIGTERM end an import that waits for its input for ever (a
    // FIFO nobody opens for writing blocks in open(), a silent pipe in read()):
    // status 130, the old table untouched, no new one begun.
    void signalEndsAWaitingImport_data() {
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<int>("signal");
        QTest::newRow("FIFO without a writer, SIGINT") << true << SIGINT;
        QTest::newRow("FIFO without a writer, SIGTERM") << true << SIGTERM;
        QTest::newRow("silent pipe, SIGINT") << false << SIGINT;
        QTest::newRow("silent pipe, SIGTERM") << false << SIGTERM;
    }
    void signalEndsAWaitingImport() {
        QFETCH(bool, fifo);
        QFETCH(int, signal);
        const QString dir = folder("Waiting");
        QCOMPARE(importText({"--vpl", sample, "--to", dir, "--force"}).exitCode, 0);
        const auto before = readTable(dir);
        const QString fifoPath = tmp.filePath("silent.fifo");
        QFile::remove(fifoPath);
        QVERIFY(::mkfifo(QFile::encodeName(fifoPath).constData(), 0600) == 0);

        QProcess child;
        child.start(IMPORT_TEXT, {"--vpl", fifo ? fifoPath : "/dev/stdin", "--to", dir, "--force"});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(folderIsLocked(dir), 20000);
        QTest::qWait(200); // well into its wait
        QCOMPARE(child.state(), QProcess::Running);
        QVERIFY(::kill(pid_t(child.processId()), signal) == 0);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 130);
        QVERIFY(child.readAllStandardError().contains("interrupted; nothing was written"));
        QCOMPARE(readTable(dir), before);
        QVERIFY(!QFileInfo::exists(dir + "/Bible_new/Bible.db"));
        QFile::remove(fifoPath);
    }

    void apostrophesCanBeKept() {
        const QString dir = folder("Kept");
        const Run r = importText({"--vpl", sample, "--to", dir, "--keep-apostrophes"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const auto rows = readTable(dir);
        const auto it = std::find_if(rows.begin(), rows.end(),
                                     [](const auto& row) { return row.first == key(19, 23, 3); });
        QVERIFY(it != rows.end());
        QVERIFY(it->second.endsWith(QString::fromUtf8("for his name\xe2\x80\x99s sake.")));
    }

    void tabSeparatedFileImports() {
        const QString path = tmp.filePath("verses.tsv");
        writeFile(path, "Revelation 22 21\tThe grace\n16843008\tIn the beginning\n"
                        "1 1 2\tAnd the earth\n");
        const QString dir = folder("Tsv");
        const Run r = importText({"--tsv", path, "--to", dir});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const auto rows = readTable(dir);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], std::make_pair(key(1, 1, 1), QString("In the beginning")));
        QCOMPARE(rows[1], std::make_pair(key(1, 1, 2), QString("And the earth")));
        QCOMPARE(rows[2], std::make_pair(key(66, 22, 21), QString("The grace")));
    }

    // Any bad line stops the import, named by file and line (the messages of
    // each kind of line are checked above).
    void badInputStopsWithoutWriting_data() {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error"); // after "file:"
        const QByteArray good = "Genesis 1:1 In the beginning\n";
        QTest::newRow("verse above 255") << "--vpl" << good + "\nGenesis 1:300 And\n"
                                         << ":3: verse 300 out of range (1 to 255)";
        QTest::newRow("duplicate") << "--vpl" << good + "Genesis 1:1 Again\n"
                                   << ":2: duplicate verse Genesis 1:1 (first on line 1)";
        QTest::newRow("key out of range") << "--tsv" << QByteArray("16843008\tIn\n4294967040\tx\n")
                                          << ":2: verse key 4294967040 out of range";
        QTest::newRow("tsv duplicate") << "--tsv" << QByteArray("16843008\tIn\nGen 1 1\tx\n")
                                       << ":2: duplicate verse Genesis 1:1 (first on line 1)";
    }
    void badInputStopsWithoutWriting() {
        QFETCH(QString, form);
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const QString path = tmp.filePath("bad.txt");
        writeFile(path, content);
        const QString dir = folder("Bad");
        const Run r = importText({form, path, "--to", dir});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(path + error), qPrintable(r.err));
        QVERIFY(r.err.contains("nothing was written"));
        QVERIFY(!QFileInfo::exists(dir + "/Bible.db"));
        QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));
    }

    void commandLineMistakes() {
        QCOMPARE(importText({}).exitCode, 2);
        QCOMPARE(importText({"--to", folder("X")}).exitCode, 2);
        QCOMPARE(importText({"--vpl", sample, "--tsv", sample, "--to", folder("X")}).exitCode, 2);
        QCOMPARE(importText({"--vpl", sample}).exitCode, 2);
        QCOMPARE(importText({"--vpl", sample, "--to", folder("X"), "--bogus"}).exitCode, 2);
        const Run help = importText({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("--keep-apostrophes"));
        const Run missing = importText({"--vpl", tmp.filePath("absent.txt"), "--to", folder("X")});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.contains("cannot open the file"));
        QVERIFY(!QFileInfo::exists(folder("X") + "/Bible.db"));
    }

    void existingTableIsReplacedOnlyWithForce() {
        const QString dir = folder("Force");
        QCOMPARE(importText({"--vpl", sample, "--to", dir}).exitCode, 0);

        const QString two = tmp.filePath("two.txt");
        writeFile(two, "Genesis 1:1 One\nGenesis 1:2 Two\n");
        const Run refused = importText({"--vpl", two, "--to", dir});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains("already exists; add --force to replace it"),
                 qPrintable(refused.err));
        QCOMPARE(readTable(dir).size(), 109);

        // Bad input with --force leaves the old table as it was.
        const QString bad = tmp.filePath("bad-force.txt");
        writeFile(bad, "Genesis 1:1 One\nGenesis 1:1 Two\n");
        QCOMPARE(importText({"--vpl", bad, "--to", dir, "--force"}).exitCode, 1);
        QCOMPARE(readTable(dir).size(), 109);

        const Run forced = importText({"--vpl", two, "--to", dir, "--force"});
        QVERIFY2(forced.exitCode == 0, qPrintable(forced.err));
        QVERIFY(forced.out.contains("Replaced " + dir + "/Bible.db with 2 verses"));
        QCOMPARE(readTable(dir).size(), 2);
    }

    void heldTableIsNotReplaced() {
        const QString dir = folder("Held");
        QCOMPARE(importText({"--vpl", sample, "--to", dir}).exitCode, 0);
        const QString two = tmp.filePath("two.txt");
        writeFile(two, "Genesis 1:1 One\nGenesis 1:2 Two\n");
        {
            TTable held;
            held.setDatabaseName(dir);
            held.setTableName("Bible");
            held.setExclusive(true);
            held.Open();
            const Run r = importText({"--vpl", two, "--to", dir, "--force"});
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains("is in use by another program") &&
                         r.err.contains("File is locked"),
                     qPrintable(r.err));
            QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));
            QCOMPARE(held.RecordCount(), 109);
        }
        QCOMPARE(readTable(dir).size(), 109);
    }

    void oldTableStaysUntilTheNewOneIsComplete() {
        const QString dir = folder("Complete");
        QCOMPARE(importText({"--vpl", sample, "--to", dir}).exitCode, 0);
        // What an import killed while writing leaves: an unfinished new table.
        QVERIFY(QDir().mkpath(dir + "/Bible_new"));
        writeFile(dir + "/Bible_new/Bible.db", "half a table");

        verses::Collection c;
        QVERIFY(verses::readFile(sample, verses::FileForm::VersePerLine, c));
        FILE* sink = std::fopen("/dev/null", "w");
        Progress quiet(sink, false);
        {
            BibleTableWriter writer(dir);
            QString message;
            QVERIFY(writer.prepare(true, message));
            rowsWritten = 0;
            QVERIFY(!writer.write(c.sorted(), quiet, stopAfterFiveRows, message));
            QCOMPARE(message, QString("interrupted; nothing was written"));
            QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));
        }
        QCOMPARE(readTable(dir).size(), 109);
        {
            // Leaving without commit drops the finished new table as well.
            BibleTableWriter writer(dir);
            QString message;
            QVERIFY(writer.prepare(true, message));
            QVERIFY(writer.write({verses::Verse{key(1, 1, 1), "One"}}, quiet, nullptr, message));
            QVERIFY(QFileInfo::exists(dir + "/Bible_new/Bible.db"));
        }
        QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));
        QCOMPARE(readTable(dir).size(), 109);
        {
            BibleTableWriter writer(dir);
            QString message;
            QVERIFY(writer.prepare(true, message));
            QVERIFY(writer.write({verses::Verse{key(1, 1, 1), "One"}}, quiet, nullptr, message));
            QVERIFY2(writer.commit(message), qPrintable(message));
            QVERIFY(writer.replaced());
        }
        std::fclose(sink);
        QCOMPARE(readTable(dir), (QList<std::pair<quint32, QString>>{{key(1, 1, 1), "One"}}));
        QVERIFY(!QFileInfo::exists(dir + "/Bible_new"));
    }

    // What a killed import left in "Bible_new" (its table, one being created
    // under a name of its own, a journal) goes with the next import; while an
    // import lives (here: holds the folder), no other touches its files.
    void leftoversOfAKilledImport() {
        const QString dir = folder("Leftovers");
        const QString staging = dir + "/Bible_new/";
        QVERIFY(QDir().mkpath(staging));
        const QStringList left = {"Bible.db", "Bible.db.4194303.new",
                                  "Bible.db.4194303.new-journal"};
        for (const QString& name : left)
            writeFile(staging + name, "half a table");
        {
            BibleTableWriter live(dir);
            QString message;
            QVERIFY(live.prepare(false, message));
            QVERIFY(!QFileInfo::exists(staging));
            QVERIFY(QDir().mkpath(staging));
            for (const QString& name : left)
                writeFile(staging + name, "being written");
            const Run refused = importText({"--vpl", sample, "--to", dir});
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.err.contains("another import is writing " + dir),
                     qPrintable(refused.err));
            QCOMPARE(QDir(staging).entryList(QDir::Files), left);
        }
        const Run r = importText({"--vpl", sample, "--to", dir});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(staging));
        QCOMPARE(readTable(dir).size(), 109);
    }

    // The King James Version from Debian's sword-text-kjv, where it is installed.
    void swordKjv() {
        if (!sword_source::available())
            QSKIP("built without the SWORD library");
        const auto modules = sword_source::bibleModules();
        if (std::none_of(modules.begin(), modules.end(),
                         [](const auto& m) { return m.abbreviation == "KJV"; }))
            QSKIP("the SWORD module KJV is not installed");
        const QString dir = folder("KJV");
        const Run r = importText({"--sword", "KJV", "--to", dir});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("with 31,102 verses"));
        QVERIFY(r.out.contains("Longest verse: Esther 8:9"));
        const auto rows = readTable(dir);
        QCOMPARE(rows.size(), 31102);
        QVERIFY(std::is_sorted(rows.begin(), rows.end()));
        QCOMPARE(rows.front(), std::make_pair(key(1, 1, 1), QString("In the beginning God created "
                                                                    "the heaven and the earth.")));
        QCOMPARE(rows.back().first, key(66, 22, 21));
        QHash<quint32, QString> text;
        for (const auto& [k, t] : rows) {
            QVERIFY2(!t.contains('<') && !t.contains('>') && !t.contains("  "), qPrintable(t));
            text.insert(k, t);
        }
        QVERIFY(text[key(19, 3, 1)].startsWith("A Psalm of David, when he fled from Absalom his "
                                               "son. LORD, how are they increased"));
        QVERIFY(text[key(19, 119, 1)].startsWith("Blessed are the undefiled"));   // no ALEPH
        QVERIFY(text[key(19, 119, 9)].startsWith("Wherewithal shall"));           // no BETH
        QCOMPARE(text[key(58, 13, 25)], QString("Grace be with you all. Amen.")); // no postscript
        QVERIFY(text[key(17, 8, 9)].contains("king's scribes"));
    }

    // The three texts Debian ships, read as a reader of each module sees
    // them: no tag, lemma or Strong's number in any verse, and none of the
    // words that markup alone used to run together. Each is checked where it
    // is installed.
    void swordTextsAreClean_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<quint32>("verse");
        QTest::addColumn<QString>("text");
        QTest::newRow("KJV") << "KJV" << key(1, 1, 1)
                             << "In the beginning God created the heaven and the earth.";
        QTest::newRow("WEB") << "WEB" << key(1, 1, 1)
                             << "In the beginning, God created the heavens and the earth.";
        QTest::newRow("RV1909")
            << "RV1909" << key(1, 1, 30)
            << QString::fromUtf8("Y á toda bestia de la tierra, y á todas las aves de los cielos, "
                                 "y á todo lo que se mueve sobre la tierra, en que hay vida, "
                                 "toda hierba verde les será para comer: y fué así.");
    }
    void swordTextsAreClean() {
        QFETCH(QString, module);
        QFETCH(quint32, verse);
        QFETCH(QString, text);
        if (!sword_source::available())
            QSKIP("built without the SWORD library");
        const auto modules = sword_source::bibleModules();
        if (std::none_of(modules.begin(), modules.end(),
                         [&](const auto& m) { return m.abbreviation == module; }))
            QSKIP("the SWORD module is not installed");
        FILE* quiet = std::fopen("/dev/null", "w");
        QVERIFY(quiet);
        Progress progress(quiet, false);
        verses::Collection read;
        const bool ok = sword_source::read(module, read, progress);
        std::fclose(quiet);
        QVERIFY2(ok, qPrintable(read.errors().join('\n')));

        const QRegularExpression tag(QStringLiteral("[<>]|\\b[HG]\\d{1,5}\\b"));
        const QStringList joined{"godcreated", "yahwehgod",        "kneweve",
                                 "east,they",  "jesusmay",         "lordhas",
                                 "estasson",   "jesucristoseacon", "clean.\u201dimmediately"};
        bool seen = false;
        for (const verses::Verse& v : read.sorted()) {
            const QString t = QString::fromUtf8(v.text);
            if (v.key == verse) {
                QCOMPARE(t, text);
                seen = true;
            }
            QVERIFY2(!tag.match(t).hasMatch(), qPrintable(read.reference(v.key) + ": " + t));
            const QString lower = t.toLower();
            for (const QString& j : joined)
                QVERIFY2(!lower.contains(j), qPrintable(read.reference(v.key) + ": " + t));
        }
        QVERIFY(seen);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
