#include "browser/Browser.h"

#include "browser/Bookchart.h"
#include "browser/Strongsview.h"
#include "browser/Verselist.h"
#include "concordance/books.h"
#include "concordance/numberformat.h"
#include "concordance/query.h"
#include "concordance/tablelayouts.h"
#include "concordance/textfolder.h"
#include "concordance/versekey.h"
#include "concordance/verserange.h"
#include "package/Ini_t.h"
#include "package/Locuspanel.h"
#include "package/Navpanel66.h"
#include "package/Placement.h"
#include "platform/core/errors.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "platform/core/userfolders.h"
#include "platform/gui/messages.h"
#include "platform/gui/picture.h"

#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

using browser::TextState;

namespace {

// Settings of the browser's own, beside the window positions.
const QString browserSection = QStringLiteral("Browser");
const QString wordsSection = QStringLiteral("Words");
const QString wordPrefix = QStringLiteral("Word");
constexpr int historySize = 10;
// The most letters of a word the status line quotes.
constexpr int quotedLetters = 40;
constexpr int defaultWidth = 760;
constexpr int defaultHeight = 580;

// The verse text as rich text, the spans in `marks` highlighted.
QString markedText(const QString& text, const QList<browser::TextSpan>& marks) {
    QString html;
    int at = 0;
    for (const browser::TextSpan& mark : marks) {
        if (mark.start < at)
            continue;
        html += text.mid(at, mark.start - at).toHtmlEscaped();
        html += QStringLiteral("<span style=\"background-color:#ffe08a; font-weight:600\">") +
                text.mid(mark.start, mark.length).toHtmlEscaped() + QStringLiteral("</span>");
        at = mark.start + mark.length;
    }
    return html + text.mid(at).toHtmlEscaped();
}

// The verse as rich text for a text whose words are tagged: every word a link
// "w:<position>" (drawn as text) that shows its Strong's numbers, the words
// in `marks` highlighted.
QString linkedText(const QString& text, const QList<browser::TextSpan>& marks, const QColor& color,
                   concordance::WordForm form) {
    QList<int> positions;
    for (int p = 1; p <= concordance::maxWordsPerVerse; ++p)
        positions << p;
    const QList<browser::TextSpan> words = browser::wordSpansAt(text, positions, form);
    QString html;
    int at = 0;
    for (int i = 0; i < words.size(); ++i) {
        const browser::TextSpan& word = words.at(i);
        html += text.mid(at, word.start - at).toHtmlEscaped();
        QString shown = text.mid(word.start, word.length).toHtmlEscaped();
        const bool marked = std::any_of(marks.begin(), marks.end(), [&](const auto& mark) {
            return mark.start <= word.start && word.start < mark.start + mark.length;
        });
        if (marked)
            shown = QStringLiteral("<span style=\"background-color:#ffe08a; font-weight:600\">") +
                    shown + QStringLiteral("</span>");
        html += QStringLiteral("<a href=\"w:%1\" style=\"color:%2; text-decoration:none\">%3</a>")
                    .arg(i + 1)
                    .arg(color.name(), shown);
        at = word.start + word.length;
    }
    return html + text.mid(at).toHtmlEscaped();
}

// Completes the word being typed at the end of a query from the words of the
// text: "faith NEAR lo" offers "lord", "love", …
class LastWordCompleter : public QCompleter {
public:
    using QCompleter::QCompleter;

    // Where the last word of `text` starts.
    static qsizetype lastWordStart(const QString& text) {
        qsizetype start = text.size();
        while (start > 0 && !text.at(start - 1).isSpace() &&
               text.at(start - 1) != QLatin1Char('(') && text.at(start - 1) != QLatin1Char('"'))
            --start;
        if (start < text.size() && text.at(start) == QLatin1Char('-'))
            ++start;
        return start;
    }

    QStringList splitPath(const QString& path) const override {
        return {path.mid(lastWordStart(path))};
    }
    QString pathFromIndex(const QModelIndex& index) const override {
        // A combo box makes itself the completer's widget.
        QString text;
        if (const auto* edit = qobject_cast<QLineEdit*>(widget()))
            text = edit->text();
        else if (const auto* box = qobject_cast<QComboBox*>(widget()))
            text = box->currentText();
        return text.left(lastWordStart(text)) + index.data().toString();
    }
};

QString plural(qint64 n, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(concordance::formatNumber(n), n == 1 ? one : many);
}

} // namespace

