#pragma once
// The build dialog: names the Bible text given on the command line, offers to
// build its concordance database, and runs the build's pipeline. It owns the
// text's tables, folder and word width, and hands the stages what they need of
// them (BuildText) and a place to report (StageReport, its status bar and
// progress bar).

#include "builder/Stage.h"

#include <QDialog>
#include <QStatusBar>
#include <QString>
#include <QtGlobal>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;
class TTable;

// The elapsed-time text of a build that took `ms` milliseconds, for example
// "Elapsed time 65 min 9.042 seconds": whole minutes, then seconds and three
// digits of milliseconds.
QString elapsedText(qint64 ms);

// The dialog's status bar: one panel with centred text and no size grip.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent);

    void setPanelText(const QString& text);
    QString panelText() const;

signals:
    void panelTextChanged(const QString& text);

private:
    QLabel* panel;
};

class TRebuildDlg : public QDialog, public StageReport {
    Q_OBJECT
public:
    // Ready: Build may be pressed (also after a stop at the table stage or
    // at the verse-table check). Building: the stages run. Done: the build
    // completed. Stopped: an error escaped a stage; Build and Close stay
    // disabled, the frame still closes the window.
    enum class BuildState { Ready, Building, Done, Stopped };

    explicit TRebuildDlg(QWidget* owner = nullptr);
    ~TRebuildDlg() override;

    // Components, in declaration order.
    QLabel* L_Action = nullptr;
    QLabel* L_Bible = nullptr;
    // The tables of the build, bound to the text's folder by openTable.
    TTable* T_TempWord = nullptr;
    TTable* T_Word = nullptr;
    TTable* T_Bible = nullptr;
    TTable* T_Freq = nullptr;
    TTable* T_Key = nullptr;
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

    // The stages' report: the status bar's panel (the text shows at the next
    // repaint), the progress bar, and the application's event processing.
    void showStatus(const QString& text) override;
    void setProgress(int position) override;
    void processEvents() override;
    // Where the stages report instead of the dialog (the batch mode's output);
    // null for the dialog itself. Not owned.
    void setStageReport(StageReport* report);
    // The text as the table operations and the stages see it.
    BuildText buildText() const;
    // Set the form's caption and the action label.
    void setCaption(const QString& text);
    void setAction(const QString& text);
    // Sets wordSize from bibleName (compared without regard to case).
    void setWordSize();

    BuildState buildState() const { return state; }
    // True while B_BuildClick runs.
    bool isBuilding() const { return building; }
    // Why the last press of Build ended before the stages: the table layer's
    // message or the dialog's error text. Empty after a press that reached
    // the stages.
    const QString& stopReason() const { return stopText; }

signals:
    // A text the user sees has changed. `what` names it: "caption",
    // "action", "status", "start" or "finish" (L_Start, L_Finish).
    void textChanged(const QString& what, const QString& text);
    // A stage of the build has begun (1 to 3; the caption says "Stage N of
    // 4"): `what` is the dialog's text of it. Reports without the dialog
    // show their stage lines from it.
    void stageStarted(int stage, const QString& what);

public slots:
    // Handlers; the sender is ignored and may be null. No exception leaves
    // them: one that escapes the build is shown in the application's report
    // and leaves the dialog stopped.
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
    // Refused while a build runs; the status line says why.
    void closeEvent(QCloseEvent* event) override;

private:
    // Marks one run of B_BuildClick, however it ends.
    class BuildRun;

    void createComponents();
    void setLabelText(QLabel* label, const QString& what, const QString& text);
    void build();
    bool openTables();
    void runStages();
    void readCommandLine(const QString& programFolder);
    void loadPicture(const QString& fileName);
    void placeWindow();
    void dockBottom();

    BuildState state = BuildState::Ready;
    bool building = false;
    QString stopText;
    StageReport* stageReport = nullptr;
};

// The one build dialog, created by the program's entry point.
extern TRebuildDlg* RebuildDlg;
