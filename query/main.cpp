// concordance-query: answers a query on the concordance of a text that Build
// has built, on standard output, for scripts and terminals.
//
//   concordance-query [--text NAME] [--in RANGE]
//                     [--count | --by-book | --words | --renderings | --kwic N]
//                     [--format text|tsv|csv|json] QUERY
//
// Exit codes: 0 the query found something, 1 it found nothing, 2 a bad query,
// range or command line, or a text that cannot be asked (message on stderr).

#include "concordance/books.h"
#include "concordance/queryengine.h"
#include "concordance/tablerow.h"
#include "concordance/textfolder.h"
#include "concordance/textrules.h"
#include "concordance/versekey.h"
#include "concordance/wordrule.h"
#include "platform/core/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

namespace {

using namespace concordance;

constexpr int exitFound = 0;
constexpr int exitNone = 1;
constexpr int exitError = 2;

const char* const programName = "concordance-query";

void printLine(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

int fail(const QString& message) {
    const QByteArray bytes =
        (QLatin1String(programName) + QStringLiteral(": ") + message + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    return exitError;
}

enum class Format { Text, Tsv, Csv, Json };

// One row of a table in the chosen format.
QString row(Format format, const QStringList& cells) {
    return tableRow(format == Format::Csv ? RowFormat::Csv : RowFormat::Tsv, cells);
}

void printHeader(Format format, const QStringList& names) {
    if (format == Format::Tsv || format == Format::Csv)
        printLine(row(format, names));
}

void printJson(const QJsonObject& object) {
    printLine(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

QString joinNumbers(const QList<int>& numbers) {
    QStringList out;
    for (const int n : numbers)
        out << QString::number(n);
    return out.join(QLatin1Char(' '));
}

// The text between the words `first` and `last` (0-based, both included) of a
// verse, as it stands.
QString wordsText(const QByteArray& text, const QList<WordSpan>& spans, qsizetype first,
                  qsizetype last) {
    first = std::max<qsizetype>(first, 0);
    last = std::min<qsizetype>(last, spans.size() - 1);
    if (first > last)
        return QString();
    const qsizetype from = spans.at(first).start;
    const qsizetype to = spans.at(last).start + spans.at(last).length;
    return QString::fromUtf8(text.sliced(from, to - from));
}

// The text to open: the one named, or without a name the only text there is,
// or the KJV among several.
QString chooseText(const QString& named, QString* error) {
    const QString folder = textsFolder();
    if (!named.isEmpty()) {
        if (!isFolderName(named)) {
            *error = QStringLiteral("\"%1\" is no text name: a text is a folder of %2")
                         .arg(named, QDir::toNativeSeparators(folder));
            return QString();
        }
        if (!QFileInfo(folder + named).isDir()) {
            *error = QStringLiteral("there is no text %1 (no folder %2)")
                         .arg(named, QDir::toNativeSeparators(folder + named));
            return QString();
        }
        return named;
    }
    QStringList texts;
    for (const QString& name :
         QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (textState(folder + name) != TextState::NoText)
            texts << name;
    if (texts.size() == 1)
        return texts.first();
    if (texts.contains(QLatin1String("KJV")))
        return QStringLiteral("KJV");
    *error = texts.isEmpty()
                 ? QStringLiteral("there is no text in %1: import one with import-text and build "
                                  "it with Build")
                       .arg(QDir::toNativeSeparators(folder))
                 : QStringLiteral("name the text with --text (%1)")
                       .arg(texts.join(QStringLiteral(", ")));
    return QString();
}

// The words a query matched, or a number's renderings, one a line with their
// occurrences and verses, and in text form a closing total `summary`
// ("%1 %2, %3 occurrences in %4 verses") naming them `one` or `many`.
void printForms(Format format, const QList<FormCount>& forms, const QueryResult& result,
                const QString& column, const QString& summary, const char* one, const char* many) {
    printHeader(format, {column, QStringLiteral("occurrences"), QStringLiteral("verses")});
    for (const FormCount& form : forms) {
        if (format == Format::Json)
            printJson({{column, form.words},
                       {QStringLiteral("occurrences"), form.occurrences},
                       {QStringLiteral("verses"), form.verses}});
        else
            printLine(row(format, {form.words, QString::number(form.occurrences),
                                   QString::number(form.verses)}));
    }
    if (format == Format::Text)
        printLine(summary.arg(forms.size())
                      .arg(QLatin1String(forms.size() == 1 ? one : many))
                      .arg(result.occurrences())
                      .arg(result.verseCount()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(programName));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Answers QUERY from the concordance of a text that Build has built.\n\n"
        "QUERY: word, \"a phrase\", prefix*, A NEAR/n B (at most n words between; NEAR alone: "
        "10), A B (both in one verse), A OR B, -A (verses without A), ( ). Case does not "
        "count.\n"
        "RANGE: books by name or abbreviation (John, Jn), Matthew-John, OT, NT, John 1-3, "
        "John 3:16, several separated by commas.\n\n"
        "Prints the verses found (reference, text), or with --count the occurrences and "
        "verses, --by-book the same per book, --words the words matched with their counts, "
        "--kwic N each occurrence with N words either side. Exit status: 0 found, 1 nothing "
        "found, 2 a bad query, range or text."));
    const QCommandLineOption textOption(
        QStringLiteral("text"),
        QStringLiteral("The text to ask, a folder of %1 (without it: the only text there, or "
                       "KJV).")
            .arg(QDir::toNativeSeparators(textsFolder())),
        QStringLiteral("NAME"));
    const QCommandLineOption inOption(QStringLiteral("in"),
                                      QStringLiteral("Limits the query to RANGE."),
                                      QStringLiteral("RANGE"));
    const QCommandLineOption countOption(QStringLiteral("count"),
                                         QStringLiteral("Prints occurrences and verses."));
    const QCommandLineOption byBookOption(
        QStringLiteral("by-book"), QStringLiteral("Prints occurrences and verses per book."));
    const QCommandLineOption wordsOption(
        QStringLiteral("words"), QStringLiteral("Prints the words matched with their counts."));
    const QCommandLineOption renderingsOption(
        QStringLiteral("renderings"),
        QStringLiteral("Prints the words that render the query's Strong's numbers (G26, H2617), "
                       "the most frequent first, with their occurrences (word elements) and "
                       "verses."));
    const QCommandLineOption kwicOption(
        QStringLiteral("kwic"), QStringLiteral("Prints each occurrence with N words either side."),
        QStringLiteral("N"));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("text (default), tsv, csv or json."),
                                          QStringLiteral("FORMAT"), QStringLiteral("text"));
    parser.addOptions({textOption, inOption, countOption, byBookOption, wordsOption,
                       renderingsOption, kwicOption, formatOption});
    parser.addPositionalArgument(QStringLiteral("QUERY"), QStringLiteral("The query."));

    // The parser's text, less its own usage line, and the two options every
    // program answers.
    QString description = parser.helpText();
    description.remove(0, description.indexOf(QLatin1Char('\n')) + 1);
    description += QStringLiteral("\n  --help     Show this text.\n"
                                  "  --version  Show the program's version.\n");
    const platform::CommandLineSpec spec{
        QLatin1String(programName),
        QStringLiteral("Usage: concordance-query [--text NAME] [--in RANGE]\n"
                       "                         [--count | --by-book | --words | --renderings | "
                       "--kwic N]\n"
                       "                         [--format text|tsv|csv|json] QUERY\n"
                       "       concordance-query --help | --version\n"),
        description,
        {{"--text", true},
         {"--in", true},
         {"--count"},
         {"--by-book"},
         {"--words"},
         {"--renderings"},
         {"--kwic", true},
         {"--format", true}},
        false,
        {}};
    if (const auto answered = platform::answerCommandLine(spec, app.arguments().mid(1)))
        return *answered;
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText() + QStringLiteral(" (see --help)"));

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return fail(QStringLiteral("give a query, for example: %1 --count jesus (see --help)")
                        .arg(QLatin1String(programName)));
    // The words of a query given unquoted on the command line are one query.
    const QString queryText = positional.join(QLatin1Char(' '));

    int modes = 0;
    for (const QCommandLineOption* mode :
         {&countOption, &byBookOption, &wordsOption, &renderingsOption, &kwicOption})
        modes += parser.isSet(*mode) ? 1 : 0;
    if (modes > 1)
        return fail(QStringLiteral(
            "--count, --by-book, --words, --renderings and --kwic exclude one another"));
    int context = 0;
    if (parser.isSet(kwicOption)) {
        bool ok = false;
        context = parser.value(kwicOption).toInt(&ok);
        if (!ok || context < 0 || context > maxWordsPerVerse)
            return fail(QStringLiteral("--kwic takes a number of words from 0 to %1, not \"%2\"")
                            .arg(maxWordsPerVerse)
                            .arg(parser.value(kwicOption)));
    }
    Format format = Format::Text;
    const QString formatName = parser.value(formatOption);
    if (formatName == QLatin1String("tsv"))
        format = Format::Tsv;
    else if (formatName == QLatin1String("csv"))
        format = Format::Csv;
    else if (formatName == QLatin1String("json"))
        format = Format::Json;
    else if (formatName != QLatin1String("text"))
        return fail(
            QStringLiteral("--format is text, tsv, csv or json, not \"%1\"").arg(formatName));

    QueryNode query;
    try {
        query = parseQuery(queryText);
    } catch (const QueryError& e) {
        return fail(e.describe(queryText));
    }

    QString error;
    const QString name = chooseText(parser.value(textOption), &error);
    if (name.isEmpty())
        return fail(error);

    // A text of the Unicode word rule makes the query's words by that rule.
    concordance::TextRules rules;
    try {
        rules = concordance::readTextRules(textsFolder() + name);
        if (rules.isUnicode())
            query = parseQuery(queryText, rules.words);
    } catch (const QueryError& e) {
        return fail(e.describe(queryText));
    } catch (const platform::Exception& e) {
        return fail(e.message());
    }

    try {
        QueryEngine engine(textsFolder() + name);
        VerseRange range;
        if (parser.isSet(inOption)) {
            try {
                range = VerseRange::parse(parser.value(inOption), engine.books());
            } catch (const RangeError& e) {
                return fail(QStringLiteral("--in: ") + e.message());
            }
        }
        const QueryResult result = engine.run(query, range);
        const bool found = !result.matches.empty();

        if (parser.isSet(countOption)) {
            const QString occurrences = QString::number(result.occurrences());
            const QString verses = QString::number(result.verseCount());
            if (format == Format::Json) {
                printJson({{QStringLiteral("occurrences"), result.occurrences()},
                           {QStringLiteral("verses"), result.verseCount()}});
            } else {
                printHeader(format, {QStringLiteral("occurrences"), QStringLiteral("verses")});
                printLine(row(format, {occurrences, verses}));
            }
        } else if (parser.isSet(byBookOption)) {
            printHeader(format, {QStringLiteral("book"), QStringLiteral("occurrences"),
                                 QStringLiteral("verses")});
            for (const BookCount& book : result.byBook()) {
                if (format == Format::Json)
                    printJson({{QStringLiteral("book"), bookName(book.book)},
                               {QStringLiteral("number"), book.book},
                               {QStringLiteral("occurrences"), book.occurrences},
                               {QStringLiteral("verses"), book.verses}});
                else
                    printLine(row(format, {bookName(book.book), QString::number(book.occurrences),
                                           QString::number(book.verses)}));
            }
        } else if (parser.isSet(wordsOption)) {
            printForms(format, engine.forms(result), result, QStringLiteral("words"),
                       QStringLiteral("%1 %2, %3 occurrences in %4 verses"), "word", "words");
        } else if (parser.isSet(renderingsOption)) {
            // A number's renderings, the most frequent first: an occurrence is
            // one word element, however many words it spans.
            QList<FormCount> forms = engine.forms(result);
            std::stable_sort(forms.begin(), forms.end(),
                             [](const FormCount& a, const FormCount& b) {
                                 return a.occurrences > b.occurrences;
                             });
            printForms(format, forms, result, QStringLiteral("rendering"),
                       QStringLiteral("%1 %2, %3 occurrences (word elements) in %4 verses"),
                       "rendering", "renderings");
        } else if (parser.isSet(kwicOption)) {
            printHeader(format, {QStringLiteral("reference"), QStringLiteral("before"),
                                 QStringLiteral("match"), QStringLiteral("after")});
            for (const MatchedVerse& verse : result.verses()) {
                // The words where the text's rule finds them: a Unicode text's in
                // its verses' NFC form.
                const QString verseText = engine.verseText(verse.key);
                const QString shown = rules.isUnicode() ? concordance::toNfc(verseText) : verseText;
                const QByteArray text = shown.toUtf8();
                QList<WordSpan> spans;
                for (const WordSpan& span : wordSpans(shown, rules.words))
                    spans.append({shown.first(span.start).toUtf8().size(),
                                  shown.sliced(span.start, span.length).toUtf8().size()});
                for (const MatchSpan& span : verse.spans) {
                    const qsizetype first = span.start - 1;
                    const qsizetype last = first + span.length - 1;
                    const QString reference = verseReference(verse.key);
                    const QString before = wordsText(text, spans, first - context, first - 1);
                    const QString match = wordsText(text, spans, first, last);
                    const QString after = wordsText(text, spans, last + 1, last + context);
                    if (format == Format::Json)
                        printJson({{QStringLiteral("reference"), reference},
                                   {QStringLiteral("verse"), verse.key},
                                   {QStringLiteral("position"), span.start},
                                   {QStringLiteral("before"), before},
                                   {QStringLiteral("match"), match},
                                   {QStringLiteral("after"), after}});
                    else
                        printLine(row(format, {reference, before, match, after}));
                }
            }
        } else {
            printHeader(format, {QStringLiteral("reference"), QStringLiteral("verse"),
                                 QStringLiteral("positions"), QStringLiteral("text")});
            for (const MatchedVerse& verse : result.verses()) {
                const QString reference = verseReference(verse.key);
                const QString text = engine.verseText(verse.key);
                const QList<int> positions = verse.positions();
                if (format == Format::Json) {
                    QJsonArray list;
                    for (const int p : positions)
                        list.append(p);
                    printJson({{QStringLiteral("reference"), reference},
                               {QStringLiteral("verse"), verse.key},
                               {QStringLiteral("positions"), list},
                               {QStringLiteral("text"), text}});
                } else if (format == Format::Text) {
                    printLine(row(format, {reference, text}));
                } else {
                    printLine(row(format, {reference, QString::number(verse.key),
                                           joinNumbers(positions), text}));
                }
            }
        }
        std::fflush(stdout);
        return found ? exitFound : exitNone;
    } catch (const QueryError& e) {
        return fail(e.describe(queryText));
    } catch (const std::exception& e) {
        return fail(platform::exceptionMessage(e));
    }
}