TF_Browser::TF_Browser(const QString& textName, QWidget* owner) : QWidget(owner) {
    iniName = platform::settingsFolder() + QStringLiteral("Browser.data");
    textsPath = concordance::textsFolder();
    createComponents();

    // The window's place, and the verse panel's bounds within it; a stored
    // position that cannot be read gives way to the default.
    auto ini = std::make_unique<TIni_t>(this, iniName);
    placeWindow(*ini, this, defaultWidth, defaultHeight);
    P_Verse->setGeometry(0, 0, defaultWidth - 20, 170);
    try {
        P_Verse->setIniFile(iniName);
    } catch (const platform::EConvertError&) {
        P_Verse->save();
    }
    // The splitter gives the verse panel its restored height once the window's
    // layout has placed the splitter.
    const int verseHeight = P_Verse->height();
    layout()->activate();
    SP_Main->setSizes(
        {verseHeight, std::max(SP_Main->height() - SP_Main->handleWidth() - verseHeight, 1)});

    ini->get(CB_Word, wordsSection, wordPrefix, historySize);
    for (int i = CB_Word->count() - 1; i >= 0; --i) {
        if (CB_Word->itemText(i).isEmpty())
            CB_Word->removeItem(i);
    }
    CB_Word->setEditText(QString());

    QString name = textName;
    ini->changeSection(browserSection);
    const QString lastText = ini->get(QStringLiteral("Text"));
    const int lastVerse = ini->get(QStringLiteral("Verse"), 0);
    ini.reset();

    fillTextList();
    if (name.isEmpty())
        name = !lastText.isEmpty() ? lastText : CB_Text->itemText(0);
    if (name.isEmpty()) {
        showStatus(tr("There is no text in %1 yet: import one with import-text, then build "
                      "its concordance with Build.")
                       .arg(QDir::toNativeSeparators(textsPath)));
        closeText();
        adviseImport(tr("There is no text in %1 yet.").arg(QDir::toNativeSeparators(textsPath)),
                     QStringLiteral("KJV"));
        return;
    }
    if (openText(name) && name == lastText && lastVerse != 0) {
        T_Bible->SetKey();
        T_Bible->Fields(0).setAsInteger(lastVerse);
        T_Bible->GotoKey();
    } else if (state == TextState::NoText && concordance::isFolderName(name)) {
        adviseImport(tr("There is no verse table for %1 yet.").arg(name), name);
    }
}

// Once the window is up: how to import a text and where it goes.
void TF_Browser::adviseImport(const QString& why, const QString& name) {
    const QString text = why + QStringLiteral("\r\n") + concordance::importAdvice(name);
    QTimer::singleShot(0, this,
                       [text] { platform::messageBox(QString::fromLatin1(browserTitle), text); });
}

TF_Browser::~TF_Browser() {
    try {
        TIni_t ini(this, iniName);
        ini.save(browserSection, QStringLiteral("Text"), currentText);
        ini.save(browserSection, QStringLiteral("Verse"), static_cast<int>(currentVerse()));
        ini.savePosition(this);
    } catch (const std::exception& e) {
        // A destructor must not throw; the settings are simply not remembered.
        platform::showException(e);
    }
}

