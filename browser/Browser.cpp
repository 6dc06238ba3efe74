#include "browser/Browser.h"

#include "browser/Verselist.h"
#include "concordance/books.h"
#include "concordance/numberformat.h"
#include "concordance/tablelayouts.h"
#include "concordance/textfolder.h"
#include "package/Ini_t.h"
#include "package/Locuspanel.h"
#include "package/Navpanel66.h"
#include "package/Placement.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "platform/gui/messages.h"
#include "platform/gui/picture.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

using browser::LookupResult;
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

QString plural(int n, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(concordance::formatNumber(n), n == 1 ? one : many);
}

} // namespace

TF_Browser::TF_Browser(const QString& textName, QWidget* owner) : QWidget(owner) {
    const QString folder = platform::programFolder();
    iniName = folder + QStringLiteral("Browser.data");
    textsPath = folder + QStringLiteral("Text/");
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
        return;
    }
    if (openText(name) && name == lastText && lastVerse != 0) {
        T_Bible->SetKey();
        T_Bible->Fields(0).setAsInteger(lastVerse);
        T_Bible->GotoKey();
    }
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
    verses = new TVerseList(this);
    LV_Verses = new QListView(lookupPane);
    LV_Verses->setObjectName(QStringLiteral("LV_Verses"));
    LV_Verses->setModel(verses);
    LV_Verses->setItemDelegate(new TVerseDelegate(LV_Verses));
    LV_Verses->setUniformItemSizes(true);
    LV_Verses->setSelectionMode(QAbstractItemView::SingleSelection);
    LV_Verses->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* wordRow = new QHBoxLayout;
    wordRow->addWidget(wordLabel);
    wordRow->addWidget(CB_Word, 1);
    wordRow->addWidget(B_Lookup);
    auto* lookupLayout = new QVBoxLayout(lookupPane);
    lookupLayout->setContentsMargins(0, 6, 0, 0);
    lookupLayout->addLayout(wordRow);
    lookupLayout->addWidget(L_Count);
    lookupLayout->addWidget(LV_Verses, 1);

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
    connect(T_Bible, &TTable::scrolled, this,
            [this] { platform::reportExceptions([&] { showVerse(); }); });
    connect(LV_Verses->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                platform::reportExceptions([&] { chooseVerse(current.row()); });
            });
    setTabOrder(CB_Word, B_Lookup);
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
    result = LookupResult();
    marksByVerse.clear();
    showVerse();
    setTextControlsEnabled(false);
}

void TF_Browser::setTextControlsEnabled(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{CB_Word, B_Lookup, P_Nav, SB_Verse, LV_Verses})
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
    setTextControlsEnabled(true);
    P_Nav->setTable(T_Bible);
    showVerse();
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
    const QString text = T_Bible->Fields(1).AsString();
    L_Reference->setText(concordance::verseReference(key));
    L_Verse->setText(markedText(text, browser::wordSpansAt(text, marksByVerse.value(key))));
}

void TF_Browser::showStatus(const QString& text) {
    L_Count->setText(text);
}

void TF_Browser::lookUp(const QString& typed) {
    if (!textOpen())
        return;
    int words = 0;
    const QByteArray word = browser::concordanceWord(typed, &words);
    if (word.isEmpty()) {
        showStatus(tr("Type a word to look it up."));
        return;
    }
    try {
        result = browser::lookUp(textFolder(currentText), word);
    } catch (const EDatabaseError& e) {
        result = LookupResult();
        marksByVerse.clear();
        verses->clear();
        showVerse();
        const QString text =
            e.kind() == EDatabaseError::Kind::Locked
                ? tr("The concordance of %1 is in use by another program, most likely a build "
                     "of it. Look the word up again when Build has completed.")
                      .arg(currentText)
                : tr("The concordance of %1 cannot be read: %2").arg(currentText, e.message());
        showStatus(text);
        platform::messageBox(QString::fromLatin1(browserTitle), text);
        return;
    }
    marksByVerse.clear();
    for (const browser::VerseHit& hit : result.verses)
        marksByVerse.insert(hit.verseKey, hit.positions);
    verses->setVerses(result.verses, T_Verses);
    // Each look-up opens at its first verse, wherever the last one was left.
    LV_Verses->scrollToTop();

    const QString lookedUp = QString::fromUtf8(word);
    // The status line quotes a long word by its start: the line stays readable
    // and never needs the window's whole width.
    const QString shown = lookedUp.size() > quotedLetters
                              ? lookedUp.left(quotedLetters - 1) + QChar(0x2026)
                              : lookedUp;
    QString text;
    switch (result.status) {
    case LookupResult::Found:
        text = tr("\"%1\": %2 in %3.")
                   .arg(shown, plural(result.occurrences, tr("occurrence"), tr("occurrences")),
                        plural(static_cast<int>(result.verses.size()), tr("verse"), tr("verses")));
        if (!result.consistent)
            text += QLatin1Char(' ') +
                    tr("The concordance tables disagree (%1 in the word table): build %2 again.")
                        .arg(plural(result.occurrenceRows, tr("occurrence"), tr("occurrences")),
                             currentText);
        break;
    case LookupResult::NotInText:
        text = tr("\"%1\" does not occur in %2.").arg(shown, currentText);
        break;
    case LookupResult::NotBuilt:
        text = stateText(TextState::NotBuilt, currentText);
        break;
    }
    if (words > 1)
        text += QLatin1Char(' ') + tr("(One word at a time: the first word of what you typed.)");
    showStatus(text);
    rememberWord(lookedUp);
    showVerse();
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
