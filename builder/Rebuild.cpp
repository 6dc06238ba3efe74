#include "builder/Rebuild.h"

#include "builder/Html.h"
#include "builder/Oddsandsods.h"
#include "builder/Wordlists.h"
#include "builder/Wordtables.h"
#include "concordance/tablelayouts.h"
#include "concordance/textfolder.h"
#include "package/Ini_t.h"
#include "package/Placement.h"
#include "platform/core/errors.h"
#include "platform/core/localeformats.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "platform/gui/messages.h"
#include "platform/gui/picture.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QTime>
#include <memory>

TRebuildDlg* RebuildDlg = nullptr;

namespace {

// The dialog's size at construction, its smallest size and the size it is
// centred with on a first run.
constexpr int designWidth = 420;
constexpr int designHeight = 301;
constexpr int smallestWidth = 420;
constexpr int smallestHeight = 300;

constexpr int pictureWidth = 134;
constexpr int pictureHeight = 115;

// The bottom strip: its height, and the progress bar and status bar docked to
// its bottom edge, the status bar lowest.
constexpr int bottomHeight = 84;
constexpr int progressHeight = 16;
constexpr int statusHeight = 21;

struct WordSize {
    const char* name;
    int size;
};

// Widest word of each text we know; every other text gets the default.
constexpr WordSize wordSizes[] = {
    {"ASV", 21},   {"KJV", 18},   {"WEB", 19},     {"BASIC", 28},
    {"DARBY", 22}, {"DOUAY", 19}, {"WEBSTER", 22}, {"YOUNG", 22},
};
constexpr int defaultWordSize = 30;

TFittingLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, int width,
                         int fontPixels) {
    auto* label = new TFittingLabel(text, parent);
    QFont font = parent->font();
    font.setPixelSize(fontPixels);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(left, top, width, 20);
    label->setFixedSize(width, 20);
    return label;
}

// Enter presses the default button alone: a button does not become the
// default by taking the focus, so while Build is disabled during a build
// Enter does nothing (it must not press Help, which has the focus then).
QPushButton* makeButton(QWidget* parent, const QString& caption, int left) {
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    button->setGeometry(left, 11, 92, 30);
    return button;
}

// openTable reports a table that it could not create or empty and returns with
// the table closed, or open but still holding its rows. A build on such a table
// would fail in a later stage and still end in "Build complete", so the table
// is opened for the build alone here, as openTable would have done: a table
// that another program holds raises "File is locked", and one that is missing
// or not empty raises an error of its own.
void requireOpenAndEmpty(TTable* table) {
    if (!table->Active() || !table->Exclusive()) {
        if (!table->Exists())
            throw EDatabaseError(
                QStringLiteral("The table %1 could not be created.").arg(table->fileName()));
        table->setActive(false);
        table->setExclusive(true);
        table->setActive(true);
    }
    if (table->RecordCount() != 0)
        throw EDatabaseError(
            QStringLiteral("The table %1 could not be emptied.").arg(table->fileName()));
}

} // namespace

QString elapsedText(qint64 ms) {
    // The clock is monotonic, so this cannot be negative; a build of a day or
    // more still shows all of it in minutes.
    ms = qMax<qint64>(ms, 0);
    const qint64 minutes = ms / 60000;
    const qint64 seconds = ms / 1000 % 60;
    const qint64 millis = ms % 1000;
    return QStringLiteral("Elapsed time %1 min %2.%3 seconds")
        .arg(minutes)
        .arg(seconds)
        .arg(millis, 3, 10, QLatin1Char('0'));
}

// One run of B_BuildClick. However the run ends, the dialog is no longer
// building afterwards; a run that leaves while the stages are under way (an
// error escaped a stage) leaves the dialog stopped, Build and Close disabled.
class TRebuildDlg::BuildRun {
public:
    explicit BuildRun(TRebuildDlg& owner) : dialog(owner) {
        dialog.building = true;
        dialog.stopText.clear();
    }
    ~BuildRun() {
        dialog.building = false;
        if (dialog.state != BuildState::Building)
            return;
        dialog.state = BuildState::Stopped;
        // The scratch table stays for the next build to remove; the rows of
        // the stopped build are of no use to anybody and are not written.
        try {
            dialog.T_TempWord->CloseDiscarding();
        } catch (const std::exception&) {
            // It is closed all the same.
        }
    }
    BuildRun(const BuildRun&) = delete;
    BuildRun& operator=(const BuildRun&) = delete;

private:
    TRebuildDlg& dialog;
};

