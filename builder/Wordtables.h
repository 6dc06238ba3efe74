#pragma once
// Stage 2 of the build: splits every verse of the verse table into words and
// appends one row per word occurrence to the temporary word table.

#include <QByteArray>
#include <QString>

class StageReport;
class TTable;

class TWordTables {
public:
    explicit TWordTables(StageReport& report);

    // `source` is the open verse table "Bible", `target` the open, empty
    // "Temp_Word". Reports progress every 37 verses, in units 0 to 40 of the
    // progress bar, letting the window process pending events at each report.
    void build(TTable* source, TTable* target);
    // Sets the status text; it shows at the next repaint.
    void showStatus(const QString& text);

private:
    // The working copy of the current verse, split in place; it grows to
    // hold the longest verse met.
    QByteArray verseBuffer;
    StageReport& report;
};
