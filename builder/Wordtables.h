#pragma once
// Stage 2 of the build: splits every verse of the verse table into words and
// appends one row per word occurrence to the temporary word table.

#include "concordance/wordrule.h"

#include <QList>
#include <QString>

class StageReport;
class TTable;

class TWordTables {
public:
    // The verses are split by `words`, the text's word rule.
    explicit TWordTables(StageReport& report, concordance::WordForm words = {});

    // `source` is the open verse table "Bible", `target` the open, empty
    // "Temp_Word". Reports progress every 37 verses, in units 0 to 40 of the
    // progress bar, letting the window process pending events at each report.
    // A verse of more than 255 words is indexed up to its 255th word; a verse
    // whose keys would pass the largest key is left out. Both are reported
    // once, when indexing ends.
    void build(TTable* source, TTable* target);
    // Sets the status text; it shows at the next repaint.
    void showStatus(const QString& text);

private:
    // One message box for the cut verses and one for those left out.
    void reportLeftOut();

    StageReport& report;
    concordance::WordForm form;
    // The verse keys of the verses cut to 255 words and of those left out,
    // in table order.
    QList<qint32> cutVerses;
    QList<qint32> skippedVerses;
};
