#include "builder/Wordtables.h"

#include "builder/Oddsandsods.h"
#include "builder/Stage.h"
#include "concordance/numberformat.h"
#include "concordance/wordrule.h"
#include "platform/core/table.h"

#include <cstring>

using concordance::formatNumber;

namespace {

constexpr int reportEvery = 37;

} // namespace

TWordTables::TWordTables(StageReport& stageReport) : report(stageReport) {}

void TWordTables::showStatus(const QString& text) {
    report.showStatus(text);
}

void TWordTables::build(TTable* source, TTable* target) {
    int verseKey = 0;
    int verses = 0;
    try {
        target->setIndexName(QString());
        verses = source->RecordCount();
        const QString suffix = QStringLiteral(" of ") + formatNumber(verses);
        showStatus(QStringLiteral("Indexing verse 0") + suffix);
        const int progressStep = verses / 40 ? verses / 40 : 1;
        int countdown = reportEvery;

        TField& verseField = source->Fields(0);
        TField& textField = source->Fields(1);
        TField& keyField = target->Fields(0);
        TField& wordField = target->Fields(1);

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
            // The verse up to its first NUL, and a NUL after it. The buffer
            // grows to the longest verse: no verse can overrun it.
            const QByteArray text = textField.AsString().toUtf8();
            const qsizetype length = qstrnlen(text.constData(), size_t(text.size()));
            if (verseBuffer.size() < length + 1)
                verseBuffer.resize(length + 1);
            std::memcpy(verseBuffer.data(), text.constData(), size_t(length));
            verseBuffer[length] = 0;

            qint64 occurrence = verseKey;
            concordance::splitInPlace(verseBuffer.data(), [&](const char* word, qsizetype size) {
                target->Append();
                keyField.setAsInteger(++occurrence);
                wordField.setAsString(QString::fromLatin1(word, size));
                target->Post();
            });
            source->Next();
        }
    } catch (const EDatabaseError& e) {
        if (e.kind() == EDatabaseError::Kind::KeyViolation) {
            // Two verse keys lie closer together than the first verse has
            // words. Indexing stops here; the rows so far stay.
            target->Delete();
            msgBox("TWordTable::build",
                   e.message() +
                       QStringLiteral("\r\nIndexing stopped at verse key %1: the key of one "
                                      "of its words was already taken by the verse before.")
                           .arg(verseKey));
            return;
        }
        msgBox("TWordTable::build", e.message());
    }
    showStatus(QString::number(verses) + QStringLiteral(" records processed"));
}
