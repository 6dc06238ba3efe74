#include "tips/Tip.h"

#include "package/Ini_t.h"
#include "package/Placement.h"
#include "platform/core/errors.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "platform/core/userfolders.h"
#include "platform/gui/dbcontrols.h"
#include "platform/gui/messages.h"
#include "platform/gui/picture.h"
#include "tips/tipsource.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

TF_Tip* F_Tip = nullptr;

namespace {

// The form as designed, and the size it is centred with on a first run: large
// enough for every tip we ship to be read without scrolling (tst_tip checks).
constexpr int designWidth = 467;
constexpr int designHeight = 471;
constexpr int smallestWidth = 440;
constexpr int smallestHeight = 325;
constexpr int firstRunWidth = 560;
constexpr int firstRunHeight = 420;

constexpr int statusHeight = 19;
constexpr int leftWidth = 137;
constexpr int bottomHeight = 165;
constexpr int topHeight = 48;

// The text's distance from the view's left and right edges.
constexpr int textMargin = 8;

// The tips are the rows of class 2 from tip 1 to tip 32000.
constexpr int tipClass = 2;
constexpr int firstTip = 1;
constexpr int lastTip = 32000;

const QString section = QStringLiteral("Tip of the day");
const QString lastTipKey = QStringLiteral("Last tip shown");
const QString showKey = QStringLiteral("Show on start up");

// A panel with a raised one-pixel bevel; what it holds lies inside the bevel.
QFrame* makePanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QFont pixelFont(const QWidget* widget, int pixels, bool bold) {
    QFont font = widget->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& bounds, int fontPixels, bool bold) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(pixelFont(parent, fontPixels, bold));
    button->setGeometry(bounds);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, QPoint at) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->move(at);
    return label;
}

} // namespace

TF_Tip::TF_Tip(QWidget* owner) : QWidget(owner) {
    createComponents();
    qivPath = platform::programFolder();
    Image->setPixmap(platform::loadTransparentPicture(qivPath + QStringLiteral("Bible right.bmp")));
    Image->setFixedSize(Image->pixmap().size());
    iniName = platform::settingsFolder() + QStringLiteral("Tips.data");

    {
        TIni_t ini(this, iniName);
        placeWindow(ini, this, firstRunWidth, firstRunHeight);
        ini.changeSection(section);
        tipNo = startTip = ini.get(lastTipKey, 1);
    }

    CB_ShowTips->setChecked(true);

    try {
        openTips();
    } catch (const EDatabaseError& e) {
        // A table that opened but could not be narrowed to the tips would
        // show every row: it is closed, as a missing one is.
        T_Tip->setActive(false);
        platform::messageBox(QStringLiteral("TF_Tip::TF_Tip"),
                             e.message() + QStringLiteral(" qivPath is ") + qivPath);
    }

    // On a closed table this raises the table layer's error, which ends the
    // form's creation.
    T_Tip->setRecNo(tipNo);
    // The range may leave the cursor where it was: show the tip now.
    DS_Tip->refresh();
    FormResize(this);
}

TF_Tip::~TF_Tip() {
    if (F_Tip == this)
        F_Tip = nullptr;
    try {
        TIni_t ini(this, iniName);
        ini.savePosition(this);
        ++tipNo;
        if (tipNo > T_Tip->RecordCount())
            tipNo = 2;
        ini.changeSection(section);
        ini.save(showKey, CB_ShowTips->isChecked());
        ini.save(lastTipKey, tipNo);
    } catch (const std::exception& e) {
        // A destructor must not throw; the settings are simply not remembered.
        platform::showException(e);
    }
}

