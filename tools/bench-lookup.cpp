// Times the concordance browser's look-up on a built text and prints, for each
// word, its occurrences, its verses and the time the look-up took (opening,
// reading and closing "Key", "Freq" and "Word"):
//
//   bench-lookup FOLDER [WORD...]
//
// FOLDER is a built text's folder, for example out/release/app/Text/KJV.

#include "browser/Lookup.h"

#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: bench-lookup FOLDER [WORD...]\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QStringList words;
    for (int i = 2; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (words.isEmpty())
        words = {"jesus", "the", "and", "zion", "xyzzy"};
    try {
        for (const QString& typed : words) {
            QElapsedTimer timer;
            timer.start();
            const browser::LookupResult r =
                browser::lookUp(folder, browser::concordanceWord(typed));
            std::printf("%-12s %7d occurrences in %6d verses %6lld ms\n", qPrintable(typed),
                        r.occurrences, static_cast<int>(r.verses.size()), timer.elapsed());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-lookup: %s\n", e.what());
        return 1;
    }
    return 0;
}
