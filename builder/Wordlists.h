#pragma once
// Stage 3 of the build: walks the temporary word table in word order and fills
// the word, key and frequency tables, counting every character on the way.
// The word-list files are to be written from these afterwards.

#include "builder/Stage.h"

#include <QString>
#include <array>

class TTable;

class TWordList {
public:
    // `text` names the open output tables T_Word, T_Key and T_Freq and the
    // text's folder and name.
    TWordList(StageReport& report, const BuildText& text);

    // `tempWords` is the open "Temp_Word" holding the occurrences of stage 2.
    // A text of more than 32,767 distinct words raises platform::Exception
    // and leaves "Word", "Key" and "Freq" empty.
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
    // Empties the three tables and raises the error of a text with more
    // distinct words than word numbers.
    [[noreturn]] void refuseTooManyWords();

    StageReport& report;
    BuildText output;
    QString filePath;
    QString headerText;
    TTable* tempWordTable = nullptr;
    int fileHandle = -1;
    std::array<int, 256> charCount{};
};
