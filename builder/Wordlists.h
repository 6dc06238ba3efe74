#pragma once
// Stage 3 of the build: walks the temporary word table in word order and fills
// the word, key and frequency tables, counting every character on the way,
// then writes the six word-list files beside the tables.

#include "builder/Stage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <functional>

class TTable;

// The list files are "<folder><text><suffix>.txt", with these suffixes in the
// order they are written.
namespace listfile {
inline constexpr char freq[] = "_Freq";
inline constexpr char list[] = "_List";
inline constexpr char alpha[] = "_Alpha";
inline constexpr char length[] = "_Length";
inline constexpr char charFreq[] = "_CharFreq";
inline constexpr char pcre[] = "_Pcre";
inline constexpr std::array<const char*, 6> all{freq, list, alpha, length, charFreq, pcre};
} // namespace listfile

class TWordList {
public:
    // `text` names the open output tables T_Word, T_Key and T_Freq and the
    // text's folder and name.
    TWordList(StageReport& report, const BuildText& text);
    // A list still being written, or written and not yet given its name by
    // commit, is discarded: its file is never made.
    ~TWordList();
    TWordList(const TWordList&) = delete;
    TWordList& operator=(const TWordList&) = delete;

    // `tempWords` is the open "Temp_Word" holding the occurrences of stage 2.
    // Fills the tables, then writes the lists, each beside its place until
    // commit. A text of more than 32,767 distinct words raises
    // platform::Exception and leaves "Word", "Key" and "Freq" empty; any other
    // error but the table build's own ends it with no list half-written.
    void buildTables(TTable* tempWords);
    // Puts "Word", "Key" and "Freq" on disk (each table's writes committed),
    // then gives every list written since the last commit its name. So a list
    // is never found beside tables that a crash would take back to another
    // build's. A table that cannot be written raises and leaves the lists
    // unnamed; a list that cannot take its name is reported and removed.
    void commit();
    // Removes the six lists of the text `bibleName` in `dataPath`, and what a
    // killed build left of lists it was writing, before the tables they
    // describe are emptied. False after reporting one that stays.
    static bool removeLists(const QString& dataPath, const QString& bibleName);
    // Sets the status text and lets the window process pending events.
    void showStatus(const QString& text);
    // One pass over "Temp_Word" by wordNdx fills "Word", "Key" and "Freq".
    void buildFrequencyTables();

    // The list files. Each writer makes its whole file or none: a file that cannot be replaced or
    // written is reported and skipped, and the build goes on with the next.
    void writeFrequencyList(); // "_Freq": most frequent first, count, percentage
    void writeSimpleList();    // "_List": the words in word order
    void writeAlphaList();     // "_Alpha": the words in word order with counts
    void writeLengthList();    // "_Length": by length, longest first, with counts
    void writeCharacterFile(); // "_CharFreq": word lengths and characters
    void writePcreFile();      // "_Pcre": the words, a line feed after each

    // How often each byte value occurs in all word occurrences of the text.
    const std::array<int, 256>& characterCounts() const { return charCount; }

private:
    // Removes the existing list file of `suffix` and starts the new one (a
    // file beside it that becomes the list when it is complete). False after
    // reporting why it could not.
    bool createTextFile(const QString& suffix);
    // The header block: the file's path, the date and the totals, the same
    // date and totals in every list of this object.
    void writeHeader();
    // What every writer does: createTextFile (and nothing more if that
    // fails), the writer's status text, with `header` the header block,
    // `body`, with `header` an empty line after it, and the close. An error
    // out of `body` discards the file and goes on to the caller.
    void writeList(const char* suffix, const char* status, const char* writer, bool header,
                   const std::function<void()>& body);
    // The body of the character report.
    void writeCharacterReport();
    // Appends to the file being written; a failure is kept for closeTextFile.
    void write(const QByteArray& bytes);
    void write(const char* text);
    // Hands what was written so far to the system.
    void flush();
    // Ends the file: on disk in full, to be named at commit, or, after a
    // failed write, reported under `writer` and removed.
    void closeTextFile(const char* writer);
    // Removes the unfinished file, if any.
    void discardTextFile();
    // The word with number n is words()[n - 1]: "Key" in its primary order,
    // read once.
    const QList<QByteArray>& words();
    QByteArray wordOf(int number);

    // Stores the finished word: its "Key" row, its "Freq" row and its
    // characters' counts.
    void closeWord(const QString& word, int wordNumber, int count);
    // Empties the three tables and raises the error of a text with more
    // distinct words than word numbers.
    [[noreturn]] void refuseTooManyWords();

    StageReport& report;
    BuildText output;
    QString filePath;
    QByteArray headerText;
    TTable* tempWordTable = nullptr;
    int fileHandle = -1;
    std::array<int, 256> charCount{};

    QByteArray partPath; // the unfinished file, renamed to filePath at commit
    // The lists written whole and not yet named: where each is, its name,
    // and the writer that reports for it.
    struct FinishedList {
        QByteArray partPath;
        QString filePath;
        const char* writer;
    };
    QList<FinishedList> finished;
    QByteArray pending; // written, not yet handed to the system
    int writeError = 0; // the first failed write's error code, 0 if none
    QList<QByteArray> keyWords;
    bool keyWordsRead = false;
};
