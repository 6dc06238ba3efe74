#include "builder/Wordlists.h"

#include "builder/Oddsandsods.h"
#include "concordance/numberformat.h"
#include "concordance/tablelayouts.h"
#include "concordance/wordrule.h"
#include "platform/core/filesync.h"
#include "platform/core/lasterror.h"
#include "platform/core/table.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using concordance::formatNumber;
using concordance::maxDistinctWords;

namespace {

// Bytes gathered before they are handed to the system.
constexpr qsizetype writeChunk = 1 << 16;

bool hasFieldOfType(TTable* table, const char* name, TFieldType type) {
    const TField* field = table->FindField(QLatin1String(name));
    return field && field->DataType() == type;
}

// A "Freq" made before its count field was widened holds counts up to 65,535
// only, and word numbers are 16-bit in a byte-rule text's tables and 32-bit in
// a Unicode text's: a table made otherwise is empty by now (the pipeline
// empties it), so it is made anew with the layout the text needs and opened
// again for the build alone.
void fitLayouts(const BuildText& text) {
    const concordance::WordNumbers numbers = wordNumbers(text);
    const TFieldType numberType = concordance::wordNumberType(numbers);
    const auto reopen = [](TTable* table) {
        table->setExclusive(true);
        table->setActive(true);
    };
    TTable* freq = text.T_Freq;
    if (hasFieldOfType(freq, "F2", ftWord) ||
        (freq->FindField(QStringLiteral("F1")) && !hasFieldOfType(freq, "F1", numberType))) {
        createFreqTable(freq, numbers);
        reopen(freq);
    }
    TTable* words = text.T_Word;
    if (words->FindField(QStringLiteral("R2")) && !hasFieldOfType(words, "R2", numberType)) {
        createIndexedRecTable(words, numbers);
        reopen(words);
    }
}

QByteArray number(qint64 value) {
    return formatNumber(value).toLatin1();
}

// "2004 Mar 07, 14:05": the month's short name as the user's locale gives it.
QByteArray headerDate(const QDateTime& now) {
    const QDate date = now.date();
    const QTime time = now.time();
    const QString text = QStringLiteral("%1 %2 %3, %4:%5")
                             .arg(date.year(), 4, 10, QLatin1Char('0'))
                             .arg(QLocale().monthName(date.month(), QLocale::ShortFormat))
                             .arg(date.day(), 2, 10, QLatin1Char('0'))
                             .arg(time.hour(), 2, 10, QLatin1Char('0'))
                             .arg(time.minute(), 2, 10, QLatin1Char('0'));
    return text.toLocal8Bit();
}

// One letter of the report's letter run and its count.
struct LetterCount {
    int count;
    char letter;
};

// Most frequent first. Equal counts never compare equal: the first of the two
// asked about goes first, whichever it is.
int byCountDescending(const void* left, const void* right) {
    return static_cast<const LetterCount*>(right)->count >
                   static_cast<const LetterCount*>(left)->count
               ? 1
               : -1;
}

} // namespace

TWordList::TWordList(StageReport& stageReport, const BuildText& text)
    : report(stageReport), output(text) {}

TWordList::~TWordList() {
    discardTextFile();
    for (const FinishedList& list : std::as_const(finished))
        ::unlink(list.partPath.constData());
}

bool TWordList::removeLists(const QString& dataPath, const QString& bibleName) {
    bool removed = true;
    for (const char* suffix : listfile::all) {
        const QByteArray path = QFile::encodeName(dataPath + bibleName + QLatin1String(suffix) +
                                                  QStringLiteral(".txt"));
        for (const QByteArray& file : {path, path + ".part"}) {
            if (::unlink(file.constData()) != 0 && errno != ENOENT) {
                platform::setLastError(errno);
                showLastError(QStringLiteral("TWordList::removeLists - delete %1")
                                  .arg(QFile::decodeName(file))
                                  .toUtf8()
                                  .constData());
                removed = false;
            }
        }
    }
    // Gone for good before the tables change.
    platform::syncFolder(dataPath);
    return removed;
}

