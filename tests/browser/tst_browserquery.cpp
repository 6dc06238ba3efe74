// The browser's query features on a small text that Build builds in the test:
// queries and ranges in the word field, the status line, the list in Bible
// order with the matches marked, the per-book chart and a click on it, the
// words of a prefix, the Go to box, export and copy, the completion of the
// last word typed; and the KJV's figures when a built KJV is at hand.

#include "browser/Bookchart.h"
#include "browser/Browser.h"
#include "browser/Verselist.h"
#include "tests/browser/listedverses.h"
#include "tests/builder/testprogram.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"

#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>

namespace {

const Verses smallText = {
    {verseKey(1, 1, 1), "In the beginning God created the heaven and the earth."},
    {verseKey(1, 1, 3), "And God said, Let there be light: and there was light."},
    {verseKey(19, 23, 1), "The LORD is my shepherd; I shall not want."},
    {verseKey(40, 5, 3), "Blessed are the poor in spirit: for theirs is the kingdom of heaven."},
    {verseKey(40, 5, 4), "Blessed are they that mourn: for they shall be comforted."},
    {verseKey(43, 3, 16), "For God so loved the world, that he gave his only begotten Son."},
    {verseKey(43, 11, 35), "Jesus wept."},
};

} // namespace

class TestBrowserQuery : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;
    testsupport::MessageCapture messages;