// The form as designed: every component with its design text and bounds.
// Aligned components are laid out by box layouts in the order the form
// aligns them: the status bar along the bottom, P_Left on the right, Panel1
// in the rest.
void TF_Tip::createComponents() {
    setObjectName(QStringLiteral("F_Tip"));
    setWindowTitle(QStringLiteral("Tip Of The Day"));
    setWindowIcon(platform::programIcon(QStringLiteral("concordance-tips")));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFont(pixelFont(this, 13, false));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(statusHeight);

    P_Left = makePanel(this, "P_Left");
    P_Left->setFixedWidth(leftWidth);
    P_Left->setMinimumWidth(100);
    Image = new QLabel(P_Left);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image->setFixedSize(135, 115);

    P_Bot = new QWidget(P_Left);
    P_Bot->setObjectName(QStringLiteral("P_Bot"));
    P_Bot->setFixedHeight(bottomHeight);
    CB_ShowTips = new QCheckBox(QStringLiteral("Show Tips"), P_Bot);
    CB_ShowTips->setObjectName(QStringLiteral("CB_ShowTips"));
    CB_ShowTips->setGeometry(25, 16, 85, 17);
    Label2 = makeLabel(P_Bot, "Label2", QStringLiteral("on StartUp"), {36, 41});
    Label2->adjustSize();
    B_Prior = makeButton(P_Bot, "B_Prior", QStringLiteral("<<"), {14, 73, 49, 32}, 18, true);
    B_Next = makeButton(P_Bot, "B_Next", QStringLiteral(">>"), {73, 73, 48, 32}, 18, true);
    B_Close = makeButton(P_Bot, "B_Close", QStringLiteral("Close"), {14, 118, 107, 32}, 15, false);
    // Enter presses B_Next, or the button that has the focus (keyPressEvent).
    B_Next->setDefault(true);
    B_Close->setDefault(true);

    Panel1 = makePanel(this, "Panel1");
    P_Top = makePanel(Panel1, "P_Top");
    P_Top->setFixedHeight(topHeight);
    Label1 = makeLabel(P_Top, "Label1", QStringLiteral("Did you know ..."), {25, 12});
    Label1->setFont(pixelFont(this, 20, true));
    Label1->adjustSize();

    T_Tip = new TTable(this);
    T_Tip->setObjectName(QStringLiteral("T_Tip"));
    DS_Tip = new platform::TDataSource(this);
    DS_Tip->setObjectName(QStringLiteral("DS_Tip"));
    DS_Tip->setDataSet(T_Tip);
    DBRichEdit = new platform::TDBRichEdit(Panel1);
    DBRichEdit->setObjectName(QStringLiteral("DBRichEdit"));
    DBRichEdit->setFont(pixelFont(this, 18, false));
    DBRichEdit->setDataField(QStringLiteral("Data"));
    DBRichEdit->setDataSource(DS_Tip);

    // The panels' layouts fill what lies inside their bevels.
    auto* leftLayout = new QVBoxLayout(P_Left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    leftLayout->addWidget(Image, 0, Qt::AlignLeft | Qt::AlignTop);
    leftLayout->addStretch(1);
    leftLayout->addWidget(P_Bot);

    auto* textLayout = new QVBoxLayout(Panel1);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(0);
    textLayout->addWidget(P_Top);
    textLayout->addWidget(DBRichEdit, 1);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(0);
    columns->addWidget(Panel1, 1);
    columns->addWidget(P_Left);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);
    form->addLayout(columns, 1);
    form->addWidget(StatusBar1);

    connect(B_Close, &QPushButton::clicked, this,
            [this] { platform::reportExceptions([&] { B_CloseClick(B_Close); }); });
    connect(B_Next, &QPushButton::clicked, this,
            [this] { platform::reportExceptions([&] { B_NextClick(B_Next); }); });
    connect(B_Prior, &QPushButton::clicked, this,
            [this] { platform::reportExceptions([&] { B_PriorClick(B_Prior); }); });
    P_Bot->installEventFilter(this);

    setMinimumSize(smallestWidth, smallestHeight);
    resize(designWidth, designHeight);
    B_Next->setFocus();
}

// The tips table, bound to the program's folder and narrowed to the tips.
void TF_Tip::openTips() {
    T_Tip->setActive(false);
    T_Tip->setDatabaseName(qivPath);
    T_Tip->setTableType(ttParadox);
    T_Tip->setTableName(tipsTable);
    T_Tip->setActive(true);
    T_Tip->EditRangeStart();
    T_Tip->FieldByName(QStringLiteral("Class")).setAsInteger(tipClass);
    T_Tip->FieldByName(QStringLiteral("Tip")).setAsInteger(firstTip);
    T_Tip->FieldByName(QStringLiteral("Cat")).setAsString(QStringLiteral("AA"));
    T_Tip->EditRangeEnd();
    T_Tip->FieldByName(QStringLiteral("Class")).setAsInteger(tipClass);
    T_Tip->FieldByName(QStringLiteral("Tip")).setAsInteger(lastTip);
    T_Tip->FieldByName(QStringLiteral("Cat")).setAsString(QStringLiteral("zz"));
    T_Tip->ApplyRange();
}

void TF_Tip::B_CloseClick(QObject* /*sender*/) {
    close();
}

// Tip 1 takes part in the stepping only in a run that started at tip 1.
void TF_Tip::B_NextClick(QObject* /*sender*/) {
    ++tipNo;
    if (tipNo > T_Tip->RecordCount())
        tipNo = startTip == 1 ? 1 : 2;
    T_Tip->setRecNo(tipNo);
}

void TF_Tip::B_PriorClick(QObject* /*sender*/) {
    --tipNo;
    const int lowest = startTip == 1 ? 1 : 2;
    if (tipNo < lowest)
        tipNo = T_Tip->RecordCount();
    T_Tip->setRecNo(tipNo);
}

void TF_Tip::FormResize(QObject* /*sender*/) {
    P_Left->setFixedWidth(Image->width() + 2);
    const QSize client = DBRichEdit->viewport()->size();
    DBRichEdit->setFormatRect(
        QRect(textMargin, 0, client.width() - 2 * textMargin, client.height()));
}

// Each halving is an arithmetic shift: the floor of half a negative width.
void TF_Tip::P_BotResize(QObject* /*sender*/) {
    const int width = P_Bot->width();
    CB_ShowTips->move((width - CB_ShowTips->width()) >> 1, CB_ShowTips->y());
    Label2->move((width - Label2->width()) >> 1, Label2->y());
    const int x = (width - B_Close->width()) >> 1;
    B_Prior->move(x, B_Prior->y());
    B_Close->move(x, B_Close->y());
    B_Next->move(B_Prior->x() + B_Prior->width() + B_Close->width() - 2 * B_Next->width(),
                 B_Next->y());
}

bool TF_Tip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == P_Bot && event->type() == QEvent::Resize)
        P_BotResize(P_Bot);
    return QWidget::eventFilter(watched, event);
}

// Enter and Return press the focused button, or else the first default
// button, B_Next; Esc presses Close.
void TF_Tip::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        (focused ? focused : B_Next)->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        B_Close->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TF_Tip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize(this);
}