void TF_Browser::createComponents() {
    setObjectName(QStringLiteral("F_Browser"));
    setWindowTitle(QString::fromLatin1(browserTitle));
    setWindowIcon(platform::programIcon(QStringLiteral("concordance-browser")));

    T_Bible = new TTable(this);
    T_Bible->setObjectName(QStringLiteral("T_Bible"));
    T_Verses = new TTable(this);
    T_Verses->setObjectName(QStringLiteral("T_Verses"));

    auto* textLabel = new QLabel(tr("&Text:"), this);
    CB_Text = new QComboBox(this);
    CB_Text->setObjectName(QStringLiteral("CB_Text"));
    // The combo boxes ask for the width of twelve letters, never for that of
    // their longest entry, a long name or word.
    CB_Text->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CB_Text->setMinimumContentsLength(12);
    textLabel->setBuddy(CB_Text);

    SP_Main = new QSplitter(Qt::Vertical, this);
    SP_Main->setObjectName(QStringLiteral("SP_Main"));
    SP_Main->setChildrenCollapsible(false);

    P_Verse = new TLocusPanel(SP_Main);
    P_Verse->setObjectName(QStringLiteral("P_Verse"));
    L_Reference = new QLabel(P_Verse);
    L_Reference->setObjectName(QStringLiteral("L_Reference"));
    QFont referenceFont = L_Reference->font();
    referenceFont.setBold(true);
    referenceFont.setPointSizeF(referenceFont.pointSizeF() * 1.3);
    L_Reference->setFont(referenceFont);
    L_Verse = new QLabel(P_Verse);
    L_Verse->setObjectName(QStringLiteral("L_Verse"));
    L_Verse->setWordWrap(true);
    L_Verse->setTextFormat(Qt::RichText);
    L_Verse->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    L_Verse->setTextInteractionFlags(Qt::TextSelectableByMouse);
    L_Verse->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    L_Verse->setMinimumHeight(40);
    // A word too long for a line is cut at the label's edge; it never widens
    // the window (so for L_Reference and L_Count).
    L_Verse->setMinimumWidth(1);
    L_Reference->setMinimumWidth(1);
    P_Nav = new TNavPanel66(P_Verse);
    P_Nav->setObjectName(QStringLiteral("P_Nav"));
    P_Nav->setImage(TNavPanel66::standardImages(this));
    // An empty list: the scroll bar follows every move of the table.
    P_Nav->linkedTables = &linkedTables;
    SB_Verse = new QScrollBar(Qt::Horizontal, P_Verse);
    SB_Verse->setObjectName(QStringLiteral("SB_Verse"));
    SB_Verse->setMinimum(1);
    P_Nav->setScrollBar(SB_Verse);

    auto* verseLayout = new QVBoxLayout(P_Verse);
    verseLayout->addWidget(L_Reference);
    verseLayout->addWidget(L_Verse, 1);
    // The panel scrolls where a long entry does not fit below the verse.
    SA_Strongs = new QScrollArea(P_Verse);
    SA_Strongs->setObjectName(QStringLiteral("SA_Strongs"));
    SA_Strongs->setFrameShape(QFrame::NoFrame);
    SA_Strongs->setWidgetResizable(true);
    SA_Strongs->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    L_Strongs = new QLabel(SA_Strongs);
    L_Strongs->setObjectName(QStringLiteral("L_Strongs"));
    L_Strongs->setWordWrap(true);
    L_Strongs->setTextFormat(Qt::RichText);
    L_Strongs->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    L_Strongs->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    L_Strongs->setMinimumWidth(1);
    L_Strongs->hide();
    SA_Strongs->setWidget(L_Strongs);
    SA_Strongs->hide();
    verseLayout->addWidget(SA_Strongs, 1);
    auto* navLayout = new QHBoxLayout;
    navLayout->addWidget(P_Nav);
    navLayout->addWidget(SB_Verse, 1);
    verseLayout->addLayout(navLayout);

    auto* lookupPane = new QWidget(SP_Main);
    auto* wordLabel = new QLabel(tr("&Word:"), lookupPane);
    CB_Word = new QComboBox(lookupPane);
    CB_Word->setObjectName(QStringLiteral("CB_Word"));
    CB_Word->setEditable(true);
    CB_Word->setInsertPolicy(QComboBox::NoInsert);
    CB_Word->setMaxCount(historySize);
    CB_Word->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    CB_Word->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CB_Word->setMinimumContentsLength(12);
    wordLabel->setBuddy(CB_Word);
    B_Lookup = new QPushButton(tr("&Look up"), lookupPane);
    B_Lookup->setObjectName(QStringLiteral("B_Lookup"));
    L_Count = new QLabel(lookupPane);
    L_Count->setObjectName(QStringLiteral("L_Count"));
    L_Count->setWordWrap(true);
    L_Count->setTextFormat(Qt::PlainText);
    L_Count->setMinimumWidth(1);
    auto* rangeLabel = new QLabel(tr("&In:"), lookupPane);
    E_Range = new QLineEdit(lookupPane);
    E_Range->setObjectName(QStringLiteral("E_Range"));
    E_Range->setPlaceholderText(tr("the whole text"));
    E_Range->setToolTip(tr("Books (John, Matthew-John, OT, NT) or chapters and verses (John 1-3, "
                           "John 3:16), separated by commas"));
    rangeLabel->setBuddy(E_Range);
    C_Books = new TBookChart(lookupPane);
    C_Books->setObjectName(QStringLiteral("C_Books"));
    C_Books->setToolTip(tr("Per book: click a book to list its verses only"));
    LW_Words = new QListWidget(lookupPane);
    LW_Words->setObjectName(QStringLiteral("LW_Words"));
    LW_Words->setMaximumWidth(220);
    // The chart and the words take a strip; the list keeps the room.
    C_Books->setMaximumHeight(110);
    LW_Words->setMaximumHeight(110);
    LW_Words->hide();
    verses = new TVerseList(this);
    LV_Verses = new QListView(lookupPane);
    LV_Verses->setObjectName(QStringLiteral("LV_Verses"));
    LV_Verses->setModel(verses);
    LV_Verses->setItemDelegate(new TVerseDelegate(LV_Verses));
    LV_Verses->setUniformItemSizes(true);
    LV_Verses->setSelectionMode(QAbstractItemView::SingleSelection);
    LV_Verses->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* gotoLabel = new QLabel(tr("&Go to:"), lookupPane);
    E_Goto = new QLineEdit(lookupPane);
    E_Goto->setObjectName(QStringLiteral("E_Goto"));
    E_Goto->setPlaceholderText(tr("John 3:16"));
    gotoLabel->setBuddy(E_Goto);
    B_Goto = new QPushButton(tr("Show"), lookupPane);
    B_Goto->setObjectName(QStringLiteral("B_Goto"));
    B_Copy = new QPushButton(tr("&Copy"), lookupPane);
    B_Copy->setObjectName(QStringLiteral("B_Copy"));
    B_Copy->setToolTip(tr("Copies the verses listed to the clipboard, tab-separated"));
    B_Export = new QPushButton(tr("E&xport..."), lookupPane);
    B_Export->setObjectName(QStringLiteral("B_Export"));
    B_Export->setToolTip(tr("Saves the verses listed as CSV or TSV"));

    auto* wordRow = new QHBoxLayout;
    wordRow->addWidget(wordLabel);
    wordRow->addWidget(CB_Word, 3);
    wordRow->addWidget(rangeLabel);
    wordRow->addWidget(E_Range, 1);
    wordRow->addWidget(B_Lookup);
    auto* answerRow = new QHBoxLayout;
    answerRow->addWidget(C_Books, 1);
    answerRow->addWidget(LW_Words);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(gotoLabel);
    bottomRow->addWidget(E_Goto);
    bottomRow->addWidget(B_Goto);
    bottomRow->addStretch(1);
    bottomRow->addWidget(B_Copy);
    bottomRow->addWidget(B_Export);
    auto* lookupLayout = new QVBoxLayout(lookupPane);
    lookupLayout->setContentsMargins(0, 6, 0, 0);
    lookupLayout->addLayout(wordRow);
    lookupLayout->addWidget(L_Count);
    lookupLayout->addLayout(answerRow);
    lookupLayout->addWidget(LV_Verses, 1);
    lookupLayout->addLayout(bottomRow);

    auto* topRow = new QHBoxLayout;
    topRow->addWidget(textLabel);
    topRow->addWidget(CB_Text);
    topRow->addStretch(1);
    auto* formLayout = new QVBoxLayout(this);
    formLayout->addLayout(topRow);
    formLayout->addWidget(SP_Main, 1);

    connect(CB_Text, &QComboBox::activated, this, [this](int index) {
        const QString name = CB_Text->itemText(index);
        if (name != currentText || !textOpen())
            platform::reportExceptions([&] { openText(name); });
    });
    connect(B_Lookup, &QPushButton::clicked, this,
            [this] { platform::reportExceptions([&] { lookUp(CB_Word->currentText()); }); });
    connect(CB_Word->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { platform::reportExceptions([&] { lookUp(CB_Word->currentText()); }); });
    connect(E_Range, &QLineEdit::returnPressed, this,
            [this] { platform::reportExceptions([&] { lookUp(CB_Word->currentText()); }); });
    connect(C_Books, &TBookChart::bookChosen, this,
            [this](int book) { platform::reportExceptions([&] { showBook(book); }); });
    connect(L_Verse, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link.startsWith(QLatin1String("w:")))
            platform::reportExceptions([&] { showStrongs(link.mid(2).toInt()); });
    });
    connect(L_Strongs, &QLabel::linkActivated, this, [this](const QString& link) {
        if (!link.startsWith(QLatin1String("strongs:")))
            return;
        const QString number = link.mid(8);
        CB_Word->setEditText(number);
        platform::reportExceptions([&] { lookUp(number); });
    });
    connect(LW_Words, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = LW_Words->row(item);
        platform::reportExceptions([&] { showWords(row == wordsRow ? -1 : row); });
    });
    connect(B_Goto, &QPushButton::clicked, this,
            [this] { platform::reportExceptions([&] { goTo(E_Goto->text()); }); });
    connect(E_Goto, &QLineEdit::returnPressed, this,
            [this] { platform::reportExceptions([&] { goTo(E_Goto->text()); }); });
    connect(B_Copy, &QPushButton::clicked, this,
            [this] { platform::reportExceptions([&] { copyToClipboard(); }); });
    connect(B_Export, &QPushButton::clicked, this, [this] {
        platform::reportExceptions([&] {
            const QString path =
                QFileDialog::getSaveFileName(this, tr("Export the verses"), QString(),
                                             tr("Comma-separated (*.csv);;Tab-separated (*.tsv)"));
            if (!path.isEmpty())
                exportTo(path);
        });
    });
    connect(T_Bible, &TTable::scrolled, this,
            [this] { platform::reportExceptions([&] { showVerse(); }); });
    connect(LV_Verses->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                platform::reportExceptions([&] { chooseVerse(current.row()); });
            });
    auto* completer = new LastWordCompleter(this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setModelSorting(QCompleter::CaseSensitivelySortedModel);
    completer->setModel(new QStringListModel(completer));
    CB_Word->setCompleter(completer);
    setTabOrder(CB_Word, E_Range);
    setTabOrder(E_Range, B_Lookup);
    setTabOrder(B_Lookup, LV_Verses);
}