private slots:
    void initTestCase() {
        program = std::make_unique<TestProgram>(QStringLiteral("Text T"));
        auto dialog = program->makeDialog();
        writeVerseTable(dialog->dataPath, smallText);
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
    }
    void init() { messages.clear(); }

    void queries_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("verses");
        QTest::newRow("a phrase") << "\"the heaven\""
                                  << ""
                                  << "\"the heaven\": 1 occurrence in 1 verse."
                                  << QStringList{"Genesis 1:1"};
        QTest::newRow("all in one verse, in Bible order")
            << "god the"
            << ""
            << "\"god the\": 6 occurrences in 2 verses." << QStringList{"Genesis 1:1", "John 3:16"};
        QTest::newRow("NEAR") << "light NEAR/2 there"
                              << ""
                              << "\"light NEAR/2 there\": 4 occurrences in 1 verse."
                              << QStringList{"Genesis 1:3"};
        QTest::newRow("within a range") << "god OR blessed"
                                        << "NT"
                                        << "\"god OR blessed\": 3 occurrences in 3 verses."
                                        << QStringList{"Matthew 5:3", "Matthew 5:4", "John 3:16"};
        QTest::newRow("verses without")
            << "-the"
            << "Matthew-John"
            << "\"-the\": 2 verses." << QStringList{"Matthew 5:4", "John 11:35"};
        QTest::newRow("nothing") << "jesus wept heaven"
                                 << ""
                                 << "\"jesus wept heaven\" does not occur in T." << QStringList{};
        QTest::newRow("a bad query")
            << "god NEAR/x light"
            << ""
            << "The query cannot be read: NEAR/ at character 5 takes a number of words, as in "
               "NEAR/5."
            << QStringList{};
        QTest::newRow("a bad range")
            << "god"
            << "Jhon"
            << "The range cannot be read: \"Jhon\" is no book, chapter or "
               "verse range (try \"John\", \"Matthew-John\", \"John 1-3\", "
               "\"John 3:16\", \"OT\" or \"NT\")."
            << QStringList{};
    }
    void queries() {
        QFETCH(QString, query);
        QFETCH(QString, range);
        QFETCH(QString, status);
        QFETCH(QStringList, verses);
        TF_Browser form(QStringLiteral("T"));
        form.E_Range->setText(range);
        form.lookUp(query);
        QCOMPARE(form.L_Count->text(), status);
        QCOMPARE(listed(form), verses);
        QCOMPARE(messages.count(), 0);
    }

    // Every word of a phrase is marked, and a bad query leaves the cursor at
    // the fault.
    void marksAndCursor() {
        TF_Browser form(QStringLiteral("T"));
        form.lookUp(QStringLiteral("\"the heaven\""));
        const QModelIndex first = form.verseList()->index(0);
        QCOMPARE(first.data(TVerseList::MarksRole).value<QList<browser::TextSpan>>(),
                 (QList<browser::TextSpan>{{29, 3}, {33, 6}}));
        form.CB_Word->setEditText(QStringLiteral("god \"light"));
        form.lookUp(form.CB_Word->currentText());
        QCOMPARE(form.CB_Word->lineEdit()->cursorPosition(), 4);
    }

    // The chart counts per book; a click on a bar lists that book alone, a
    // second click every book again.
    void perBookChart() {
        TF_Browser form(QStringLiteral("T"));
        form.resize(800, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.lookUp(QStringLiteral("the"));
        QCOMPARE(form.C_Books->count(1), 3);
        QCOMPARE(form.C_Books->count(40), 2);
        QCOMPARE(form.C_Books->count(19), 1);
        QCOMPARE(form.C_Books->count(43), 1);
        QVERIFY(form.C_Books->barRect(1).height() > form.C_Books->barRect(40).height());
        QTest::mouseClick(form.C_Books, Qt::LeftButton, {}, form.C_Books->barRect(40).center());
        QCOMPARE(form.C_Books->chosenBook(), 40);
        QCOMPARE(listed(form), QStringList{"Matthew 5:3"});
        QVERIFY2(form.L_Count->text().endsWith(
                     "Matthew: 2 occurrences in 1 verse (click it again for every book)."),
                 qPrintable(form.L_Count->text()));
        QTest::mouseClick(form.C_Books, Qt::LeftButton, {}, form.C_Books->barRect(40).center());
        QCOMPARE(form.C_Books->chosenBook(), 0);
        QCOMPARE(listed(form).size(), 4);
    }

    void prefixWords() {
        TF_Browser form(QStringLiteral("T"));
        form.lookUp(QStringLiteral("b*"));
        QStringList words;
        for (int i = 0; i < form.LW_Words->count(); ++i)
            words << form.LW_Words->item(i)->text();
        QCOMPARE(words, (QStringList{"be  2", "beginning  1", "begotten  1", "blessed  2"}));
        QVERIFY(!form.LW_Words->isHidden());
        form.lookUp(QStringLiteral("god"));
        QVERIFY(form.LW_Words->isHidden());
    }

    void goTo_data() {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a verse") << "John 3:16" << true << "John 3:16";
        QTest::newRow("a chapter opens at its first verse") << "Ps 23" << true << "Psalms 23:1";
        QTest::newRow("a verse the text lacks") << "Gen 1:2" << false << "Genesis 1:1";
        QTest::newRow("no reference") << "Jhon 3" << false << "Genesis 1:1";
    }
    void goTo() {
        QFETCH(QString, reference);
        QFETCH(bool, found);
        QFETCH(QString, shown);
        TF_Browser form(QStringLiteral("T"));
        form.goTo(QStringLiteral("Gen 1:1"));
        form.E_Goto->setText(reference);
        QTest::keyClick(form.E_Goto, Qt::Key_Return);
        QCOMPARE(form.L_Reference->text(), shown);
        QCOMPARE(form.goTo(reference), found);
    }

    void exportAndCopy() {
        TF_Browser form(QStringLiteral("T"));
        form.lookUp(QStringLiteral("\"god so\" OR said"));
        const QString csv = "reference,verse,positions,text\n"
                            "Genesis 1:3,16843520,3,\"And God said, Let there be light: and there "
                            "was light.\"\n"
                            "John 3:16,721620992,2 3,\"For God so loved the world, that he gave "
                            "his only begotten Son.\"\n";
        QCOMPARE(form.exportText(concordance::RowFormat::Csv), csv);
        const QString path = program->path(QStringLiteral("verses.csv"));
        QVERIFY(form.exportTo(path));
        QCOMPARE(QString::fromUtf8(testsupport::readFile(path)), csv);
        form.copyToClipboard();
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            "reference\tverse\tpositions\ttext\nGenesis 1:3\t16843520\t3\tAnd God said,"));
        // A file that cannot be written is reported, not lost in silence.
        QVERIFY(!form.exportTo(program->path(QStringLiteral("no/such/folder/verses.tsv"))));
        QCOMPARE(messages.count(), 1);
    }

    // The field completes the last word typed from the words of the text.
    void completion() {
        TF_Browser form(QStringLiteral("T"));
        QCompleter* completer = form.CB_Word->completer();
        const auto* model = qobject_cast<QStringListModel*>(completer->model());
        QVERIFY(model);
        QVERIFY(model->stringList().contains(QStringLiteral("shepherd")));
        form.CB_Word->setEditText(QStringLiteral("god NEAR she"));
        QCOMPARE(completer->splitPath(form.CB_Word->currentText()), QStringList{"she"});
        completer->setCompletionPrefix(QStringLiteral("she"));
        QCOMPARE(completer->currentCompletion(), QStringLiteral("god NEAR shepherd"));
    }

    // The figures of the command on the KJV, in the window.
    void kjvFigures() {
        const QString kjv = QStringLiteral(KJV_FOLDER);
        if (concordance::textState(kjv) != concordance::TextState::Built)
            QSKIP("No built KJV in the program folder (tools/run.sh builds one)");
        QDir(program->path("Text")).mkpath("KJV");
        for (const char* table : {"Bible", "Key", "Freq", "Word"})
            QFile::copy(kjv + table + ".db", program->path("Text/KJV/") + table + ".db");
        TF_Browser form(QStringLiteral("KJV"));
        form.lookUp(QStringLiteral("jesus"));
        QCOMPARE(form.L_Count->text(), QStringLiteral("\"jesus\": 973 occurrences in 935 verses."));
        form.lookUp(QStringLiteral("\"the son of man\""));
        QCOMPARE(form.L_Count->text(),
                 QStringLiteral("\"the son of man\": 97 occurrences in 94 verses."));
        form.lookUp(QStringLiteral("bless*"));
        QCOMPARE(form.L_Count->text(),
                 QStringLiteral("\"bless*\": 522 occurrences in 463 verses."));
        QCOMPARE(form.LW_Words->count(), 7);
        QVERIFY(form.goTo(QStringLiteral("John 3:16")));
        QCOMPARE(form.L_Reference->text(), QStringLiteral("John 3:16"));
        QDir(program->path("Text/KJV")).removeRecursively();
    }
};

QTEST_MAIN(TestBrowserQuery)
#include "tst_browserquery.moc"
