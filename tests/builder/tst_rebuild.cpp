// The build dialog: reading the command line, word sizes, the dialog's texts
// and layout, its keys, and its window place in "Lumavo.data".
//
// Each dialog runs in a program folder of its own (a temporary folder holding
// the picture and the help page) on a known 1024 x 768 desktop. A fake
// xdg-open first on PATH records every help page opened.

#include "builder/Html.h"
#include "builder/Rebuild.h"
#include "platform/core/errors.h"
#include "platform/core/process.h"
#include "platform/gui/desktop.h"
#include "tests/support/desktop.h"
#include "tests/support/fakeopener.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace testsupport;

class TestRebuild : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString folder; // the program folder, ending in "/"
    std::unique_ptr<FakeOpener> opener;
    std::unique_ptr<MessageCapture> messages;
    std::unique_ptr<StandardDesktop> standardDesktop;

    QString iniFile() const { return folder + QStringLiteral("Lumavo.data"); }
    QString helpPage() const { return folder + QStringLiteral("help/2_rebuild.html"); }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        folder = root.filePath(QStringLiteral("app")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(folder + QStringLiteral("help")));
        QVERIFY(QFile::copy(QStringLiteral(DATA_DIR "/Bible left.bmp"),
                            folder + QStringLiteral("Bible left.bmp")));
        QVERIFY(writeFile(helpPage(), "<html><body>help</body></html>\n"));
        opener = std::make_unique<FakeOpener>();
        platform::overrideProgramFolder(folder);
        standardDesktop = std::make_unique<StandardDesktop>();
        messages = std::make_unique<MessageCapture>();
    }
    void init() {
        QFile::remove(iniFile());
        opener->clearCalls();
        platform::overrideCommandLine(QStringLiteral("/opt/app/Build Text KJV"));
        messages->clear();
    }
    void cleanupTestCase() {
        QTRY_COMPARE(HtmlThread::liveCount(), 0);
        messages.reset();
        opener.reset();
        platform::overrideCommandLine(std::nullopt);
        platform::overrideProgramFolder(std::nullopt);
        standardDesktop.reset();
    }

    // --- command line and texts ---------------------------------------------

    void commandLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("bibleName");
        QTest::addColumn<QString>("dataFolder"); // below the program folder
        QTest::addColumn<int>("wordSize");
        const auto row = [](const char* name, const char* line, const char* bible, const char* data,
                            int size) { QTest::newRow(name) << line << bible << data << size; };
        row("Text KJV", "/opt/app/Build Text KJV", "KJV", "Text/KJV/", 18);
        row("lower-case name", "/opt/app/Build Text kjv", "kjv", "Text/kjv/", 18);
        row("unknown text", "/opt/app/Build Text NIV", "NIV", "Text/NIV/", 30);
        row("trailing words", "/opt/app/Build Text KJV extra", "KJV extra", "Text/KJV extra/", 30);
        row("trailing blank", "/opt/app/Build Text WEB ", "WEB ", "Text/WEB /", 30);
        row("other folder word", "/opt/app/Build Texts ASV", "ASV", "Texts/ASV/", 21);
        row("quoted program path", "\"/opt/my apps/Build\" Text DARBY", "DARBY", "Text/DARBY/", 22);
        // The word is sought in the arguments alone, never in the program's path.
        row("Text in the path", "/home/user/TextTools/app/Build Text KJV", "KJV", "Text/KJV/", 18);
        row("Text in a quoted path", "\"/opt/My Texts/Text KJV/Build\" Text WEB", "WEB",
            "Text/WEB/", 19);
        row("Text as the program", "/opt/app/Text Texts ASV", "ASV", "Texts/ASV/", 21);
        row("options first", "/opt/app/Build -platform offscreen Text KJV", "KJV", "Text/KJV/", 18);
        // The word is case-sensitive: "text" is not it, and no text is named.
        row("lower-case word", "/opt/TextTools/Build text KJV", "", "//", 30);
        // Only blanks split; a tab does not.
        row("tab after the word", "/opt/app/Build Text\tKJV", "", "//", 30);
        row("tab after the path", "/opt/app/Build\tText KJV", "", "//", 30);
        row("no word, no blank", "/opt/app/Build", "", "//", 30);
        // Word sizes: names match whole and without regard to case.
        row("mixed case", "/opt/app/Build Text Webster", "Webster", "Text/Webster/", 22);
        row("prefix of a name", "/opt/app/Build Text WEBS", "WEBS", "Text/WEBS/", 30);
        row("empty name", "/opt/app/Build Text ", "", "Text//", 30);
    }
    void commandLine() {
        QFETCH(QString, line);
        QFETCH(QString, bibleName);
        QFETCH(QString, dataFolder);
        QFETCH(int, wordSize);
        platform::overrideCommandLine(line);
        TRebuildDlg dlg;
        QCOMPARE(dlg.bibleName, bibleName);
        QCOMPARE(dlg.dataPath, folder + dataFolder);
        QCOMPARE(dlg.wordSize, wordSize);
        QCOMPARE(dlg.windowTitle(), bibleName + " Bible");
        QCOMPARE(dlg.L_Bible->text(), bibleName + " Bible");
        QCOMPARE(dlg.L_Action->text(), "Create " + bibleName + " database?");
    }

    void theWindowCarriesTheProgramsIcon() {
        TRebuildDlg dlg;
        QVERIFY(!dlg.windowIcon().isNull());
        QVERIFY(!dlg.windowIcon().pixmap(32, 32).isNull());
    }

    void initialState() {
        TRebuildDlg dlg;
        QVERIFY(dlg.L_Start->text().isEmpty());
        QCOMPARE(dlg.StatusBar->panelText(), QStringLiteral("Rebuild?"));
        QCOMPARE(dlg.B_Build->text(), QStringLiteral("OK Build"));
        QCOMPARE(dlg.B_Cancel->text(), QStringLiteral("Close"));
        QCOMPARE(dlg.B_Help->text(), QStringLiteral("&Help"));
        QVERIFY(dlg.B_Build->isDefault());
        QVERIFY(!dlg.B_Cancel->isDefault());
        QCOMPARE(dlg.minimumSize(), QSize(420, 300));
        QVERIFY(messages->lines().isEmpty());
    }

    void picture() {
        TRebuildDlg dlg;
        QCOMPARE(dlg.Image->geometry(), QRect(16, 16, 134, 115));
        const QImage shown = dlg.Image->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(134, 115));
        // The background, named by the bottom-left pixel, is see-through; the book is not.
        QCOMPARE(shown.pixelColor(0, 114).alpha(), 0);
        QCOMPARE(shown.pixelColor(133, 0).alpha(), 0);
        QCOMPARE(shown.pixelColor(40, 60).alpha(), 255);
    }

    void missingPicture_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a picture") << QByteArray("this is no bitmap");
    }
    void missingPicture() {
        QFETCH(QByteArray, content);
        QTemporaryDir other;
        const QString picture = other.path() + QStringLiteral("/Bible left.bmp");
        if (!content.isEmpty())
            QVERIFY(writeFile(picture, content));
        platform::overrideProgramFolder(other.path());
        QString message;
        try {
            TRebuildDlg dlg;
        } catch (const platform::EFOpenError& e) {
            message = e.message();
        }
        platform::overrideProgramFolder(folder);
        QVERIFY2(message.contains(picture), qPrintable(message));
    }

    // --- layout ---------------------------------------------------------------

    void layout_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<int>("labelLeft"); // L_Bible, L_Start, L_Finish
        QTest::addColumn<QPoint>("action"); // L_Action
        QTest::addColumn<int>("gap");       // between and around the buttons
        // 150 + (w - 370) >> 1; (w - 360) >> 1, 150 + (h - 275) >> 1; (w - 276) >> 2
        QTest::newRow("minimum") << QSize(420, 300) << 175 << QPoint(30, 162) << 36;
        QTest::newRow("odd width") << QSize(423, 302) << 176 << QPoint(31, 163) << 36;
        QTest::newRow("larger") << QSize(640, 480) << 285 << QPoint(140, 252) << 91;
        QTest::newRow("wide, low") << QSize(1001, 300) << 465 << QPoint(320, 162) << 181;
    }
    void layout() {
        QFETCH(QSize, client);
        QFETCH(int, labelLeft);
        QFETCH(QPoint, action);
        QFETCH(int, gap);
        TRebuildDlg dlg;
        dlg.show();
        dlg.resize(client);
        QTRY_COMPARE(dlg.P_Bot->geometry(), QRect(0, client.height() - 84, client.width(), 84));
        QCOMPARE(dlg.L_Bible->pos(), QPoint(labelLeft, 24));
        QCOMPARE(dlg.L_Start->pos(), QPoint(labelLeft, 64));
        QCOMPARE(dlg.L_Finish->pos(), QPoint(labelLeft, 104));
        QCOMPARE(dlg.L_Action->pos(), action);
        QCOMPARE(dlg.B_Build->geometry(), QRect(gap, 11, 92, 30));
        QCOMPARE(dlg.B_Cancel->geometry(), QRect(2 * gap + 92, 11, 92, 30));
        QCOMPARE(dlg.B_Help->geometry(), QRect(3 * gap + 184, 11, 92, 30));
        QCOMPARE(dlg.ProgressBar->geometry(), QRect(0, 47, client.width(), 16));
        QCOMPARE(dlg.StatusBar->geometry(), QRect(0, 63, client.width(), 21));
    }

    // --- keys -----------------------------------------------------------------

    // F1 opens help whichever control has the focus, and the control never
    // sees the key; every help thread frees itself once done.
    void f1OpensHelp() {
        TRebuildDlg dlg;
        dlg.show();
        QStringList expected;
        for (QPushButton* button : {dlg.B_Build, dlg.B_Cancel, dlg.B_Help}) {
            QSignalSpy clicked(button, &QPushButton::clicked);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_F1);
            expected << helpPage();
            QTRY_COMPARE(opener->calls(), expected);
            QCOMPARE(clicked.count(), 0);
        }
        // No control with the focus: the dialog itself gets the key.
        dlg.B_Help->clearFocus();
        QCOMPARE(dlg.focusWidget(), nullptr);
        QTest::keyClick(&dlg, Qt::Key_F1);
        // And the Help button: each request starts a thread of its own.
        dlg.B_Help->click();
        expected << helpPage() << helpPage();
        QTRY_COMPARE(opener->calls(), expected);
        QVERIFY(dlg.isVisible());
        QTRY_COMPARE(HtmlThread::liveCount(), 0);
        QVERIFY(messages->lines().isEmpty());
    }

    // Keys other than F1 reach the controls: Enter presses the default button
    // and Esc the cancel button, whichever control has the focus.
    void enterAndEscape() {
        TRebuildDlg dlg;
        dlg.show();
        QSignalSpy built(dlg.B_Build, &QPushButton::clicked);
        dlg.B_Build->setFocus();
        QTest::keyClick(dlg.B_Build, Qt::Key_Return);
        QCOMPARE(built.count(), 1);
        // With no control focused, Enter still presses the default button.
        dlg.B_Build->clearFocus();
        QTest::keyClick(&dlg, Qt::Key_Enter);
        QCOMPARE(built.count(), 2);
        QVERIFY(dlg.isVisible());
        dlg.B_Help->setFocus();
        QTest::keyClick(dlg.B_Help, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(built.count(), 2);
    }

    // A path too long for the action label is shortened in its middle at the
    // label's own font, not drawn ever smaller; the whole path is its tool tip.
    void longPathIsElidedInTheMiddle() {
        platform::overrideCommandLine("/opt/app/Build Text " + QString(80, 'L'));
        TRebuildDlg dlg;
        dlg.B_Build->click();
        const QString path = dlg.dataPath + "Bible.db";
        QCOMPARE(dlg.L_Action->text(), "Failed to find " + path);
        QCOMPARE(dlg.L_Action->toolTip(), path);
        QFont font;
        const QString shown = dlg.L_Action->shownText(&font);
        QCOMPARE(font.pixelSize(), 17);
        QVERIFY2(shown.startsWith("Failed to find " + path.left(8)) &&
                     shown.contains(QChar(0x2026)) && shown.endsWith("/Bible.db"),
                 qPrintable(shown));
        QVERIFY(QFontMetrics(font).horizontalAdvance(shown) <=
                dlg.L_Action->contentsRect().width());
        // A text without a path has no tool tip.
        dlg.setAction("Build complete. You should close this dialog.");
        QVERIFY(dlg.L_Action->toolTip().isEmpty());
    }

    // The program's main window: a normal top-level window that can be
    // minimised, with its own entry in the task bar.
    void normalTopLevelWindow() {
        TRebuildDlg dlg;
        QCOMPARE(dlg.windowType(), Qt::Window);
        QVERIFY(dlg.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.showMinimized();
        QTRY_VERIFY(dlg.isMinimized());
    }

    // --- window place ---------------------------------------------------------

    void firstRunCentred() {
        TRebuildDlg dlg;
        QCOMPARE(dlg.geometry(), QRect(302, 234, 420, 300));
        const QByteArray settings = readFile(iniFile());
        QVERIFY2(settings.contains("[Position]\nForm RebuildDlg=302 234 420 300\n"),
                 settings.constData());
    }

    void savedPlaceRestored() {
        {
            TRebuildDlg dlg;
            dlg.setGeometry(100, 50, 500, 350);
        }
        QVERIFY(readFile(iniFile()).contains("Form RebuildDlg=100 50 500 350"));
        TRebuildDlg again;
        QCOMPARE(again.geometry(), QRect(100, 50, 500, 350));
        // The layout follows the restored size.
        QCOMPARE(again.P_Bot->geometry(), QRect(0, 266, 500, 84));
    }

    // A size stored larger than the work area is cut to it: the window does not
    // grow to 32767 pixels square.
    void storedSizeIsCutToTheWorkArea() {
        QVERIFY(writeFile(iniFile(), "[Position]\nForm RebuildDlg=0 0 32767 32767\n"));
        TRebuildDlg dlg;
        QCOMPARE(dlg.geometry(), QRect(0, 0, 1024, 768));
    }

    // A stored position that is not four numbers does not stop the program: the
    // dialog is centred and the centred place replaces the bad one.
    void badStoredPosition_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("letters") << QByteArray("abc 1 2 3");
        QTest::newRow("two blanks") << QByteArray("10  20 420 300");
        QTest::newRow("too few") << QByteArray("10 20");
        QTest::newRow("empty") << QByteArray();
    }
    void badStoredPosition() {
        QFETCH(QByteArray, stored);
        QVERIFY(writeFile(iniFile(),
                          "[Other]\nkey=value\n[Position]\nForm RebuildDlg=" + stored + "\n"));
        std::unique_ptr<TRebuildDlg> dlg;
        try {
            dlg = std::make_unique<TRebuildDlg>();
        } catch (const std::exception& e) {
            QFAIL(e.what());
        }
        QCOMPARE(dlg->geometry(), QRect(302, 234, 420, 300));
        const QByteArray settings = readFile(iniFile());
        QVERIFY2(settings.contains("Form RebuildDlg=302 234 420 300\n"), settings.constData());
        QVERIFY2(settings.contains("[Other]\nkey=value\n"), settings.constData());
        QVERIFY(messages->lines().isEmpty());
    }
};

QTEST_MAIN(TestRebuild)
#include "tst_rebuild.moc"