QString TF_Browser::textFolder(const QString& name) const {
    return textsPath + name + QLatin1Char('/');
}

void TF_Browser::fillTextList() {
    CB_Text->clear();
    CB_Text->addItems(browser::textNames(textsPath));
}

QString TF_Browser::stateText(TextState textState, const QString& name) const {
    switch (textState) {
    case TextState::NoText:
        return tr("There is no text %1: %2 holds no verse table (Bible.db).")
            .arg(name, QDir::toNativeSeparators(textFolder(name)));
    case TextState::NotBuilt:
        return tr("The concordance of %1 has not been built yet. Build it (Build Text %1), then "
                  "come back to this window.")
            .arg(name);
    case TextState::Building:
        return tr("%1 is being built just now, or its last build did not complete. When Build "
                  "has completed, come back to this window.")
            .arg(name);
    case TextState::Built:
        break;
    }
    return QString();
}

bool TF_Browser::textOpen() const {
    return T_Bible->Active();
}

void TF_Browser::closeText() {
    T_Bible->Close();
    T_Verses->Close();
    verses->clear();
    result = concordance::QueryResult();
    answerHits.clear();
    shownHits.clear();
    C_Books->clear();
    LW_Words->clear();
    LW_Words->hide();
    marksByVerse.clear();
    tagged = false;
    L_Strongs->clear();
    L_Strongs->hide();
    SA_Strongs->hide();
    showVerse();
    setTextControlsEnabled(false);
}

