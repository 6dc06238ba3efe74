// Times the table layer on the shapes of a full build of a large text:
// 790,000 occurrences of some 13,000 distinct words, in the order of calls
// that Build makes.
//
//   bench-tables [folder]
//
// Phase 1 appends the occurrences to a "Temp_Word" table (Verses primary,
// Word with the case-insensitive index wordNdx), a bulk fill that stays in
// memory. Phase 2 selects wordNdx, which orders the rows in memory, and
// phase 3 walks by it, appending as the build does one "Word" row per
// occurrence (R1 primary, R2 with the descending index wordKeyNdx added by
// AddIndex) and one "Key" and one "Freq" row per distinct word. Phase 4 reads
// them as the word lists do: "Freq" by each of its orders and the word of each
// row by its number in "Key" (RecNo). Phase 5 deletes "Temp_Word" without
// writing it, phase 6 puts the other three on disk (FlushBuffers: their rows
// written, their indexes built, committed).
// Every phase prints its time and the peak memory so far. The tables go to a
// temporary folder unless one is given.

#include "concordance/tablelayouts.h"
#include "concordance/versekey.h"
#include "platform/core/table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <sys/resource.h>

namespace {

constexpr int occurrences = 790000;
constexpr int distinctWords = 13000;
constexpr int wordsPerVerse = 25;
constexpr int wordSize = 18;

rusage usage() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u;
}

