// Counts as every status text, word list and summary writes them.

#include "concordance/numberformat.h"

#include <QtTest>

class TestNumberFormat : public QObject {
    Q_OBJECT

private slots:
    void commasBetweenGroups_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << "0";
        QTest::newRow("100") << qint64(100) << "100";
        QTest::newRow("999") << qint64(999) << "999";
        QTest::newRow("1000") << qint64(1000) << "1,000";
        QTest::newRow("31102") << qint64(31102) << "31,102";
        QTest::newRow("100000") << qint64(100000) << "100,000";
        QTest::newRow("1234567") << qint64(1234567) << "1,234,567";
        QTest::newRow("beyond 32 bits") << qint64(12345678901) << "12,345,678,901";
    }
    void commasBetweenGroups() {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(concordance::formatNumber(value), text);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
