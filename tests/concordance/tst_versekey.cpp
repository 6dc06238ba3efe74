// Verse keys.

#include "concordance/versekey.h"

#include <QtTest>

using namespace concordance;

class TestVerseKey : public QObject {
    Q_OBJECT

private slots:
    void keysPackBookChapterAndVerse_data() {
        QTest::addColumn<int>("book");
        QTest::addColumn<int>("chapter");
        QTest::addColumn<int>("verse");
        QTest::addColumn<quint32>("key");
        QTest::newRow("Genesis 1:1") << 1 << 1 << 1 << 0x01010100u;
        QTest::newRow("Revelation 22:21") << 66 << 22 << 21 << 0x42161500u;
        QTest::newRow("Psalm 119:9") << 19 << 119 << 9 << 0x13770900u;
        QTest::newRow("highest") << 127 << 255 << 255 << 0x7fffff00u;
    }
    void keysPackBookChapterAndVerse() {
        QFETCH(int, book);
        QFETCH(int, chapter);
        QFETCH(int, verse);
        QFETCH(quint32, key);
        QCOMPARE(packKey(Place{book, chapter, verse}), key);
        QCOMPARE(quint32(verseKey(book, chapter, verse)), key);
        QCOMPARE(unpackKey(key), (Place{book, chapter, verse}));
        QVERIFY(isValidKey(key));
    }

    void invalidKeys_data() {
        QTest::addColumn<quint64>("key");
        QTest::newRow("zero") << quint64(0);
        QTest::newRow("low byte set") << quint64(0x01010101u);
        QTest::newRow("chapter 0") << quint64(0x01000100u);
        QTest::newRow("verse 0") << quint64(0x01010000u);
        // Book 128 would make the signed key negative and sort it first.
        QTest::newRow("book 128") << quint64(0x80010100u);
        QTest::newRow("above 32 bits") << quint64(0x100010100ull);
    }
    void invalidKeys() {
        QFETCH(quint64, key);
        QVERIFY(!isValidKey(key));
    }
};

QTEST_GUILESS_MAIN(TestVerseKey)
#include "tst_versekey.moc"
