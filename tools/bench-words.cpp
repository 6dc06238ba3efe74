// Times the word rule on a whole text, the way each of its users calls it:
// Build's splitting in place (the inner loop of stage 2 without the table
// writes), the importer's count, and the spans the browser marks.
//
//   bench-words [Bible.db] [passes]
//
// Without a verse table it splits a generated text of the KJV's size (31,102
// verses, some 790,000 words). Each line gives the best time of the passes.

#include "concordance/tablelayouts.h"
#include "concordance/wordrule.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>

namespace {

// The verse texts of a verse table, in key order.
QList<QByteArray> readVerses(const QString& path) {
    const QFileInfo file(path);
    TTable table;
    table.setDatabaseName(file.absolutePath());
    table.setTableName(file.completeBaseName());
    table.Open();
    QList<QByteArray> verses;
    for (table.First(); !table.Eof(); table.Next())
        verses << table.Fields(1).AsString().toUtf8();
    return verses;
}

// 31,102 verses of 25 or so words of 1 to 9 letters, some capitalised, with
// punctuation around them.
QList<QByteArray> makeVerses() {
    std::mt19937 random(20240521);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> length(1, 9);
    std::uniform_int_distribution<int> words(15, 35);
    std::uniform_int_distribution<int> mark(0, 9);
    QList<QByteArray> verses;
    for (int v = 0; v < 31102; ++v) {
        QByteArray text;
        for (int w = words(random); w > 0; --w) {
            QByteArray word;
            for (int n = length(random); n > 0; --n)
                word += char(letter(random));
            if (mark(random) == 0)
                word[0] = char(word[0] - 'a' + 'A');
            text += word + (mark(random) < 2 ? ", " : " ");
        }
        text.chop(1);
        verses << text + '.';
    }
    return verses;
}

// The best of `passes` runs of `pass`, in seconds.
double best(int passes, const std::function<void()>& pass) {
    double fastest = 1e30;
    for (int i = 0; i < passes; ++i) {
        QElapsedTimer timer;
        timer.start();
        pass();
        fastest = std::min(fastest, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return fastest;
}

void report(const char* what, double seconds, qint64 words, qint64 bytes) {
    std::printf("%-44s %8.2f ms  %7.1f M words/s  %7.1f MB/s\n", what, seconds * 1e3,
                static_cast<double>(words) / seconds / 1e6,
                static_cast<double>(bytes) / seconds / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    try {
        const QList<QByteArray> verses =
            argc > 1 ? readVerses(QString::fromLocal8Bit(argv[1])) : makeVerses();
        const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
        qint64 bytes = 0;
        qint64 words = 0;
        for (const QByteArray& verse : verses) {
            bytes += verse.size();
            words += concordance::countWords(verse);
        }
        std::printf("%lld verses, %lld words, %lld bytes; best of %d passes\n",
                    static_cast<long long>(verses.size()), static_cast<long long>(words),
                    static_cast<long long>(bytes), passes);

        QByteArray buffer;
        qint64 check = 0;
        report("split in place, a string per word (Build)",
               best(passes,
                    [&] {
                        for (const QByteArray& verse : verses) {
                            if (buffer.size() < verse.size() + 1)
                                buffer.resize(verse.size() + 1);
                            std::memcpy(buffer.data(), verse.constData(), size_t(verse.size()));
                            buffer[verse.size()] = 0;
                            concordance::splitInPlace(buffer.data(),
                                                      [&](const char* w, qsizetype n) {
                                                          check += QString::fromLatin1(w, n).size();
                                                      });
                        }
                    }),
               words, bytes);
        report("count (import-text)",
               best(passes,
                    [&] {
                        for (const QByteArray& verse : verses)
                            check += concordance::countWords(verse);
                    }),
               words, bytes);
        report("spans and their words (browser)",
               best(passes,
                    [&] {
                        for (const QByteArray& verse : verses)
                            for (const concordance::WordSpan& span : concordance::wordSpans(verse))
                                check += concordance::wordAt(verse, span).size();
                    }),
               words, bytes);
        return check > 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
