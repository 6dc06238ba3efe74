// import-text: writes a Bible text's verse table "Bible.db" into a text folder,
// from an installed SWORD module or from a verse file.
//
//   import-text --sword KJV --to <program folder>/Text/KJV [--force] [--keep-apostrophes]
//   import-text --vpl file.txt --to DIR
//   import-text --tsv file.tsv --to DIR
//
// Exit codes: 0 done, 1 the import failed (nothing written), 2 wrong command
// line, 130 interrupted (nothing written).

#include "concordance/numberformat.h"
#include "importer/bibletable.h"
#include "importer/progress.h"
#include "importer/swordsource.h"
#include "importer/verses.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

using concordance::formatNumber;

volatile std::sig_atomic_t stopRequested = 0;
// Set while nothing is being written: the input is read, perhaps from a FIFO
// that no program writes to or a pipe that stays silent, where the program
// may wait in open() or read() for ever. A signal then ends it at once; the
// system drops the folder's lock, and an unfinished "Bible_new" is removed by
// the next import. While the new table is written the signal only sets
// stopRequested, which the writer polls between rows.
volatile std::sig_atomic_t endAtOnce = 0;
bool newLineFirst = false; // a progress line may be open on the terminal

extern "C" void onSignal(int) {
    stopRequested = 1;
    if (endAtOnce) {
        static const char message[] = "\nimport-text: interrupted; nothing was written\n";
        const char* text = newLineFirst ? message : message + 1;
        const ssize_t written = ::write(STDERR_FILENO, text, std::strlen(text));
        static_cast<void>(written);
        ::_exit(130);
    }
}

void catchSignals() {
    newLineFirst = ::isatty(STDOUT_FILENO) != 0;
    endAtOnce = 1;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
}

bool interrupted() {
    return stopRequested != 0;
}

