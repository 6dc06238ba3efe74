#include "browser/Lookup.h"

#include "concordance/tablelayouts.h"
#include "concordance/wordrule.h"
#include "platform/core/table.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace browser {

namespace {

bool hasTable(const QString& folder, QLatin1String name) {
    return QFileInfo(QDir(folder).filePath(name + QStringLiteral(".db"))).isFile();
}

// A table of the text's folder, opened plainly for the life of the object.
class OpenTable {
public:
    OpenTable(const QString& folder, QLatin1String name) {
        table.setDatabaseName(folder);
        table.setTableName(name);
        table.setExclusive(false);
        table.Open();
    }
    ~OpenTable() {
        try {
            table.Close();
        } catch (...) {
            // Only reads were made: closing releases the file in any case.
        }
    }
    OpenTable(const OpenTable&) = delete;
    OpenTable& operator=(const OpenTable&) = delete;
    TTable* operator->() { return &table; }

private:
    TTable table;
};

// Key search on the first field of the current index.
bool findKey(OpenTable& table, const char* field, const QString& value) {
    table->SetKey();
    table->FieldByName(QString::fromLatin1(field)).setAsString(value);
    return table->GotoKey();
}
bool findKey(OpenTable& table, const char* field, int value) {
    table->SetKey();
    table->FieldByName(QString::fromLatin1(field)).setAsInteger(value);
    return table->GotoKey();
}

} // namespace

QStringList textNames(const QString& textsFolder) {
    QStringList names;
    const QDir dir(textsFolder);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (hasTable(dir.filePath(name), concordance::verseTable))
            names << name;
    }
    return names;
}

QByteArray concordanceWord(const QString& typed, int* wordCount, concordance::WordForm form) {
    return concordance::firstStoredWord(typed, form, wordCount).toUtf8();
}

LookupResult lookUp(const QString& folder, const QByteArray& word) {
    LookupResult result;
    result.word = word;
    if (word.isEmpty())
        return result;

    {
        OpenTable key(folder, concordance::keyTable);
        if (key->RecordCount() == 0) {
            result.status = LookupResult::NotBuilt;
            return result;
        }
        // Word number n is row n of "Key" in its primary order.
        if (!findKey(key, "Word", QString::fromUtf8(word)))
            return result;
        result.wordNumber = key->RecNo();
    }
    result.status = LookupResult::Found;

    {
        OpenTable freq(folder, concordance::freqTable);
        if (findKey(freq, "F1", result.wordNumber))
            result.occurrences = freq->FieldByName(QStringLiteral("F2")).AsInteger();
        else
            result.consistent = false;
    }

    QList<qint64> occurrences;
    {
        OpenTable words(folder, concordance::wordTable);
        // The word-number index, on the one field R2.
        const TIndexDef byWord = concordance::wordKeyIndex();
        words->setIndexName(byWord.Name);
        TField* number = &words->FieldByName(byWord.Fields);
        words->EditRangeStart();
        number->setAsInteger(result.wordNumber);
        words->EditRangeEnd();
        number->setAsInteger(result.wordNumber);
        words->ApplyRange();
        TField& occurrence = words->FieldByName(QStringLiteral("R1"));
        for (words->First(); !words->Eof(); words->Next())
            occurrences << quint32(occurrence.AsInteger());
    }
    std::sort(occurrences.begin(), occurrences.end());
    result.occurrenceRows = static_cast<int>(occurrences.size());
    if (result.occurrenceRows != result.occurrences)
        result.consistent = false;

    // An occurrence key is its verse's key plus the word's position.
    for (const qint64 key : occurrences) {
        const qint32 verse = qint32(quint32(key) & ~quint32(0xff));
        const int position = int(key & 0xff);
        if (result.verses.isEmpty() || result.verses.last().verseKey != verse)
            result.verses.append(VerseHit{verse, {}});
        result.verses.last().positions << position;
    }
    return result;
}

QList<TextSpan> wordSpansAt(const QString& text, const QList<int>& positions,
                            concordance::WordForm form) {
    const QList<concordance::WordSpan> spans = concordance::wordSpans(text, form);
    QList<TextSpan> out;
    for (const int position : positions) {
        if (position < 1 || position > spans.size())
            continue;
        const concordance::WordSpan& span = spans.at(position - 1);
        out.append({static_cast<int>(span.start), static_cast<int>(span.length)});
    }
    return out;
}

} // namespace browser