void TF_Browser::setTextControlsEnabled(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{CB_Word, E_Range, B_Lookup, P_Nav, SB_Verse, LV_Verses,
                                         C_Books, LW_Words, E_Goto, B_Goto, B_Copy, B_Export})
        w->setEnabled(enabled);
}

void TF_Browser::showClosed(const QString& name, const QString& text) {
    showStatus(text);
    L_Reference->setText(name);
    L_Verse->setText(text.toHtmlEscaped());
}

bool TF_Browser::openText(const QString& name, bool quiet) {
    closeText();
    currentText = name;
    CB_Text->setCurrentIndex(CB_Text->findText(name));
    setWindowTitle(QStringLiteral("%1 - %2").arg(QString::fromLatin1(browserTitle), name));
    // A text's name is one folder below Text/, never a path that leads out of it.
    if (!concordance::isFolderName(name)) {
        state = TextState::NoText;
        showClosed(name, tr("\"%1\" is not the name of a text: a text's name is one folder name, "
                            "without \"/\", and not \".\" or \"..\".")
                             .arg(name));
        return false;
    }
    state = browser::textState(textFolder(name));
    if (state != TextState::Built) {
        showClosed(name, stateText(state, name));
        return false;
    }
    try {
        textRules = concordance::readTextRules(textFolder(name));
    } catch (const platform::Exception& e) {
        showClosed(name, e.message());
        if (!quiet)
            platform::messageBox(QString::fromLatin1(browserTitle), e.message());
        return false;
    }
    try {
        for (TTable* table : {T_Bible, T_Verses}) {
            table->setDatabaseName(textFolder(name));
            table->setTableName(concordance::verseTable);
            table->setExclusive(false);
            table->Open();
        }
    } catch (const EDatabaseError& e) {
        T_Bible->Close();
        T_Verses->Close();
        const QString text =
            e.kind() == EDatabaseError::Kind::Locked
                ? tr("%1 is in use by another program, most likely a build of it. When Build "
                     "has completed, come back to this window.")
                      .arg(name)
                : tr("%1 cannot be opened: %2").arg(name, e.message());
        showClosed(name, text);
        if (!quiet)
            platform::messageBox(QString::fromLatin1(browserTitle), text);
        return false;
    }
    tagged = QFile::exists(textFolder(name) + concordance::strongsTable + QStringLiteral(".db"));
    L_Verse->setTextInteractionFlags(tagged ? Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                                            : Qt::TextSelectableByMouse);
    L_Strongs->setText(tr("Click a word of the verse for its Strong's numbers."));
    L_Strongs->setVisible(tagged);
    SA_Strongs->setVisible(tagged);
    setTextControlsEnabled(true);
    P_Nav->setTable(T_Bible);
    showVerse();
    fillCompletion();
    showStatus(tr("Type a word and press Enter to look it up in the concordance of %1.").arg(name));
    CB_Word->setFocus();
    return true;
}

qint32 TF_Browser::currentVerse() const {
    if (!textOpen() || T_Bible->RecNo() == 0)
        return 0;
    return T_Bible->Fields(0).AsInteger();
}

