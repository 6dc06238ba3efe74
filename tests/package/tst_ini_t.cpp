// The settings store: typed values with write-back of defaults, sections,
// history lists and window positions.

#include "package/Ini_t.h"
#include "package/Placement.h"
#include "platform/core/lasterror.h"
#include "platform/gui/desktop.h"
#include "tests/support/desktop.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"

#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <sys/stat.h>

namespace {
using testsupport::desktop;
using testsupport::readFile;
} // namespace

Q_DECLARE_METATYPE(platform::DesktopGeometry)

class TestIni : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Lumavo.data"); }
    testsupport::MessageCapture messages; // messages.lines() as "caption: text"

private slots:
    void init() {
        QFile::remove(path());
        QLocale::setDefault(QLocale::system());
        messages.clear();
        platform::overrideDesktopGeometry(desktop(0, 0, 1024, 768, 1024, 768));
    }
    void cleanup() { platform::overrideDesktopGeometry(std::nullopt); }

    void defaultsAreWrittenBackOnce() {
        TIni_t ini(nullptr, path(), "Main");
        QCOMPARE(ini.get("Height", 300), 300);
        QCOMPARE(ini.get("Height", 500), 300);
        QCOMPARE(readFile(path()), QByteArray("[Main]\nHeight=300\n"));
        // Keys lose surrounding blanks and control characters, not inner ones.
        QCOMPARE(ini.get(" \tHeight \n", 7), 300);
        ini.save("  Form X  ", QString("a"));
        QCOMPARE(ini.get("Form X"), QString("a"));
        // A literal default is text, not a boolean.
        QCOMPARE(ini.get("Name", "KJV"), QString("KJV"));
        QCOMPARE(ini.get("Name"), QString("KJV"));
        QCOMPARE(ini.get(QString("Main"), QString("Name"), "other"), QString("KJV"));
    }

    void unreadableTextsGiveTheDefaultAndStay() {
        QVERIFY(testsupport::writeFile(
            path(), "[S]\nword=yes\ntwo=2\nzero=0\nnum=12x\nneg=-5\nreal=abc\n"));
        TIni_t ini(nullptr, path(), "S");
        QCOMPARE(ini.get("word", true), true);
        QCOMPARE(ini.get("word", false), false);
        QCOMPARE(ini.get("two", false), true);
        QCOMPARE(ini.get("zero", true), false);
        QCOMPARE(ini.get("num", 9), 9);
        QCOMPARE(ini.get("neg", 9), -5);
        QCOMPARE(ini.get("real", 1.5), 1.5);
        QCOMPARE(ini.get("word", QDateTime(QDate(2020, 1, 2), QTime(3, 4))),
                 QDateTime(QDate(2020, 1, 2), QTime(3, 4)));
        QVERIFY(readFile(path()).contains("word=yes\n"));
    }

    void textWithoutDefaultWritesNothing() {
        TIni_t ini(nullptr, path(), "S");
        QCOMPARE(ini.get("missing"), QString());
        QVERIFY(!QFile::exists(path()));
        QCOMPARE(ini.get("missing", QString()), QString());
        QCOMPARE(readFile(path()), QByteArray("[S]\nmissing=\n"));
    }

    void boolsAndNumbersRoundTrip() {
        TIni_t ini(nullptr, path(), "S");
        ini.save("b", true);
        ini.save("c", false);
        ini.save("i", -42);
        ini.save("d", 1234567.125);
        ini.save("e", 1e-20);
        QCOMPARE(ini.get("b", false), true);
        QCOMPARE(ini.get("c", true), false);
        QCOMPARE(ini.get("i", 0), -42);
        QCOMPARE(ini.get("d", 0.0), 1234567.125);
        QCOMPARE(ini.get("e", 0.0), 1e-20);
        QVERIFY(readFile(path()).contains("b=1\nc=0\ni=-42\n"));
        // The decimal separator follows the user's locale and reads back.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ini.save("g", 2.5);
        QVERIFY(readFile(path()).contains("g=2,5\n"));
        QCOMPARE(ini.get("g", 0.0), 2.5);
    }

    void datesRoundTripInTheUsersForms_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("system") << QLocale::system();
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("ja_JP") << QLocale(QLocale::Japanese, QLocale::Japan);
    }
    void datesRoundTripInTheUsersForms() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        TIni_t ini(nullptr, path(), "D");
        const QDateTime withTime(QDate(2026, 12, 6), QTime(15, 4, 5));
        ini.save("t", withTime);
        QCOMPARE(ini.get("t", QDateTime()), withTime);
        // Midnight is stored as the date alone.
        const QDateTime midnight(QDate(1999, 1, 31), QTime(0, 0));
        ini.save("m", midnight);
        QVERIFY(!ini.get("m").contains(':'));
        QCOMPARE(ini.get("m", QDateTime()), midnight);
        // A default is written as its date alone and reads back as midnight.
        QCOMPARE(ini.get("new", withTime), withTime);
        ini.save("m2", QDateTime(withTime.date(), QTime(0, 0)));
        QCOMPARE(ini.get("new"), ini.get("m2"));
        TIni_t again(nullptr, path(), "D");
        QCOMPARE(again.get("new", QDateTime()), QDateTime(withTime.date(), QTime(0, 0)));
    }

    void sectionsAreSticky() {
        TIni_t ini(nullptr, path());
        ini.save("First", "a", 1);
        ini.save("b", 2);
        QCOMPARE(ini.currentSection(), QString("First"));
        QCOMPARE(readFile(path()), QByteArray("[First]\na=1\nb=2\n"));
        ini.changeSection(" Spaced ");
        QCOMPARE(ini.currentSection(), QString(" Spaced "));
        ini.eraseSection("Other");
        QCOMPARE(ini.currentSection(), QString(" Spaced "));
        // Erasing the current section removes it; the next read makes it anew.
        ini.changeSection("First");
        ini.eraseSection("first");
        QCOMPARE(readFile(path()), QByteArray());
        QCOMPARE(ini.currentSection(), QString("First"));
        QCOMPARE(ini.get("a", 5), 5);
        QCOMPARE(readFile(path()), QByteArray("[First]\na=5\n"));
    }

    void twoStoresSeeEachOthersWrites() {
        TIni_t one(nullptr, path(), "S");
        TIni_t two(nullptr, path(), "S");
        QCOMPARE(one.get("k", 1), 1);
        two.save("k", 2);
        QCOMPARE(one.get("k", 1), 2);
        one.save("j", QString("x"));
        QCOMPARE(two.get("j"), QString("x"));
    }

    void storeWithoutFileReturnsDefaults() {
        TIni_t ini(nullptr);
        QCOMPARE(ini.get("k", 3), 3);
        ini.save("k", 4);
        QCOMPARE(ini.get("k", 3), 3);
        QCOMPARE(ini.get("k"), QString());
    }

    void historyLists() {
        TIni_t ini(nullptr, path());
        QComboBox box;
        box.addItem("stale");
        ini.get(&box, "History", "Find", 3);
        QCOMPARE(box.count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(box.itemText(i), QString());
        QCOMPARE(readFile(path()), QByteArray("[History]\nFind[0]=\nFind[1]=\nFind[2]=\n"));

        ini.changeSection("Elsewhere");
        ini.get(&box, "History", "Find", 0);
        QCOMPARE(box.count(), 0);
        QCOMPARE(ini.currentSection(), QString("History"));

        for (int i = 0; i < 10; ++i)
            box.addItem(QString("old%1").arg(i));
        ini.save(&box, "History", "Find", 10);
        box.clear();
        box.addItems({"love", "", "grace"});
        ini.save(&box, "History", "Find", 10);
        ini.save(&box, "History", "Find", 0);
        ini.get(&box, "History", "Find", 10);
        QStringList shown;
        for (int i = 0; i < box.count(); ++i)
            shown << box.itemText(i);
        QCOMPARE(shown, QStringList({"love", "old1", "grace", "old3", "old4", "old5", "old6",
                                     "old7", "old8", "old9"}));
    }

    void positionStrings() {
        TIni_t ini(nullptr, path());
        QCOMPARE(ini.makePositionStr(100, 50, 420, 300), QString("100 50 420 300"));
        QCOMPARE(ini.makePositionStr(-8, -1, 0, 7), QString("-8 -1 0 7"));
    }

    void centringOnTheWorkArea_data() {
        QTest::addColumn<platform::DesktopGeometry>("geometry");
        QTest::addColumn<int>("width");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("one screen")
            << desktop(0, 0, 1024, 768, 1024, 768) << 420 << QRect(302, 234, 420, 300);
        QTest::newRow("panel at the left")
            << desktop(100, 0, 1024, 768, 1024, 768) << 420 << QRect(402, 234, 420, 300);
        QTest::newRow("wider than the area")
            << desktop(100, 0, 1024, 768, 1024, 768) << 1200 << QRect(100, 234, 1200, 300);
        QTest::newRow("side by side") << desktop(40, 0, 2048, 768, 2048, 768) << 420
                                      << QRect(40 + (984 - 420) / 2, 234, 420, 300);
        QTest::newRow("one above the other")
            << desktop(0, 30, 1024, 1280, 1024, 1280) << 420 << QRect(302, 30 + 155, 420, 300);
    }
    void centringOnTheWorkArea() {
        QFETCH(platform::DesktopGeometry, geometry);
        QFETCH(int, width);
        QFETCH(QRect, expected);
        platform::overrideDesktopGeometry(geometry);
        QWidget form;
        form.setObjectName("RebuildDlg");
        TIni_t ini(nullptr, path());
        ini.getCentralPosition(&form, width, 300);
        QCOMPARE(TIni_t::bounds(&form), expected);
        QCOMPARE(ini.get("Position", "Form RebuildDlg", ""),
                 ini.makePositionStr(expected.x(), expected.y(), expected.width(), 300));
        QVERIFY(messages.lines().isEmpty());
    }

    void savedPlaceIsRestoredAsStored() {
        QWidget form;
        form.setObjectName("TF_Tip");
        {
            TIni_t ini(nullptr, path());
            TIni_t::setBounds(&form, -30, 20, 437, 257);
            ini.savePosition(&form);
            TIni_t::setBounds(&form, 5, 5, 100, 100);
            ini.savePosition(&form, 'b');
            QCOMPARE(ini.currentSection(), QString("Position"));
        }
        QCOMPARE(readFile(path()),
                 QByteArray("[Position]\nForm TF_Tip=-30 20 437 257\nForm TF_Tip b=5 5 100 100\n"));
        TIni_t ini(nullptr, path(), "Main");
        ini.getCentralPosition(&form, 437, 257);
        QCOMPARE(TIni_t::bounds(&form), QRect(-30, 20, 437, 257));
        ini.getPosition(&form, 'b', 1, 1, 1, 1);
        QCOMPARE(TIni_t::bounds(&form), QRect(5, 5, 100, 100));
        // The section stays "Position" for reads without a section.
        QCOMPARE(ini.get("Form TF_Tip b"), QString("5 5 100 100"));
        // Without a stored place the current bounds are stored.
        form.setObjectName("Other");
        ini.getPosition(&form);
        QCOMPARE(ini.get("Form Other"), QString("5 5 100 100"));
    }

    void nullControlChangesNothing() {
        TIni_t ini(nullptr, path(), "Main");
        ini.savePosition(nullptr);
        ini.savePosition(nullptr, 'x');
        ini.getPosition(nullptr);
        ini.getCentralPosition(nullptr, 420, 300);
        QCOMPARE(ini.currentSection(), QString("Main"));
        QVERIFY(!QFile::exists(path()));
        QCOMPARE(ini.areaWidth, 1024);
    }

    void badStoredPositionRaisesAndChangesNothing_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("three numbers") << "1 2 3";
        QTest::newRow("two blanks") << "1  2 3 4";
        QTest::newRow("letters") << "1 2 wide 4";
        QTest::newRow("empty") << "";
    }
    void badStoredPositionRaisesAndChangesNothing() {
        QFETCH(QString, stored);
        TIni_t ini(nullptr, path());
        ini.save("Position", "Form F", stored);
        QWidget form;
        form.setObjectName("F");
        TIni_t::setBounds(&form, 7, 8, 90, 91);
        QVERIFY_THROWS_EXCEPTION(EConvertError, ini.getCentralPosition(&form, 420, 300));
        QCOMPARE(TIni_t::bounds(&form), QRect(7, 8, 90, 91));
        QCOMPARE(ini.get("Form F"), stored);
        // Numbers after the fourth are ignored.
        ini.save("Form F", QString(" 1 2 3 4 5 "));
        ini.getPosition(&form);
        QCOMPARE(TIni_t::bounds(&form), QRect(1, 2, 3, 4));
    }

    void missingWorkAreaIsReportedAndTheScreenUsed() {
        platform::DesktopGeometry g = desktop(0, 0, 800, 600, 800, 600);
        g.workAreaKnown = false;
        platform::overrideDesktopGeometry(g);
        platform::setLastError(ENODEV);
        TIni_t ini(nullptr, path());
        ini.getScreen();
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.lines()[0].startsWith("TDM::TDM SystemParametersInfo: "));
        QCOMPARE(platform::lastError(), 0);
        QCOMPARE(QRect(ini.areaLeft, ini.areaTop, ini.areaWidth, ini.areaHeight),
                 QRect(0, 0, 800, 600));
    }

    // A section named with blanks at its ends is that section without them:
    // typed reads find what they wrote, and the file keeps one copy.
    void sectionWithBlanksAtItsEnds() {
        TIni_t ini(nullptr, path(), " Main ");
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ini.get("Height", 300 + i), 300);
        QCOMPARE(readFile(path()), QByteArray("[Main]\nHeight=300\n"));
    }

    // A FIFO in the settings file's place is reported once, and the stores
    // work on their defaults without touching it.
    void unusableSettingsFileIsReportedOnce() {
        const QString fifo = dir.filePath("Fifo.data");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (int i = 0; i < 2; ++i) {
            TIni_t ini(nullptr, fifo, "Main");
            QCOMPARE(ini.get("Height", 300 + i), 300 + i);
            ini.save("Height", 7);
        }
        QCOMPARE(messages.lines(),
                 QStringList{QCoreApplication::applicationName() + ": The settings file " + fifo +
                             " is a FIFO (a named pipe), not a file.\r\nThe settings are neither "
                             "read nor saved while it is there: the defaults are used."});
        QFile::remove(fifo);
    }

    // A file that cannot be written (its folder is gone) is reported once,
    // naming the file and why, however many settings fail; another file is
    // reported on its own.
    void unsavedSettingIsReportedOncePerFile() {
        const QString lost = dir.filePath("gone/Lost.data");
        const QString other = dir.filePath("gone/Other.data");
        for (int i = 0; i < 2; ++i) {
            TIni_t ini(nullptr, lost, "Main");
            QCOMPARE(ini.get("Height", 300), 300); // writes its default
            ini.save("Width", 7);
            ini.eraseSection("Main");
        }
        QCOMPARE(messages.count(), 1);
        const QString text = messages.boxes().value(0).text;
        QVERIFY2(text.startsWith("The settings cannot be saved in " + lost + ": " +
                                 platform::lastErrorText(ENOENT)),
                 qPrintable(text));
        TIni_t(nullptr, other, "Main").save("Width", 7);
        QCOMPARE(messages.count(), 2);
        QVERIFY(messages.boxes().value(1).text.contains(other));
    }

    // Work area 0, 30 to 1024, 768: a stored place that fits stays as it is;
    // a size beyond the work area is cut to it; a window partly off it is
    // moved onto it; a window wholly off it is centred.
    void placeWindowFitsTheWorkArea_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("fits") << "100 50 420 300" << QRect(100, 50, 420, 300);
        QTest::newRow("fills it") << "0 30 1024 738" << QRect(0, 30, 1024, 738);
        QTest::newRow("partly off the left") << "-30 40 437 257" << QRect(0, 40, 437, 257);
        QTest::newRow("partly above") << "10 0 437 257" << QRect(10, 30, 437, 257);
        // Stored at 100 % on a 1,280 x 1,024 screen, restored at 150 %.
        QTest::newRow("partly off the right and bottom")
            << "500 400 760 580" << QRect(264, 188, 760, 580);
        QTest::newRow("far too large") << "0 0 32767 32767" << QRect(0, 30, 1024, 738);
        QTest::newRow("too wide") << "500 100 2000 300" << QRect(0, 100, 1024, 300);
        QTest::newRow("too wide and off the bottom")
            << "-900 700 32767 200" << QRect(0, 568, 1024, 200);
        QTest::newRow("off the desktop") << "5000 5000 420 300" << QRect(302, 264, 420, 300);
    }
    void placeWindowFitsTheWorkArea() {
        QFETCH(QString, stored);
        QFETCH(QRect, placed);
        platform::overrideDesktopGeometry(desktop(0, 30, 1024, 768, 1024, 768));
        TIni_t ini(nullptr, path());
        ini.save("Position", "Form F", stored);
        QWidget form;
        form.setObjectName("F");
        placeWindow(ini, &form, 420, 300);
        QCOMPARE(TIni_t::bounds(&form), placed);
    }

    // On the real screen, at whatever scale factor the test runs (CTest runs
    // it at 1.5 too, as tst_ini_t_scaled): places stored on a larger screen
    // put the window wholly on the screen's work area.
    void placedWithinTheRealScreen_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("right and bottom") << "500 400 760 580";
        QTest::newRow("larger than the screen") << "0 0 3000 2000";
        QTest::newRow("left and above") << "-300 -200 400 300";
    }
    void placedWithinTheRealScreen() {
        QFETCH(QString, stored);
        platform::overrideDesktopGeometry(std::nullopt);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        TIni_t ini(nullptr, path());
        ini.save("Position", "Form F", stored);
        QWidget form;
        form.setObjectName("F");
        placeWindow(ini, &form, 420, 300);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY2(area.contains(form.frameGeometry()),
                 qPrintable(QStringLiteral("%1 %2 %3 %4 on %5 %6 %7 %8")
                                .arg(form.frameGeometry().x())
                                .arg(form.frameGeometry().y())
                                .arg(form.frameGeometry().width())
                                .arg(form.frameGeometry().height())
                                .arg(area.x())
                                .arg(area.y())
                                .arg(area.width())
                                .arg(area.height())));
    }

    // Whatever stretched a window, its stored size stays within the work
    // area; a panel inside a window is stored as it is.
    void storedWindowSizeIsCutToTheWorkArea() {
        TIni_t ini(nullptr, path());
        QWidget form;
        form.setObjectName("F");
        form.setGeometry(-200, 20, 32767, 900);
        auto* panel = new QWidget(&form);
        panel->setObjectName("P");
        panel->setGeometry(10, 10, 5000, 40);
        ini.savePosition(&form);
        ini.savePosition(panel);
        QCOMPARE(ini.get("Form F"), QString("-200 20 1024 768"));
        QCOMPARE(ini.get("Form P"), QString("10 10 5000 40"));
    }

    void zeroSizedScreenDoesNotDivideByZero() {
        platform::overrideDesktopGeometry(desktop(0, 0, 0, 0, 0, 0));
        TIni_t ini(nullptr, path());
        QCOMPARE(ini.centralBounds(420, 300), QRect(0, 0, 420, 300));
    }
};

QTEST_MAIN(TestIni)
#include "tst_ini_t.moc"
