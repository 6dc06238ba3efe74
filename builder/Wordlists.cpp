#include "builder/Wordlists.h"

#include "builder/Oddsandsods.h"
#include "concordance/numberformat.h"
#include "concordance/tablelayouts.h"
#include "platform/core/table.h"

using concordance::formatNumber;
using concordance::maxDistinctWords;

namespace {

// A "Freq" made before its count field was widened holds counts up to 65,535
// only. It is empty by now (the pipeline empties it), so it is made anew with
// the present layout and opened again for the build alone.
void widenCountField(TTable* freq) {
    const TField* count = freq->FindField(QStringLiteral("F2"));
    if (!count || count->DataType() != ftWord)
        return;
    createFreqTable(freq);
    freq->setExclusive(true);
    freq->setActive(true);
}

} // namespace

TWordList::TWordList(StageReport& stageReport, const BuildText& text)
    : report(stageReport), output(text) {}

void TWordList::showStatus(const QString& text) {
    report.showStatus(text);
    report.processEvents();
}

void TWordList::buildTables(TTable* tempWords) {
    tempWordTable = tempWords;
    showStatus(QStringLiteral("Building Frequency table."));
    widenCountField(output.T_Freq);
    buildFrequencyTables();
}

void TWordList::closeWord(const QString& word, int wordNumber, int count) {
    TTable* key = output.T_Key;
    key->Append();
    key->Fields(0).setAsString(word);
    key->Post();

    const QByteArray bytes = word.toLatin1();
    TTable* freq = output.T_Freq;
    freq->Append();
    freq->Fields(0).setAsInteger(wordNumber);
    freq->Fields(1).setAsInteger(count);
    freq->Fields(2).setAsInteger(bytes.size());
    freq->Post();

    // Once per distinct word, weighted by its occurrences.
    for (char c : bytes)
        charCount[static_cast<unsigned char>(c)] += count;
}

void TWordList::buildFrequencyTables() {
    TTable* temp = tempWordTable;
    TTable* words = output.T_Word;
    try {
        temp->setIndexName(QStringLiteral("wordNdx"));
        int wordNumber = 1;
        int count = 0;
        int lastReport = 0;
        const int rows = temp->RecordCount();
        const int progressStep = rows / 60 ? rows / 60 : 1;
        const QString suffix =
            QStringLiteral(" of ") + formatNumber(rows) + QStringLiteral(" words");
        const auto showWord = [&](const QString& word, int recNo) {
            showStatus(word + QStringLiteral(" - word # ") + formatNumber(recNo) + suffix);
        };

        TField& verses = temp->Fields(0);
        TField& wordField = temp->Fields(1);
        TField& occurrence = words->Fields(0);
        TField& number = words->Fields(1);

        temp->First();
        // No verse yielded a word: there is no word to store.
        if (!temp->Eof()) {
            QString current = wordField.AsString();
            showWord(current, temp->RecNo());
            while (!temp->Eof()) {
                const QString word = wordField.AsString();
                if (word == current) {
                    words->Append();
                    occurrence.Assign(verses);
                    number.setAsInteger(wordNumber);
                    words->Post();
                    ++count;
                    temp->Next();
                    continue;
                }
                closeWord(current, wordNumber, count);
                if (wordNumber == maxDistinctWords)
                    refuseTooManyWords();
                current = word;
                ++wordNumber;
                count = 0;
                const int recNo = temp->RecNo();
                if (recNo - lastReport > 200) {
                    report.setProgress(recNo / progressStep + 40);
                    lastReport = recNo;
                    showWord(current, recNo);
                }
            }
            closeWord(current, wordNumber, count);
        }
    } catch (const EDatabaseError& e) {
        msgBox("TWordList::buildTables", e.message() + QStringLiteral(" "));
    }
    showStatus(QStringLiteral("Total Words ") + formatNumber(output.T_Freq->RecordCount()));
}

void TWordList::refuseTooManyWords() {
    // A concordance of part of the words would pass for the whole: the three
    // tables are left empty, and the build stops with the reason.
    for (TTable* table : {output.T_Word, output.T_Key, output.T_Freq})
        table->EmptyTable();
    throw platform::Exception(
        QStringLiteral("The text has more than %1 different words, the most that the word "
                       "numbers of the tables Word, Key and Freq can hold. Its concordance "
                       "cannot be built; the three tables are left empty.")
            .arg(formatNumber(maxDistinctWords)));
}
