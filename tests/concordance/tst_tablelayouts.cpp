// The layouts of a text's tables as a table file stores them: what the build,
// the importer and every program reading the tables rely on.

#include "concordance/tablelayouts.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace concordance;

namespace {

// The table's fields ("name type size", "!" when required) and indexes
// ("name(fields) options") as they read back from its file.
QStringList storedLayout(const QString& folder, const QString& name) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(name);
    table.Open();
    const char* const types[] = {"?", "String", "Smallint", "Integer", "Word", "Memo"};
    const char* const options[] = {"primary", "unique", "descending", "nocase"};
    QStringList lines;
    for (int i = 0; i < table.FieldDefs().Count(); ++i) {
        const TFieldDef& f = table.FieldDefs()[i];
        lines << QStringLiteral("%1 %2 %3%4")
                     .arg(f.Name, QLatin1String(types[f.DataType]))
                     .arg(f.Size)
                     .arg(f.Required ? "!" : "");
    }
    for (int i = 0; i < table.IndexDefs().Count(); ++i) {
        const TIndexDef& x = table.IndexDefs()[i];
        QStringList set;
        for (int bit = 0; bit < 4; ++bit)
            if (x.Options.toInt() & (1 << bit))
                set << QLatin1String(options[bit]);
        lines << QStringLiteral("%1(%2) %3").arg(x.Name, x.Fields, set.join('+'));
    }
    return lines;
}

} // namespace

class TestTableLayouts : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void layouts_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("layout");
        QTest::newRow("Bible") << QString(verseTable)
                               << QStringList{"Verse Integer 0!", "Text Memo 0!",
                                              "(Verse) primary+unique"};
        QTest::newRow("Temp_Word")
            << QString(tempWordTable)
            << QStringList{"Verses Integer 0!", "Word String 21!", "(Verses) primary+unique",
                           "wordNdx(Word) nocase"};
        QTest::newRow("Key") << QString(keyTable)
                             << QStringList{"Word String 21!", "(Word) primary+unique"};
        QTest::newRow("Freq") << QString(freqTable)
                              << QStringList{"F1 Smallint 0!",         "F2 Integer 0!",
                                             "F3 Smallint 0!",         "(F1) primary+unique",
                                             "freqNdx(F2) descending", "wordLenNdx(F3) descending"};
        QTest::newRow("Word") << QString(wordTable)
                              << QStringList{"R1 Integer 0!", "R2 Smallint 0!",
                                             "(R1) primary+unique", "wordKeyNdx(R2) descending"};
    }
    void layouts() {
        QFETCH(QString, table);
        QFETCH(QStringList, layout);
        TTable created;
        created.setDatabaseName(dir.path());
        created.setTableName(table);
        TFieldDefs& fields = created.FieldDefs();
        TIndexDefs& indexes = created.IndexDefs();
        fields.Add("left over", ftMemo); // every definition starts afresh
        if (table == verseTable)
            defineVerseTable(fields, indexes);
        else if (table == tempWordTable)
            defineTempWordTable(fields, indexes, 21);
        else if (table == keyTable)
            defineKeyTable(fields, indexes, 21);
        else if (table == freqTable)
            defineFreqTable(fields, indexes);
        else
            defineWordTable(fields, indexes);
        created.CreateTable();
        if (table == wordTable) {
            const TIndexDef index = wordKeyIndex();
            created.AddIndex(index.Name, index.Fields, index.Options);
        }
        QCOMPARE(storedLayout(dir.path(), table), layout);
    }
};

QTEST_GUILESS_MAIN(TestTableLayouts)
#include "tst_tablelayouts.moc"