// --- labels ------------------------------------------------------------------

void TFittingLabel::showText(const QString& text, const QString& path) {
    pathPart = text.endsWith(path) ? path : QString();
    setToolTip(pathPart);
    setText(text);
}

QString TFittingLabel::shownText(QFont* shownFont) const {
    const int room = contentsRect().width();
    QFont shown = font();
    QString drawn = text();
    if (!pathPart.isEmpty()) {
        const QFontMetrics metrics(shown);
        if (metrics.horizontalAdvance(drawn) > room) {
            const QString lead = drawn.chopped(pathPart.size());
            drawn = lead + metrics.elidedText(pathPart, Qt::ElideMiddle,
                                              std::max(0, room - metrics.horizontalAdvance(lead)));
        }
    } else {
        while (shown.pixelSize() > 8 && QFontMetrics(shown).horizontalAdvance(drawn) > room)
            shown.setPixelSize(shown.pixelSize() - 1);
    }
    if (shownFont)
        *shownFont = shown;
    return drawn;
}

void TFittingLabel::paintEvent(QPaintEvent* /*event*/) {
    QFont shown;
    const QString drawn = shownText(&shown);
    QPainter painter(this);
    painter.setFont(shown);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), drawn);
}

// --- status bar --------------------------------------------------------------

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent), panel(new QLabel(this)) {
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(false);
    panel->setAlignment(Qt::AlignCenter);
    addWidget(panel, 1);
}

void TStatusBar::setPanelText(const QString& text) {
    panel->setText(text);
    emit panelTextChanged(text);
}

QString TStatusBar::panelText() const {
    return panel->text();
}

// --- dialog ------------------------------------------------------------------

TRebuildDlg::TRebuildDlg(QWidget* owner, WindowPlace place)
    : QDialog(owner), remembersPlace(place == WindowPlace::Remembered) {
    createComponents();

    const QString folder = platform::programFolder();
    readCommandLine(folder);
    helpPath = folder + QStringLiteral("help/");

    L_Bible->showText(bibleName + QStringLiteral(" Bible"));
    L_Start->clear();
    L_Finish->clear();
    setAction(QStringLiteral("Create ") + bibleName + QStringLiteral(" database?"));
    setCaption(bibleName + QStringLiteral(" Bible"));
    showStatus(QStringLiteral("Rebuild?"));
    setWordSize();

    Image->resize(pictureWidth, pictureHeight);
    loadPicture(folder + QStringLiteral("Bible left.bmp"));

    iniName = folder + QStringLiteral("Lumavo.data");
    placeWindow();

    dockBottom();
    FormResize(this);
}

TRebuildDlg::~TRebuildDlg() {
    if (RebuildDlg == this)
        RebuildDlg = nullptr;
    if (!remembersPlace)
        return;
    try {
        TIni_t ini(this, iniName);
        ini.savePosition(this);
    } catch (const std::exception& e) {
        // A destructor must not throw; the position is simply not remembered.
        platform::showException(e);
    }
}

