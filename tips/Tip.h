#pragma once
// The tip-of-the-day window: one tip at a time from the tips table "Texts" in
// the program's folder, stepped forwards and backwards with wrap-around. It
// remembers in "Tips.data" which tip to show next, whether tips are wanted at
// start-up and where the window was.

#include <QString>
#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;
class TTable;

namespace platform {
class TDataSource;
class TDBRichEdit;
} // namespace platform

// The application's title, which a second copy changes to its own.
inline constexpr char applicationTitle[] = "Tips";
inline constexpr char secondCopyTitle[] = "Tips2";
// The single-instance marker, one per user.
inline constexpr char instanceMarker[] = "ZavuzeRidOvu";

class TF_Tip : public QWidget {
    Q_OBJECT
public:
    // Reads the settings, opens the tips table and shows the saved tip.
    // Raises EFOpenError when the picture cannot be loaded, and the table
    // layer's error when the tips table could not be opened (after the
    // message "TF_Tip::TF_Tip").
    explicit TF_Tip(QWidget* owner = nullptr);
    // Saves the window's place, the box's state and the next tip to show.
    ~TF_Tip() override;

    // Components, in the form's order.
    QStatusBar* StatusBar1 = nullptr;
    QFrame* P_Left = nullptr;
    QLabel* Image = nullptr;
    QWidget* P_Bot = nullptr;
    QCheckBox* CB_ShowTips = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* B_Prior = nullptr;
    QPushButton* B_Next = nullptr;
    QPushButton* B_Close = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* P_Top = nullptr;
    QLabel* Label1 = nullptr;
    platform::TDBRichEdit* DBRichEdit = nullptr;
    platform::TDataSource* DS_Tip = nullptr;
    TTable* T_Tip = nullptr;

    // The record number (within the tips) of the tip on show, and the one
    // the run started with.
    int tipNumber() const { return tipNo; }
    int startTipNumber() const { return startTip; }
    const QString& programPath() const { return qivPath; }
    const QString& settingsFile() const { return iniName; }

public slots:
    // Handlers; the sender is ignored and may be null.
    void B_CloseClick(QObject* sender);
    void B_NextClick(QObject* sender);
    void B_PriorClick(QObject* sender);
    // Keeps P_Left two pixels wider than the picture and the tip's text
    // 8 pixels from the view's left and right edges.
    void FormResize(QObject* sender);
    // Centres the box, its label and the buttons in P_Bot.
    void P_BotResize(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createComponents();
    void openTips();

    int tipNo = 1;
    int startTip = 1;
    QString qivPath;
    QString iniName;
};

// The one tip window, created by the program's entry point.
extern TF_Tip* F_Tip;
