// The navigation panel on a small verse table: five books of three chapters
// of two verses each. Moves by key and by record, the buttons' states, the
// layout, the scroll bar and linked tables, glyphs, and what a table the panel
// no longer holds can still reach.

#include "concordance/versekey.h"
#include "package/Navpanel66.h"
#include "tests/support/versetable.h"

#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

using concordance::verseKey;

namespace {

constexpr int books = 5, chapters = 3, versesPerChapter = 2;
constexpr int recordCount = books * chapters * versesPerChapter;

QString place(qint32 key) {
    return QStringLiteral("%1 %2:%3")
        .arg(concordance::bookOf(key))
        .arg(concordance::chapterOf(key))
        .arg(concordance::verseOf(key));
}

} // namespace

class TestNavPanel : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    std::unique_ptr<TTable> openBible() {
        auto table = std::make_unique<TTable>();
        table->setDatabaseName(dir.path());
        table->setTableName(QStringLiteral("Bible"));
        table->Open();
        return table;
    }
    static void goTo(TTable* table, qint32 key) {
        table->SetKey();
        table->Fields(0).setAsInteger(key);
        QVERIFY(table->GotoKey());
    }
    static qint32 key(TTable* table) { return table->Fields(0).AsInteger(); }
    static QString enabledButtons(const TNavPanel66& panel) {
        QString states;
        for (int i = 0; i < TNavPanel66::ButtonCount; ++i)
            states += panel.button(i)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return states;
    }