// The form as designed: every component with its design text and bounds.
void TRebuildDlg::createComponents() {
    setObjectName(QStringLiteral("RebuildDlg"));
    // The program's main window: a normal top-level window, with its entry in
    // the task bar, that can be minimised.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Build"));
    setWindowIcon(platform::programIcon(QStringLiteral("concordance-build")));
    setSizeGripEnabled(false);
    QFont formFont = font();
    formFont.setPixelSize(13);
    setFont(formFont);

    L_Action = makeLabel(this, QStringLiteral("Action"), 35, 152, 360, 17);
    L_Action->setObjectName(QStringLiteral("L_Action"));
    L_Bible = makeLabel(this, QStringLiteral("KJV Bible"), 174, 24, 220, 17);
    L_Bible->setObjectName(QStringLiteral("L_Bible"));

    const auto makeTable = [this](const char* name) {
        auto* table = new TTable(this);
        table->setObjectName(QLatin1String(name));
        return table;
    };
    T_TempWord = makeTable("T_TempWord");
    T_Word = makeTable("T_Word");
    T_Bible = makeTable("T_Bible");
    T_Freq = makeTable("T_Freq");
    T_Key = makeTable("T_Key");

    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setGeometry(16, 16, pictureWidth, pictureHeight);
    Image->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    L_Start = makeLabel(this, QString(), 176, 64, 220, 17);
    L_Start->setObjectName(QStringLiteral("L_Start"));
    L_Finish = makeLabel(this, QString(), 176, 104, 220, 13);
    L_Finish->setObjectName(QStringLiteral("L_Finish"));

    P_Bot = new QWidget(this);
    P_Bot->setObjectName(QStringLiteral("P_Bot"));
    P_Bot->setGeometry(0, 185, 412, bottomHeight);

    B_Build = makeButton(P_Bot, QStringLiteral("OK Build"), 24);
    B_Build->setObjectName(QStringLiteral("B_Build"));
    B_Build->setDefault(true);
    B_Cancel = makeButton(P_Bot, QStringLiteral("Close"), 124);
    B_Cancel->setObjectName(QStringLiteral("B_Cancel"));
    B_Help = makeButton(P_Bot, QStringLiteral("&Help"), 222);
    B_Help->setObjectName(QStringLiteral("B_Help"));
    setTabOrder(B_Build, B_Cancel);
    setTabOrder(B_Cancel, B_Help);

    ProgressBar = new QProgressBar(P_Bot);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->setGeometry(0, 47, 412, progressHeight);

    StatusBar = new TStatusBar(P_Bot);
    StatusBar->setGeometry(0, 63, 412, statusHeight);
    StatusBar->setPanelText(QStringLiteral("Rebuild"));
    // Every status text, the stages' own included, is one the user sees change.
    connect(StatusBar, &TStatusBar::panelTextChanged, this,
            [this](const QString& text) { emit textChanged(QStringLiteral("status"), text); });

    connect(B_Help, &QPushButton::clicked, this, [this] { B_HelpClick(B_Help); });
    connect(B_Build, &QPushButton::clicked, this, [this] { B_BuildClick(B_Build); });
    connect(B_Cancel, &QPushButton::clicked, this, [this] { B_CancelClick(B_Cancel); });

    // Every key goes past FormKeyDown first, whichever control has the focus.
    installEventFilter(this);
    const auto children = findChildren<QWidget*>();
    for (QWidget* child : children)
        child->installEventFilter(this);

    resize(designWidth, designHeight);
    setMinimumSize(smallestWidth, smallestHeight);
}

// The command line's arguments hold "Text" followed by a blank and the text's
// name. They alone are read, never the program's own path (which may well
// run through a folder such as /home/user/TextTools): everything before the
// first "Text" in them is dropped, the word up to the first blank names the
// folder of texts, and the rest of the line is the text's name. Arguments
// without "Text" name no text.
void TRebuildDlg::readCommandLine(const QString& programFolder) {
    QString line = platform::commandLineArguments(platform::rawCommandLine());
    const qsizetype word = line.indexOf(QStringLiteral("Text"), 0, Qt::CaseSensitive);
    folderWord.clear();
    bibleName.clear();
    if (word >= 0) {
        line.remove(0, word);
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        if (blank >= 0) {
            folderWord = line.left(blank);
            bibleName = line.mid(blank + 1);
        }
    }
    dataPath = programFolder + folderWord + QLatin1Char('/') + bibleName + QLatin1Char('/');
}

// Shows the picture at its natural size; the colour of its bottom-left pixel
// is see-through.
void TRebuildDlg::loadPicture(const QString& fileName) {
    Image->setPixmap(platform::loadTransparentPicture(fileName));
}

void TRebuildDlg::placeWindow() {
    if (!remembersPlace)
        return;
    TIni_t ini(this, iniName);
    ::placeWindow(ini, this, smallestWidth, smallestHeight);
}

void TRebuildDlg::showStatus(const QString& text) {
    StatusBar->setPanelText(text);
}

void TRebuildDlg::setProgress(int position) {
    ProgressBar->setValue(position);
}

void TRebuildDlg::processEvents() {
    QCoreApplication::processEvents();
}