void TF_Browser::showVerse() {
    const qint32 key = currentVerse();
    if (key == 0) {
        L_Reference->clear();
        L_Verse->clear();
        return;
    }
    // A Unicode text's words are marked in the verse's NFC form, which shows
    // the same.
    const QString stored = T_Bible->Fields(1).AsString();
    const QString text = textRules.isUnicode() ? concordance::toNfc(stored) : stored;
    L_Reference->setText(concordance::verseReference(key));
    const QList<browser::TextSpan> marks =
        browser::wordSpansAt(text, marksByVerse.value(key), textRules.words);
    L_Verse->setText(tagged
                         ? linkedText(text, marks, L_Verse->palette().color(QPalette::WindowText),
                                      textRules.words)
                         : markedText(text, marks));
}

void TF_Browser::showStrongs(int position) {
    const qint32 key = currentVerse();
    if (key == 0 || !tagged)
        return;
    const QString stored = T_Bible->Fields(1).AsString();
    const QString text = textRules.isUnicode() ? concordance::toNfc(stored) : stored;
    const QList<browser::TextSpan> spans = browser::wordSpansAt(text, {position}, textRules.words);
    const QString word = spans.isEmpty() ? QString() : text.mid(spans[0].start, spans[0].length);
    try {
        concordance::QueryEngine engine(textFolder(currentText));
        L_Strongs->setText(browser::strongsText(engine, key, position, word));
    } catch (const concordance::TextNotReady& e) {
        L_Strongs->setText(stateText(e.state(), currentText).toHtmlEscaped());
    } catch (const EDatabaseError& e) {
        L_Strongs->setText(tr("The Strong's numbers of %1 cannot be read: %2")
                               .arg(currentText, e.message())
                               .toHtmlEscaped());
    }
}

void TF_Browser::showWords(int row) {
    if (row < 0 || row >= wordsRowForms.size()) {
        wordsRow = -1;
        LW_Words->clearSelection();
        showBook(0);
        return;
    }
    wordsRow = row;
    C_Books->chooseBook(0);
    const QList<qint32>& forms = wordsRowForms.at(row);
    shownHits.clear();
    qint64 occurrences = 0;
    for (const concordance::QueryMatch& m : result.matches) {
        if (!forms.contains(m.form))
            continue;
        const qint32 verse = qint32(m.key & ~quint32(0xff));
        if (shownHits.isEmpty() || shownHits.last().verseKey != verse)
            shownHits.append(browser::VerseHit{verse, {}});
        for (int p = int(m.key & 0xff); p < int(m.key & 0xff) + m.length; ++p)
            shownHits.last().positions.append(p);
        ++occurrences;
    }
    verses->setVerses(shownHits, T_Verses);
    LV_Verses->scrollToTop();
    const QString words = LW_Words->item(row)->data(Qt::UserRole).toString();
    showStatus(answerText + QLatin1Char(' ') +
               tr("\"%1\": %2 in %3 (click it again for the whole answer).")
                   .arg(words, plural(occurrences, tr("occurrence"), tr("occurrences")),
                        plural(shownHits.size(), tr("verse"), tr("verses"))));
}

void TF_Browser::showStatus(const QString& text) {
    L_Count->setText(text);
}

