#pragma once
// Stage 2 of the build: splits every verse of the verse table into words and
// appends one row per word occurrence to the temporary word table.

#include <QByteArray>
#include <QString>

class QProgressBar;
class TStatusBar;
class TTable;

// Decimal digits with a comma between groups of three: 1234567 → "1,234,567".
QString formatNumber(int value);

class TWordTables {
public:
    TWordTables(TStatusBar* statusBar, QProgressBar* progressBar);

    // `source` is the open verse table "Bible", `target` the open, empty
    // "Temp_Word". Reports progress every 37 verses on the status bar and in
    // units 0 to 40 of the progress bar, letting the window process pending
    // events at each report.
    void build(TTable* source, TTable* target);
    // Sets the status text; it shows at the next repaint.
    void showStatus(const QString& text);

    // Splits one verse text by the build's word rule, appending each word (in
    // lower case) to `words`. Bytes are the verse's UTF-8 bytes; every byte
    // above 127 separates words.
    static void splitVerse(const QByteArray& text, QList<QByteArray>& words);

private:
    // The working copy of the current verse, split in place; it grows to
    // hold the longest verse met.
    QByteArray verseBuffer;
    TStatusBar* statusPanel;
    QProgressBar* progressBar;
};
