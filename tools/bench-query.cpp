// Times the query engine on a built text against SQLite's full-text index FTS5
// (tokenizer unicode61) built over the same verses in the same run:
//
//   bench-query FOLDER [RUNS]
//
// FOLDER is a built text's folder, for example out/release/app/Text/KJV. For
// each query type (a common word, a common phrase, a prefix, NEAR, AND, NOT, a
// word within a range) it prints the median time of RUNS answers (default 21)
// by each, their ratio and the verses each found; the engine's answer holds
// the occurrences and their positions too, FTS5's the verse keys only. The
// counts differ where the word rules differ: FTS5 splits words at every
// apostrophe and hyphen, the concordance does not. Then the time from opening
// the text to the first 40 verses of "the" ready to show, as the browser
// does it.

#include "concordance/queryengine.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "bench-query: %s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

// The FTS5 index of the verse table, in memory: rowid = verse key.
sqlite3* buildIndex(const QString& folder, double* ms) {
    QElapsedTimer timer;
    timer.start();
    sqlite3* db = nullptr;
    check(db, sqlite3_open(":memory:", &db), "opening memory");
    const QByteArray bible = (folder + QStringLiteral("/Bible.db")).toUtf8();
    sqlite3_stmt* attach = nullptr;
    check(db, sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS b", -1, &attach, nullptr), "attach");
    sqlite3_bind_text(attach, 1, bible.constData(), -1, SQLITE_TRANSIENT);
    check(db, sqlite3_step(attach), "attach");
    sqlite3_finalize(attach);
    check(db,
          sqlite3_exec(db,
                       "CREATE VIRTUAL TABLE v USING fts5(text, tokenize='unicode61');"
                       "INSERT INTO v(rowid, text) SELECT Verse, Text FROM b.Bible;"
                       "INSERT INTO v(v) VALUES('optimize');"
                       "DETACH DATABASE b;",
                       nullptr, nullptr, nullptr),
          "building the FTS5 index");
    *ms = double(timer.nsecsElapsed()) / 1e6;
    return db;
}

// The verse keys FTS5 finds, in order.
std::vector<qint64> ftsVerses(sqlite3* db, const char* match, qint64 first, qint64 last) {
    static sqlite3_stmt* st = nullptr;
    if (!st)
        check(db,
              sqlite3_prepare_v3(db,
                                 "SELECT rowid FROM v WHERE v MATCH ?1 AND rowid BETWEEN ?2 AND "
                                 "?3 ORDER BY rowid",
                                 -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr),
              "preparing");
    sqlite3_reset(st);
    sqlite3_bind_text(st, 1, match, -1, SQLITE_STATIC);
    sqlite3_bind_int64(st, 2, first);
    sqlite3_bind_int64(st, 3, last);
    std::vector<qint64> out;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.push_back(sqlite3_column_int64(st, 0));
    check(db, rc, match);
    return out;
}

struct Case {
    const char* type;
    const char* query; // the engine's
    const char* range; // the engine's --in, or ""
    const char* fts;   // FTS5's MATCH
    qint64 first;      // FTS5's rowid range
    qint64 last;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: bench-query FOLDER [RUNS]\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    if (!QFileInfo(folder + QStringLiteral("/Word.db")).isFile()) {
        std::fprintf(stderr, "bench-query: %s holds no built text\n", argv[1]);
        return 2;
    }
    try {
        double buildMs = 0;
        sqlite3* db = buildIndex(folder, &buildMs);
        std::printf("FTS5 index of the verses built in %.0f ms (in memory)\n", buildMs);

        QElapsedTimer timer;
        timer.start();
        concordance::QueryEngine engine(folder);
        std::printf("engine opened in %.1f ms (%zu words read from Key)\n\n",
                    double(timer.nsecsElapsed()) / 1e6, engine.words().size());

        constexpr qint64 whole = 0x7fffffff;
        constexpr qint64 ntFirst = qint64(40) << 24;
        constexpr qint64 ntLast = (qint64(66) << 24) | 0xffffff;
        const Case cases[] = {
            {"common word", "the", "", "the", 0, whole},
            {"word", "jesus", "", "jesus", 0, whole},
            {"common phrase", "\"the son of man\"", "", "\"the son of man\"", 0, whole},
            {"long phrase", "\"and it came to pass\"", "", "\"and it came to pass\"", 0, whole},
            {"prefix", "bless*", "", "bless*", 0, whole},
            {"short prefix", "s*", "", "s*", 0, whole},
            {"NEAR", "faith NEAR/5 love", "", "NEAR(faith love, 5)", 0, whole},
            {"common NEAR", "the NEAR/2 lord", "", "NEAR(the lord, 2)", 0, whole},
            {"AND", "faith hope", "", "faith AND hope", 0, whole},
            {"OR", "faith OR hope", "", "faith OR hope", 0, whole},
            {"NOT", "lord -god", "", "lord NOT god", 0, whole},
            {"range", "love", "NT", "love", ntFirst, ntLast},
            {"common word in a range", "the", "NT", "the", ntFirst, ntLast},
        };
        std::printf("%-22s %-24s %9s %9s %9s %7s %17s %9s\n", "type", "query", "first", "engine",
                    "FTS5", "ratio", "engine occ/verses", "FTS5");
        double worst = 0;
        for (const Case& c : cases) {
            const concordance::VerseRange range =
                *c.range ? concordance::VerseRange::parse(QString::fromLatin1(c.range))
                         : concordance::VerseRange();
            const concordance::QueryNode query =
                concordance::parseQuery(QString::fromUtf8(c.query));
            concordance::QueryResult result;
            double firstMs = 0;
            {
                concordance::QueryEngine fresh(folder);
                QElapsedTimer first;
                first.start();
                result = fresh.run(query, range);
                firstMs = double(first.nsecsElapsed()) / 1e6;
            }
            const double engineMs = medianMs(runs, [&] { result = engine.run(query, range); });
            std::vector<qint64> verses;
            const double ftsMs =
                medianMs(runs, [&] { verses = ftsVerses(db, c.fts, c.first, c.last); });
            const double ratio = engineMs / ftsMs;
            worst = std::max(worst, ratio);
            const QString label =
                QString::fromUtf8(c.query) +
                (*c.range ? QStringLiteral(" in ") + QLatin1String(c.range) : QString());
            std::printf("%-22s %-24s %6.2f ms %6.2f ms %6.2f ms %6.2fx %8lld/%-8lld %9zu%s\n",
                        c.type, qPrintable(label), firstMs, engineMs, ftsMs, ratio,
                        static_cast<long long>(result.occurrences()),
                        static_cast<long long>(result.verseCount()), verses.size(),
                        qint64(verses.size()) == result.verseCount() ? "" : " (rules differ)");
        }
        std::printf("\nslowest ratio engine/FTS5: %.2f\n", worst);

        // As the browser shows "the": open the text, answer, read the first
        // screen of verses.
        const double firstMs = medianMs(runs, [&] {
            concordance::QueryEngine fresh(folder);
            const concordance::QueryResult result = fresh.run(QStringLiteral("the"));
            const QList<concordance::MatchedVerse> verses = result.verses();
            for (qsizetype i = 0; i < verses.size() && i < 40; ++i)
                fresh.verseText(verses[i].key);
        });
        std::printf("\"the\": first 40 verses ready %.1f ms after opening the text\n", firstMs);
        sqlite3_close(db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench-query: %s\n", e.what());
        return 1;
    }
    return 0;
}
