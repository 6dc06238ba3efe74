#pragma once
// The build dialog: names the Bible text given on the command line, offers to
// build its concordance database, and owns what the rest of the program shares
// (the text's folder, the width of its word field, the progress bar and the
// status bar).

#include <QDialog>
#include <QStatusBar>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

// The application's title: the caption of the program's own message boxes.
inline constexpr char applicationTitle[] = "Build";

// The dialog's status bar: one panel with centred text and no size grip.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent);

    void setPanelText(const QString& text);
    QString panelText() const;

private:
    QLabel* panel;
};

class TRebuildDlg : public QDialog {
    Q_OBJECT
public:
    explicit TRebuildDlg(QWidget* owner = nullptr);
    ~TRebuildDlg() override;

    // Components, in declaration order.
    QLabel* L_Action = nullptr;
    QLabel* L_Bible = nullptr;
    // The five table components (T_TempWord, T_Word, T_Bible, T_Freq, T_Key)
    // belong here; they arrive with the table layer.
    QLabel* Image = nullptr;
    QLabel* L_Start = nullptr;
    QLabel* L_Finish = nullptr;
    QWidget* P_Bot = nullptr;
    QPushButton* B_Build = nullptr;
    QPushButton* B_Cancel = nullptr;
    QPushButton* B_Help = nullptr;
    QProgressBar* ProgressBar = nullptr;
    TStatusBar* StatusBar = nullptr;

    // Settings file, help folder and the text's database folder; the folders
    // end in "/".
    QString iniName;
    QString helpPath;
    QString dataPath;
    // The text's name as given on the command line, and the width in
    // characters of the word field of its word and key tables.
    QString bibleName;
    int wordSize = 0;

    // Sets the text of the status bar's panel; it shows at the next repaint.
    void showStatus(const QString& text);
    // Sets wordSize from bibleName (compared without regard to case).
    void setWordSize();

public slots:
    // Handlers; the sender is ignored and may be null.
    void B_HelpClick(QObject* sender);
    void B_BuildClick(QObject* sender);
    void B_CancelClick(QObject* sender);

public:
    // Sees every key pressed in the dialog before the focused control does.
    // Returns true when it has taken the key (F1), which the control then
    // never sees.
    bool FormKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift);
    // Lays the labels and buttons out again for the present client size.
    void FormResize(QObject* sender);

    // Esc: the cancel button's action, as long as that button is enabled.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createComponents();
    void readCommandLine(const QString& programFolder);
    void loadPicture(const QString& fileName);
    void placeWindow();
    void dockBottom();
};

// The one build dialog, created by the program's entry point.
extern TRebuildDlg* RebuildDlg;
