// The Strong's table from a tagged text to the query: OSIS verses made into a
// verse table and a "Strongs" table as import-text makes them, built by Build,
// asked by the query engine. Several numbers on a word, an element over two
// words and an element boundary inside a word each make their own kind of
// occurrence. The word tables and lists of a tagged text are those of the same
// text untagged. On the whole KJV (where its module is installed) every tagged
// place is a word of "Word", and G26 and H2617 have their known renderings.

#include "builder/Strongstable.h"
#include "concordance/queryengine.h"
#include "concordance/tablelayouts.h"
#include "importer/osis.h"
#include "importer/swordsource.h"
#include "importer/verses.h"
#include "importer/wordtags.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"
#include "tests/support/processrun.h"

#include <QPushButton>

using concordance::FormCount;
using concordance::QueryEngine;
using concordance::QueryResult;
using concordance::VerseRange;

namespace {

struct TaggedVerse {
    int key;
    QByteArray osis;
};

const QList<TaggedVerse> taggedText = {
    // Two numbers on one word, an element over two words.
    {verseKey(1, 1, 1), "In <w lemma=\"strong:H7225\">the beginning</w> <w "
                        "lemma=\"strong:H0430\">God</w> <w lemma=\"strong:H1254 "
                        "strong:H0853\">created</w> <w lemma=\"strong:H8064\">the heaven</w>."},
    // One number in two elements of a verse: two occurrences.
    {verseKey(1, 1, 2), "<w lemma=\"strong:H0430\">God</w> saw, and <w "
                        "lemma=\"strong:H0430\">God</w> rested."},
    // Element boundaries inside a word: "givenst" lies in two elements (the
    // "n" between them in none) and carries the numbers of both.
    {verseKey(1, 1, 3), "It shall be <w lemma=\"strong:H5414\">give</w>n<w "
                        "lemma=\"strong:H9999\">st</w> you."},
    {verseKey(43, 3, 16), "For <w lemma=\"strong:G2316\">God</w> so <w "
                          "lemma=\"strong:G25\">loved</w> the world."},
    {verseKey(45, 5, 5), "Because <w lemma=\"strong:G3588 strong:G26\">the love</w> of <w "
                         "lemma=\"strong:G2316\">God</w> is shed abroad."},
    {verseKey(46, 13, 4), "<w lemma=\"strong:G26\">Charity</w> suffereth long, <w "
                          "lemma=\"strong:G26\">charity</w> is kind."},
    {verseKey(62, 4, 8), "<w lemma=\"strong:G2316\">God</w> is <w "
                         "lemma=\"strong:G0026\">love</w>."},
};

struct Prepared {
    Verses verses;
    std::vector<std::pair<quint32, wordtags::WordTag>> tags;
};

// The verse texts and word tags of the OSIS verses, as the importer makes them.
Prepared prepare(const QList<TaggedVerse>& text) {
    Prepared out;
    for (const TaggedVerse& verse : text) {
        std::vector<osis::Run> runs = osis::read(verse.osis);
        for (osis::Run& run : runs)
            run.text = verses::foldApostrophes(run.text);
        out.verses.append(
            {verse.key, QString::fromUtf8(verses::simplified(osis::plainText(runs)))});
        for (const wordtags::WordTag& tag : wordtags::tagWords(runs))
            out.tags.emplace_back(quint32(verse.key), tag);
    }
    return out;
}

void writeStrongs(const QString& folder, const Prepared& prepared) {
    writeTable(folder, concordance::strongsTable, concordance::defineStrongsTable,
               [&](TTable& table) {
                   for (const auto& [verse, tag] : prepared.tags) {
                       table.Append();
                       table.Fields(0).setAsInteger(qint32(verse) | tag.position);
                       table.Fields(1).setAsInteger(tag.element);
                       table.Fields(2).setAsString(QString::fromUtf8(tag.numbers));
                       table.Fields(3).setAsString(QString::fromUtf8(tag.morph));
                       table.Post();
                   }
               });
}

// "number place+length" for every row of the folder's "StrongsWord".
QStringList strongsWords(const QString& folder) {
    QStringList rows;
    TTable t;
    concordance::bindTable(t, folder, concordance::strongsWordTable);
    t.Open();
    for (t.First(); !t.Eof(); t.Next())
        rows << QStringLiteral("%1 %2+%3+%4")
                    .arg(t.Fields(0).AsString(),
                         concordance::verseReference(qint32(t.Fields(1).AsInteger() & ~0xff)),
                         QString::number(t.Fields(1).AsInteger() & 0xff),
                         QString::number(t.Fields(2).AsInteger()));
    t.Close();
    return rows;
}

// "words occurrences/verses", the most frequent first, as --renderings lists them.
QStringList renderings(QueryEngine& engine, const QueryResult& result) {
    QList<FormCount> forms = engine.forms(result);
    std::stable_sort(forms.begin(), forms.end(), [](const FormCount& a, const FormCount& b) {
        return a.occurrences > b.occurrences;
    });
    QStringList out;
    for (const FormCount& form : forms)
        out << QStringLiteral("%1 %2/%3").arg(form.words).arg(form.occurrences).arg(form.verses);
    return out;
}

// "Book c:v [start+length …]" per verse of the answer.
QStringList places(const QueryResult& result) {
    QStringList out;
    for (const concordance::MatchedVerse& verse : result.verses()) {
        QStringList spans;
        for (const concordance::MatchSpan& span : verse.spans)
            spans << QStringLiteral("%1+%2").arg(span.start).arg(span.length);
        out << concordance::verseReference(verse.key) + " [" + spans.join(' ') + "]";
    }
    return out;
}

// The rows of a concordance table, read through the table layer.
QStringList tableRows(const QString& folder, QLatin1String name) {
    QStringList rows;
    TTable t;
    concordance::bindTable(t, folder, name);
    t.Open();
    for (t.First(); !t.Eof(); t.Next()) {
        QStringList fields;
        for (int i = 0; i < t.FieldCount(); ++i)
            fields << t.Fields(i).AsString();
        rows << fields.join('|');
    }
    t.Close();
    return rows;
}

} // namespace