void TWordList::commit() {
    for (TTable* table : {output.T_Word, output.T_Key, output.T_Freq})
        table->FlushBuffers();
    const QList<FinishedList> lists = std::exchange(finished, {});
    for (const FinishedList& list : lists) {
        if (::rename(list.partPath.constData(), QFile::encodeName(list.filePath).constData()) == 0)
            continue;
        const int error = errno;
        ::unlink(list.partPath.constData());
        platform::setLastError(error);
        showLastError(QStringLiteral("TWordList::%1 - close %2")
                          .arg(QLatin1String(list.writer), list.filePath)
                          .toUtf8()
                          .constData());
    }
    if (!lists.isEmpty())
        platform::syncFolder(output.dataPath);
}

void TWordList::showStatus(const QString& text) {
    report.showStatus(text);
    report.processEvents();
}

void TWordList::buildTables(TTable* tempWords) {
    tempWordTable = tempWords;
    showStatus(QStringLiteral("Building Frequency table."));
    fitLayouts(output);
    buildFrequencyTables();
    showStatus(QStringLiteral("Creating frequency wordlist."));
    writeFrequencyList();
    showStatus(QStringLiteral("Creating simple wordlist."));
    writeSimpleList();
    showStatus(QStringLiteral("Creating alpha wordlist."));
    writeAlphaList();
    showStatus(QStringLiteral("Creating length sorted wordlist."));
    writeLengthList();
    showStatus(QStringLiteral("Creating character frequency file."));
    writeCharacterFile();
    showStatus(QStringLiteral("Creating PCRE search file."));
    writePcreFile();
}

// --- the table build -----------------------------------------------------------

void TWordList::closeWord(const QString& word, int wordNumber, int count) {
    TTable* key = output.T_Key;
    key->Append();
    key->Fields(0).setAsString(word);
    key->Post();

    TTable* freq = output.T_Freq;
    freq->Append();
    freq->Fields(0).setAsInteger(wordNumber);
    freq->Fields(1).setAsInteger(count);
    freq->Fields(2).setAsInteger(concordance::wordLength(word));
    freq->Post();

    // Once per distinct word, weighted by its occurrences. A byte-rule word
    // is ASCII: its characters are its bytes.
    for (const uint c : word.toUcs4()) {
        if (c < charCount.size())
            charCount[c] += count;
        else
            otherCharCount[char32_t(c)] += count;
    }
}

