#include "builder/Wordtables.h"

#include "builder/Oddsandsods.h"
#include "builder/Stage.h"
#include "concordance/books.h"
#include "concordance/numberformat.h"
#include "concordance/versekey.h"
#include "concordance/wordrule.h"
#include "platform/core/table.h"

#include <limits>

using concordance::formatNumber;
using concordance::maxWordsPerVerse;

namespace {

constexpr int reportEvery = 37;
// How many references a report of left-out verses names.
constexpr qsizetype referencesShown = 5;

constexpr qint64 largestKey = std::numeric_limits<qint32>::max();

// "Esther 1:1, Esther 3:13" and, past the first few, "and 4 more".
QString references(const QList<qint32>& keys) {
    QStringList shown;
    for (qsizetype i = 0; i < keys.size() && i < referencesShown; ++i)
        shown << concordance::verseReference(keys[i]);
    QString text = shown.join(QStringLiteral(", "));
    if (keys.size() > referencesShown)
        text += QStringLiteral(" and %1 more").arg(formatNumber(keys.size() - referencesShown));
    return text;
}

QString verses(qsizetype count, const char* one, const char* many) {
    return formatNumber(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

} // namespace

TWordTables::TWordTables(StageReport& stageReport, concordance::WordForm words)
    : report(stageReport), form(words) {}

void TWordTables::showStatus(const QString& text) {
    report.showStatus(text);
}

void TWordTables::build(TTable* source, TTable* target) {
    int verseKey = 0;
    int verses = 0;
    cutVerses.clear();
    skippedVerses.clear();
    try {
        target->setIndexName(QString());
        verses = source->RecordCount();
        const QString suffix = QStringLiteral(" of ") + formatNumber(verses);
        showStatus(QStringLiteral("Indexing verse 0") + suffix);
        const int progressStep = verses / 40 ? verses / 40 : 1;
        int countdown = reportEvery;

        TField& verseField = source->Fields(0);
        TField& textField = source->Fields(1);

        source->First();
        while (!source->Eof()) {
            verseKey = verseField.AsInteger();
            if (--countdown == 0) {
                countdown = reportEvery;
                const int recNo = source->RecNo();
                showStatus(QStringLiteral("Verse ") + formatNumber(recNo) + suffix);
                report.setProgress(recNo / progressStep);
                report.processEvents();
            }
            const QString text = textField.AsString();

            // Near the top of the key range the verse's keys may not all
            // exist: such a verse is left out whole.
            const qint64 room = largestKey - verseKey;
            if (room < maxWordsPerVerse && concordance::countWords(text, form) > room) {
                skippedVerses << verseKey;
                source->Next();
                continue;
            }

            int position = 0;
            concordance::forEachStoredWordView(text, form, [&](QStringView word) {
                // Words past the 255th have no key of their own.
                if (++position > maxWordsPerVerse)
                    return;
                target->AppendRecord({qint64(verseKey) + position, word});
            });
            if (position > maxWordsPerVerse)
                cutVerses << verseKey;
            source->Next();
        }
    } catch (const EDatabaseError& e) {
        // The row being appended when the error came is discarded.
        if (target->State() == dsInsert)
            target->Delete();
        reportLeftOut();
        if (e.kind() == EDatabaseError::Kind::KeyViolation) {
            // Two verse keys lie closer together than the first verse has
            // words. Indexing stops here; the rows so far stay.
            msgBox("TWordTable::build",
                   e.message() +
                       QStringLiteral("\r\nIndexing stopped at verse key %1: the key of one "
                                      "of its words was already taken by the verse before.")
                           .arg(verseKey));
            return;
        }
        msgBox("TWordTable::build", e.message());
        showStatus(QString::number(verses) + QStringLiteral(" records processed"));
        return;
    }
    reportLeftOut();
    showStatus(QString::number(verses) + QStringLiteral(" records processed"));
}

void TWordTables::reportLeftOut() {
    if (!cutVerses.isEmpty())
        msgBox("TWordTable::build",
               QStringLiteral("%1 more than %2 words, more than a verse has keys for; only the "
                              "first %2 words of each were indexed: %3")
                   .arg(verses(cutVerses.size(), "verse has", "verses have"))
                   .arg(maxWordsPerVerse)
                   .arg(references(cutVerses)));
    if (!skippedVerses.isEmpty())
        msgBox("TWordTable::build",
               QStringLiteral("%1 not indexed: the keys of %2 words would pass %3, the largest "
                              "key the tables hold: %4")
                   .arg(verses(skippedVerses.size(), "verse was", "verses were"),
                        QLatin1String(skippedVerses.size() == 1 ? "its" : "their"),
                        formatNumber(largestKey), references(skippedVerses)));
}