void TF_Browser::lookUp(const QString& typed) {
    if (!textOpen())
        return;
    const QString queryText = typed.trimmed();
    if (queryText.isEmpty()) {
        showStatus(tr("Type a word to look it up."));
        return;
    }
    const auto fail = [&](const QString& text) {
        result = concordance::QueryResult();
        answerHits.clear();
        shownHits.clear();
        marksByVerse.clear();
        verses->clear();
        C_Books->clear();
        LW_Words->clear();
        LW_Words->hide();
        showVerse();
        showStatus(text);
    };
    concordance::QueryNode query;
    try {
        query = concordance::parseQuery(queryText, textRules.words);
    } catch (const concordance::QueryError& e) {
        // The query stays as typed, the cursor where it goes wrong.
        fail(tr("The query cannot be read: %1.").arg(e.message()));
        CB_Word->lineEdit()->setCursorPosition(e.position());
        return;
    }
    QList<int> books;
    QList<concordance::FormCount> forms;
    const bool numberQuery =
        query.kind == concordance::QueryNode::Kind::Term && !query.number.isEmpty();
    wordsRow = -1;
    try {
        concordance::QueryEngine engine(textFolder(currentText));
        books = engine.books();
        concordance::VerseRange range;
        if (!E_Range->text().trimmed().isEmpty()) {
            try {
                range = concordance::VerseRange::parse(E_Range->text(), books);
            } catch (const concordance::RangeError& e) {
                fail(tr("The range cannot be read: %1.").arg(e.message()));
                return;
            }
        }
        result = engine.run(query, range);
        forms = engine.forms(result);
        // A Unicode text's forms in its language's order, as its lists have them.
        if (textRules.isUnicode()) {
            QStringList texts;
            for (const concordance::FormCount& form : forms)
                texts << form.words;
            QList<concordance::FormCount> ordered;
            for (const qsizetype i : concordance::alphabeticalOrder(texts, textRules))
                ordered << forms[i];
            forms = ordered;
        }
        // The rows of the words list: a Strong's number's renderings, the
        // most frequent first; a prefix's words in word order.
        if (numberQuery)
            std::stable_sort(forms.begin(), forms.end(),
                             [](const concordance::FormCount& a, const concordance::FormCount& b) {
                                 return a.occurrences > b.occurrences;
                             });
        QHash<QString, QList<qint32>> formsOfWords;
        for (size_t i = 0; i < result.forms.size(); ++i) {
            QStringList words;
            for (const int n : result.forms[i])
                words << QString::fromUtf8(engine.words().at(size_t(n - 1)));
            formsOfWords[words.join(QLatin1Char(' '))].append(qint32(i));
        }
        wordsRowForms.clear();
        for (const concordance::FormCount& form : std::as_const(forms))
            wordsRowForms.append(formsOfWords.value(form.words));
    } catch (const concordance::QueryError& e) {
        fail(tr("The query cannot be read: %1.").arg(e.message()));
        return;
    } catch (const concordance::TextNotReady& e) {
        fail(stateText(e.state(), currentText));
        return;
    } catch (const EDatabaseError& e) {
        const QString text =
            e.kind() == EDatabaseError::Kind::Locked
                ? tr("The concordance of %1 is in use by another program, most likely a build "
                     "of it. Look the word up again when Build has completed.")
                      .arg(currentText)
                : tr("The concordance of %1 cannot be read: %2").arg(currentText, e.message());
        fail(text);
        platform::messageBox(QString::fromLatin1(browserTitle), text);
        return;
    }
    answerHits.clear();
    marksByVerse.clear();
    for (const concordance::MatchedVerse& verse : result.verses()) {
        answerHits.append(browser::VerseHit{verse.key, verse.positions()});
        marksByVerse.insert(verse.key, answerHits.last().positions);
    }
    C_Books->setCounts(books, result.byBook());
    LW_Words->clear();
    for (const concordance::FormCount& form : forms) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1  %2").arg(form.words, concordance::formatNumber(form.occurrences)),
            LW_Words);
        item->setData(Qt::UserRole, form.words);
    }
    LW_Words->setToolTip(numberQuery ? tr("Translated as: click a rendering to list its verses")
                                     : tr("The words found: click one to list its verses"));
    LW_Words->setVisible(forms.size() > 1 || (numberQuery && !forms.isEmpty()));

    // A single word is quoted as the concordance stores it, any other query
    // as typed; a long one by its start, so the line stays readable.
    const bool oneWord = query.kind == concordance::QueryNode::Kind::Term &&
                         query.words.size() == 1 && !query.words.first().prefix;
    const QString lookedUp = oneWord ? QString::fromUtf8(query.words.first().text) : queryText;
    QString shown = lookedUp.size() > quotedLetters
                        ? lookedUp.left(quotedLetters - 1) + QChar(0x2026)
                        : lookedUp;
    // A phrase brings its own quotes; anything else is quoted here.
    const bool quoted =
        shown.size() > 1 && shown.startsWith(QLatin1Char('"')) && shown.endsWith(QLatin1Char('"'));
    if (!quoted)
        shown = QLatin1Char('"') + shown + QLatin1Char('"');
    if (result.matches.empty())
        answerText = tr("%1 does not occur in %2.").arg(shown, currentText);
    else if (result.occurrences() == 0)
        answerText =
            tr("%1: %2.").arg(shown, plural(result.verseCount(), tr("verse"), tr("verses")));
    else
        answerText =
            tr("%1: %2 in %3.")
                .arg(shown, plural(result.occurrences(), tr("occurrence"), tr("occurrences")),
                     plural(result.verseCount(), tr("verse"), tr("verses")));
    showBook(0);
    rememberWord(oneWord ? lookedUp : queryText);
    showVerse();
}

void TF_Browser::showBook(int book) {
    wordsRow = -1;
    C_Books->chooseBook(book);
    shownHits.clear();
    if (book == 0) {
        shownHits = answerHits;
    } else {
        for (const browser::VerseHit& hit : std::as_const(answerHits))
            if (concordance::bookOf(hit.verseKey) == book)
                shownHits.append(hit);
    }
    verses->setVerses(shownHits, T_Verses, textRules.words);
    // Each list opens at its first verse, wherever the last one was left.
    LV_Verses->scrollToTop();
    QString text = answerText;
    if (book != 0) {
        qint64 occurrences = 0;
        for (const browser::VerseHit& hit : std::as_const(shownHits))
            occurrences += hit.positions.size();
        text +=
            QLatin1Char(' ') + tr("%1: %2 in %3 (click it again for every book).")
                                   .arg(concordance::bookName(book),
                                        plural(occurrences, tr("occurrence"), tr("occurrences")),
                                        plural(shownHits.size(), tr("verse"), tr("verses")));
    }
    showStatus(text);
}

