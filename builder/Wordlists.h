#pragma once
// Stage 3 of the build: walks the temporary word table in word order and fills
// the word, key and frequency tables, counting every character on the way, then
// writes the word-list files.

#include <QString>
#include <array>

class QProgressBar;
class TStatusBar;
class TTable;

class TWordList {
public:
    TWordList(TStatusBar* statusBar, QProgressBar* progressBar);

    // `tempWords` is the open "Temp_Word" holding the occurrences of stage 2.
    // The output tables are the build dialog's T_Word, T_Key and T_Freq.
    void buildTables(TTable* tempWords);
    // Sets the status text and lets the window process pending events.
    void showStatus(const QString& text);
    // One pass over "Temp_Word" by wordNdx fills "Word", "Key" and "Freq".
    void buildFrequencyTables();

    // How often each byte value occurs in all word occurrences of the text.
    const std::array<int, 256>& characterCounts() const { return charCount; }

private:
    // Stores the finished word: its "Key" row, its "Freq" row and its
    // characters' counts.
    void closeWord(const QString& word, int wordNumber, int count);

    TStatusBar* statusPanel;
    QProgressBar* progressBar;
    QString filePath;
    QString headerText;
    TTable* tempWordTable = nullptr;
    int fileHandle = -1;
    std::array<int, 256> charCount{};
};
