#include "concordance/tablelayouts.h"

namespace concordance {

namespace {

void clear(TFieldDefs& fields, TIndexDefs& indexes) {
    fields.Clear();
    indexes.Clear();
}

} // namespace

void bindTable(TTable& table, const QString& folder, const QString& name) {
    table.setDatabaseName(folder);
    table.setTableType(ttParadox);
    table.setTableName(name);
    table.setUpdateMode(upWhereKeyOnly);
}

void defineVerseTable(TFieldDefs& fields, TIndexDefs& indexes) {
    clear(fields, indexes);
    fields.Add(QStringLiteral("Verse"), ftInteger, 0, true);
    fields.Add(QStringLiteral("Text"), ftMemo, 0, true);
    indexes.Add(QString(), QStringLiteral("Verse"), ixPrimary | ixUnique);
}

void defineTempWordTable(TFieldDefs& fields, TIndexDefs& indexes, int wordSize) {
    clear(fields, indexes);
    fields.Add(QStringLiteral("Verses"), ftInteger, 0, true);
    fields.Add(QStringLiteral("Word"), ftString, wordSize, true);
    indexes.Add(QString(), QStringLiteral("Verses"), ixPrimary | ixUnique);
    indexes.Add(QStringLiteral("wordNdx"), QStringLiteral("Word"), ixCaseInsensitive);
}

void defineKeyTable(TFieldDefs& fields, TIndexDefs& indexes, int wordSize) {
    clear(fields, indexes);
    fields.Add(QStringLiteral("Word"), ftString, wordSize, true);
    indexes.Add(QString(), QStringLiteral("Word"), ixPrimary | ixUnique);
}

void defineFreqTable(TFieldDefs& fields, TIndexDefs& indexes) {
    defineFreqTableFor(fields, indexes, WordNumbers::Narrow);
}

void defineFreqTableFor(TFieldDefs& fields, TIndexDefs& indexes, WordNumbers numbers) {
    clear(fields, indexes);
    fields.Add(QStringLiteral("F1"), wordNumberType(numbers), 0, true);
    fields.Add(QStringLiteral("F2"), ftInteger, 0, true);
    fields.Add(QStringLiteral("F3"), ftSmallint, 0, true);
    indexes.Add(QString(), QStringLiteral("F1"), ixPrimary | ixUnique);
    indexes.Add(QStringLiteral("freqNdx"), QStringLiteral("F2"), ixDescending);
    indexes.Add(QStringLiteral("wordLenNdx"), QStringLiteral("F3"), ixDescending);
}

void defineWordTable(TFieldDefs& fields, TIndexDefs& indexes) {
    defineWordTableFor(fields, indexes, WordNumbers::Narrow);
}

void defineWordTableFor(TFieldDefs& fields, TIndexDefs& indexes, WordNumbers numbers) {
    clear(fields, indexes);
    fields.Add(QStringLiteral("R1"), ftInteger, 0, true);
    fields.Add(QStringLiteral("R2"), wordNumberType(numbers), 0, true);
    indexes.Add(QString(), QStringLiteral("R1"), ixPrimary | ixUnique);
}

TIndexDef wordKeyIndex() {
    return TIndexDef{QStringLiteral("wordKeyNdx"), QStringLiteral("R2"), ixDescending};
}

void defineStrongsTable(TFieldDefs& fields, TIndexDefs& indexes) {
    clear(fields, indexes);
    fields.Add(QStringLiteral("Place"), ftInteger, 0, true);
    fields.Add(QStringLiteral("Element"), ftSmallint, 0, true);
    fields.Add(QStringLiteral("Numbers"), ftMemo, 0, true);
    fields.Add(QStringLiteral("Morph"), ftMemo, 0, false);
    indexes.Add(QString(), QStringLiteral("Place"), ixPrimary | ixUnique);
}

void defineStrongsWordTable(TFieldDefs& fields, TIndexDefs& indexes) {
    clear(fields, indexes);
    fields.Add(QStringLiteral("Number"), ftString, strongsNumberSize, true);
    fields.Add(QStringLiteral("Place"), ftInteger, 0, true);
    fields.Add(QStringLiteral("Length"), ftSmallint, 0, true);
    indexes.Add(QString(), QStringLiteral("Number;Place"), ixPrimary | ixUnique);
}

} // namespace concordance