void printLine(FILE* stream, const QString& line) {
    std::fputs(line.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

QString plural(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(formatNumber(n), QLatin1String(n == 1 ? one : many));
}

// Prints the errors that stopped the import (at most `shown` of them).
void printErrors(const QStringList& errors) {
    constexpr int shown = 50;
    for (qsizetype i = 0; i < errors.size() && i < shown; ++i)
        printLine(stderr, errors[i]);
    if (errors.size() > shown)
        printLine(stderr,
                  QStringLiteral("... and %1 more").arg(formatNumber(errors.size() - shown)));
}

int fail(const QString& message) {
    printLine(stderr, QStringLiteral("import-text: %1").arg(message));
    return 1;
}

QString references(const verses::Collection& verses, const QList<quint32>& keys) {
    QStringList refs;
    for (qsizetype i = 0; i < keys.size() && i < 10; ++i)
        refs << verses.reference(keys[i]);
    if (keys.size() > 10)
        refs << QStringLiteral("...");
    return refs.join(QStringLiteral(", "));
}

void printSummary(const verses::Collection& verses, const BibleTableWriter& writer,
                  bool keepApostrophes) {
    printLine(stdout,
              QStringLiteral("%1 %2 %3")
                  .arg(writer.replaced() ? QStringLiteral("Replaced") : QStringLiteral("Wrote"),
                       writer.path(),
                       QStringLiteral("with ") + plural(verses.size(), "verse", "verses")));
    qint64 skipped = 0;
    QStringList why;
    for (const auto& [reason, count] : verses.skips()) {
        skipped += count;
        why << QStringLiteral("%1 %2").arg(formatNumber(count), reason);
    }
    printLine(stdout, skipped == 0 ? QStringLiteral("Skipped: none")
                                   : QStringLiteral("Skipped: %1 (%2)")
                                         .arg(plural(skipped, "verse", "verses"),
                                              why.join(QStringLiteral(", "))));
    if (verses.longestKey() != 0)
        printLine(stdout, QStringLiteral("Longest verse: %1, %2")
                              .arg(verses.reference(verses.longestKey()),
                                   plural(verses.longestBytes(), "byte", "bytes")));
    if (!keepApostrophes)
        printLine(stdout, QStringLiteral("Typographic apostrophes made plain: %1")
                              .arg(formatNumber(verses.foldedApostrophes())));
    for (const QString& note : verses.notes())
        printLine(stdout, note);
    for (const QString& remark : writer.remarks())
        printLine(stdout, remark);
    if (!verses.crowdedVerses().isEmpty())
        printLine(stdout,
                  QStringLiteral("Warning: %1 more than %2 words, more than a verse key has "
                                 "room for; Build cannot index them whole: %3")
                      .arg(plural(verses.crowdedVerses().size(), "verse has", "verses have"))
                      .arg(verses::maxWordsPerVerse)
                      .arg(references(verses, verses.crowdedVerses())));
    if (!verses.overlongVerses().isEmpty())
        printLine(stdout, QStringLiteral("Warning: %1 longer than %2 bytes: %3")
                              .arg(plural(verses.overlongVerses().size(), "verse is", "verses are"))
                              .arg(verses::overlongBytes)
                              .arg(references(verses, verses.overlongVerses())));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("import-text"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Writes a Bible text's verse table Bible.db into a text folder, from an installed "
            "SWORD module or from a verse file.\n\n"
            "Examples:\n"
            "  import-text --sword KJV --to out/release/app/Text/KJV\n"
            "  import-text --vpl kjv.txt --to out/release/app/Text/KJV --force\n\n"
            "A verse-per-line file has lines \"Genesis 1:1 In the beginning ...\" (book names in "
            "English or as OSIS abbreviations); a tab-separated file has a verse key or \"book "
            "chapter verse\", a tab and the text. Files are UTF-8.%1")
            .arg(sword_source::available()
                     ? QString()
                     : QStringLiteral("\n\nThis import-text was built without the SWORD "
                                      "library: --sword is not available.")));
    parser.addHelpOption();
    const QCommandLineOption swordOption(
        QStringLiteral("sword"),
        sword_source::available()
            ? QStringLiteral("Import the installed SWORD module <module> (its name, such as "
                             "engKJV2006eb, or its short name, such as KJV).")
            : QStringLiteral("Not available: built without the SWORD library."),
        QStringLiteral("module"));
    const QCommandLineOption vplOption(QStringLiteral("vpl"),
                                       QStringLiteral("Import the verse-per-line file <file>."),
                                       QStringLiteral("file"));
    const QCommandLineOption tsvOption(QStringLiteral("tsv"),
                                       QStringLiteral("Import the tab-separated file <file>."),
                                       QStringLiteral("file"));
    const QCommandLineOption toOption(
        QStringLiteral("to"), QStringLiteral("The text folder <dir> to write Bible.db into."),
        QStringLiteral("dir"));
    const QCommandLineOption forceOption(QStringLiteral("force"),
                                         QStringLiteral("Replace an existing Bible.db."));
    const QCommandLineOption keepOption(
        QStringLiteral("keep-apostrophes"),
        QStringLiteral("Keep the typographic apostrophes U+2018 and U+2019 (by default they "
                       "become ').")); // Build splits words at every byte above 127.
    parser.addOptions({swordOption, vplOption, tsvOption, toOption, forceOption, keepOption});

    if (!parser.parse(QCoreApplication::arguments())) {
        printLine(stderr, QStringLiteral("import-text: %1 (see --help)").arg(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printLine(stdout, parser.helpText());
        return 0;
    }
    const int sources = int(parser.isSet(swordOption)) + int(parser.isSet(vplOption)) +
                        int(parser.isSet(tsvOption));
    if (sources != 1 || !parser.isSet(toOption) || !parser.positionalArguments().isEmpty()) {
        printLine(stderr, QStringLiteral("import-text: give one of --sword, --vpl or --tsv, and "
                                         "--to (see --help)"));
        return 2;
    }
    if (parser.isSet(swordOption) && !sword_source::available())
        return fail(QStringLiteral("--sword is not available: this import-text was built "
                                   "without the SWORD library (libsword-dev)"));

    catchSignals();

    const bool keepApostrophes = parser.isSet(keepOption);
    BibleTableWriter writer(parser.value(toOption));
    QString message;
    // Before reading anything: is there a table in the way, or does someone hold it?
    if (!writer.prepare(parser.isSet(forceOption), message))
        return fail(message);

    Progress progress = Progress::forStdout();
    verses::Collection verses(keepApostrophes);
    if (parser.isSet(swordOption)) {
        sword_source::read(parser.value(swordOption), verses, progress, interrupted);
    } else {
        const bool vpl = parser.isSet(vplOption);
        const QString file = parser.value(vpl ? vplOption : tsvOption);
        progress.start(QStringLiteral("Reading %1").arg(file), 0);
        verses::readFile(
            file, vpl ? verses::FileForm::VersePerLine : verses::FileForm::TabSeparated, verses);
        if (verses.errors().isEmpty())
            progress.finish(plural(verses.size(), "verse", "verses"));
        else
            progress.interrupt();
    }
    if (interrupted()) {
        printLine(stderr, QStringLiteral("import-text: interrupted; nothing was written"));
        return 130;
    }
    if (!verses.errors().isEmpty()) {
        printErrors(verses.errors());
        return fail(QStringLiteral("%1; nothing was written")
                        .arg(plural(verses.errors().size(), "error", "errors")));
    }
    if (verses.size() == 0)
        return fail(QStringLiteral("no verse with text found; nothing was written"));

    endAtOnce = 0; // from here on the writer stops at the signal and removes the new table
    if (!writer.write(verses.sorted(), progress, interrupted, message)) {
        if (interrupted()) {
            printLine(stderr, QStringLiteral("import-text: %1").arg(message));
            return 130;
        }
        return fail(QStringLiteral("%1; nothing was written").arg(message));
    }
    if (interrupted()) {
        printLine(stderr, QStringLiteral("import-text: interrupted; nothing was written"));
        return 130;
    }
    if (!writer.commit(message))
        return fail(QStringLiteral("%1; nothing was written").arg(message));
    printSummary(verses, writer, keepApostrophes);
    return 0;
}