void TRebuildDlg::setStageReport(StageReport* report) {
    stageReport = report;
}

BuildText TRebuildDlg::buildText() const {
    return BuildText{dataPath, bibleName, wordSize, T_Word, T_Key, T_Freq};
}

void TRebuildDlg::setCaption(const QString& text) {
    setWindowTitle(text);
    emit textChanged(QStringLiteral("caption"), text);
}

void TRebuildDlg::setAction(const QString& text, const QString& path) {
    setLabelText(L_Action, QStringLiteral("action"), text, path);
}

void TRebuildDlg::setLabelText(TFittingLabel* label, const QString& what, const QString& text,
                               const QString& path) {
    label->showText(text, path);
    emit textChanged(what, text);
}

QString TRebuildDlg::textNameProblem() const {
    if (folderWord.isEmpty() || bibleName.isEmpty())
        return QStringLiteral("No text is named: start Build with the word Text and the text's "
                              "name, for example Build Text KJV");
    if (!concordance::isFolderName(folderWord))
        return QStringLiteral("\"%1\" cannot name the folder of texts: it must be one folder "
                              "name, without \"/\"")
            .arg(folderWord);
    if (!concordance::isFolderName(bibleName))
        return QStringLiteral("\"%1\" is not the name of a text: a text's name is one folder "
                              "name, without \"/\" and other than \".\" and \"..\"")
            .arg(bibleName);
    return QString();
}

void TRebuildDlg::setWordSize() {
    wordSize = defaultWordSize;
    for (const WordSize& entry : wordSizes) {
        if (bibleName.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            wordSize = entry.size;
            return;
        }
    }
}

// One help thread per request; it frees itself when done.
void TRebuildDlg::B_HelpClick(QObject* /*sender*/) {
    platform::reportExceptions([this] {
        auto* thread = new HtmlThread(true);
        thread->setFileName(helpPath + QStringLiteral("2_rebuild.html"));
        thread->start(QThread::NormalPriority);
    });
}

// Builds the text's concordance database: opens the tables, checks for the
// verse table, then runs the stages. An error that escapes a stage ends the
// build in the application's report and leaves the dialog stopped.
void TRebuildDlg::B_BuildClick(QObject* /*sender*/) {
    // The stages let the window process its events; a press arriving then is
    // not a second build, and a text is built at most once per run.
    if (building || state != BuildState::Ready)
        return;
    platform::reportExceptions([this] { build(); });
}

void TRebuildDlg::build() {
    BuildRun run(*this);
    // The program's one dialog is the one that builds.
    RebuildDlg = this;

    // A name that is no text's name is refused before any file is touched.
    const QString problem = textNameProblem();
    if (!problem.isEmpty()) {
        setCaption(QStringLiteral(" Error!"));
        setAction(QStringLiteral("No text to build"));
        stopText = problem;
        msgBox(applicationTitle, problem);
        return;
    }

    // A text that is not there (a mistyped name, a folder never imported)
    // is told so in one message, and nothing is made for it.
    const QString versePath = dataPath + concordance::verseTable + QStringLiteral(".db");
    if (!QFileInfo(versePath).isFile()) {
        setCaption(QStringLiteral(" Error!"));
        stopText = QStringLiteral("Failed to find ") + versePath;
        setAction(stopText, versePath);
        return;
    }

    if (!openTables())
        return;
    if (!outputTablesReady())
        return;
    runStages();
}