bool TF_Browser::goTo(const QString& reference) {
    if (!textOpen() || reference.trimmed().isEmpty())
        return false;
    qint32 key = 0;
    try {
        const concordance::VerseRange range = concordance::VerseRange::parse(reference);
        const qint32 first = range.keySpans().front().first;
        // A book or a chapter opens at its first verse.
        key = concordance::verseKey(concordance::bookOf(first),
                                    std::max(concordance::chapterOf(first), 1),
                                    std::max(concordance::verseOf(first), 1));
    } catch (const concordance::RangeError& e) {
        showStatus(tr("Go to: %1.").arg(e.message()));
        return false;
    }
    T_Bible->SetKey();
    T_Bible->Fields(0).setAsInteger(key);
    if (!T_Bible->GotoKey()) {
        showStatus(tr("%1 is not in the verse table of %2.")
                       .arg(concordance::verseReference(key), currentText));
        return false;
    }
    return true;
}

QString TF_Browser::exportText(concordance::RowFormat format) const {
    QStringList lines{
        concordance::tableRow(format, {QStringLiteral("reference"), QStringLiteral("verse"),
                                       QStringLiteral("positions"), QStringLiteral("text")})};
    for (int row = 0; row < verses->rowCount(); ++row) {
        const QModelIndex index = verses->index(row);
        QStringList positions;
        for (const int p : shownHits.at(row).positions)
            positions << QString::number(p);
        lines << concordance::tableRow(format, {index.data(TVerseList::ReferenceRole).toString(),
                                                QString::number(verses->verseKey(row)),
                                                positions.join(QLatin1Char(' ')),
                                                index.data(TVerseList::TextRole).toString()});
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool TF_Browser::exportTo(const QString& path) {
    const concordance::RowFormat format = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
                                              ? concordance::RowFormat::Csv
                                              : concordance::RowFormat::Tsv;
    QSaveFile file(path);
    const QByteArray bytes = exportText(format).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString text = tr("The verses could not be saved in %1: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString());
        showStatus(text);
        platform::messageBox(QString::fromLatin1(browserTitle), text);
        return false;
    }
    showStatus(tr("%1 saved in %2.")
                   .arg(plural(verses->rowCount(), tr("verse"), tr("verses")),
                        QDir::toNativeSeparators(path)));
    return true;
}

void TF_Browser::copyToClipboard() {
    QGuiApplication::clipboard()->setText(exportText(concordance::RowFormat::Tsv));
    showStatus(tr("%1 copied to the clipboard.")
                   .arg(plural(verses->rowCount(), tr("verse"), tr("verses"))));
}

void TF_Browser::fillCompletion() {
    QStringList words;
    try {
        const concordance::QueryEngine engine(textFolder(currentText));
        words.reserve(qsizetype(engine.words().size()));
        for (const QByteArray& word : engine.words())
            words << QString::fromUtf8(word);
    } catch (const std::exception&) {
        // Without the words the field simply offers none; a look-up says why.
    }
    if (auto* model = qobject_cast<QStringListModel*>(CB_Word->completer()->model()))
        model->setStringList(words);
}

void TF_Browser::rememberWord(const QString& word) {
    for (int i = CB_Word->count() - 1; i >= 0; --i) {
        if (CB_Word->itemText(i) == word)
            CB_Word->removeItem(i);
    }
    CB_Word->insertItem(0, word);
    CB_Word->setEditText(word);
    TIni_t ini(this, iniName);
    ini.save(CB_Word, wordsSection, wordPrefix, historySize);
}

void TF_Browser::chooseVerse(int row) {
    const qint32 key = verses->verseKey(row);
    if (key == 0 || !textOpen())
        return;
    T_Bible->SetKey();
    T_Bible->Fields(0).setAsInteger(key);
    if (!T_Bible->GotoKey())
        showStatus(tr("%1 is not in the verse table of %2.")
                       .arg(concordance::verseReference(key), currentText));
}

bool TF_Browser::event(QEvent* e) {
    // Back in the window after a build: open the text that could not be
    // opened before.
    if (e->type() == QEvent::WindowActivate && !currentText.isEmpty() && !textOpen()) {
        platform::reportExceptions([&] {
            fillTextList();
            openText(currentText, true);
        });
    }
    return QWidget::event(e);
}