void TWordList::buildFrequencyTables() {
    TTable* temp = tempWordTable;
    TTable* words = output.T_Word;
    const int mostWords = wordNumbers(output) == concordance::WordNumbers::Wide
                              ? concordance::maxDistinctWideWords
                              : maxDistinctWords;
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

        temp->First();
        // No verse yielded a word: there is no word to store.
        if (!temp->Eof()) {
            QString current = wordField.AsString();
            showWord(current, temp->RecNo());
            while (!temp->Eof()) {
                if (wordField.EqualsString(current)) {
                    words->AppendRecord({verses.AsInteger(), wordNumber});
                    ++count;
                    temp->Next();
                    continue;
                }
                closeWord(current, wordNumber, count);
                if (wordNumber == mostWords)
                    refuseTooManyWords();
                current = wordField.AsString();
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

// --- list files ------------------------------------------------------------------

bool TWordList::createTextFile(const QString& suffix) {
    discardTextFile();
    filePath = output.dataPath + output.bibleName + suffix + QStringLiteral(".txt");
    const QByteArray path = QFile::encodeName(filePath);

    // The list of an earlier build goes first: should this one fail, no
    // list of other tables is left to pass for this build's.
    struct stat status {};
    if (::lstat(path.constData(), &status) == 0 && ::unlink(path.constData()) != 0) {
        showLastError("TWordList::createTextFile - delete");
        return false;
    }

    // The list is written beside its place and renamed into it when whole.
    // Only the build holding the text's tables writes its lists, so the name
    // is free but for what a killed build left, which is replaced.
    partPath = path + ".part";
    ::unlink(partPath.constData());
    // A list written again before the commit replaces the one written first.
    finished.removeIf([this](const FinishedList& list) { return list.partPath == partPath; });
    fileHandle =
        ::open(partPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fileHandle < 0) {
        partPath.clear();
        showLastError("TWordList::createTextFile - create");
        return false;
    }
    pending.clear();
    writeError = 0;
    return true;
}

void TWordList::writeHeader() {
    if (headerText.isEmpty()) {
        headerText = "\r\n" + headerDate(QDateTime::currentDateTime()) + "\r\nTotal word count " +
                     number(tempWordTable->RecordCount()) + "\r\nDifferent words " +
                     number(output.T_Key->RecordCount()) + "\r\n\r\n";
    }
    write(QFile::encodeName(filePath) + headerText);
}

void TWordList::write(const QByteArray& bytes) {
    pending += bytes;
    if (pending.size() >= writeChunk)
        flush();
}

void TWordList::write(const char* text) {
    write(QByteArray::fromRawData(text, qsizetype(std::strlen(text))));
}

void TWordList::flush() {
    const char* data = pending.constData();
    qsizetype left = pending.size();
    while (left > 0 && !writeError) {
        const ssize_t written = ::write(fileHandle, data, size_t(left));
        if (written < 0) {
            if (errno != EINTR)
                writeError = errno;
            continue;
        }
        data += written;
        left -= written;
    }
    pending.clear();
}

void TWordList::closeTextFile(const char* writer) {
    // What is left goes to the file, which must last before it takes the
    // list's name.
    flush();
    const char* step = "write";
    if (!writeError && ::fsync(fileHandle) != 0) {
        writeError = errno;
        step = "close";
    }
    if (::close(fileHandle) != 0 && !writeError) {
        writeError = errno;
        step = "close";
    }
    fileHandle = -1;
    if (writeError) {
        // No short list may pass for a whole one.
        ::unlink(partPath.constData());
        partPath.clear();
        platform::setLastError(writeError);
        showLastError(QStringLiteral("TWordList::%1 - %2 %3")
                          .arg(QLatin1String(writer), QLatin1String(step), filePath)
                          .toUtf8()
                          .constData());
        return;
    }
    finished.append({std::exchange(partPath, {}), filePath, writer});
}

void TWordList::discardTextFile() {
    if (fileHandle >= 0)
        ::close(fileHandle);
    fileHandle = -1;
    if (!partPath.isEmpty())
        ::unlink(partPath.constData());
    partPath.clear();
    pending.clear();
}

const QList<QByteArray>& TWordList::words() {
    if (!keyWordsRead) {
        TTable* key = output.T_Key;
        key->setIndexName(QString());
        TField& word = key->Fields(0);
        keyWords.clear();
        keyWords.reserve(key->RecordCount());
        for (key->First(); !key->Eof(); key->Next())
            keyWords.append(word.AsString().toUtf8());
        keyWordsRead = true;
    }
    return keyWords;
}

QByteArray TWordList::wordOf(int number) {
    const QList<QByteArray>& all = words();
    return number >= 1 && number <= all.size() ? all[number - 1] : QByteArray();
}

void TWordList::writeList(const char* suffix, const char* status, const char* writer, bool header,
                          const std::function<void()>& body) {
    if (!createTextFile(QLatin1String(suffix)))
        return;
    try {
        showStatus(QLatin1String(status));
        if (header)
            writeHeader();
        body();
        if (header)
            write("\r\n\r\n");
    } catch (...) {
        // An error of the tables ends the list here: nothing of it is kept.
        discardTextFile();
        throw;
    }
    closeTextFile(writer);
}

QList<TWordList::FreqRow> TWordList::freqRows(const QString& index, int FreqRow::*key) {
    QList<FreqRow> rows;
    TTable* freq = output.T_Freq;
    freq->setIndexName(index);
    TField& wordNumber = freq->Fields(0);
    TField& count = freq->Fields(1);
    TField& length = freq->Fields(2);
    rows.reserve(freq->RecordCount());
    for (freq->First(); !freq->Eof(); freq->Next())
        rows.append({wordNumber.AsInteger(), count.AsInteger(), length.AsInteger()});
    if (!output.rules.isUnicode())
        return rows;
    // Equal keys in the language's order, as the alphabetical lists have it.
    QList<qsizetype> rank(words().size());
    for (qsizetype place = 0; place < alphabetical().size(); ++place)
        rank[alphabetical()[place]] = place;
    const auto rankOf = [&](const FreqRow& row) {
        return row.number >= 1 && row.number <= rank.size() ? rank[row.number - 1] : 0;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const FreqRow& a, const FreqRow& b) {
        return a.*key != b.*key ? a.*key > b.*key : rankOf(a) < rankOf(b);
    });
    return rows;
}

void TWordList::writeFrequencyList() {
    const qint64 total = tempWordTable->RecordCount();
    writeList(listfile::freq, "Creating Frequenct text", "writeFrequencyList", true, [&] {
        write("Word\tCount\tPercent\r\n\r\n");
        for (const FreqRow& row : freqRows(QStringLiteral("freqNdx"), &FreqRow::count))
            write(wordOf(row.number) + '\t' + number(row.count) + '\t' +
                  concordance::formatFloatPercent(row.count, total).toLatin1() + " %\r\n");
    });
}

const QList<qsizetype>& TWordList::alphabetical() {
    if (!alphabeticalRead) {
        QStringList texts;
        texts.reserve(words().size());
        for (const QByteArray& word : words())
            texts.append(QString::fromUtf8(word));
        alphabeticalOrder = concordance::alphabeticalOrder(texts, output.rules);
        alphabeticalRead = true;
    }
    return alphabeticalOrder;
}

void TWordList::writeSimpleList() {
    writeList(listfile::list, "Creating Simple List", "writeSimpleList", true, [&] {
        for (const qsizetype n : alphabetical())
            write(words()[n] + "\r\n");
    });
}

void TWordList::writeAlphaList() {
    writeList(listfile::alpha, "Creating Alpha List", "writeAlphaList", true, [&] {
        write("Word\tCount\r\n\r\n");
        TTable* freq = output.T_Freq;
        freq->setIndexName(QString());
        TField& wordNumber = freq->Fields(0);
        TField& count = freq->Fields(1);
        if (!output.rules.isUnicode()) {
            for (freq->First(); !freq->Eof(); freq->Next())
                write(wordOf(wordNumber.AsInteger()) + '\t' + number(count.AsInteger()) + "\r\n");
            return;
        }
        // In the language's order: the counts by word number first.
        QList<int> counts(words().size());
        for (freq->First(); !freq->Eof(); freq->Next()) {
            const int n = wordNumber.AsInteger();
            if (n >= 1 && n <= counts.size())
                counts[n - 1] = count.AsInteger();
        }
        for (const qsizetype n : alphabetical())
            write(words()[n] + '\t' + number(counts[n]) + "\r\n");
    });
}

void TWordList::writeLengthList() {
    writeList(
        listfile::length, "Creating word list sorted by length", "writeLengthList", true, [&] {
            write("Word\tCount\r\n");
            int previousLength = 0;
            for (const FreqRow& row : freqRows(QStringLiteral("wordLenNdx"), &FreqRow::length)) {
                // A heading at each change of length, in plain digits.
                if (row.length != previousLength) {
                    previousLength = row.length;
                    write("\r\n\t\tWords " + QByteArray::number(row.length) +
                          " characters long\r\n");
                }
                write(wordOf(row.number) + '\t' + number(row.count) + "\r\n");
            }
        });
}

void TWordList::writeCharacterFile() {
    writeList(listfile::charFreq, "Creating character file", "writeCharacterFile", true,
              [this] { writeCharacterReport(); });
}

void TWordList::writeCharacterReport() {
    const qint64 total = tempWordTable->RecordCount();
    write("Frequency of word length occurrence\r\n\r\n");
    write("Length\tDifferent\tTotal\tPercent of total\r\n");

    // One row per length, longest first. Without any word there is one row
    // of nothing: length 0, no word, no occurrence.
    TTable* freq = output.T_Freq;
    freq->setIndexName(QStringLiteral("wordLenNdx"));
    TField& count = freq->Fields(1);
    TField& length = freq->Fields(2);
    int currentLength = 0;
    qint64 lengthTotal = 0;
    qint64 different = 0;
    const auto writeLength = [&] {
        write(QByteArray::number(currentLength) + '\t' + number(different) + '\t' +
              number(lengthTotal) + '\t' +
              concordance::formatPercent(lengthTotal, total).toLatin1() + " %\r\n");
    };
    freq->First();
    if (!freq->Eof()) {
        currentLength = length.AsInteger();
        lengthTotal = count.AsInteger();
        different = 1;
        freq->Next();
    }
    for (; !freq->Eof(); freq->Next()) {
        const int wordLength = length.AsInteger();
        if (wordLength == currentLength) {
            lengthTotal += count.AsInteger();
            ++different;
            continue;
        }
        writeLength();
        currentLength = wordLength;
        lengthTotal = count.AsInteger();
        different = 1;
    }
    writeLength();

    write("\r\n\r\nFrequency of character occurrence\r\n\r\n");
    write("Dec\tGlyph\tCount\tPercent\tGraph\r\n");
    qint64 characters = 0;
    for (int c : charCount)
        characters += c;
    for (const auto& [c, occurrences] : otherCharCount)
        characters += occurrences;
    // Every character by its number: those below 256 first, then the rest.
    std::map<char32_t, qint64> all(otherCharCount);
    for (int c = 0; c < 256; ++c)
        if (charCount[size_t(c)] != 0)
            all[char32_t(c)] = charCount[size_t(c)];
    for (const auto& [c, occurrences] : all) {
        const QByteArray glyph = c == 127 ? QByteArray("del") : QString::fromUcs4(&c, 1).toUtf8();
        // A hyphen for each third of a percent, and one more.
        const qint64 graph = characters > 0 ? occurrences * 300 / characters + 1 : 1;
        write(QByteArray::number(uint(c)) + '\t' + glyph + '\t' + number(occurrences) + '\t' +
              concordance::formatPercent(occurrences, characters).toLatin1() + " %\t" +
              QByteArray(graph, '-') + "\r\n");
    }
    write("\r\n\r\nTotal character count: " + number(characters));

    write("\r\n\r\nCharacters sorted by frequency of occurrence\r\n\r\n");
    if (output.rules.isUnicode()) {
        // Every letter of the text's words, most frequent first.
        std::vector<std::pair<char32_t, qint64>> letters;
        for (const auto& [c, occurrences] : all)
            if (QChar::isLetter(c))
                letters.emplace_back(c, occurrences);
        std::stable_sort(letters.begin(), letters.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        QString run;
        for (const auto& letter : letters)
            run += QString::fromUcs4(&letter.first, 1);
        write(run.toUtf8());
        return;
    }
    std::array<LetterCount, 26> letters{};
    for (int i = 0; i < 26; ++i)
        letters[size_t(i)] = {charCount[size_t('a' + i)], char('a' + i)};
    std::qsort(letters.data(), letters.size(), sizeof(LetterCount), byCountDescending);
    QByteArray run;
    for (const LetterCount& letter : letters)
        run += letter.letter;
    write(run);
}

void TWordList::writePcreFile() {
    // No header, and nothing after the last word's line feed.
    writeList(listfile::pcre, "Creating PCRE file", "writePcreFile", false, [&] {
        for (const qsizetype n : alphabetical())
            write(words()[n] + '\n');
    });
}
