// The tip window: the first tip of a run, stepping with its wrap rules, what
// closing stores in "Tips.data", the rows it never shows, its layout and the
// missing table and picture.
//
// Each window runs in a program folder of its own holding the picture and a
// tips table of ten tips ("Tip 1" .. "Tip 10") among rows outside the range,
// on a known 1024 x 768 desktop.

#include "platform/core/errors.h"
#include "platform/core/process.h"
#include "platform/core/table.h"
#include "platform/gui/dbcontrols.h"
#include "platform/gui/desktop.h"
#include "tests/support/desktop.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"
#include "tips/Tip.h"
#include "tips/tipsource.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextFrame>
#include <QtTest>
#include <memory>

using namespace testsupport;

class TestTip : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString folder;
    std::unique_ptr<MessageCapture> messages;
    std::unique_ptr<StandardDesktop> standardDesktop;

    QString iniFile() const { return folder + QStringLiteral("Tips.data"); }
    // Starts a run whose stored "Last tip shown" is `start` (0: no settings).
    std::unique_ptr<TF_Tip> startAt(int start) {
        if (start > 0)
            writeFile(iniFile(), "[Tip of the day]\nLast tip shown=" + QByteArray::number(start) +
                                     "\nShow on start up=0\n");
        return std::make_unique<TF_Tip>();
    }
    static int shownTip(const TF_Tip& form) {
        const QString text = form.DBRichEdit->toPlainText();
        return text.startsWith(QLatin1String("Tip ")) ? text.mid(4).toInt() : -1;
    }
    // Presses the buttons named by `presses` ('+' >>, '-' <<); the tips shown
    // after each press.
    static QList<int> press(TF_Tip& form, const QString& presses) {
        QList<int> shown;
        for (const QChar c : presses) {
            (c == QLatin1Char('+') ? form.B_Next : form.B_Prior)->click();
            shown << shownTip(form);
        }
        return shown;
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        folder = root.path() + QLatin1Char('/');
        QVERIFY(QFile::copy(DATA_DIR "/Bible right.bmp", folder + "Bible right.bmp"));
        QString source;
        for (int i = 1; i <= 10; ++i)
            source += QStringLiteral("[tip 2 %1 Cat]\nTip %1\n").arg(i);
        // Just outside the range on every side.
        source += "[tip 1 5 Cat]\nx\n[tip 2 0 Cat]\nx\n[tip 2 1 A]\nx\n[tip 2 32000 zzz]\nx\n"
                  "[tip 2 32001 Cat]\nx\n[tip 3 1 Cat]\nx\n";
        writeTipsTable(folder, parseTipSource(source));
        platform::overrideProgramFolder(folder);
        standardDesktop = std::make_unique<StandardDesktop>();
        messages = std::make_unique<MessageCapture>();
    }
    void init() {
        QFile::remove(iniFile());
        messages->clear();
    }
    void cleanup() {
        QVERIFY2(messages->lines().isEmpty(), qPrintable(messages->lines().join('\n')));
    }
    void cleanupTestCase() {
        messages.reset();
        platform::overrideProgramFolder(std::nullopt);
        standardDesktop.reset();
    }

    // No "Tips.data": tip 1, the settings written at once, the window
    // centred at 560 x 420.
    void firstRun() {
        auto form = startAt(0);
        QCOMPARE(form->tipNumber(), 1);
        QCOMPARE(shownTip(*form), 1);
        QCOMPARE(form->T_Tip->RecordCount(), 10);
        QVERIFY(readFile(iniFile()).contains("Last tip shown=1"));
        QCOMPARE(form->pos(), QPoint(232, 174));
        QCOMPARE(form->size(), QSize(560, 420));
        form->move(20, 30);
        form.reset();
        QVERIFY(readFile(iniFile()).contains("Form F_Tip=20 30 560 420"));
        QCOMPARE(startAt(0)->pos(), QPoint(20, 30));
    }

    void stepping_data() {
        QTest::addColumn<int>("start"); // stored "Last tip shown"; 0: none
        QTest::addColumn<QString>("presses");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("from 1, >> past the last")
            << 0 << "+++++++++++" << QList<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 2};
        QTest::newRow("from 1, << from the first") << 0 << "--" << QList<int>{10, 9};
        QTest::newRow("from 7, >> past the last") << 7 << "+++++" << QList<int>{8, 9, 10, 2, 3};
        QTest::newRow("from 7, << past tip 2") << 7 << "------" << QList<int>{6, 5, 4, 3, 2, 10};
        QTest::newRow("from 2, << past tip 2") << 2 << "-+" << QList<int>{10, 2};
        // A stored tip beyond the tips: the first tip stays on show.
        QTest::newRow("from 15") << 15 << "+-" << QList<int>{2, 10};
    }
    void stepping() {
        QFETCH(int, start);
        QFETCH(QString, presses);
        QFETCH(QList<int>, shown);
        auto form = startAt(start);
        QCOMPARE(shownTip(*form), qBound(1, start, 10) == start ? start : 1);
        QCOMPARE(press(*form, presses), shown);
    }

    void closing_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("presses");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("on 5 of 10, unticked")
            << 0 << "++++" << false << QByteArray("Last tip shown=6\nShow on start up=0");
        QTest::newRow("on the last, run from 1")
            << 0 << "-" << true << QByteArray("Last tip shown=2\nShow on start up=1");
        QTest::newRow("on the last, run from 7")
            << 7 << "+++" << true << QByteArray("Last tip shown=2\nShow on start up=1");
        QTest::newRow("on 1, run from 1")
            << 0 << "" << true << QByteArray("Last tip shown=2\nShow on start up=1");
    }
    void closing() {
        QFETCH(int, start);
        QFETCH(QString, presses);
        QFETCH(bool, ticked);
        QFETCH(QByteArray, stored);
        auto form = startAt(start);
        press(*form, presses);
        form->CB_ShowTips->setChecked(ticked);
        form.reset();
        QVERIFY2(readFile(iniFile()).contains(stored), readFile(iniFile()).constData());
    }

    void boxTickedAtEveryStart() {
        QVERIFY(startAt(3)->CB_ShowTips->isChecked()); // stored as 0
    }

    void centring_data() {
        QTest::addColumn<int>("width"); // of P_Bot
        QTest::addColumn<int>("x");     // left of B_Prior and B_Close
        QTest::addColumn<int>("next");  // left of B_Next
        QTest::addColumn<int>("box");   // left of CB_ShowTips
        QTest::newRow("as designed") << 135 << 14 << 74 << 25;
        QTest::newRow("odd difference") << 136 << 14 << 74 << 25;
        QTest::newRow("wider") << 300 << 96 << 156 << 107;
        QTest::newRow("narrower than Close") << 100 << -4 << 56 << 7;
        QTest::newRow("narrower than the box") << 80 << -14 << 46 << -3;
    }
    void centring() {
        QFETCH(int, width);
        QFETCH(int, x);
        QFETCH(int, next);
        QFETCH(int, box);
        auto form = startAt(0);
        form->show();
        form->P_Bot->resize(width, 165); // the resize reaches P_BotResize
        QCOMPARE(form->B_Prior->pos(), QPoint(x, 73));
        QCOMPARE(form->B_Close->pos(), QPoint(x, 118));
        QCOMPARE(form->B_Next->pos(), QPoint(next, 73));
        QCOMPARE(form->CB_ShowTips->pos(), QPoint(box, 16));
        const int label = form->Label2->width();
        QCOMPARE(form->Label2->x(), (width - label) >> 1);
    }

    // The picture on the right above P_Bot, the text 8 pixels from either
    // edge of its view whatever tip is on show.
    void layout() {
        auto form = startAt(0);
        form->show();
        form->resize(600, 480);
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Tip Of The Day"));
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(form->Image->pixmap().size(), QSize(135, 115));
        QCOMPARE(form->P_Left->geometry(), QRect(463, 0, 137, 461));
        QCOMPARE(form->P_Bot->geometry(), QRect(1, 295, 135, 165));
        QCOMPARE(form->B_Prior->pos(), QPoint(14, 73));
        for (const QString& presses : {QString(), QStringLiteral("+")}) {
            press(*form, presses);
            const QTextFrameFormat text = form->DBRichEdit->document()->rootFrame()->frameFormat();
            QCOMPARE(QList<qreal>({text.leftMargin(), text.topMargin(), text.rightMargin()}),
                     QList<qreal>({8, 0, 8}));
        }
    }

    // Esc closes the window as Close does, from any control, and what the
    // window stores is the same.
    void escapeClosesAsCloseDoes_data() {
        QTest::addColumn<QString>("focus"); // object name of the focused control
        QTest::newRow("the text") << "DBRichEdit";
        QTest::newRow(">>") << "B_Next";
        QTest::newRow("the box") << "CB_ShowTips";
    }
    void escapeClosesAsCloseDoes() {
        QFETCH(QString, focus);
        auto form = startAt(0);
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        press(*form, "++");
        auto* control = form->findChild<QWidget*>(focus);
        QVERIFY(control);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        form.reset();
        QVERIFY(readFile(iniFile()).contains("Last tip shown=4"));
    }

    void theWindowCarriesTheProgramsIcon() {
        auto form = startAt(0);
        QVERIFY(!form->windowIcon().isNull());
        QVERIFY(!form->windowIcon().pixmap(32, 32).isNull());
    }

    // Every tip we ship is read without scrolling in the window of a first
    // run, its text wrapped at the window's width.
    void everyShippedTipFitsTheFirstRunWindow() {
        QTemporaryDir shipped;
        QVERIFY(QFile::copy(DATA_DIR "/Bible right.bmp", shipped.filePath("Bible right.bmp")));
        QVERIFY(QFile::copy(APP_DIR "/Texts.db", shipped.filePath("Texts.db")));
        platform::overrideProgramFolder(shipped.path());
        auto form = std::make_unique<TF_Tip>();
        platform::overrideProgramFolder(folder);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const int tips = form->T_Tip->RecordCount();
        QVERIFY(tips >= 20);
        QStringList tooLong;
        for (int tip = 1; tip <= tips; ++tip) {
            QTextDocument* text = form->DBRichEdit->document();
            const int height = form->DBRichEdit->viewport()->height();
            if (text->size().height() > height ||
                form->DBRichEdit->verticalScrollBar()->maximum() > 0)
                tooLong << QStringLiteral("tip %1: %2 of %3 pixels")
                               .arg(tip)
                               .arg(text->size().height())
                               .arg(height);
            form->B_Next->click();
        }
        QVERIFY2(tooLong.isEmpty(), qPrintable(tooLong.join('\n')));
    }

    void tableNotReadable_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no table at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a table") << QByteArray("no table of ours");
    }
    void tableNotReadable() {
        QFETCH(QByteArray, content);
        QTemporaryDir other;
        QVERIFY(QFile::copy(DATA_DIR "/Bible right.bmp", other.filePath("Bible right.bmp")));
        if (!content.isEmpty())
            QVERIFY(writeFile(other.filePath("Texts.db"), content));
        platform::overrideProgramFolder(other.path());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, TF_Tip());
        platform::overrideProgramFolder(folder);
        QCOMPARE(messages->count(), 1);
        QCOMPARE(messages->boxes().first().caption, QStringLiteral("TF_Tip::TF_Tip"));
        QVERIFY(messages->boxes().first().text.endsWith(" qivPath is " + other.path() + "/"));
        messages->clear();
    }

    void pictureMissing() {
        QTemporaryDir other;
        platform::overrideProgramFolder(other.path());
        QVERIFY_THROWS_EXCEPTION(platform::EFOpenError, TF_Tip());
        platform::overrideProgramFolder(folder);
    }
};

QTEST_MAIN(TestTip)
#include "tst_tip.moc"
