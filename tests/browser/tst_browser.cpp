// The concordance browser on a small text that Build builds in the test's own
// program folder: look-ups against its tables (counts, verses and word
// positions exact, a word not in the text), the window (marks, choosing a
// verse, the navigation panel), texts not built or held by a build, what it
// remembers, and "jesus" in the KJV when a built KJV is at hand.

#include "browser/Browser.h"
#include "browser/Verselist.h"
#include "concordance/books.h"
#include "concordance/textrules.h"
#include "package/Ini_t.h"
#include "package/Locuspanel.h"
#include "package/Navpanel66.h"
#include "tests/builder/testprogram.h"
#include "tests/support/desktop.h"
#include "tests/support/messagecapture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>

using browser::LookupResult;
using browser::TextState;

namespace {

const Verses smallText = {
    {verseKey(1, 1, 1), QStringLiteral("In the beginning God created the heaven and the earth.")},
    {verseKey(1, 1, 2), QStringLiteral("And the earth was without form, and void; and darkness "
                                       "was upon the face of the deep.")},
    {verseKey(1, 1, 3), QStringLiteral("And God said, Let there be light: and there was light.")},
    {verseKey(40, 1, 16), QStringLiteral("And Jacob begat Joseph the husband of Mary, of whom was "
                                         "born Jesus, who is called Christ.")},
    {verseKey(40, 1, 21), QStringLiteral("And she shall bring forth a son, and thou shalt call his "
                                         "name JESUS: for he shall save his people from their "
                                         "sins.")},
    {verseKey(43, 1, 1), QStringLiteral("In the beginning was the Word, and the Word was with God, "
                                        "and the Word was God.")},
    {verseKey(43, 3, 16), QStringLiteral("For God so loved the world, that he gave his only "
                                         "begotten Son.")},
    {verseKey(43, 11, 35), QStringLiteral("\u00b6 Jesus wept.")},
    {verseKey(66, 22, 21),
     QStringLiteral("The grace of our Lord Jesus Christ be with you all. Amen.")},
};

// A Spanish text of the Unicode rule with folded accents; its third verse in
// NFD.
const Verses spanishText = {
    {verseKey(1, 1, 1), QStringLiteral("Y dijo Dios: Sea la luz.")},
    {verseKey(20, 4, 23), QStringLiteral("Sobre toda cosa guardada, guarda tu coraz\u00F3n.")},
    {verseKey(40, 5, 8), QStringLiteral("Bienaventurados los de limpio CORAZO\u0301N.")},
    {verseKey(40, 11, 29), QStringLiteral("Soy manso y humilde de corazon.")},
};

// "Book c:v [positions]" for each verse of a look-up.
QStringList verseList(const LookupResult& result) {
    QStringList out;
    for (const browser::VerseHit& hit : result.verses) {
        QStringList positions;
        for (int p : hit.positions)
            positions << QString::number(p);
        out << concordance::verseReference(hit.verseKey) + " [" + positions.join(' ') + "]";
    }
    return out;
}

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
    std::unique_ptr<TestProgram> program;
    testsupport::MessageCapture messages;

    QString folder(const QString& name) const { return program->path("Text/" + name + "/"); }
    // Moves the window's verse table to the verse `key`.
    static void moveTo(TF_Browser& form, qint32 key) {
        form.T_Bible->SetKey();
        form.T_Bible->Fields(0).setAsInteger(key);
        QVERIFY(form.T_Bible->GotoKey());
    }
    // Opens a table of text T exclusively, as a build does.
    std::unique_ptr<TTable> hold(const QString& name) const {
        auto table = std::make_unique<TTable>();
        table->setDatabaseName(folder(QStringLiteral("T")));
        table->setTableName(name);
        table->setExclusive(true);
        table->Open();
        return table;
    }

private slots:
    // Text T, built by Build; text N, a verse table only.
    void initTestCase() {
        program = std::make_unique<TestProgram>(QStringLiteral("Text T"));
        auto dialog = program->makeDialog();
        writeVerseTable(dialog->dataPath, smallText);
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        dialog.reset();
        QDir().mkpath(folder("N"));
        writeVerseTable(folder("N"), smallText);

        platform::overrideCommandLine(program->path("Build") + QStringLiteral(" Text S"));
        dialog = program->makeDialog();
        writeVerseTable(dialog->dataPath, spanishText);
        concordance::writeTextRules(
            dialog->dataPath,
            {concordance::WordForm{concordance::WordRule::Unicode, true}, QStringLiteral("es")});
        dialog->B_BuildClick(dialog->B_Build);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        dialog.reset();
    }
    void init() { messages.clear(); }

