#include "builder/Rebuild.h"

#include "builder/Html.h"
#include "package/Ini_t.h"
#include "package/Placement.h"
#include "platform/core/process.h"
#include "platform/core/userfolders.h"
#include "platform/gui/messages.h"
#include "platform/gui/picture.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>

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

} // namespace

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
    : QDialog(owner), pipeline(new BuildPipeline(this)), T_TempWord(pipeline->T_TempWord),
      T_Word(pipeline->T_Word), T_Bible(pipeline->T_Bible), T_Freq(pipeline->T_Freq),
      T_Key(pipeline->T_Key), dataPath(pipeline->dataPath), bibleName(pipeline->bibleName),
      wordSize(pipeline->wordSize), remembersPlace(place == WindowPlace::Remembered) {
    createComponents();
    pipeline->setStageReport(this);
    pipeline->setView(this);
    connect(pipeline, &BuildPipeline::textChanged, this,
            [this](const QString& what, const QString& text) { showPipelineText(what, text); });
    connect(pipeline, &BuildPipeline::stageStarted, this, &TRebuildDlg::stageStarted);
    connect(pipeline, &BuildPipeline::progressChanged, this, &TRebuildDlg::setProgress);

    const QString folder = platform::programFolder();
    helpPath = folder + QStringLiteral("help/");

    L_Bible->showText(bibleName + QStringLiteral(" Bible"));
    L_Start->clear();
    L_Finish->clear();
    setAction(QStringLiteral("Create ") + bibleName + QStringLiteral(" database?"));
    setCaption(bibleName + QStringLiteral(" Bible"));
    showStatus(QStringLiteral("Rebuild?"));

    Image->resize(pictureWidth, pictureHeight);
    loadPicture(folder + QStringLiteral("Bible left.bmp"));

    iniName = platform::settingsFolder() + QStringLiteral("Lumavo.data");
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
    pipeline->setStageReport(report ? report : this);
}

BuildText TRebuildDlg::buildText() const {
    return pipeline->buildText();
}

void TRebuildDlg::setWordSize() {
    pipeline->setWordSize();
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

void TRebuildDlg::showPipelineText(const QString& what, const QString& text) {
    if (what == QLatin1String("caption"))
        setCaption(text);
    else if (what == QLatin1String("action"))
        setAction(text, pipeline->actionPath());
    else if (what == QLatin1String("status"))
        showStatus(text);
    else if (what == QLatin1String("start"))
        setLabelText(L_Start, what, text);
    else if (what == QLatin1String("finish"))
        setLabelText(L_Finish, what, text);
}

// Builds the text's concordance database; the dialog that builds is the
// program's one dialog.
void TRebuildDlg::B_BuildClick(QObject* /*sender*/) {
    // The stages let the window process its events; a press arriving then is
    // not a second build, and a text is built at most once per run.
    if (isBuilding() || buildState() != BuildState::Ready)
        return;
    RebuildDlg = this;
    pipeline->run();
}

void TRebuildDlg::stagesStarting() {
    B_Build->setEnabled(false);
    B_Cancel->setEnabled(false);
}

// Nothing has been taken from the window since the last list began; a key
// pressed or a button clicked meanwhile waits, and it must not find Close
// enabled and the default button. It was meant for a window that was
// building, and goes.
void TRebuildDlg::stagesDone() {
    discardQueuedInput();
}

// Close is what is left to do; Build stays disabled.
void TRebuildDlg::buildCompleted() {
    B_Build->setDefault(false);
    B_Cancel->setEnabled(true);
    B_Cancel->setDefault(true);
    B_Cancel->setFocus();
}

// One help thread per request; it frees itself when done.
void TRebuildDlg::B_HelpClick(QObject* /*sender*/) {
    platform::reportExceptions([this] {
        auto* thread = new HtmlThread(true);
        thread->setFileName(helpPath + QStringLiteral("2_rebuild.html"));
        thread->start(QThread::NormalPriority);
    });
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
    if (isBuilding()) {
        event->ignore();
        showStatus(QStringLiteral("Please wait until the build has finished"));
        return;
    }
    event->accept();
}
