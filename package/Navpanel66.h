#pragma once
// TNavPanel66: a panel with a row of eight small buttons that move a verse
// table to the start of the Bible, to the prior or next book, chapter or verse,
// and to the end of the Bible. It enables each button by where the table
// stands, can drive a scroll bar that shows and sets the table's record number,
// and keeps further tables on the same record number as the verse table.
//
// The verse table's first field is the verse key (concordance/versekey.h) and
// its current index lies on that field, in Bible order. The panel installs
// itself as the table's AfterScroll handler and as the scroll bar's change
// handler; it removes itself from a table it no longer holds, and from both
// when it is destroyed. The table, the scroll bar, the image list and
// linkedTables belong to the panel's user.

#include "package/Imagelist.h"
#include "package/Tesk21global.h"
#include "platform/core/table.h"

#include <QFrame>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QScrollBar>
#include <array>

class QKeySequence;
class QToolButton;

class TESK21_EXPORT TNavPanel66 : public QFrame {
    Q_OBJECT
    Q_CLASSINFO("IncludeFile", "package/Navpanel66.h")
    Q_CLASSINFO("Description", "Steps a verse table by verse, chapter and book")
    Q_PROPERTY(TImageList* Images READ Images WRITE setImage STORED true)
    Q_PROPERTY(QScrollBar* ScrollBar READ ScrollBar WRITE setScrollBar STORED true)
    Q_PROPERTY(int curOffset MEMBER curOffset STORED true)

public:
    // The buttons by index; button i is named "B_<i>" and has the tag i.
    enum Button {
        StartOfBible,
        PriorBook,
        PriorChapter,
        PriorVerse,
        NextVerse,
        NextChapter,
        NextBook,
        EndOfBible,
        ButtonCount
    };

    Q_INVOKABLE explicit TNavPanel66(QWidget* owner = nullptr);
    ~TNavPanel66() override;

    // Further tables kept on the verse table's record number; set and owned
    // by the panel's user. While it is null the scroll bar does not follow
    // the table's moves.
    QList<TTable*>* linkedTables = nullptr;
    // The number of books of the Bible; read by the panel's users only.
    int bookCount;
    // A value of the panel's user, set to 0 by every button but Prior Verse
    // and Next Verse.
    int curOffset = 0;

    void createButtons();
    // Button i's hint (its "Hint" property) is hint(i); it shows as the
    // button's tool tip, with the button's key, while hints are shown.
    void setHints();
    void showHints(bool show);
    bool hintsShown() const { return showHint; }
    // Binds the verse table (or none), moves it to its first record and
    // refreshes the scroll bar.
    void setTable(TTable* table);
    // Button i takes image i of the list as its glyph; buttons without an
    // image (a short list, or none) show none.
    void setImage(TImageList* images);
    // Binds the scroll bar (or none) and refreshes it.
    void setScrollBar(QScrollBar* scrollBar);
    void centerVert();
    void adjustWidth();
    void panelResize(QObject* sender);
    void buttonClick(QObject* sender);
    void updateButtons();
    void afterScroll(TTable* dataSet);
    void onChange(QObject* sender);
    void synchronizeRecords();
    void refreshScrollBar();

    TTable* boundTable() const { return table; }
    // As wide as the visible buttons, as high as a button and the margins.
    QSize sizeHint() const override;
    TImageList* Images() const { return images; }
    QScrollBar* ScrollBar() const { return scrollBar; }
    QToolButton* button(int index) const;

    // The hint of button `index`: "Start of Bible", "Prior Book", ...
    static QString hint(int index);
    // The key that presses button `index` anywhere in the panel's window
    // (Alt+Left: Prior Verse, ...), and the tool tip that names the button by
    // its hint and adds its key: "Prior Verse (Alt+Left)".
    static QKeySequence shortcut(int index);
    static QString toolTip(const QString& hintText, int index);
    // A new image list (owned by `owner`) with the package's eight glyphs,
    // 16 x 16, in button order.
    static TImageList* standardImages(QObject* owner);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Keeps the scroll bar's change handler off while it lives (nested uses
    // count), so that setting the position does not move the table again.
    class ScrollBarDetach;
    void attachScrollBar();
    void detachScrollBar();
    // Removes the panel's AfterScroll handler from `from` if it is still there.
    void unhookTable(TTable* from);
    // Key search for chapter c, verse 1 of book b; false when there is no
    // such verse (or no such place).
    bool findVerse(int book, int chapter);
    bool tableUsable() const;

    QPointer<TTable> table;
    QPointer<QScrollBar> scrollBar;
    std::array<QToolButton*, ButtonCount> buttons{};
    QPointer<TImageList> images;
    const int margin = 2;
    const int buttonHeight = 23;
    const int buttonWidth = 22;
    bool showHint = true;
    int detachDepth = 0;
    QMetaObject::Connection scrollBarConnection;
    QMetaObject::Connection tableClosedConnection;
};

// The unit Navpanel66 of the package (see package/Tesk21.h).
namespace Navpanel66 {
// Registers TNavPanel66 on the palette page "Tesk".
TESK21_EXPORT void Register();
TESK21_EXPORT void Initialize();
TESK21_EXPORT void Finalize();
} // namespace Navpanel66
