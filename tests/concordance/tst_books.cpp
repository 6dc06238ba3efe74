// The books by number: their names, OSIS abbreviations and usual variants.

#include "concordance/books.h"

#include <QtTest>

using namespace concordance;

class TestBooks : public QObject {
    Q_OBJECT

private slots:
    void bookNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("book");
        QTest::newRow("English") << "Genesis" << 1;
        QTest::newRow("OSIS") << "Gen" << 1;
        QTest::newRow("case") << "gEnEsIs" << 1;
        QTest::newRow("digit and blank") << "1 Samuel" << 9;
        QTest::newRow("Roman numeral") << "I Samuel" << 9;
        QTest::newRow("Roman III") << "III John" << 64;
        QTest::newRow("OSIS digit") << "1Sam" << 9;
        QTest::newRow("several words") << "Song of Solomon" << 22;
        QTest::newRow("singular") << "Psalm" << 19;
        QTest::newRow("SWORD's Revelation") << "Revelation of John" << 66;
        QTest::newRow("full stop") << "Matt." << 40;
        QTest::newRow("further book") << "Tobit" << 67;
        QTest::newRow("last further book") << "4Macc" << 83;
        QTest::newRow("misspelt") << "Genisis" << 0;
        QTest::newRow("without number") << "Samuel" << 0;
        QTest::newRow("Roman numeral alone") << "I" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void bookNames() {
        QFETCH(QString, name);
        QFETCH(int, book);
        QCOMPARE(bookNumber(name), book);
        if (book)
            QCOMPARE(bookNumber(bookName(book)), book);
    }

    void osisIdsAreExact() {
        QCOMPARE(bookNumberFromOsis(u"Rev"), 66);
        QCOMPARE(bookNumberFromOsis(u"Tob"), 67);
        QCOMPARE(bookNumberFromOsis(u"rev"), 0);
        QCOMPARE(bookNumberFromOsis(u"Revelation"), 0);
    }
    // Every book whose name starts with a number is also found with the
    // number as a Roman numeral, and with the OSIS digit: "II Kings", "2Kgs".
    void numberedBooksByRomanNumeral_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("book");
        const QStringList roman{"I", "II", "III", "IV"};
        int numbered = 0;
        for (int book = 1; book <= fixedBookCount(); ++book) {
            const QString name = bookName(book);
            const int number = name.section(' ', 0, 0).toInt();
            if (number < 1 || number > 4)
                continue;
            ++numbered;
            const QString rest = name.section(' ', 1);
            const QString romanName = roman[number - 1] + ' ' + rest;
            QTest::newRow(qPrintable(romanName)) << romanName << book;
            QTest::newRow(qPrintable(romanName.toLower())) << romanName.toLower() << book;
            QTest::newRow(qPrintable(name)) << name << book;
        }
        // 1 and 2 Samuel, Kings, Chronicles, Corinthians, Thessalonians,
        // Timothy, Peter, 1 to 3 John, 1 to 4 Maccabees, 1 and 2 Esdras.
        QCOMPARE(numbered, 23);
    }
    void numberedBooksByRomanNumeral() {
        QFETCH(QString, name);
        QFETCH(int, book);
        QCOMPARE(bookNumber(name), book);
    }

    void everyBookByItsName() {
        for (int book = 1; book <= fixedBookCount(); ++book) {
            QCOMPARE(bookNumber(bookName(book)), book);
            QCOMPARE(bookNumber(bookName(book).toUpper()), book);
        }
        QCOMPARE(fixedBookCount(), 83);
        QCOMPARE(bookName(84), QStringLiteral("Book 84"));
        QCOMPARE(bookName(0), QStringLiteral("Book 0"));
    }
};

QTEST_GUILESS_MAIN(TestBooks)
#include "tst_books.moc"
