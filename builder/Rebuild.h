#pragma once
// The build dialog: names the Bible text given on the command line, offers to
// build its concordance database, and shows the build's pipeline (which owns
// the text's tables, folder and word width) as it runs: the pipeline's texts
// in its labels, caption and status bar, and the stages' progress in its
// progress bar (the dialog is their StageReport).

#include "builder/Pipeline.h"
#include "builder/Stage.h"

#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <QtGlobal>

class QProgressBar;
class QPushButton;
class QWidget;
class TTable;

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

// A label of fixed size whose text is drawn smaller when it would not fit (the
// desktop's fonts run wider than those the layout was drawn for), down to 8
// pixels. A text that ends in a path is drawn at the label's own font instead,
// the path shortened in its middle, and the whole path is the tool tip.
class TFittingLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // Shows `text`; `path`, when given, is the end of `text`.
    void showText(const QString& text, const QString& path = QString());
    // The text as it is drawn, and the font it is drawn in.
    QString shownText(QFont* shownFont = nullptr) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString pathPart;
};

class TRebuildDlg : public QDialog, public StageReport, private BuildView {
    Q_OBJECT

    // The build the dialog shows; a child of the dialog.
    BuildPipeline* const pipeline;

public:
    // Ready: Build may be pressed (also after a stop at the table stage or
    // at the verse-table check). Building: the stages run. Done: the build
    // completed. Stopped: an error escaped a stage; Build and Close stay
    // disabled, the frame still closes the window.
    using BuildState = BuildPipeline::State;

    // Whether the window's place is remembered in the settings file. A dialog
    // that is never shown neither reads nor writes it.
    enum class WindowPlace { Remembered, NotRemembered };

    explicit TRebuildDlg(QWidget* owner = nullptr, WindowPlace place = WindowPlace::Remembered);
    ~TRebuildDlg() override;

    // Components, in declaration order.
    TFittingLabel* L_Action = nullptr;
    TFittingLabel* L_Bible = nullptr;
    // The pipeline's tables, bound to the text's folder by openTable.
    TTable* const T_TempWord;
    TTable* const T_Word;
    TTable* const T_Bible;
    TTable* const T_Freq;
    TTable* const T_Key;
    QLabel* Image = nullptr;
    TFittingLabel* L_Start = nullptr;
    TFittingLabel* L_Finish = nullptr;
    QWidget* P_Bot = nullptr;
    QPushButton* B_Build = nullptr;
    QPushButton* B_Cancel = nullptr;
    QPushButton* B_Help = nullptr;
    QProgressBar* ProgressBar = nullptr;
    TStatusBar* StatusBar = nullptr;

    // Settings file and help folder, ending in "/".
    QString iniName;
    QString helpPath;
    // The pipeline's: the text's database folder (ending in "/"), the text's
    // name as given on the command line, and the width in characters of the
    // word field of its word and key tables.
    const QString& dataPath;
    const QString& bibleName;
    const int& wordSize;

    // The stages' report: the status bar's panel (the text shows at the next
    // repaint), the progress bar, and the application's event processing.
    void showStatus(const QString& text) override;
    void setProgress(int position) override;
    void processEvents() override;
    // Where the stages report instead of the dialog; null for the dialog
    // itself. Not owned.
    void setStageReport(StageReport* report);
    // The text as the table operations and the stages see it.
    BuildText buildText() const;
    // Set the form's caption and the action label; `path`, when given, is
    // the end of the action's text.
    void setCaption(const QString& text);
    void setAction(const QString& text, const QString& path = QString());
    // Sets wordSize from bibleName (compared without regard to case).
    void setWordSize();

    BuildState buildState() const { return pipeline->state(); }
    // True while B_BuildClick runs.
    bool isBuilding() const { return pipeline->isBuilding(); }
    // Why the last press of Build ended before the stages: the table layer's
    // message or the build's error text. Empty after a press that reached
    // the stages.
    const QString& stopReason() const { return pipeline->stopReason(); }
    // The pipeline's: see BuildPipeline.
    QString textNameProblem() const { return pipeline->textNameProblem(); }
    QString importAdvice() const { return pipeline->importAdvice(); }

signals:
    // A text the user sees has changed. `what` names it: "caption",
    // "action", "status", "start" or "finish" (L_Start, L_Finish).
    void textChanged(const QString& what, const QString& text);
    // A stage of the build has begun (1 to 3; the caption says "Stage N of
    // 4"): `what` is the dialog's text of it.
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
    void createComponents();
    void setLabelText(TFittingLabel* label, const QString& what, const QString& text,
                      const QString& path = QString());
    // Shows a text of the pipeline where it belongs.
    void showPipelineText(const QString& what, const QString& text);
    // The build's turns: Build and Close disabled while the stages run; the
    // input that waited for a building window dropped; Close the default
    // when the build is complete.
    void stagesStarting() override;
    void stagesDone() override;
    void buildCompleted() override;
    // Lets the window process what is waiting for it and drops every key,
    // click and request to close among it.
    void discardQueuedInput();
    void loadPicture(const QString& fileName);
    void placeWindow();
    void dockBottom();

    bool remembersPlace = true;
};

// The one build dialog, created by the program's entry point.
extern TRebuildDlg* RebuildDlg;
