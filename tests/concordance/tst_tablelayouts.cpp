// The layouts of a text's tables as a table file stores them: what the build,
// the importer and every program reading the tables rely on.

#include "concordance/tablelayouts.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace concordance;

namespace {

QString describe(const TFieldDef& field) {
    static const char* const types[] = {"Unknown", "String", "Smallint", "Integer", "Word", "Memo"};
    return QStringLiteral("%1 %2 %3%4")
        .arg(field.Name, QLatin1String(types[field.DataType]))
        .arg(field.Size)
        .arg(field.Required ? " required" : "");
}

QString describe(const TIndexDef& index) {
    QStringList options;
    const std::pair<TIndexOption, const char*> names[] = {{ixPrimary, "primary"},
                                                          {ixUnique, "unique"},
                                                          {ixDescending, "descending"},
                                                          {ixCaseInsensitive, "nocase"}};
    for (const auto& [option, name] : names)
        if (index.Options.testFlag(option))
            options << QLatin1String(name);
    return QStringLiteral("index '%1' on %2: %3").arg(index.Name, index.Fields, options.join(','));
}

// The layout of the table as it reads back from its file, one line a field or index.
QStringList storedLayout(const QString& folder, const QString& name) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(name);
    table.Open();
    QStringList lines;
    for (int i = 0; i < table.FieldDefs().Count(); ++i)
        lines << describe(table.FieldDefs()[i]);
    for (int i = 0; i < table.IndexDefs().Count(); ++i)
        lines << describe(table.IndexDefs()[i]);
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
                               << QStringList{"Verse Integer 0 required", "Text Memo 0 required",
                                              "index '' on Verse: primary,unique"};
        QTest::newRow("Temp_Word")
            << QString(tempWordTable)
            << QStringList{"Verses Integer 0 required", "Word String 21 required",
                           "index '' on Verses: primary,unique", "index 'wordNdx' on Word: nocase"};
        QTest::newRow("Key") << QString(keyTable)
                             << QStringList{"Word String 21 required",
                                            "index '' on Word: primary,unique"};
        QTest::newRow("Freq") << QString(freqTable)
                              << QStringList{"F1 Smallint 0 required",
                                             "F2 Word 0 required",
                                             "F3 Smallint 0 required",
                                             "index '' on F1: primary,unique",
                                             "index 'freqNdx' on F2: descending",
                                             "index 'wordLenNdx' on F3: descending"};
        QTest::newRow("Word") << QString(wordTable)
                              << QStringList{"R1 Integer 0 required", "R2 Smallint 0 required",
                                             "index '' on R1: primary,unique",
                                             "index 'wordKeyNdx' on R2: descending"};
    }
    void layouts() {
        QFETCH(QString, table);
        QFETCH(QStringList, layout);
        const int wordSize = 21;
        TTable created;
        created.setDatabaseName(dir.path());
        created.setTableName(table);
        TFieldDefs& fields = created.FieldDefs();
        TIndexDefs& indexes = created.IndexDefs();
        if (table == verseTable)
            defineVerseTable(fields, indexes);
        else if (table == tempWordTable)
            defineTempWordTable(fields, indexes, wordSize);
        else if (table == keyTable)
            defineKeyTable(fields, indexes, wordSize);
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

    // A definition replaces whatever the lists held.
    void definingClearsTheLists() {
        TFieldDefs fields;
        TIndexDefs indexes;
        defineFreqTable(fields, indexes);
        defineKeyTable(fields, indexes, 18);
        QCOMPARE(fields.Count(), 1);
        QCOMPARE(indexes.Count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTableLayouts)
#include "tst_tablelayouts.moc"
