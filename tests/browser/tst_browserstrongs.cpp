// The browser on a text whose words are tagged with Strong's numbers: the
// verse's words are links that show a word's numbers, gloss (or how to get
// the lexicon) and renderings; a number looked up lists its verses with its
// words marked and its renderings, the most frequent first, and clicking a
// rendering limits the list to it. An untagged text shows none of this.

#include "browser/Browser.h"
#include "browser/Verselist.h"
#include "concordance/lexiconsource.h"
#include "tests/browser/listedverses.h"
#include "tests/builder/testprogram.h"
#include "tests/support/messagecapture.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

const Verses taggedText = {
    {verseKey(45, 5, 5), "Because the love of God is shed abroad."},
    {verseKey(46, 13, 4), "Charity suffereth long, charity is kind."},
    {verseKey(62, 4, 8), "God is love."},
};

// Place (verse key | position), element, numbers, as import-text writes them.
struct Tag {
    qint32 place;
    int element;
    const char* numbers;
};

const QList<Tag> tags = {
    {verseKey(45, 5, 5) | 2, 1, "G3588 G0026"}, {verseKey(45, 5, 5) | 3, 1, "G3588 G0026"},
    {verseKey(45, 5, 5) | 5, 2, "G2316"},       {verseKey(46, 13, 4) | 1, 1, "G26"},
    {verseKey(46, 13, 4) | 4, 2, "G26"},        {verseKey(62, 4, 8) | 1, 1, "G2316"},
    {verseKey(62, 4, 8) | 3, 2, "G26"},
};

} // namespace

class TestBrowserStrongs : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;
    testsupport::MessageCapture messages;

    void build(const QString& name, bool tagged) {
        platform::overrideCommandLine(program->path("Build") + " Text " + name);
        auto dialog = program->makeDialog();
        writeVerseTable(dialog->dataPath, taggedText);
        if (tagged)
            writeTable(dialog->dataPath, concordance::strongsTable, concordance::defineStrongsTable,
                       [](TTable& table) {
                           for (const Tag& tag : tags) {
                               table.Append();
                               table.Fields(0).setAsInteger(tag.place);
                               table.Fields(1).setAsInteger(tag.element);
                               table.Fields(2).setAsString(QString::fromLatin1(tag.numbers));
                               table.Fields(3).setAsString(QString());
                               table.Post();
                           }
                       });
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
    }

private slots:
    void initTestCase() {
        program = std::make_unique<TestProgram>(QStringLiteral("Text S"));
        build("S", true);
        build("U", false);
    }

    void clickedWordShowsNumbersGlossAndRenderings() {
        TF_Browser form(QStringLiteral("S"));
        QVERIFY(form.textTagged());
        QVERIFY(!form.L_Strongs->isHidden());
        QVERIFY(form.goTo(QStringLiteral("Romans 5:5")));
        QVERIFY2(form.L_Verse->text().contains("href=\"w:3\""), qPrintable(form.L_Verse->text()));
        emit form.L_Verse->linkActivated(QStringLiteral("w:3"));
        const QString shown = form.L_Strongs->text();
        QVERIFY2(shown.contains("<b>love</b>") && shown.contains("href=\"strongs:G3588\"") &&
                     shown.contains("href=\"strongs:G26\""),
                 qPrintable(shown));
        QVERIFY2(shown.contains("charity 2, love 1, the love 1"), qPrintable(shown));
        QString message;
        if (concordance::lexicon::lookUp(concordance::StrongsNumber{'G', 26}, &message))
            QVERIFY2(shown.contains(QStringLiteral("ἀγάπη")), qPrintable(shown));
        else
            QVERIFY2(shown.contains(message.toHtmlEscaped()), qPrintable(shown));
        // A word without a number says so.
        form.showStrongs(1);
        QVERIFY2(form.L_Strongs->text().contains("has no Strong's number"),
                 qPrintable(form.L_Strongs->text()));
    }

    void numberListsVersesAndRenderings() {
        TF_Browser form(QStringLiteral("S"));
        emit form.L_Strongs->linkActivated(QStringLiteral("strongs:G26"));
        QCOMPARE(form.CB_Word->currentText(), QStringLiteral("G26"));
        QCOMPARE(form.L_Count->text(), QStringLiteral("\"G26\": 4 occurrences in 3 verses."));
        QCOMPARE(listed(form), (QStringList{"Romans 5:5", "1 Corinthians 13:4", "1 John 4:8"}));
        // The element's words are marked.
        const auto marks = form.verseList()
                               ->index(0)
                               .data(TVerseList::MarksRole)
                               .value<QList<browser::TextSpan>>();
        QCOMPARE(marks.size(), 2);
        QVERIFY(!form.LW_Words->isHidden());
        QStringList rows;
        for (int i = 0; i < form.LW_Words->count(); ++i)
            rows << form.LW_Words->item(i)->text();
        QCOMPARE(rows, (QStringList{"charity  2", "love  1", "the love  1"}));

        emit form.LW_Words->itemClicked(form.LW_Words->item(2));
        QCOMPARE(listed(form), QStringList{"Romans 5:5"});
        QVERIFY2(
            form.L_Count->text().endsWith(
                "\"the love\": 1 occurrence in 1 verse (click it again for the whole answer)."),
            qPrintable(form.L_Count->text()));
        emit form.LW_Words->itemClicked(form.LW_Words->item(0));
        QCOMPARE(listed(form), QStringList{"1 Corinthians 13:4"});
        emit form.LW_Words->itemClicked(form.LW_Words->item(0));
        QCOMPARE(listed(form).size(), 3);
        // A number with one rendering still shows it.
        form.lookUp(QStringLiteral("g2316"));
        QCOMPARE(form.LW_Words->count(), 1);
        QVERIFY(!form.LW_Words->isHidden());
    }

    void untaggedTextHasNoNumbers() {
        TF_Browser form(QStringLiteral("U"));
        QVERIFY(!form.textTagged());
        QVERIFY(form.L_Strongs->isHidden());
        QVERIFY(!form.L_Verse->text().contains("href="));
        form.lookUp(QStringLiteral("G26"));
        QVERIFY2(form.L_Count->text().contains("has no Strong's numbers"),
                 qPrintable(form.L_Count->text()));
        QCOMPARE(form.verseList()->rowCount(), 0);
    }
};

QTEST_MAIN(TestBrowserStrongs)
#include "tst_browserstrongs.moc"