class TestStrongsTable : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;
    Prepared prepared;
    testsupport::MessageCapture messages;

    QString folder(const QString& name) const { return program->path("Text/" + name + "/"); }

    // Builds the text `name`, its verse table (and Strong's table) written first.
    void build(const QString& name, bool tagged) {
        platform::overrideCommandLine(program->path("Build") + " Text " + name);
        auto dialog = program->makeDialog();
        if (!QFile::exists(QDir(dialog->dataPath).filePath("Bible.db")))
            writeVerseTable(dialog->dataPath, prepared.verses);
        if (tagged && !QFile::exists(QDir(dialog->dataPath).filePath("Strongs.db")))
            writeStrongs(dialog->dataPath, prepared);
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
    }

private slots:
    void initTestCase() {
        program = std::make_unique<TestProgram>();
        prepared = prepare(taggedText);
        build("T", true);
        build("U", false);
    }

    void tableHoldsOneRowPerElementAndNumber() {
        const QStringList rows = strongsWords(folder("T"));
        QStringList sorted = rows;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, (QStringList{
                             "G2316 1 John 4:8+1+1",
                             "G2316 John 3:16+2+1",
                             "G2316 Romans 5:5+5+1",
                             "G25 John 3:16+4+1",
                             "G26 1 Corinthians 13:4+1+1",
                             "G26 1 Corinthians 13:4+4+1",
                             "G26 1 John 4:8+3+1",
                             "G26 Romans 5:5+2+2",
                             "G3588 Romans 5:5+2+2",
                             "H1254 Genesis 1:1+5+1",
                             "H430 Genesis 1:1+4+1",
                             "H430 Genesis 1:2+1+1",
                             "H430 Genesis 1:2+4+1",
                             "H5414 Genesis 1:3+4+1",
                             "H7225 Genesis 1:1+2+2",
                             "H8064 Genesis 1:1+6+2",
                             "H853 Genesis 1:1+5+1",
                             "H9999 Genesis 1:3+4+1",
                         }));
    }

    void numberTerms_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QStringList>("verses");
        QTest::addColumn<QStringList>("renderings");
        QTest::newRow("a number: each element once, over the words it spans")
            << "G26"
            << ""
            << QStringList{"Romans 5:5 [2+2]", "1 Corinthians 13:4 [1+1 4+1]", "1 John 4:8 [3+1]"}
            << QStringList{"charity 2/1", "love 1/1", "the love 1/1"};
        QTest::newRow("case and leading zeros do not matter")
            << "g0026"
            << "1 Corinthians" << QStringList{"1 Corinthians 13:4 [1+1 4+1]"}
            << QStringList{"charity 2/1"};
        QTest::newRow("a word with two numbers is found by either")
            << "H853"
            << "" << QStringList{"Genesis 1:1 [5+1]"} << QStringList{"created 1/1"};
        QTest::newRow("a word that an element boundary cuts renders both")
            << "h9999 OR H5414"
            << "" << QStringList{"Genesis 1:3 [4+1]"} << QStringList{"givenst 1/1"};
        QTest::newRow("two elements of one verse are two occurrences")
            << "H430"
            << "Genesis" << QStringList{"Genesis 1:1 [4+1]", "Genesis 1:2 [1+1 4+1]"}
            << QStringList{"god 3/2"};
        QTest::newRow("with a word: both in one verse")
            << "G26 god"
            << "" << QStringList{"Romans 5:5 [2+2 5+1]", "1 John 4:8 [1+1 3+1]"}
            << QStringList{"god 2/2", "love 1/1", "the love 1/1"};
        QTest::newRow("NEAR counts the words between the element and the word")
            << "G26 NEAR/1 god"
            << "" << QStringList{"Romans 5:5 [2+2 5+1]", "1 John 4:8 [1+1 3+1]"}
            << QStringList{"god 2/2", "love 1/1", "the love 1/1"};
        QTest::newRow("NEAR/0 leaves out the pairs a word apart")
            << "G26 NEAR/0 god"
            << "" << QStringList{} << QStringList{};
        QTest::newRow("a number or its word: one occurrence where both match")
            << "G26 OR love"
            << "1 John" << QStringList{"1 John 4:8 [3+1]"} << QStringList{"love 1/1"};
        QTest::newRow("verses without a number")
            << "god -G26"
            << "" << QStringList{"Genesis 1:1 [4+1]", "Genesis 1:2 [1+1 4+1]", "John 3:16 [2+1]"}
            << QStringList{"god 4/3"};
        QTest::newRow("a number the text does not have") << "G1"
                                                         << "" << QStringList{} << QStringList{};
    }

    void numberTerms() {
        QFETCH(QString, query);
        QFETCH(QString, range);
        QFETCH(QStringList, verses);
        QFETCH(QStringList, renderings);
        QueryEngine engine(folder("T"));
        const VerseRange in =
            range.isEmpty() ? VerseRange{} : VerseRange::parse(range, engine.books());
        const QueryResult result = engine.run(query, in);
        QCOMPARE(places(result), verses);
        QCOMPARE(::renderings(engine, result), renderings);
    }

    void untaggedTextRefusesNumbers() {
        QVERIFY(!QFile::exists(folder("U") + "StrongsWord.db"));
        QueryEngine engine(folder("U"));
        try {
            engine.run(QStringLiteral("love G26"));
            QFAIL("a number was answered on a text without Strong's numbers");
        } catch (const concordance::QueryError& e) {
            QVERIFY2(e.message().contains("has no Strong's numbers"), qPrintable(e.message()));
            QCOMPARE(e.position(), 5);
        }
        // Its words are answered as before.
        QCOMPARE(engine.run(QStringLiteral("love")).occurrences(), 2);
    }

    // The tagged and the untagged build of the same verses have the same
    // word tables and word lists: the Strong's table adds, it changes nothing.
    void wordTablesAndListsUnchanged() {
        for (const QLatin1String table :
             {concordance::keyTable, concordance::freqTable, concordance::wordTable})
            QCOMPARE(tableRows(folder("T"), table), tableRows(folder("U"), table));
        for (const char* list : {"Freq", "Alpha", "List", "Length", "CharFreq", "Pcre"}) {
            QFile t(folder("T") + "T_" + list + ".txt");
            QFile u(folder("U") + "U_" + list + ".txt");
            QVERIFY2(t.open(QIODevice::ReadOnly) && u.open(QIODevice::ReadOnly), list);
            // The header names the list's own file and the build's time.
            QList<QByteArray> a = t.readAll().split('\n');
            QList<QByteArray> b = u.readAll().split('\n');
            QVERIFY(a.size() > 4);
            QCOMPARE(a.mid(4), b.mid(4));
        }
    }

    // A rebuild after the text lost its tags leaves no Strong's table behind.
    void rebuildWithoutTagsRemovesTheTable() {
        build("V", true);
        QVERIFY(QFile::exists(folder("V") + "StrongsWord.db"));
        QVERIFY(!QFileInfo::exists(folder("V") + "Temp_StrongsWord"));
        QVERIFY(QFile::remove(folder("V") + "Strongs.db"));
        build("V", false);
        QVERIFY(!QFile::exists(folder("V") + "StrongsWord.db"));
        QueryEngine engine(folder("V"));
        QVERIFY_THROWS_EXCEPTION(concordance::QueryError, engine.run(QStringLiteral("G26")));
    }

    // A Strong's table whose numbers are not numbers is refused with its
    // place, and nothing is written.
    void badNumbersAreReported() {
        const QString dir = program->path("Bad/");
        QDir().mkpath(dir);
        writeTable(dir, concordance::strongsTable, concordance::defineStrongsTable,
                   [](TTable& table) {
                       table.Append();
                       table.Fields(0).setAsInteger(verseKey(1, 1, 1) | 2);
                       table.Fields(1).setAsInteger(1);
                       table.Fields(2).setAsString(QStringLiteral("H430 X12"));
                       table.Fields(3).setAsString(QString());
                       table.Post();
                   });
        strongstable::Summary summary;
        QString message;
        QVERIFY(!strongstable::write(dir, summary, message));
        QVERIFY2(message.contains("\"X12\"") && message.contains("Strongs.db"),
                 qPrintable(message));
        QVERIFY(!QFileInfo::exists(dir + "Temp_StrongsWord"));
    }

    // The whole KJV from Debian's module: imported, built, and asked.
    void kjv() {
        if (!sword_source::available())
            QSKIP("built without the SWORD library");
        const auto modules = sword_source::bibleModules();
        if (std::none_of(modules.begin(), modules.end(),
                         [](const auto& m) { return m.abbreviation == "KJV"; }))
            QSKIP("the SWORD module KJV is not installed");
        platform::overrideCommandLine(program->path("Build") + " Text KJV");
        auto dialog = program->makeDialog();
        const testsupport::ProcessResult r =
            testsupport::runProcess(IMPORT_TEXT, {"--sword", "KJV", "--to", dialog->dataPath}, {});
        QVERIFY2(r.exitCode == 0, qPrintable(r.report()));
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        dialog.reset();

        // Every tagged place is a word of "Word".
        QSet<qint32> words;
        TTable word;
        concordance::bindTable(word, folder("KJV"), concordance::wordTable);
        word.Open();
        for (word.First(); !word.Eof(); word.Next())
            words.insert(word.Fields(0).AsInteger());
        word.Close();
        TTable strongs;
        concordance::bindTable(strongs, folder("KJV"), concordance::strongsTable);
        strongs.Open();
        int tagged = 0;
        for (strongs.First(); !strongs.Eof(); strongs.Next(), ++tagged) {
            const qint32 place = strongs.Fields(0).AsInteger();
            QVERIFY2(words.contains(place),
                     qPrintable(concordance::verseReference(place & ~0xff) +
                                QStringLiteral(" word %1").arg(place & 0xff)));
        }
        strongs.Close();
        QCOMPARE(tagged, 361687);

        QueryEngine engine(folder("KJV"));
        const QueryResult love = engine.run(QStringLiteral("G26"));
        QCOMPARE(love.occurrences(), 117);
        // The renderings and their occurrences, without the verses.
        const auto leading = [&](const QueryResult& result, int n) {
            QStringList out;
            for (const QString& rendering : renderings(engine, result).mid(0, n))
                out << rendering.section('/', 0, 0);
            return out;
        };
        QCOMPARE(leading(love, 3), (QStringList{"love 81", "charity 28", "the love 4"}));
        QCOMPARE(leading(engine.run(QStringLiteral("h02617")), 5),
                 (QStringList{"mercy 137", "kindness 40", "lovingkindness 26", "goodness 12",
                              "mercies 9"}));
    }
};

QTEST_MAIN(TestStrongsTable)
#include "tst_strongstable.moc"
