#pragma once
// What the tests of stages 2 and 3 share: a report that records what a stage
// shows, and a text's tables in a folder of their own, opened as the pipeline
// opens them.

#include "builder/Oddsandsods.h"
#include "builder/Wordtables.h"
#include "tests/builder/testprogram.h"

// Records what a stage reports.
class RecordingReport : public StageReport {
public:
    QStringList statuses;
    int progress = 0;
    int eventRounds = 0;

    void showStatus(const QString& text) override { statuses << text; }
    void setProgress(int position) override { progress = position; }
    void processEvents() override { ++eventRounds; }
};

// The five tables of a text named `name` (word width 18) in a new temporary
// folder.
class StageTables {
public:
    explicit StageTables(const QString& name = QStringLiteral("KJV")) : bibleName(name) {}

    TTable bible, tempWord, word, key, freq;

    QString folder() const { return dir.path() + QLatin1Char('/'); }
    BuildText text() { return {folder(), bibleName, 18, &word, &key, &freq}; }
    // The path of the list file with `suffix`.
    QString list(const QString& suffix) const { return folder() + bibleName + suffix + ".txt"; }

    // Writes the verse table, opens the tables as the pipeline does and runs
    // stage 2, which fills "Temp_Word". Again and again, as builds do.
    void index(const Verses& verses, StageReport& report) {
        close();
        writeVerseTable(folder(), verses);
        openTable(&bible, "Bible", tkExisting, false, text());
        openTable(&key, "Key", tkKey, true, text());
        openTable(&freq, "Freq", tkFreq, true, text());
        openTable(&word, "Word", tkIndexedRec, true, text());
        deleteTable(&tempWord);
        openTable(&tempWord, "Temp_Word", tkWord, false, text());
        TWordTables(report).build(&bible, &tempWord);
    }

    // Lets other programs at the tables.
    void close() {
        for (TTable* table : {&bible, &tempWord, &word, &key, &freq})
            table->Close();
    }

private:
    QTemporaryDir dir;
    QString bibleName;
};