// The verse table and the three output tables, each held for the build alone,
// the output tables created or emptied. False when one could not be opened:
// a table that another program holds shows why in a message box, and so does
// one that could not be opened for another reason. Every table that exists is
// held before any is changed, so a build that another program keeps from its
// tables changes nothing. Then the word lists go, before the tables they
// describe are emptied: whatever becomes of this build, no list of another
// build is left beside its tables. A table that could not be created or
// emptied has been reported where that happened.
bool TRebuildDlg::openTables() {
    const BuildText text = buildText();
    TTable* const tables[] = {T_Bible, T_Key, T_Freq, T_Word};
    const TTableKind kinds[] = {tkExisting, tkKey, tkFreq, tkIndexedRec};
    const QLatin1String names[] = {concordance::verseTable, concordance::keyTable,
                                   concordance::freqTable, concordance::wordTable};
    const auto opened = [&](int i, bool change) {
        try {
            if (change)
                openTable(tables[i], names[i], kinds[i], kinds[i] != tkExisting, text);
            else
                openTable(tables[i], names[i], tkExisting, false, text);
        } catch (const EDatabaseError& e) {
            stopText = e.message();
            if (e.kind() == EDatabaseError::Kind::Locked) {
                const QString inUse = bibleName + QStringLiteral(" database in use");
                setAction(inUse);
                msgBox(inUse.toUtf8().constData(),
                       QStringLiteral("The ") + bibleName +
                           QStringLiteral(" database is in use by another program\r\nIf this is "
                                          "Lumavo either change the working text or close Lumavo"));
            } else {
                msgBox("openTable",
                       e.message() + QStringLiteral("\r\n unable to open ") + names[i]);
            }
            return false;
        }
        return true;
    };
    for (int i = 0; i < 4; ++i)
        if (!opened(i, false))
            return false;
    if (!TWordList::removeLists(dataPath, bibleName)) {
        stopText = QStringLiteral("The word lists of ") + bibleName +
                   QStringLiteral(" could not be removed.");
        return false;
    }
    for (int i = 1; i < 4; ++i)
        if (!opened(i, true))
            return false;
    return true;
}

// The output tables must be there, held and empty before the stages start: a
// build on a table that could not be created or emptied would fail in a later
// stage and still end in "Build complete". Each such failure has been
// reported already.
bool TRebuildDlg::outputTablesReady() {
    try {
        requireOpenAndEmpty(T_Key);
        requireOpenAndEmpty(T_Freq);
        requireOpenAndEmpty(T_Word);
    } catch (const EDatabaseError& e) {
        stopText = e.message();
        return false;
    }
    return true;
}

void TRebuildDlg::runStages() {
    QElapsedTimer clock;
    clock.start();
    setLabelText(L_Start, QStringLiteral("start"),
                 QStringLiteral("Start time ") +
                     QLocale().toString(QTime::currentTime(), platform::longTimeFormat()));
    setCaption(QStringLiteral(" Building"));
    setAction(QStringLiteral("Database and wordlists for"));
    B_Build->setEnabled(false);
    B_Cancel->setEnabled(false);
    state = BuildState::Building;

    // Stage 1: a temporary word table of its own. One left behind by an
    // interrupted build goes first, with its rows.
    setCaption(QStringLiteral(" Building - Stage 1 of 4"));
    showStatus(QStringLiteral("Creating tempory word table"));
    emit stageStarted(1, StatusBar->panelText());
    T_TempWord->setActive(false);
    concordance::bindTable(*T_TempWord, dataPath, concordance::tempWordTable);
    deleteTable(T_TempWord);
    openTable(T_TempWord, concordance::tempWordTable, tkWord, false, buildText());
    requireOpenAndEmpty(T_TempWord);

    StageReport& report = stageReport ? *stageReport : *this;

    // Stage 2: one row per word occurrence.
    setCaption(QStringLiteral(" Building - Stage 2 of 4"));
    showStatus(QStringLiteral("Stage 1 complete"));
    setAction(QStringLiteral("Building the word index tables"));
    emit stageStarted(2, L_Action->text());
    TWordTables(report).build(T_Bible, T_TempWord);

    // Stage 3: the word, key and frequency tables.
    setCaption(QStringLiteral(" Building - Stage 3 of 4"));
    showStatus(QStringLiteral("Stage 2 complete."));
    setAction(QStringLiteral("Building frequency and lookup tables"));
    emit stageStarted(3, L_Action->text());
    TWordList lists(report, buildText());
    lists.buildTables(T_TempWord);

    // The scratch table goes first: nobody reads its rows again, and the
    // memory they take is better used for writing the finished tables.
    deleteTable(T_TempWord);
    // The finished tables go to disk now, and the lists take their names
    // after them: the tables stay open until the program ends, and a crash
    // meanwhile must not take back what "Build complete" announces.
    lists.commit();

    // Nothing has been taken from the window since the last list began; a
    // key pressed or a button clicked meanwhile waits, and it must not find
    // Close enabled and the default button. It was meant for a window that
    // was building, and goes.
    discardQueuedInput();

    setCaption(QStringLiteral(" Build complete"));
    showStatus(QStringLiteral("Stage 4 complete."));
    setAction(QStringLiteral("Build complete. You should close this dialog."));
    setLabelText(L_Finish, QStringLiteral("finish"), elapsedText(clock.elapsed()));

    // Close is what is left to do; Build stays disabled.
    B_Build->setDefault(false);
    B_Cancel->setEnabled(true);
    B_Cancel->setDefault(true);
    B_Cancel->setFocus();
    state = BuildState::Done;
}

