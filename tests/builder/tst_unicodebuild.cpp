// Building a text of the Unicode word rule: UTF-8 words in the tables and
// lists, lengths in characters, the language's alphabetical order, folded
// accents, more distinct words than 16-bit word numbers hold, and a record
// that cannot be read.

#include "concordance/textrules.h"
#include "platform/gui/application.h"
#include "tests/builder/testprogram.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"
#include "tests/support/sqlfile.h"

#include <QHash>
#include <QPushButton>

using namespace Qt::StringLiterals;
using concordance::TextRules;
using concordance::WordForm;
using concordance::WordRule;

namespace {

const Verses spanish = {
    {verseKey(1, 1, 1), u"Y dijo Dios: Sea la luz: y fu\u00E9 la luz."_s},
    {verseKey(1, 1, 2), u"\u00A1Oh coraz\u00F3n! El CORAZ\u00D3N del ni\u00F1o, un a\u00F1o; "
                        u"el ano, la nube y el \u00F1ame."_s},
    // The same word in NFD.
    {verseKey(1, 1, 3), u"Coraz\u006F\u0301n de Jes\u0075\u0301s."_s},
};

TextRules unicode(bool foldAccents) {
    return TextRules{WordForm{WordRule::Unicode, foldAccents}, u"es"_s};
}

} // namespace

class TestUnicodeBuild : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgram> program;
    std::unique_ptr<TRebuildDlg> dialog;
    testsupport::MessageCapture messages;

    QString textFolder; // the text's folder, ending in "/"
    QString folder() const { return textFolder; }
    // The type of a table's field as its file records it.
    QString fieldType(const char* table, const char* field) const {
        const QByteArray sql =
            QByteArray("SELECT type FROM _layout_fields WHERE name = '") + field + "'";
        return testsupport::sqlRows(folder() + table + ".db", sql.constData()).join(' ');
    }

    // Builds `verses` with `rules` in a dialog of its own, which lets the
    // tables go again; true when the build completed.
    bool build(const Verses& verses, const TextRules& rules) {
        dialog = program->makeDialog();
        textFolder = dialog->dataPath;
        writeVerseTable(folder(), verses);
        concordance::writeTextRules(folder(), rules);
        dialog->B_Build->click();
        const bool done = dialog->buildState() == TRebuildDlg::BuildState::Done;
        dialog.reset();
        return done;
    }
    // Each word's count and length by "Freq", its word number its row of "Key".
    QHash<QString, QPair<int, int>> frequencies() const {
        const QStringList words =
            testsupport::sqlRows(folder() + "Key.db", "SELECT Word FROM Key ORDER BY Word");
        QHash<QString, QPair<int, int>> out;
        for (const QString& row :
             testsupport::sqlRows(folder() + "Freq.db", "SELECT F1, F2, F3 FROM Freq")) {
            const QStringList f = row.split('|');
            if (f.size() != 3)
                qFatal("Freq cannot be read: %s", qPrintable(row));
            out.insert(words.value(f[0].toInt() - 1), {f[1].toInt(), f[2].toInt()});
        }
        return out;
    }
    // The first column of a list's lines after the line `from`.
    QStringList listWords(const char* suffix, const QByteArray& from) const {
        const QString text = QString::fromUtf8(testsupport::readFile(
            folder() + QStringLiteral("RV") + QLatin1String(suffix) + QStringLiteral(".txt")));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        const qsizetype start = from.isEmpty() ? 0 : lines.indexOf(QString::fromUtf8(from)) + 1;
        QStringList words;
        for (qsizetype i = start; i < lines.size(); ++i) {
            for (const QString& line : lines[i].split('\n'))
                if (!line.isEmpty())
                    words << line.section('\t', 0, 0);
        }
        return words;
    }

