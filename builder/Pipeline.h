#pragma once
// The build of one text's concordance, without a window: it reads the text's
// name from the command line, owns the text's tables, checks the text, opens
// the tables and runs the stages, and tells whoever watches what a user would
// read of it (the texts, the stage begun, the progress). The build dialog is a
// view over it; the batch mode reports it on the terminal.

#include "builder/Stage.h"
#include "concordance/textrules.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

class TTable;

// The elapsed-time text of a build that took `ms` milliseconds, for example
// "Elapsed time 65 min 9.042 seconds": whole minutes, then seconds and three
// digits of milliseconds.
QString elapsedText(qint64 ms);

// What a window over the build does at the build's turns. Each is called on
// the pipeline's thread, in the middle of the run.
class BuildView {
public:
    virtual ~BuildView() = default;

    // The stages start: nothing in the window may start or end anything now.
    virtual void stagesStarting() = 0;
    // The stages are done, "Build complete" is about to show. Input that
    // waited meanwhile was meant for a window that was building.
    virtual void stagesDone() = 0;
    // The build has completed and says so; closing is what is left to do.
    virtual void buildCompleted() = 0;

protected:
    BuildView() = default;
    BuildView(const BuildView&) = default;
    BuildView& operator=(const BuildView&) = default;
};

class BuildPipeline : public QObject, public StageReport {
    Q_OBJECT
public:
    // Ready: a build may start (also after a stop at the table stage or at
    // the verse-table check). Building: the stages run. Done: the build
    // completed. Stopped: an error escaped a stage; no build starts again.
    enum class State { Ready, Building, Done, Stopped };

    // Reads the text's name from the command line.
    explicit BuildPipeline(QObject* parent = nullptr);
    ~BuildPipeline() override;
    BuildPipeline(const BuildPipeline&) = delete;
    BuildPipeline& operator=(const BuildPipeline&) = delete;

    // The tables of the build, bound to the text's folder when it runs.
    TTable* const T_TempWord;
    TTable* const T_Word;
    TTable* const T_Bible;
    TTable* const T_Freq;
    TTable* const T_Key;

    // The text's database folder, ending in "/"; the text's name as given on
    // the command line, and the width in characters of the word field of its
    // word and key tables.
    QString dataPath;
    QString bibleName;
    int wordSize = 0;

    // Sets wordSize from bibleName (compared without regard to case).
    void setWordSize();
    // Why the command line names no text that may be built, or an empty text:
    // the folder of texts and the text's name must each be one folder name,
    // so that a build reads and writes below the folder of texts alone.
    QString textNameProblem() const;
    // For a text that has not been imported (a good name, no verse table):
    // how to import it and where it goes. Empty otherwise.
    QString importAdvice() const;
    // The text as the table operations and the stages see it.
    BuildText buildText() const;

    // Builds the text's concordance database, once: opens the tables, checks
    // for the verse table, then runs the stages. Does nothing while a build
    // runs (the stages let events be processed) or after one has ended other
    // than at the table stage. No exception leaves it: one that escapes the
    // build is shown in the application's report and leaves the build
    // stopped.
    void run();

    State state() const { return buildState; }
    // True while run() runs.
    bool isBuilding() const { return building; }
    // Why the last run ended before the stages: the table layer's message or
    // the build's error text. Empty after a run that reached the stages.
    const QString& stopReason() const { return stopText; }
    // The part of the last action text that is a path, or empty.
    const QString& actionPath() const { return pathOfAction; }

    // Where the stages report; null for the pipeline itself, which tells its
    // status in textChanged and its progress in progressChanged. Not owned.
    void setStageReport(StageReport* report);
    // The window over the build, or null. Not owned.
    void setView(BuildView* view);

    // The pipeline's own report.
    void showStatus(const QString& text) override;
    void setProgress(int position) override;
    void processEvents() override;

signals:
    // A text the user sees has changed. `what` names it: "caption",
    // "action", "status", "start" or "finish".
    void textChanged(const QString& what, const QString& text);
    // A stage of the build has begun (1 to 3; the caption says "Stage N of
    // 4"): `what` is its text.
    void stageStarted(int stage, const QString& what);
    // The stages' progress, 0 to 100, when they report to the pipeline.
    void progressChanged(int position);

private:
    // Marks one run, however it ends.
    class Run;

    void readCommandLine();
    void setText(const QString& what, const QString& text);
    void setCaption(const QString& text);
    void setAction(const QString& text, const QString& path = QString());
    void build();
    bool openTables();
    bool outputTablesReady();
    void runStages();

    QString folderWord; // the folder of texts, as the command line names it
    State buildState = State::Ready;
    bool building = false;
    QString stopText;
    QString action;
    QString pathOfAction;
    StageReport* stageReport = nullptr;
    BuildView* buildView = nullptr;
    // The text's word rules, read from its folder when a build starts.
    concordance::TextRules textRules;
};