private slots:
    void initTestCase() {
        testsupport::Verses verses;
        for (int b = 1; b <= books; ++b)
            for (int c = 1; c <= chapters; ++c)
                for (int v = 1; v <= versesPerChapter; ++v)
                    verses.append(
                        {verseKey(b, c, v), QStringLiteral("Verse %1 %2 %3").arg(b).arg(c).arg(v)});
        testsupport::writeVerseTable(dir.path(), verses);
    }

    void buttonsAreNamedTaggedAndHinted() {
        TNavPanel66 panel;
        QCOMPARE(panel.bookCount, 66);
        const QStringList hints{"Start of Bible", "Prior Book",   "Prior Chapter", "Prior Verse",
                                "Next Verse",     "Next Chapter", "Next Book",     "End of Bible"};
        const QStringList keys{"Alt+Home",  "Alt+Shift+PgUp", "Alt+PgUp",         "Alt+Left",
                               "Alt+Right", "Alt+PgDown",     "Alt+Shift+PgDown", "Alt+End"};
        for (int i = 0; i < TNavPanel66::ButtonCount; ++i) {
            QToolButton* b = panel.findChild<QToolButton*>(QStringLiteral("B_%1").arg(i));
            QVERIFY(b && b == panel.button(i));
            QCOMPARE(b->property("Tag").toInt(), i);
            QCOMPARE(b->property("Hint").toString(), hints.at(i));
            QCOMPARE(b->toolTip(), hints.at(i) + " (" + keys.at(i) + ")");
            QVERIFY(b->isEnabled());
            // The buttons take the focus from the keyboard.
            QVERIFY(b->focusPolicy() & Qt::TabFocus);
        }
    }

    void moves_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("to");
        const auto row = [](const char* name, int from, int button, int to) {
            QTest::newRow(name) << from << button << to;
        };
        row("prior chapter from chapter 1 of book 5", verseKey(5, 1, 2), TNavPanel66::PriorChapter,
            verseKey(4, 1, 1));
        row("prior chapter within a book", verseKey(4, 3, 2), TNavPanel66::PriorChapter,
            verseKey(4, 2, 1));
        row("prior book from book 1 stays", verseKey(1, 2, 1), TNavPanel66::PriorBook,
            verseKey(1, 2, 1));
        row("prior chapter in chapter 1 of book 1 stays", verseKey(1, 1, 2),
            TNavPanel66::PriorChapter, verseKey(1, 1, 2));
        row("prior book", verseKey(3, 2, 2), TNavPanel66::PriorBook, verseKey(2, 1, 1));
        row("next chapter from a book's last chapter", verseKey(3, 3, 1), TNavPanel66::NextChapter,
            verseKey(4, 1, 1));
        row("next chapter in the last book's last chapter stays", verseKey(5, 3, 1),
            TNavPanel66::NextChapter, verseKey(5, 3, 1));
        row("next book in the last book stays", verseKey(5, 1, 1), TNavPanel66::NextBook,
            verseKey(5, 1, 1));
        row("next book", verseKey(2, 2, 2), TNavPanel66::NextBook, verseKey(3, 1, 1));
        row("next verse across a chapter", verseKey(2, 1, 2), TNavPanel66::NextVerse,
            verseKey(2, 2, 1));
        row("prior verse across a book", verseKey(3, 1, 1), TNavPanel66::PriorVerse,
            verseKey(2, 3, 2));
        row("start of Bible", verseKey(3, 2, 1), TNavPanel66::StartOfBible, verseKey(1, 1, 1));
        row("end of Bible", verseKey(3, 2, 1), TNavPanel66::EndOfBible, verseKey(5, 3, 2));
    }
    void moves() {
        QFETCH(int, from);
        QFETCH(int, button);
        QFETCH(int, to);
        auto table = openBible();
        TNavPanel66 panel;
        panel.setTable(table.get());
        goTo(table.get(), from);
        panel.curOffset = 7;
        panel.button(button)->click();
        QCOMPARE(place(key(table.get())), place(to));
        const bool byVerse = button == TNavPanel66::PriorVerse || button == TNavPanel66::NextVerse;
        QCOMPARE(panel.curOffset, byVerse ? 7 : 0);
    }

    void buttonStatesFollowBeginningAndEnd() {
        auto table = openBible();
        TNavPanel66 panel;
        panel.setTable(table.get());
        QCOMPARE(enabledButtons(panel), QString("00001111"));
        panel.button(TNavPanel66::EndOfBible)->click();
        QCOMPARE(enabledButtons(panel), QString("11110000"));
        panel.button(TNavPanel66::StartOfBible)->click();
        QCOMPARE(enabledButtons(panel), QString("00001111"));
        // A table that closes has no row to move from.
        table->Close();
        QCOMPARE(enabledButtons(panel), QString("00000000"));
        panel.curOffset = 3;
        panel.buttonClick(panel.button(TNavPanel66::NextBook));
        QCOMPARE(panel.curOffset, 3);
    }

    void clicksWithoutTableOrFromOtherControlsAreIgnored() {
        TNavPanel66 panel;
        panel.curOffset = 5;
        panel.button(TNavPanel66::EndOfBible)->click();
        QCOMPARE(panel.curOffset, 5);
        QCOMPARE(enabledButtons(panel), QString("11111111"));
        auto table = openBible();
        panel.setTable(table.get());
        QObject notAButton;
        panel.buttonClick(&notAButton);
        QCOMPARE(panel.curOffset, 5);
        QCOMPARE(table->RecNo(), 1);
    }

    void layoutCentresAndPacksTheButtons() {
        QWidget form; // a hidden widget hears of its new size only when shown
        TNavPanel66& panel = *new TNavPanel66(&form);
        form.show();
        panel.resize(400, 50);
        QCOMPARE(panel.width(), 180);
        for (int i = 0; i < TNavPanel66::ButtonCount; ++i) {
            QCOMPARE(panel.button(i)->geometry(), QRect(2 + 22 * i, 13, 22, 23));
        }
        panel.button(TNavPanel66::PriorBook)->hide();
        panel.button(TNavPanel66::NextBook)->hide();
        QCOMPARE(panel.width(), 136);
        QCOMPARE(panel.button(TNavPanel66::PriorChapter)->x(), 2 + 22);
        QCOMPARE(panel.button(TNavPanel66::EndOfBible)->x(), 2 + 22 * 5);
        // Lower than a button: the buttons stand above the panel's top.
        panel.resize(136, 10);
        QCOMPARE(panel.button(0)->y(), -6);
    }

    void scrollBarShowsAndSetsTheRecordNumber() {
        auto table = openBible();
        QScrollBar bar(Qt::Horizontal);
        TNavPanel66 panel;
        panel.setScrollBar(&bar);
        goTo(table.get(), verseKey(2, 1, 1));
        panel.setTable(table.get());
        QCOMPARE(bar.maximum(), recordCount);
        QCOMPARE(bar.value(), 1);
        QCOMPARE(table->RecNo(), 1);

        bar.setValue(9);
        QCOMPARE(table->RecNo(), 9);
        QCOMPARE(enabledButtons(panel), QString("11111111"));
        // The bar's lowest value, 0, is no row: the table stays on its verse.
        const qint32 ninth = key(table.get());
        bar.setValue(0);
        QCOMPARE(table->RecNo(), 9);
        QVERIFY(!table->Fields(0).IsNull());
        QCOMPARE(key(table.get()), ninth);
        bar.setValue(9);
        // Without linked tables the scroll bar does not follow the table.
        panel.button(TNavPanel66::NextVerse)->click();
        QCOMPARE(table->RecNo(), 10);
        QCOMPARE(bar.value(), 9);
    }

    void linkedTablesFollowAndTheScrollBarWithThem() {
        auto table = openBible();
        auto linked = openBible();
        QList<TTable*> linkedTables{linked.get()};
        QScrollBar bar(Qt::Horizontal);
        TNavPanel66 panel;
        panel.linkedTables = &linkedTables;
        panel.setTable(table.get());
        panel.setScrollBar(&bar);
        panel.button(TNavPanel66::NextBook)->click();
        QCOMPARE(table->RecNo(), 7);
        QCOMPARE(linked->RecNo(), 7);
        QCOMPARE(bar.value(), 7);
        bar.setValue(12);
        QCOMPARE(table->RecNo(), 12);
        QCOMPARE(linked->RecNo(), 12);
        // A closed linked table is passed over.
        linked->Close();
        panel.button(TNavPanel66::NextVerse)->click();
        QCOMPARE(bar.value(), 13);
    }

    void anEarlierTableNoLongerReachesThePanel() {
        auto first = openBible();
        auto second = openBible();
        QScrollBar bar(Qt::Horizontal);
        TNavPanel66 panel;
        QList<TTable*> none;
        panel.linkedTables = &none;
        panel.setScrollBar(&bar);
        panel.setTable(first.get());
        QVERIFY(first->AfterScroll());
        panel.setTable(second.get());
        QVERIFY(!first->AfterScroll());
        first->Last();
        QCOMPARE(bar.value(), 1);
        QCOMPARE(enabledButtons(panel), QString("00001111"));

        // A handler its user put in place after the panel's stays.
        int calls = 0;
        second->setAfterScroll([&calls](TTable*) { ++calls; });
        panel.setTable(first.get());
        second->Next();
        QCOMPARE(calls, 1);
    }

    void aPanelDestroyedFirstLeavesNoHandler() {
        auto table = openBible();
        QScrollBar bar(Qt::Horizontal);
        {
            TNavPanel66 panel;
            panel.setTable(table.get());
            panel.setScrollBar(&bar);
        }
        QVERIFY(!table->AfterScroll());
        table->Next();
        bar.setValue(20);
        QCOMPARE(table->RecNo(), 2);
        // And a table destroyed first leaves the panel unbound.
        TNavPanel66 panel;
        panel.setTable(table.get());
        table.reset();
        QCOMPARE(panel.boundTable(), nullptr);
        panel.button(TNavPanel66::NextVerse)->click();
    }

    void glyphsComeFromTheImageList() {
        TNavPanel66 panel;
        std::unique_ptr<TImageList> standard(TNavPanel66::standardImages(nullptr));
        QCOMPARE(standard->Count(), 8);
        panel.setImage(standard.get());
        for (int i = 0; i < TNavPanel66::ButtonCount; ++i) {
            QVERIFY2(!standard->image(i).isNull(), qPrintable(QString::number(i)));
            QVERIFY(!panel.button(i)->icon().isNull());
        }
        // A short list leaves the remaining buttons without a glyph.
        TImageList shortList;
        for (int i = 0; i < 5; ++i)
            shortList.Add(standard->image(i));
        panel.setImage(&shortList);
        QVERIFY(!panel.button(4)->icon().isNull());
        QVERIFY(panel.button(5)->icon().isNull());
        panel.setImage(nullptr);
        QVERIFY(panel.button(0)->icon().isNull());
        QCOMPARE(panel.Images(), nullptr);
    }

    void hintsCanBeSwitchedOff() {
        TNavPanel66 panel;
        panel.showHints(false);
        for (int i = 0; i < TNavPanel66::ButtonCount; ++i)
            QVERIFY(panel.button(i)->toolTip().isEmpty());
        panel.showHints(true);
        QCOMPARE(panel.button(7)->toolTip(), QString("End of Bible (Alt+End)"));
    }
};

QTEST_MAIN(TestNavPanel)
#include "tst_navpanel66.moc"
