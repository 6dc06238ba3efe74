#include "package/Navpanel66.h"

#include "concordance/books.h"
#include "concordance/versekey.h"
#include "package/Registry.h"
#include "platform/core/table.h"
#include "platform/gui/messages.h"

#include <QEvent>
#include <QKeySequence>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>

namespace {

const char* const hints[TNavPanel66::ButtonCount] = {
    "Start of Bible", "Prior Book",   "Prior Chapter", "Prior Verse",
    "Next Verse",     "Next Chapter", "Next Book",     "End of Bible",
};

// Keys that move the table from anywhere in the panel's window. None of them
// edits text or steps a list, so a word field or a list with the focus keeps
// its own keys.
const QKeyCombination shortcuts[TNavPanel66::ButtonCount] = {
    Qt::ALT | Qt::Key_Home,
    Qt::ALT | Qt::SHIFT | Qt::Key_PageUp,
    Qt::ALT | Qt::Key_PageUp,
    Qt::ALT | Qt::Key_Left,
    Qt::ALT | Qt::Key_Right,
    Qt::ALT | Qt::Key_PageDown,
    Qt::ALT | Qt::SHIFT | Qt::Key_PageDown,
    Qt::ALT | Qt::Key_End,
};

const char tagProperty[] = "Tag";
const char hintProperty[] = "Hint";

// The panel's AfterScroll handler as the table holds it. The panel can tell
// it from any other handler (to remove it), and a copy that outlives the
// panel, or that a table still holds after the panel bound another one, calls
// nothing.
struct AfterScrollHook {
    QPointer<TNavPanel66> panel;
    void operator()(TTable* dataSet) const {
        if (panel && panel->boundTable() == dataSet)
            panel->afterScroll(dataSet);
    }
};

} // namespace

class TNavPanel66::ScrollBarDetach {
public:
    explicit ScrollBarDetach(TNavPanel66* p) : panel(p) { panel->detachScrollBar(); }
    ~ScrollBarDetach() { panel->attachScrollBar(); }
    ScrollBarDetach(const ScrollBarDetach&) = delete;
    ScrollBarDetach& operator=(const ScrollBarDetach&) = delete;

private:
    TNavPanel66* panel;
};

TNavPanel66::TNavPanel66(QWidget* owner) : QFrame(owner), bookCount(concordance::protestantBooks) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    createButtons();
    setHints();
}

TNavPanel66::~TNavPanel66() {
    unhookTable(table);
    QObject::disconnect(scrollBarConnection);
}

void TNavPanel66::createButtons() {
    for (int i = 0; i < ButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("B_%1").arg(i));
        b->setProperty(tagProperty, i);
        b->setFocusPolicy(Qt::TabFocus);
        b->setIconSize(QSize(16, 16));
        b->resize(buttonWidth, buttonHeight);
        b->setEnabled(true);
        b->installEventFilter(this);
        connect(b, &QToolButton::clicked, this,
                [this, b] { platform::reportExceptions([&] { buttonClick(b); }); });
        buttons[static_cast<size_t>(i)] = b;
        // A disabled button's move is no move from here either.
        auto* key = new QShortcut(shortcut(i), this);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, b, [b] {
            if (b->isEnabled() && b->isVisible())
                b->click();
        });
    }
    centerVert();
    adjustWidth();
    updateButtons();
}

QString TNavPanel66::hint(int index) {
    return index >= 0 && index < ButtonCount ? QString::fromLatin1(hints[index]) : QString();
}

QKeySequence TNavPanel66::shortcut(int index) {
    return index >= 0 && index < ButtonCount ? QKeySequence(shortcuts[index]) : QKeySequence();
}

QString TNavPanel66::toolTip(const QString& hintText, int index) {
    const QKeySequence key = shortcut(index);
    if (key.isEmpty() || hintText.isEmpty())
        return hintText;
    return QStringLiteral("%1 (%2)").arg(hintText, key.toString(QKeySequence::NativeText));
}

void TNavPanel66::setHints() {
    for (int i = 0; i < ButtonCount; ++i)
        buttons[static_cast<size_t>(i)]->setProperty(hintProperty, hint(i));
    showHints(showHint);
}

void TNavPanel66::showHints(bool show) {
    showHint = show;
    // The hint stays with the button; only its tool tip comes and goes.
    for (int i = 0; i < ButtonCount; ++i) {
        QToolButton* b = buttons[static_cast<size_t>(i)];
        b->setToolTip(show ? toolTip(b->property(hintProperty).toString(), i) : QString());
    }
}

QToolButton* TNavPanel66::button(int index) const {
    return index >= 0 && index < ButtonCount ? buttons[static_cast<size_t>(index)] : nullptr;
}

bool TNavPanel66::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        // A button shown or hidden takes or gives back its room.
        adjustWidth();
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

// --- layout ------------------------------------------------------------------

void TNavPanel66::centerVert() {
    const int top = (height() - buttonHeight) / 2;
    for (QToolButton* b : buttons)
        b->setGeometry(b->x(), top, b->width(), buttonHeight);
}

void TNavPanel66::adjustWidth() {
    int x = margin;
    for (QToolButton* b : buttons) {
        if (!b)
            return; // still being created
        b->resize(buttonWidth, b->height());
        if (b->isVisibleTo(this)) {
            b->move(x, b->y());
            x += buttonWidth;
        }
    }
    // Fixed, so that a layout keeps the panel as wide as its buttons.
    setFixedWidth(x + margin);
}

QSize TNavPanel66::sizeHint() const {
    return {width(), buttonHeight + 2 * margin};
}

void TNavPanel66::panelResize(QObject*) {
    centerVert();
    adjustWidth();
}