    void lookUp_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("occurrences");
        QTest::addColumn<QStringList>("verses");
        QTest::newRow("jesus, any case, with punctuation")
            << "JESUS," << 4
            << QStringList{"Matthew 1:16 [13]", "Matthew 1:21 [14]", "John 11:35 [1]",
                           "Revelation 22:21 [6]"};
        QTest::newRow("the, several times in a verse")
            << "the" << 13
            << QStringList{"Genesis 1:1 [2 6 9]", "Genesis 1:2 [2 13 16]", "Matthew 1:16 [5]",
                           "John 1:1 [2 5 8 14]", "John 3:16 [5]",         "Revelation 22:21 [1]"};
        QTest::newRow("god") << "God" << 5
                             << QStringList{"Genesis 1:1 [4]", "Genesis 1:3 [2]",
                                            "John 1:1 [12 17]", "John 3:16 [2]"};
        QTest::newRow("a word not in the text") << "xyzzy" << 0 << QStringList();
    }
    void lookUp() {
        QFETCH(QString, typed);
        QFETCH(int, occurrences);
        QFETCH(QStringList, verses);
        const LookupResult r = browser::lookUp(folder("T"), browser::concordanceWord(typed));
        QCOMPARE(r.status, occurrences ? LookupResult::Found : LookupResult::NotInText);
        QCOMPARE(r.occurrences, occurrences);
        QCOMPARE(r.occurrenceRows, occurrences);
        QVERIFY(r.consistent);
        QCOMPARE(verseList(r), verses);
    }

    void typedWordsFollowTheWordRule() {
        int count = 0;
        QCOMPARE(browser::concordanceWord(QStringLiteral("  \"Lord's\", "), &count),
                 QByteArray("lord's"));
        QCOMPARE(count, 1);
        QCOMPARE(browser::concordanceWord(QStringLiteral("the earth"), &count), QByteArray("the"));
        QCOMPARE(count, 2);
        QCOMPARE(browser::concordanceWord(QStringLiteral(" ,;"), &count), QByteArray());
        // Marks count UTF-16 units, past a two-byte paragraph sign.
        const QList<browser::TextSpan> spans =
            browser::wordSpansAt(QStringLiteral("\u00b6 Jesus wept."), {1, 2, 3});
        QCOMPARE(spans, (QList<browser::TextSpan>{{2, 5}, {8, 4}}));
    }

    void textStates() {
        QCOMPARE(browser::textState(folder("T")), TextState::Built);
        QCOMPARE(browser::textState(folder("N")), TextState::NotBuilt);
        QCOMPARE(browser::textState(folder("missing")), TextState::NoText);
        QCOMPARE(browser::textNames(program->path("Text")), QStringList({"N", "S", "T"}));
        QFile marker(folder("N") + "Temp_Word.db");
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        QCOMPARE(browser::textState(folder("N")), TextState::Building);
        QVERIFY(marker.remove());
    }

    void theWindowMarksAndMovesToAVerse() {
        TF_Browser form(QStringLiteral("T"));
        QVERIFY(form.textOpen());
        QCOMPARE(form.L_Reference->text(), QString("Genesis 1:1"));
        QCOMPARE(form.SB_Verse->maximum(), int(smallText.size()));

        form.lookUp(QStringLiteral("Jesus"));
        QCOMPARE(form.L_Count->text(), QString("\"jesus\": 4 occurrences in 4 verses."));
        TVerseList* list = form.verseList();
        QCOMPARE(list->rowCount(), 4);
        const QModelIndex wept = list->index(2);
        QCOMPARE(wept.data(TVerseList::TextRole).toString(), QString("\u00b6 Jesus wept."));
        QCOMPARE(wept.data(TVerseList::MarksRole).value<QList<browser::TextSpan>>(),
                 (QList<browser::TextSpan>{{2, 5}}));

        form.LV_Verses->setCurrentIndex(wept);
        QCOMPARE(form.currentVerse(), verseKey(43, 11, 35));
        QCOMPARE(form.L_Reference->text(), QString("John 11:35"));
        QVERIFY(form.L_Verse->text().contains(QStringLiteral(">Jesus</span> wept.")));
        QCOMPARE(form.SB_Verse->value(), 8);
        // No book 44 in this text: Next Book stays, Next Verse moves on.
        form.P_Nav->button(TNavPanel66::NextBook)->click();
        QCOMPARE(form.L_Reference->text(), QString("John 11:35"));
        form.P_Nav->button(TNavPanel66::NextVerse)->click();
        QCOMPARE(form.L_Reference->text(), QString("Revelation 22:21"));
        QCOMPARE(form.SB_Verse->value(), 9);

        // Enter in the word field looks the word up.
        form.show();
        form.CB_Word->clearEditText();
        QTest::keyClicks(form.CB_Word, "god");
        QTest::keyClick(form.CB_Word, Qt::Key_Return);
        QCOMPARE(form.L_Count->text(), QString("\"god\": 5 occurrences in 4 verses."));
        form.lookUp(QStringLiteral("xyzzy"));
        QCOMPARE(form.L_Count->text(), QString("\"xyzzy\" does not occur in T."));
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(messages.count(), 0);
    }

    void aLookUpLeavesTheConcordanceFree() {
        TF_Browser form(QStringLiteral("T"));
        form.lookUp(QStringLiteral("god"));
        for (const char* name : {"Key", "Freq", "Word"})
            QVERIFY(hold(QString::fromLatin1(name))->Active());
        // While a build holds the concordance, a look-up says so.
        const auto held = hold(QStringLiteral("Word"));
        form.lookUp(QStringLiteral("god"));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.boxes().first().text.contains(QStringLiteral("in use")));
        QCOMPARE(form.verseList()->rowCount(), 0);
    }

    void aTextNotBuiltIsNotOpened() {
        TF_Browser form(QStringLiteral("N"));
        QVERIFY(!form.textOpen());
        QCOMPARE(form.textState(), TextState::NotBuilt);
        QVERIFY(form.L_Count->text().contains(QStringLiteral("has not been built yet")));
        QVERIFY(!form.CB_Word->isEnabled());
        QCOMPARE(messages.count(), 0);
        // Nothing of it is held: a build may start.
        TTable bible;
        bible.setDatabaseName(folder("N"));
        bible.setTableName(QStringLiteral("Bible"));
        bible.setExclusive(true);
        bible.Open();
    }

    // A text that was never imported: once the window is up, one box says how
    // to import it and where it goes; a bad name gets no such advice.
    void aTextNotImportedIsExplainedOnce() {
        {
            TF_Browser form(QStringLiteral("Missing"));
            QCOMPARE(messages.count(), 0);
            QCoreApplication::processEvents();
            QCOMPARE(messages.count(), 1);
            const QString text = messages.boxes().first().text;
            QVERIFY2(text.contains("import-text --sword Missing") &&
                         text.contains(folder("Missing")),
                     qPrintable(text));
        }
        messages.clear();
        TF_Browser form(QStringLiteral(".."));
        QCoreApplication::processEvents();
        QCOMPARE(messages.count(), 0);
    }

    // A name that would lead out of the folder of texts opens nothing there.
    void aPathIsNoTextName() {
        QDir().mkpath(program->path("outside"));
        QVERIFY(QFile::copy(folder("T") + "Bible.db", program->path("outside/Bible.db")));
        for (const QString& name :
             {QStringLiteral("../outside"), QStringLiteral(".."), QStringLiteral("T/../T")}) {
            TF_Browser form(name);
            QVERIFY2(!form.textOpen(), qPrintable(name));
            QCOMPARE(form.textState(), TextState::NoText);
            QVERIFY(form.L_Count->text().contains(QStringLiteral("one folder name")));
        }
    }

    void aTextHeldByABuildIsRefusedCleanly() {
        auto held = hold(QStringLiteral("Bible"));
        TF_Browser form(QStringLiteral("T"));
        QVERIFY(!form.textOpen());
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.boxes().first().text.contains(QStringLiteral("in use")));
        // When the build is over, coming back to the window opens the text.
        held.reset();
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&form, &activate);
        QVERIFY(form.textOpen());
        QCOMPARE(messages.count(), 1);
    }

    void historyVerseAndPanelAreRemembered() {
        {
            TF_Browser form(QStringLiteral("T"));
            form.lookUp(QStringLiteral("god"));
            form.lookUp(QStringLiteral("Jesus"));
            form.lookUp(QStringLiteral("god"));
            form.chooseVerse(1);
            form.P_Verse->resize(form.P_Verse->width(), 150);
        }
        TIni_t ini(nullptr, program->path("Browser.data"), QStringLiteral("Position"));
        QVERIFY(ini.get(QStringLiteral("Form P_Verse")).endsWith(QStringLiteral(" 150")));
        TF_Browser form;
        QCOMPARE(form.textName(), QString("T"));
        QCOMPARE(form.currentVerse(), verseKey(1, 1, 3));
        // Newest first, each word once, the words of the earlier cases after.
        QStringList words;
        for (int i = 0; i < form.CB_Word->count(); ++i)
            words << form.CB_Word->itemText(i);
        QCOMPARE(words, QStringList({"god", "jesus", "xyzzy"}));
        QCOMPARE(form.P_Verse->height(), 150);
    }

    // However long a word, the window stays within the work area (1024 x 768),
    // and so does the width it stores; the next start, with the word in its
    // history, opens no wider.
    void longWordsDoNotWidenTheWindow_data() {
        QTest::addColumn<int>("letters");
        QTest::newRow("200 letters") << 200;
        QTest::newRow("10,000 letters") << 10000;
    }
    void longWordsDoNotWidenTheWindow() {
        QFETCH(int, letters);
        testsupport::StandardDesktop desktop;
        QFile::remove(program->path("Browser.data"));
        const QString word(letters, QLatin1Char('w'));
        {
            TF_Browser form(QStringLiteral("T"));
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            const int width = form.width();
            form.lookUp(word);
            QCoreApplication::processEvents();
            QCOMPARE(form.L_Count->text(), "\"" + word.left(39) + "\u2026\" does not occur in T.");
            QCOMPARE(form.width(), width);
            form.resize(5000, form.height());
            QVERIFY(form.CB_Word->minimumSizeHint().width() < 1024);
        }
        TIni_t ini(nullptr, program->path("Browser.data"), QStringLiteral("Position"));
        const QStringList stored = ini.get(QStringLiteral("Form F_Browser")).split(' ');
        QCOMPARE(stored.size(), 4);
        QVERIFY2(stored[2].toInt() <= 1024, qPrintable(stored.join(' ')));
        TF_Browser again(QStringLiteral("T"));
        QCOMPARE(again.CB_Word->itemText(0), word);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QVERIFY2(again.width() <= 1024, qPrintable(QString::number(again.width())));
        QVERIFY(again.minimumSizeHint().width() <= 1024);
    }

    // Each look-up opens its list at the first verse, however far down the
    // list of the last one was scrolled.
    void aNewLookUpShowsItsFirstVerse() {
        TF_Browser form(QStringLiteral("T"));
        form.LV_Verses->setFixedHeight(40);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QScrollBar* bar = form.LV_Verses->verticalScrollBar();
        form.lookUp(QStringLiteral("the"));
        QTRY_VERIFY(bar->maximum() > 0);
        form.LV_Verses->scrollToBottom();
        QCOMPARE(bar->value(), bar->maximum());
        form.lookUp(QStringLiteral("god"));
        QCoreApplication::processEvents();
        QCOMPARE(bar->value(), 0);
        QVERIFY(form.LV_Verses->visualRect(form.verseList()->index(0)).top() >= 0);
    }

    // The eight moves answer their keys wherever the focus is in the window,
    // the word field and the list included; the buttons name their keys and
    // take the focus. From John 1:1 every move is open.
    void navigationKeys_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("reference"); // after the key
        const int alt = Qt::AltModifier;
        const int altShift = Qt::AltModifier | Qt::ShiftModifier;
        QTest::newRow("Start of Bible")
            << 0 << int(Qt::Key_Home) << alt << "Start of Bible (Alt+Home)"
            << "Genesis 1:1";
        // No book or chapter of this text but Genesis has its verse 1: stay.
        QTest::newRow("Prior Book")
            << 1 << int(Qt::Key_PageUp) << altShift << "Prior Book (Alt+Shift+PgUp)"
            << "John 1:1";
        QTest::newRow("Prior Chapter")
            << 2 << int(Qt::Key_PageUp) << alt << "Prior Chapter (Alt+PgUp)"
            << "John 1:1";
        QTest::newRow("Prior Verse") << 3 << int(Qt::Key_Left) << alt << "Prior Verse (Alt+Left)"
                                     << "Matthew 1:21";
        QTest::newRow("Next Verse") << 4 << int(Qt::Key_Right) << alt << "Next Verse (Alt+Right)"
                                    << "John 3:16";
        QTest::newRow("Next Chapter")
            << 5 << int(Qt::Key_PageDown) << alt << "Next Chapter (Alt+PgDown)"
            << "John 1:1";
        QTest::newRow("Next Book")
            << 6 << int(Qt::Key_PageDown) << altShift << "Next Book (Alt+Shift+PgDown)"
            << "John 1:1";
        QTest::newRow("End of Bible") << 7 << int(Qt::Key_End) << alt << "End of Bible (Alt+End)"
                                      << "Revelation 22:21";
    }
    void navigationKeys() {
        QFETCH(int, button);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, tip);
        QFETCH(QString, reference);
        TF_Browser form(QStringLiteral("T"));
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QToolButton* pressed = form.P_Nav->button(button);
        QCOMPARE(pressed->toolTip(), tip);
        QVERIFY(pressed->focusPolicy() & Qt::TabFocus);
        QSignalSpy clicks(pressed, &QToolButton::clicked);
        for (QWidget* focus : {static_cast<QWidget*>(form.CB_Word->lineEdit()),
                               static_cast<QWidget*>(form.LV_Verses)}) {
            moveTo(form, verseKey(43, 1, 1));
            focus->setFocus();
            QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QCOMPARE(form.L_Reference->text(), reference);
            QVERIFY(focus->hasFocus());
        }
        QCOMPARE(clicks.count(), 2);
    }

    void theWindowCarriesTheProgramsIcon() {
        TF_Browser form(QStringLiteral("T"));
        QVERIFY(!form.windowIcon().isNull());
        QVERIFY(!form.windowIcon().pixmap(32, 32).isNull());
    }

    void jesusInTheKjv() {
        const QString kjv = QStringLiteral(KJV_FOLDER);
        if (browser::textState(kjv) != TextState::Built)
            QSKIP("No built KJV in the program folder (tools/run.sh builds one)");
        const LookupResult r = browser::lookUp(kjv, "jesus");
        QCOMPARE(r.occurrences, 973);
        QCOMPARE(r.verses.size(), 935);
        QVERIFY(r.consistent);
    }

    // A folded text finds a word typed with or without its accents, and marks
    // it where it stands, in an NFD verse too.
    void aFoldedTextFindsEitherSpelling() {
        TF_Browser form(QStringLiteral("S"));
        QVERIFY(form.textOpen());
        for (const QString& typed : {QStringLiteral("corazon"), QStringLiteral("Coraz\u00F3n"),
                                     QStringLiteral("CORAZO\u0301N")}) {
            form.lookUp(typed);
            QCOMPARE(form.L_Count->text(), QString("\"corazon\": 3 occurrences in 3 verses."));
        }
        TVerseList* list = form.verseList();
        QCOMPARE(list->rowCount(), 3);
        const QModelIndex nfd = list->index(1);
        QCOMPARE(nfd.data(TVerseList::MarksRole).value<QList<browser::TextSpan>>(),
                 (QList<browser::TextSpan>{{30, 7}}));
        QCOMPARE(nfd.data(TVerseList::TextRole).toString().mid(30, 7),
                 QStringLiteral("CORAZ\u00D3N"));
        QCOMPARE(messages.count(), 0);
        // The byte rule's text is looked up as before.
        QCOMPARE(browser::concordanceWord(QStringLiteral("coraz\u00F3n")), QByteArray("coraz"));
    }
};

QTEST_MAIN(TestBrowser)
#include "tst_browser.moc"