// Processor time of all threads, in seconds.
double cpuSeconds() {
    const rusage u = usage();
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QElapsedTimer phaseTimer;
QElapsedTimer totalTimer;
double phaseCpu = 0;
double totalCpu = 0;

// One line per phase: wall time, processor time (above the wall time when the
// engine sorts on two cores, well below it when other programs compete for
// the processor) and the peak memory so far.
void report(const char* phase, double wall, double cpu) {
    std::printf("%-50s %7.3f s wall %7.3f s cpu   peak %6.1f MB\n", phase, wall, cpu,
                static_cast<double>(usage().ru_maxrss) / 1024.0);
    std::fflush(stdout);
}

void endPhase(const char* phase) {
    const double cpu = cpuSeconds();
    report(phase, static_cast<double>(phaseTimer.nsecsElapsed()) / 1e9, cpu - phaseCpu);
    phaseTimer.restart();
    phaseCpu = cpu;
}

// Distinct lower-case words of 1 to 14 letters, most of them short.
QStringList makeWords(std::mt19937& random) {
    std::uniform_int_distribution<int> letter('a', 'z');
    std::geometric_distribution<int> extra(0.3);
    QSet<QString> seen;
    QStringList words;
    while (words.size() < distinctWords) {
        const int length = 1 + std::min(13, extra(random));
        QString word;
        for (int i = 0; i < length; ++i)
            word += QChar(letter(random));
        if (!seen.contains(word)) {
            seen.insert(word);
            words << word;
        }
    }
    return words;
}

// The text: every word once, the rest drawn by Zipf's law (the commonest word
// near 58,000 times, as in the KJV), then shuffled.
std::vector<int> makeText(std::mt19937& random) {
    std::vector<double> weights(distinctWords);
    for (int r = 0; r < distinctWords; ++r)
        weights[static_cast<size_t>(r)] = 1.0 / (r + 1.5);
    std::discrete_distribution<int> zipf(weights.begin(), weights.end());
    std::vector<int> text;
    text.reserve(occurrences);
    for (int w = 0; w < distinctWords; ++w)
        text.push_back(w);
    while (static_cast<int>(text.size()) < occurrences)
        text.push_back(zipf(random));
    std::shuffle(text.begin(), text.end(), random);
    return text;
}

// The occurrence key of word `i` of the text: verse key plus position.
int occurrenceKey(int i) {
    const int verse = i / wordsPerVerse;
    return concordance::verseKey(verse / 480 + 1, verse / 20 % 24 + 1, verse % 20 + 1) +
           i % wordsPerVerse + 1;
}

void createTables(const QString& folder, TTable& tempWord, TTable& word, TTable& key,
                  TTable& freq) {
    using namespace concordance;
    bindTable(tempWord, folder, tempWordTable);
    defineTempWordTable(tempWord.FieldDefs(), tempWord.IndexDefs(), wordSize);
    tempWord.CreateTable();

    bindTable(word, folder, wordTable);
    defineWordTable(word.FieldDefs(), word.IndexDefs());
    word.CreateTable();
    const TIndexDef wordKey = wordKeyIndex();
    word.AddIndex(wordKey.Name, wordKey.Fields, wordKey.Options);

    bindTable(key, folder, keyTable);
    defineKeyTable(key.FieldDefs(), key.IndexDefs(), wordSize);
    key.CreateTable();

    bindTable(freq, folder, freqTable);
    defineFreqTable(freq.FieldDefs(), freq.IndexDefs());
    freq.CreateTable();

    for (TTable* t : {&tempWord, &word, &key, &freq}) {
        t->setExclusive(true);
        t->setActive(true);
    }
}

// One Key and one Freq row for a completed word.
void closeWord(TTable& key, TTable& freq, const QString& word, int number, int count) {
    key.Append();
    key.Fields(0).setAsString(word);
    key.Post();
    freq.Append();
    freq.Fields(0).setAsInteger(number);
    freq.Fields(1).setAsInteger(count);
    freq.Fields(2).setAsInteger(word.size());
    freq.Post();
}

int run(const QString& folder) {
    std::mt19937 random(20240521);
    const QStringList words = makeWords(random);
    const std::vector<int> text = makeText(random);
    std::printf("%d occurrences of %d distinct words in %s\n", occurrences, distinctWords,
                qPrintable(QDir::toNativeSeparators(folder)));
    totalTimer.start();
    phaseTimer.start();
    totalCpu = phaseCpu = cpuSeconds();

    TTable tempWord, word, key, freq;
    createTables(folder, tempWord, word, key, freq);
    endPhase("create and open the four tables");

    tempWord.setIndexName(QString());
    for (int i = 0; i < occurrences; ++i) {
        tempWord.Append();
        tempWord.Fields(0).setAsInteger(occurrenceKey(i));
        tempWord.Fields(1).setAsString(words[text[static_cast<size_t>(i)]]);
        tempWord.Post();
    }
    endPhase("1. 790,000 appends to Temp_Word (in memory)");

    tempWord.setIndexName(QStringLiteral("wordNdx"));
    endPhase("2. select wordNdx (orders the rows in memory)");

    const int rows = tempWord.RecordCount();
    tempWord.First();
    QString current = tempWord.Fields(1).AsString();
    int number = 1, count = 0, lastReport = 0;
    while (!tempWord.Eof()) {
        const QString w = tempWord.Fields(1).AsString();
        if (w == current) {
            word.Append();
            word.Fields(0).Assign(tempWord.Fields(0));
            word.Fields(1).setAsInteger(number);
            word.Post();
            ++count;
            tempWord.Next();
        } else {
            closeWord(key, freq, current, number, count);
            current = w;
            ++number;
            count = 0;
            if (tempWord.RecNo() > lastReport + 200)
                lastReport = tempWord.RecNo();
        }
    }
    closeWord(key, freq, current, number, count);
    if (rows != occurrences || word.RecordCount() != occurrences ||
        key.RecordCount() != distinctWords || freq.RecordCount() != distinctWords) {
        std::printf("wrong counts: %d %d %d %d\n", rows, word.RecordCount(), key.RecordCount(),
                    freq.RecordCount());
        return 1;
    }
    endPhase("3. walk by wordNdx: 790,000 Word, 13,000 Key+Freq");

    qint64 letters = 0;
    for (const char* order : {"freqNdx", "", "wordLenNdx"}) {
        freq.setIndexName(QLatin1String(order));
        for (freq.First(); !freq.Eof(); freq.Next()) {
            key.setRecNo(freq.Fields(0).AsInteger());
            letters += key.Fields(0).AsString().size();
        }
    }
    if (letters == 0)
        return 1;
    endPhase("4. Freq by 3 orders, each word by RecNo on Key");

    tempWord.CloseDiscarding();
    tempWord.DeleteTable();
    endPhase("5. delete Temp_Word without writing it");

    word.FlushBuffers();
    endPhase("6. Word to disk (rows, index, commit)");
    key.FlushBuffers();
    freq.FlushBuffers();
    endPhase("7. Key and Freq to disk");

    for (TTable* t : {&word, &key, &freq})
        t->Close();
    report("total", static_cast<double>(totalTimer.nsecsElapsed()) / 1e9, cpuSeconds() - totalCpu);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc > 1)
            return run(QString::fromLocal8Bit(argv[1]));
        QTemporaryDir dir;
        if (!dir.isValid()) {
            std::fprintf(stderr, "cannot make a temporary folder\n");
            return 1;
        }
        return run(dir.path() + QLatin1Char('/'));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