void TNavPanel66::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    panelResize(this);
}

// --- the table -----------------------------------------------------------------

bool TNavPanel66::tableUsable() const {
    return table && table->Active();
}

void TNavPanel66::unhookTable(TTable* from) {
    if (!from)
        return;
    const TDataSetNotifyEvent handler = from->AfterScroll();
    if (const auto* hook = handler.target<AfterScrollHook>(); hook && hook->panel == this)
        from->setAfterScroll({});
}

void TNavPanel66::setTable(TTable* newTable) {
    if (table != newTable)
        unhookTable(table);
    QObject::disconnect(tableClosedConnection);
    table = newTable;
    if (newTable) {
        // A table that closes has no row: its buttons follow.
        tableClosedConnection =
            connect(newTable, &TTable::activeChanged, this, [this] { updateButtons(); });
        if (newTable->Active())
            newTable->First();
        updateButtons();
        newTable->setAfterScroll(AfterScrollHook{this});
    }
    refreshScrollBar();
}

bool TNavPanel66::findVerse(int book, int chapter) {
    const concordance::Place place{book, chapter, 1};
    if (!place.isValid())
        return false;
    table->SetKey();
    table->Fields(0).setAsInteger(concordance::verseKey(book, chapter, 1));
    return table->GotoKey();
}

void TNavPanel66::buttonClick(QObject* sender) {
    auto* b = qobject_cast<QToolButton*>(sender);
    if (!b || !tableUsable())
        return;
    const int tag = b->property(tagProperty).toInt();
    if (tag != PriorVerse && tag != NextVerse)
        curOffset = 0;
    const qint32 key = table->Fields(0).AsInteger();
    const int book = concordance::bookOf(key);
    const int chapter = concordance::chapterOf(key);
    switch (tag) {
    case StartOfBible:
        table->First();
        break;
    case PriorBook:
        findVerse(book - 1, 1);
        break;
    case PriorChapter:
        if (chapter - 1 >= 1)
            findVerse(book, chapter - 1);
        else
            findVerse(book - 1, 1);
        break;
    case PriorVerse:
        table->Prior();
        break;
    case NextVerse:
        table->Next();
        break;
    case NextChapter:
        if (!findVerse(book, chapter + 1))
            findVerse(book + 1, 1);
        break;
    case NextBook:
        findVerse(book + 1, 1);
        break;
    case EndOfBible:
        table->Last();
        break;
    default:
        break;
    }
    updateButtons();
}

void TNavPanel66::updateButtons() {
    if (!table)
        return;
    const bool atBeginning = table->Bof();
    const bool atEnd = table->Eof();
    for (int i = 0; i < ButtonCount; ++i)
        buttons[static_cast<size_t>(i)]->setEnabled(i < NextVerse ? !atBeginning : !atEnd);
}

void TNavPanel66::afterScroll(TTable*) {
    updateButtons();
    synchronizeRecords();
}

// --- glyphs --------------------------------------------------------------------

void TNavPanel66::setImage(TImageList* list) {
    images = list;
    for (int i = 0; i < ButtonCount; ++i) {
        const QPixmap glyph = list ? list->image(i) : QPixmap();
        buttons[static_cast<size_t>(i)]->setIcon(glyph.isNull() ? QIcon() : QIcon(glyph));
    }
}

TImageList* TNavPanel66::standardImages(QObject* owner) {
    auto* list = new TImageList(owner, 16, 16);
    for (int i = 0; i < ButtonCount; ++i)
        list->Add(QPixmap(QStringLiteral(":/tesk21/nav%1.png").arg(i)));
    return list;
}

// --- the scroll bar --------------------------------------------------------------

void TNavPanel66::detachScrollBar() {
    if (detachDepth++ == 0)
        QObject::disconnect(scrollBarConnection);
}

void TNavPanel66::attachScrollBar() {
    if (--detachDepth > 0 || !scrollBar)
        return;
    QScrollBar* bar = scrollBar;
    scrollBarConnection = connect(bar, &QScrollBar::valueChanged, this, [this, bar] {
        platform::reportExceptions([&] { onChange(bar); });
    });
}

void TNavPanel66::setScrollBar(QScrollBar* newScrollBar) {
    {
        ScrollBarDetach detached(this);
        scrollBar = newScrollBar;
    }
    refreshScrollBar();
}

void TNavPanel66::refreshScrollBar() {
    if (!scrollBar || !tableUsable() || table->RecordCount() < 1)
        return;
    ScrollBarDetach detached(this);
    scrollBar->setSingleStep(1);
    scrollBar->setMaximum(table->RecordCount());
    scrollBar->setValue(1);
    table->First();
    synchronizeRecords();
}

void TNavPanel66::onChange(QObject*) {
    if (!scrollBar || !tableUsable())
        return;
    table->setRecNo(scrollBar->value());
    synchronizeRecords();
    updateButtons();
}

void TNavPanel66::synchronizeRecords() {
    if (!linkedTables || !tableUsable())
        return;
    const int recNo = table->RecNo();
    for (TTable* linked : *linkedTables) {
        // A closed dataset has no record to move to.
        if (linked && linked->Active())
            linked->setRecNo(recNo);
    }
    if (scrollBar) {
        ScrollBarDetach detached(this);
        scrollBar->setValue(recNo);
    }
}

namespace Navpanel66 {

void Register() {
    RegisterComponents(Tesk21::paletteName(), {&TNavPanel66::staticMetaObject});
}

void Initialize() {
    Tesk21::unitInitialized(QStringLiteral("Navpanel66"));
}

void Finalize() {
    Tesk21::unitFinalized(QStringLiteral("Navpanel66"), &TNavPanel66::staticMetaObject);
}

} // namespace Navpanel66
