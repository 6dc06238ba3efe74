#pragma once
// What the build's stages and table operations are given, and all they know of
// whoever runs them: where to report (the build dialog, or the batch mode's
// output) and the text being built.

#include "concordance/textrules.h"

#include <QString>

class TTable;

// Where a stage reports while it works.
class StageReport {
public:
    virtual ~StageReport() = default;

    // Sets the status text; it shows at the next repaint.
    virtual void showStatus(const QString& text) = 0;
    // Moves the progress bar (0 to 100) to `position`.
    virtual void setProgress(int position) = 0;
    // Lets the window process pending events: it repaints, and help opens.
    virtual void processEvents() = 0;

protected:
    StageReport() = default;
    StageReport(const StageReport&) = default;
    StageReport& operator=(const StageReport&) = default;
};

// The text being built: its folder, name and word width, the output tables
// once the pipeline has opened them, and its word rules. The tables belong to the caller.
struct BuildText {
    QString dataPath; // the text's folder, ending in "/"
    QString bibleName;
    int wordSize = 0;
    TTable* T_Word = nullptr;
    TTable* T_Key = nullptr;
    TTable* T_Freq = nullptr;
    // How the text's words are made and listed, as its folder records it.
    concordance::TextRules rules = {};
};
