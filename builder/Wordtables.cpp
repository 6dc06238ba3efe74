#include "builder/Wordtables.h"

#include "builder/Oddsandsods.h"
#include "builder/Rebuild.h"
#include "platform/core/table.h"

#include <QCoreApplication>
#include <QProgressBar>

namespace {

// Byte classes of the word rule. Bytes are taken as signed 8-bit values, so
// every byte with the high bit set is negative and counts as a blank.
inline bool isEnd(signed char c) {
    return c == 0;
}
inline bool isBlank(signed char c) {
    return c < 0 || (c >= 1 && c <= 32);
}
inline bool isPunctuation(signed char c) {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
           (c >= 123 && c <= 126);
}
inline bool isWordCharacter(signed char c) {
    return c >= 33;
} // 33 to 127
inline signed char lowered(signed char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<signed char>(c - 'A' + 'a') : c;
}

constexpr int reportEvery = 37;

} // namespace

QString formatNumber(int value) {
    const QString digits = QString::number(value);
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const qsizetype left = digits.size() - i; // digits from here to the end
        if (i > 0 && left % 3 == 0 && digits[i - 1].isDigit())
            out += QLatin1Char(',');
        out += digits[i];
    }
    return out;
}

TWordTables::TWordTables(TStatusBar* statusBar, QProgressBar* progress)
    : statusPanel(statusBar), progressBar(progress) {}

void TWordTables::showStatus(const QString& text) {
    statusPanel->setPanelText(text);
}

// Splits the verse in place in verseBuffer-like storage. The text is followed
// by two NULs: one ends the text, the second ends the scan after a word that
// reaches the end of the text.
static void splitInPlace(char* buffer, QList<QByteArray>& words) {
    char* p = buffer;
    while (!isEnd(*p)) {
        while (!isEnd(*p) && (isBlank(*p) || isPunctuation(*p)))
            ++p;
        char* start = p;
        while (isWordCharacter(*p)) {
            *p = lowered(*p);
            ++p;
        }
        *p = 0;
        if (p == start)
            break;
        // Trailing punctuation goes, up to an apostrophe, which stays with
        // everything before it. A word starts with a letter or digit, so
        // trimming never empties it.
        char* last = p - 1;
        while (isPunctuation(*last) && *last != '\'')
            *last-- = 0;
        words.append(QByteArray(start, last - start + 1));
        ++p;
    }
}

void TWordTables::splitVerse(const QByteArray& text, QList<QByteArray>& words) {
    // Words end at the first NUL, like the text itself.
    const qsizetype length = qstrnlen(text.constData(), text.size());
    QByteArray buffer(length + 2, '\0');
    memcpy(buffer.data(), text.constData(), length);
    splitInPlace(buffer.data(), words);
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
        QList<QByteArray> words;

        source->First();
        while (!source->Eof()) {
            verseKey = verseField.AsInteger();
            if (--countdown == 0) {
                countdown = reportEvery;
                const int recNo = source->RecNo();
                showStatus(QStringLiteral("Verse ") + formatNumber(recNo) + suffix);
                progressBar->setValue(recNo / progressStep);
                QCoreApplication::processEvents();
            }
            // The buffer grows to the longest verse: no verse can overrun it.
            const QByteArray text = textField.AsString().toUtf8();
            const qsizetype length = qstrnlen(text.constData(), text.size());
            if (verseBuffer.size() < length + 2)
                verseBuffer.resize(length + 2);
            memcpy(verseBuffer.data(), text.constData(), length);
            verseBuffer[length] = 0;
            verseBuffer[length + 1] = 0;

            words.clear();
            splitInPlace(verseBuffer.data(), words);
            int position = 0;
            for (const QByteArray& word : words) {
                target->Append();
                keyField.setAsInteger(qint64(verseKey) + ++position);
                wordField.setAsString(QString::fromLatin1(word));
                target->Post();
            }
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
