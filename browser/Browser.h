#pragma once
// The concordance browser's window. It opens a text that Build has built
// (Text/<NAME>/ below the program folder), shows the current verse (its
// reference and text) and steps through the verses with a navigation panel and
// a scroll bar, inside a panel that keeps its bounds in the browser's settings
// file. Its word field looks a word up in the concordance: how often the word
// occurs and the verses where it does, each with the word marked; choosing a
// verse moves the navigation panel's table there.
//
// The browser opens tables plainly (shared), never exclusively. It holds the
// verse table while a text is open, which keeps a build of that text out, and
// the concordance tables only during a look-up. A text that is not built, or
// whose build has not completed, is not opened at all, so that Build can run;
// the window says so and opens the text when it is activated after the build.

#include "browser/Lookup.h"
#include "concordance/queryengine.h"
#include "concordance/tablerow.h"
#include "concordance/textrules.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QSplitter;
class TBookChart;
class TLocusPanel;
class TNavPanel66;
class TTable;
class TVerseList;

// The application's title: the caption of the browser's message boxes.
inline constexpr char browserTitle[] = "Concordance browser";

class TF_Browser : public QWidget {
    Q_OBJECT
public:
    // Opens `textName`; "" opens the text used last, or the first there is.
    explicit TF_Browser(const QString& textName = QString(), QWidget* owner = nullptr);
    // Saves the window's place, the text and the verse shown.
    ~TF_Browser() override;

    // Components.
    QComboBox* CB_Text = nullptr;
    QSplitter* SP_Main = nullptr;
    TLocusPanel* P_Verse = nullptr;
    QLabel* L_Reference = nullptr;
    QLabel* L_Verse = nullptr;
    // For a text whose words are tagged: the Strong's numbers, gloss and
    // renderings of the word last clicked in the verse (its words are links).
    QLabel* L_Strongs = nullptr;
    QScrollArea* SA_Strongs = nullptr; // holds L_Strongs
    TNavPanel66* P_Nav = nullptr;
    QScrollBar* SB_Verse = nullptr;
    QComboBox* CB_Word = nullptr;
    QPushButton* B_Lookup = nullptr;
    QLabel* L_Count = nullptr;
    // The part of the text a query is limited to ("" the whole text).
    QLineEdit* E_Range = nullptr;
    // An answer's counts per book; a click limits the list to a book.
    TBookChart* C_Books = nullptr;
    // The words an answer matched, with their counts, when it matched more
    // than one (a prefix), or a Strong's number's renderings, the most
    // frequent first ("translated as"). Clicking one limits the list to it.
    QListWidget* LW_Words = nullptr;
    QListView* LV_Verses = nullptr;
    QLineEdit* E_Goto = nullptr;
    QPushButton* B_Goto = nullptr;
    QPushButton* B_Export = nullptr;
    QPushButton* B_Copy = nullptr;
    // The navigation panel's verse table, and the verse list's own cursor on
    // the same table.
    TTable* T_Bible = nullptr;
    TTable* T_Verses = nullptr;

    // The settings file ("Browser.data" in the settings folder) and the folder
    // of the texts ("Text/" in the data folder).
    QString iniName;
    QString textsPath;

    // Tells in a message box, once the window is up, why no text is shown
    // and how to import `name`.
    void adviseImport(const QString& why, const QString& name);

    // Closes the current text and opens `name`. With `quiet`, a text in use
    // is reported in the window only, not in a message box. True when the
    // text is open.
    bool openText(const QString& name, bool quiet = false);
    void closeText();
    bool textOpen() const;
    const QString& textName() const { return currentText; }
    browser::TextState textState() const { return state; }

    // Answers the query `typed` (a word, a phrase, a prefix, NEAR, OR, …)
    // within the range of E_Range and lists its verses (B_Lookup).
    void lookUp(const QString& typed);
    const concordance::QueryResult& answer() const { return result; }
    // Limits the list to one book of the answer; 0 shows the whole answer.
    void showBook(int book);
    // Limits the list to the verses of the answer's words in row `row` of
    // LW_Words; -1 shows the whole answer.
    void showWords(int row);
    // Shows the Strong's numbers of the word at `position` (1-based) of the
    // verse shown in L_Strongs.
    void showStrongs(int position);
    // Whether the open text's words are tagged with Strong's numbers.
    bool textTagged() const { return tagged; }
    // Shows the verse of a reference ("John 3:16", "Ps 23"); false when the
    // reference names no verse of the text.
    bool goTo(const QString& reference);
    // The verses listed, as a table: reference, verse key, positions, text.
    QString exportText(concordance::RowFormat format) const;
    // Writes exportText to `path` (CSV for a name ending in ".csv", else
    // TSV), replacing the file in one step; reports a failure.
    bool exportTo(const QString& path);
    void copyToClipboard();
    TVerseList* verseList() const { return verses; }
    // Moves the navigation panel's table to verse `row` of the list.
    void chooseVerse(int row);
    // The verse T_Bible stands on, 0 when no text is open.
    qint32 currentVerse() const;

protected:
    bool event(QEvent* e) override;

private:
    void createComponents();
    void showVerse();
    void showStatus(const QString& text);
    // The text `name` could not be opened: `text` says why, in the verse
    // panel and the status line.
    void showClosed(const QString& name, const QString& text);
    // The controls that work on an open text.
    void setTextControlsEnabled(bool enabled);
    void rememberWord(const QString& word);
    // Reads the text's words for the word field's completion.
    void fillCompletion();
    // The text's folder, ending in "/".
    QString textFolder(const QString& name) const;
    // What the window says about a text that cannot be opened now.
    QString stateText(browser::TextState textState, const QString& name) const;
    void fillTextList();

    TVerseList* verses = nullptr;
    // The navigation panel's linked tables: none, but a list, so that the
    // scroll bar follows the table.
    QList<TTable*> linkedTables;
    QString currentText;
    // How the open text's words are made, as its folder records it.
    concordance::TextRules textRules;
    browser::TextState state = browser::TextState::NoText;
    concordance::QueryResult result;
    // The verses of the answer, and of the book chosen in the chart.
    QList<browser::VerseHit> answerHits;
    QList<browser::VerseHit> shownHits;
    QString answerText;
    // The verse keys of the look-up's verses, with the word's positions.
    QHash<qint32, QList<int>> marksByVerse;
    // The words of each row of LW_Words as the answer's forms are matched:
    // the form numbers of the row.
    QList<QList<qint32>> wordsRowForms;
    int wordsRow = -1; // the row of LW_Words the list is limited to
    bool tagged = false;
};
