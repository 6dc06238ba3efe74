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

    // The frequency list's share: a float, seven significant digits at most,
    // six decimals with a comma after the third.
    void floatPercent_data() {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("one third") << qint64(1) << qint64(3) << "33.333,330";
        QTest::newRow("two thirds") << qint64(2) << qint64(3) << "66.666,660";
        QTest::newRow("1 in 790,000") << qint64(1) << qint64(790000) << "0.000,127";
        QTest::newRow("all") << qint64(3) << qint64(3) << "100.000,000";
        QTest::newRow("one digit before the point") << qint64(1) << qint64(7) << "14.285,710";
        QTest::newRow("below one") << qint64(1) << qint64(300) << "0.333,333";
        QTest::newRow("below ten") << qint64(1) << qint64(11) << "9.090,909";
        QTest::newRow("the in the KJV") << qint64(64016) << qint64(790833) << "8.094,756";
        // 10.015625 is a float exactly: its half at the fifth decimal goes up.
        QTest::newRow("half") << qint64(641) << qint64(6400) << "10.015,630";
        QTest::newRow("nothing") << qint64(0) << qint64(5) << "0.000,000";
        QTest::newRow("no total") << qint64(0) << qint64(0) << "0.000,000";
    }
    void floatPercent() {
        QFETCH(qint64, count);
        QFETCH(qint64, total);
        QFETCH(QString, text);
        QCOMPARE(concordance::formatFloatPercent(count, total), text);
    }

    // The character report's share: the exact quotient to the hundredth.
    void percent_data() {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 of 9") << qint64(1) << qint64(9) << "11.11";
        QTest::newRow("2 of 3") << qint64(2) << qint64(3) << "66.67";
        QTest::newRow("all") << qint64(9) << qint64(9) << "100.00";
        QTest::newRow("an exact half") << qint64(1) << qint64(800) << "0.13";
        // 0.015 has no binary form; the exact half still goes up.
        QTest::newRow("a half no float holds") << qint64(3) << qint64(20000) << "0.02";
        QTest::newRow("below a half") << qint64(1) << qint64(20001) << "0.00";
        QTest::newRow("no total") << qint64(0) << qint64(0) << "0.00";
    }
    void percent() {
        QFETCH(qint64, count);
        QFETCH(qint64, total);
        QFETCH(QString, text);
        QCOMPARE(concordance::formatPercent(count, total), text);
    }
};

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