namespace {

// Swallows what the user did with keys and buttons while it lives, and
// requests to close the window.
class InputDiscarder : public QObject {
public:
    InputDiscarder() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputDiscarder() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputDiscarder(const InputDiscarder&) = delete;
    InputDiscarder& operator=(const InputDiscarder&) = delete;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void TRebuildDlg::discardQueuedInput() {
    const InputDiscarder discarder;
    // Twice: what the window system hands over in the first round may post
    // events of its own.
    for (int round = 0; round < 2; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
}

void TRebuildDlg::B_CancelClick(QObject* /*sender*/) {
    platform::reportExceptions([this] { close(); });
}

bool TRebuildDlg::FormKeyDown(QObject* /*sender*/, int key, Qt::KeyboardModifiers /*shift*/) {
    if (key == Qt::Key_F1) {
        B_HelpClick(nullptr);
        return true;
    }
    return false;
}

// Centres the labels right of the picture and the action label across the
// window, and shares the bottom strip's width between the three buttons in
// four equal gaps. Halvings are arithmetic shifts, which round towards minus
// infinity.
void TRebuildDlg::FormResize(QObject* /*sender*/) {
    const int clientWidth = width();
    const int clientHeight = height();

    const int x0 = Image->width() + 16;
    const int labelLeft = x0 + ((clientWidth - x0 - L_Bible->width()) >> 1);
    L_Bible->move(labelLeft, L_Bible->y());
    L_Start->move(labelLeft, L_Start->y());
    L_Finish->move(labelLeft, L_Finish->y());

    L_Action->move((clientWidth - L_Action->width()) >> 1, x0 + ((clientHeight - 275) >> 1));

    const int gap = (P_Bot->width() - 3 * B_Build->width()) >> 2;
    B_Build->move(gap, B_Build->y());
    B_Cancel->move(B_Build->x() + B_Build->width() + gap, B_Cancel->y());
    B_Help->move(B_Cancel->x() + B_Cancel->width() + gap, B_Help->y());
}

// The bottom strip spans the client width along the bottom edge; inside it the
// status bar lies along the bottom and the progress bar just above it.
void TRebuildDlg::dockBottom() {
    const int clientWidth = width();
    P_Bot->setGeometry(0, height() - bottomHeight, clientWidth, bottomHeight);
    StatusBar->setGeometry(0, bottomHeight - statusHeight, clientWidth, statusHeight);
    ProgressBar->setGeometry(0, bottomHeight - statusHeight - progressHeight, clientWidth,
                             progressHeight);
}

void TRebuildDlg::reject() {
    if (B_Cancel->isEnabled())
        B_CancelClick(nullptr);
}

bool TRebuildDlg::eventFilter(QObject* watched, QEvent* event) {
    // A key goes to the focused control, or to the dialog when none has the
    // focus; it may then travel up to the dialog, where it is not seen again.
    if (event->type() == QEvent::KeyPress) {
        QWidget* target = focusWidget();
        if (watched == (target ? static_cast<QObject*>(target) : this)) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (FormKeyDown(watched, key->key(), key->modifiers()))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TRebuildDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    dockBottom();
    FormResize(this);
}

// Closing from the frame, by Close or by Esc simply closes: the dialog's own
// close handling would route it through reject() again. While a build runs,
// the stages still let the window process its events, and closing would
// destroy the dialog under the running build: the request is refused until
// the build has ended, completed or stopped.
void TRebuildDlg::closeEvent(QCloseEvent* event) {
    if (building) {
        event->ignore();
        showStatus(QStringLiteral("Please wait until the build has finished"));
        return;
    }
    event->accept();
}