private slots:
    void init() {
        messages.clear();
        program = std::make_unique<TestProgram>(QStringLiteral("Text RV"));
    }
    void cleanup() {
        dialog.reset();
        program.reset();
    }

    void spanishWordsAndLists() {
        QVERIFY(build(spanish, unicode(false)));
        const auto words = frequencies();
        // Whole words, case-folded, one word for the NFC and the NFD form.
        QCOMPARE(words.value(u"coraz\u00F3n"_s), qMakePair(3, 7));
        QCOMPARE(words.value(u"jes\u00FAs"_s), qMakePair(1, 5));
        QCOMPARE(words.value(u"a\u00F1o"_s), qMakePair(1, 3));
        QCOMPARE(words.value(u"ano"_s), qMakePair(1, 3));
        QCOMPARE(words.value(u"fu\u00E9"_s), qMakePair(1, 3));
        for (const QString& piece : {u"n"_s, u"coraz"_s, u"jes"_s, u"s"_s, u"fu"_s})
            QVERIFY2(!words.contains(piece), qPrintable(piece));
        QCOMPARE(words.size(), 19);

        // The alphabetical lists in Spanish order: "ñ" after "n", accented
        // words beside their plain forms.
        const QStringList alpha = listWords("_Alpha", "Word\tCount");
        QCOMPARE(alpha, (QStringList{u"ano"_s, u"a\u00F1o"_s, u"coraz\u00F3n"_s, u"de"_s, u"del"_s,
                                     u"dijo"_s, u"dios"_s, u"el"_s, u"fu\u00E9"_s, u"jes\u00FAs"_s,
                                     u"la"_s, u"luz"_s, u"ni\u00F1o"_s, u"nube"_s, u"\u00F1ame"_s,
                                     u"oh"_s, u"sea"_s, u"un"_s, u"y"_s}));
        QCOMPARE(listWords("_Pcre", {}), alpha);
        QCOMPARE(listWords("_List", "Different words 19"), alpha);

        // Among equal counts and equal lengths, the same order.
        const auto inAlphabeticalRuns = [&](const char* suffix, const QByteArray& from,
                                            int column) {
            const QString text = QString::fromUtf8(
                testsupport::readFile(folder() + "RV" + QLatin1String(suffix) + ".txt"));
            QStringList lines = text.split(QStringLiteral("\r\n"));
            lines = lines.mid(lines.indexOf(QString::fromUtf8(from)) + 1);
            QString previousKey;
            qsizetype previousRank = -1;
            for (const QString& line : lines) {
                if (!line.contains('\t') || line.startsWith('\t'))
                    continue;
                const QString key = column ? line.section('\t', column, column)
                                           : QString::number(line.section('\t', 0, 0).size());
                const qsizetype rank = alpha.indexOf(line.section('\t', 0, 0));
                if (key == previousKey && rank < previousRank)
                    return false;
                previousKey = key;
                previousRank = rank;
            }
            return true;
        };
        QVERIFY(inAlphabeticalRuns("_Freq", "Word\tCount\tPercent", 1));
        QVERIFY(inAlphabeticalRuns("_Length", "Word\tCount", 0));

        // Lengths in characters, and the characters themselves in UTF-8.
        const QString lengths =
            QString::fromUtf8(testsupport::readFile(folder() + "RV_Length.txt"));
        QVERIFY(lengths.contains(u"\t\tWords 7 characters long\r\ncoraz\u00F3n\t3\r\n"_s));
        const QString chars =
            QString::fromUtf8(testsupport::readFile(folder() + "RV_CharFreq.txt"));
        QVERIFY(chars.contains(u"\r\n241\t\u00F1\t3\t"_s));
        QVERIFY(chars.contains(u"\r\n243\t\u00F3\t3\t"_s));
        // Every letter, most frequent first, "\u00F1" and "\u00F3" among them.
        const QString letters =
            chars.section(u"Characters sorted by frequency of occurrence\r\n\r\n"_s, 1);
        QVERIFY2(letters.startsWith('a') && letters.contains(u"\u00F1"_s) &&
                     letters.contains(u"\u00F3"_s) && letters.trimmed().size() == 22,
                 qPrintable(letters));
    }

    void foldedAccents() {
        QVERIFY(build(spanish, unicode(true)));
        const auto words = frequencies();
        QCOMPARE(words.value(u"corazon"_s), qMakePair(3, 7));
        QCOMPARE(words.value(u"jesus"_s), qMakePair(1, 5));
        // The merge folding brings with it.
        QCOMPARE(words.value(u"ano"_s), qMakePair(2, 3));
        QVERIFY(!words.contains(u"coraz\u00F3n"_s));
        QCOMPARE(words.size(), 18);
        // The verse text keeps its accents.
        QCOMPARE(testsupport::sqlRows(folder() + "Bible.db", "SELECT count(*) FROM Bible "
                                                             "WHERE Text LIKE '%coraz\xc3\xb3n%'"),
                 QStringList{"1"});
    }

    // Word numbers past 32,767: 100,000 distinct words build, and the tables
    // hold every number.
    void moreWordsThanSixteenBits() {
        Verses verses;
        constexpr int distinct = 100'000;
        for (int n = 0; n < distinct; n += 100) {
            QStringList words;
            for (int w = n; w < n + 100; ++w)
                words << u"\u03BB%1"_s.arg(w);
            verses.append({verseKey(1 + n / 20000, 1 + n / 100 % 200, 1), words.join(' ')});
        }
        // Wider than the word field's 30 characters, and than its bytes twice
        // over: it is kept whole.
        const QString longWord = u"\u03B1\u03B2\u03B3\u03B4\u03B5"_s.repeated(13);
        verses.append({verseKey(66, 1, 1), longWord});
        QVERIFY(build(verses, unicode(false)));
        QVERIFY2(messages.lines().isEmpty(), qPrintable(messages.lines().join('\n')));
        QCOMPARE(testsupport::sqlRows(folder() + "Freq.db", "SELECT count(*), max(F1) FROM Freq"),
                 QStringList{"100001|100001"});
        QCOMPARE(testsupport::sqlRows(folder() + "Word.db", "SELECT count(*), max(R2) FROM Word"),
                 QStringList{"100001|100001"});
        QCOMPARE(testsupport::sqlRows(folder() + "Key.db",
                                      "SELECT Word FROM Key WHERE length(Word) > 30"),
                 QStringList{longWord});
        QVERIFY(QString::fromUtf8(testsupport::readFile(folder() + "RV_Length.txt"))
                    .contains(u"\t\tWords 65 characters long\r\n"_s + longWord + u"\t1\r\n"_s));
        QCOMPARE(fieldType("Freq", "F1"), "Integer");
    }

    // Tables made for one rule are made anew for the other at the next build.
    void switchingRules() {
        QVERIFY(build(spanish, TextRules{}));
        QCOMPARE(fieldType("Word", "R2"), "Smallint");
        QVERIFY(frequencies().contains(u"coraz"_s));
        QVERIFY(build(spanish, unicode(false)));
        QCOMPARE(fieldType("Word", "R2"), "Integer");
        QCOMPARE(fieldType("Freq", "F1"), "Integer");
        QCOMPARE(frequencies().value(u"coraz\u00F3n"_s), qMakePair(3, 7));
        QVERIFY(build(spanish, TextRules{}));
        QCOMPARE(fieldType("Word", "R2"), "Smallint");
        QCOMPARE(fieldType("Freq", "F1"), "Smallint");
        // The byte rule splits at every byte beyond ASCII: the NFD form loses less.
        QCOMPARE(frequencies().value(u"coraz"_s), qMakePair(2, 5));
        QCOMPARE(frequencies().value(u"corazo"_s), qMakePair(1, 6));
    }

    void anUnreadableRecordStopsTheBuild() {
        dialog = program->makeDialog();
        textFolder = dialog->dataPath;
        writeVerseTable(folder(), spanish);
        const QString record = folder() + concordance::textRulesFile;
        QVERIFY(testsupport::writeFile(record, "[Words]\nRule=utf8\n"));
        dialog->B_Build->click();
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Ready);
        QVERIFY(dialog->stopReason().contains(record));
        QVERIFY(messages.lines().join('\n').contains("Rule=utf8"));
        QVERIFY(!QFile::exists(folder() + "Key.db"));
    }
};

int main(int argc, char** argv) {
    platform::Application app(argc, argv, QStringLiteral("Build"));
    TestUnicodeBuild test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unicodebuild.moc"
