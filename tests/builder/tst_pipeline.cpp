// The build pipeline behind "OK Build": the table stage and its locked-table
// box, the check for the verse table, the stages' captions and texts, the
// buttons before, during and after a build, the leftover temporary word table,
// the elapsed time, the tables on disk, closing the window and help while a
// build runs, and an error inside a stage.

#include "builder/Html.h"
#include "builder/Oddsandsods.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"
#include "tests/builder/testprogram.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"
#include "tests/support/processrun.h"
#include "tests/support/sqlfile.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <functional>

namespace {

const QString inUseBox = QStringLiteral(
    "KJV database in use: The KJV database is in use by another program\r\nIf this is Lumavo "
    "either change the working text or close Lumavo");

// Genesis 1:1-2: 27 word occurrences, 17 distinct words.
const Verses genesis = {
    {verseKey(1, 1, 1), QStringLiteral("In the beginning God created the heaven and the earth.")},
    {verseKey(1, 1, 2),
     QStringLiteral("And the earth was without form, and void; and darkness was upon the face "
                    "of the deep.")},
};

// Every file and folder below `folder`, relative to it.
QStringList filesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The message boxes on the screen.
QList<QMessageBox*> shownBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes << box;
    return boxes;
}

// Enough verses for stage 2 to let the window process its events (at the 37th).
Verses fortyVerses() {
    Verses verses;
    for (int i = 1; i <= 40; ++i)
        verses.append({verseKey(1, 1, i), QStringLiteral("Verse number %1 of the test").arg(i)});
    return verses;
}

// The dialog's own report, that runs `act` once, after the window has
// processed its events for the last list.
class LastListReport : public StageReport {
public:
    LastListReport(TRebuildDlg& dialog, std::function<void()> act)
        : owner(dialog), action(std::move(act)) {}
    bool posted = false;

    void showStatus(const QString& text) override {
        owner.showStatus(text);
        lastList = text == QLatin1String("Creating PCRE file");
    }
    void setProgress(int position) override { owner.setProgress(position); }
    void processEvents() override {
        owner.processEvents();
        if (lastList && !posted) {
            action();
            posted = true;
        }
    }

private:
    TRebuildDlg& owner;
    std::function<void()> action;
    bool lastList = false;
};

} // namespace

class TestPipeline : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgram> program;
    std::unique_ptr<TRebuildDlg> dialog;
    testsupport::MessageCapture messages;       // messages.lines() as "caption: text"
    QList<std::pair<QString, QString>> changes; // (what, text) in order

    QStringList texts(const QString& what) const {
        QStringList out;
        for (const auto& [kind, text] : changes)
            if (kind == what)
                out << text;
        return out;
    }
    QString folder() const { return dialog->dataPath; }
    bool tableFileExists(const QString& name) const {
        return QFile::exists(folder() + name + QStringLiteral(".db"));
    }
    // Runs `act` whenever the status bar shows `status`.
    void whenStatus(const QString& status, const std::function<void()>& act) {
        connect(dialog.get(), &TRebuildDlg::textChanged, this,
                [=](const QString& what, const QString& text) {
                    if (what == "status" && text == status)
                        act();
                });
    }
    // Runs `act` when stage 2 first lets the window process its events.
    void whileBuilding(const std::function<void()>& act) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        whenStatus("Creating tempory word table",
                   [this, act] { QTimer::singleShot(0, this, act); });
    }
    // Builds Genesis 1:1-2 from the shown dialog's "OK Build".
    void build() {
        writeVerseTable(folder(), genesis);
        dialog->show();
        dialog->B_Build->click();
    }
    // The dialog is in Ready: Build is the default and both buttons are enabled.
    void verifyReady() const {
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Ready);
        QVERIFY(!dialog->isBuilding());
        QVERIFY(dialog->B_Build->isEnabled());
        QVERIFY(dialog->B_Build->isDefault());
        QVERIFY(dialog->B_Cancel->isEnabled());
        QVERIFY(dialog->L_Start->text().isEmpty());
    }

private slots:
    void init() {
        messages.clear();
        changes.clear();
        program = std::make_unique<TestProgram>();
        dialog = program->makeDialog();
        connect(dialog.get(), &TRebuildDlg::textChanged, this,
                [this](const QString& what, const QString& text) {
                    changes.append({what, text});
                });
    }
    void cleanup() {
        dialog.reset();
        program.reset();
    }

    void elapsedTimes_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << qint64(0) << "Elapsed time 0 min 0.000 seconds";
        QTest::newRow("7 ms") << qint64(7) << "Elapsed time 0 min 0.007 seconds";
        QTest::newRow("under a minute") << qint64(59999) << "Elapsed time 0 min 59.999 seconds";
        QTest::newRow("1 h 5 min 9.042 s")
            << qint64(((1 * 60 + 5) * 60 + 9) * 1000 + 42) << "Elapsed time 65 min 9.042 seconds";
        // A day or more is not folded back into the time of day.
        QTest::newRow("25 h") << qint64(25) * 3600 * 1000 + 10
                              << "Elapsed time 1500 min 0.010 seconds";
        QTest::newRow("negative") << qint64(-5) << "Elapsed time 0 min 0.000 seconds";
    }
    void elapsedTimes() {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(elapsedText(ms), text);
    }

    // A whole build: what the user sees at each step, in order, and its times.
    void completedBuildShowsEachStage() {
        build();
        QCOMPARE(texts("caption"),
                 (QStringList{" Building", " Building - Stage 1 of 4", " Building - Stage 2 of 4",
                              " Building - Stage 3 of 4", " Build complete"}));
        QCOMPARE(texts("action"),
                 (QStringList{"Database and wordlists for", "Building the word index tables",
                              "Building frequency and lookup tables",
                              "Build complete. You should close this dialog."}));
        // The pipeline's own status texts, with the stages' between them.
        const QStringList statuses = texts("status");
        QCOMPARE(statuses.mid(0, 2),
                 (QStringList{"Creating tempory word table", "Stage 1 complete"}));
        const qsizetype stage2 = statuses.indexOf("Stage 2 complete.");
        QVERIFY(statuses.indexOf("2 records processed") > 1);
        QVERIFY(stage2 > statuses.indexOf("2 records processed"));
        QVERIFY(statuses.indexOf("Total Words 17") > stage2);
        QCOMPARE(statuses.last(), QStringLiteral("Stage 4 complete."));
        QVERIFY(messages.lines().isEmpty());
        // The start time comes first, the elapsed time last.
        QCOMPARE(changes.first().first, QStringLiteral("start"));
        QVERIFY2(QRegularExpression("^Start time \\d").match(dialog->L_Start->text()).hasMatch(),
                 qPrintable(dialog->L_Start->text()));
        QCOMPARE(changes.last().first, QStringLiteral("finish"));
        QVERIFY2(QRegularExpression("^Elapsed time \\d+ min \\d{1,2}\\.\\d{3} seconds$")
                     .match(dialog->L_Finish->text())
                     .hasMatch(),
                 qPrintable(dialog->L_Finish->text()));
    }

    // While the stages run only Help works; afterwards Close is the default
    // (Enter presses it) and Build cannot be pressed again, by any route.
    void buttonsDuringAndAfterTheBuild() {
        QList<bool> during; // Build, Close, Help enabled, building, as stage 2 starts
        whenStatus("Stage 1 complete", [&] {
            during = {dialog->B_Build->isEnabled(), dialog->B_Cancel->isEnabled(),
                      dialog->B_Help->isEnabled(), dialog->isBuilding()};
        });
        build();
        QCOMPARE(during, (QList<bool>{false, false, true, true}));
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        QVERIFY(!dialog->isBuilding());
        QVERIFY(!dialog->B_Build->isEnabled());
        QVERIFY(!dialog->B_Build->isDefault());
        QVERIFY(dialog->B_Cancel->isEnabled());
        QVERIFY(dialog->B_Cancel->isDefault());
        const qsizetype changesSoFar = changes.size();
        QTest::mouseClick(dialog->B_Build, Qt::LeftButton);
        dialog->B_BuildClick(nullptr);
        QCOMPARE(changes.size(), changesSoFar);
        // Enter presses Close.
        QSignalSpy closed(dialog->B_Cancel, &QPushButton::clicked);
        QCOMPARE(dialog->focusWidget(), dialog->B_Cancel);
        QTest::keyClick(dialog->B_Cancel, Qt::Key_Return);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!dialog->isVisible());
    }

    // The output tables stay open for the build alone; the scratch table is gone.
    void tablesAfterTheBuild() {
        build();
        QVERIFY(!tableFileExists("Temp_Word"));
        for (TTable* table : {dialog->T_Bible, dialog->T_Key, dialog->T_Freq, dialog->T_Word})
            QVERIFY(table->Active() && table->Exclusive());
        QCOMPARE(dialog->T_Key->RecordCount(), 17);
        QCOMPARE(dialog->T_Freq->RecordCount(), 17);
        QCOMPARE(dialog->T_Word->RecordCount(), 27);
    }

    // What "Build complete" announces is on disk while the program still
    // holds the tables: a crash then (here a kill) takes none of it back.
    void completedBuildIsOnDiskBeforeTheProgramEnds() {
        writeVerseTable(folder(), genesis);
        testsupport::ChildProcess holder(QCoreApplication::applicationDirPath() + "/build_holder",
                                         {program->path(".")});
        QCOMPARE(holder.readLine(), QStringLiteral("built"));
        holder.kill();
        QCOMPARE(rowCount(folder(), "Key"), 17);
        QCOMPARE(rowCount(folder(), "Freq"), 17);
        QCOMPARE(rowCount(folder(), "Word"), 27);
    }

    // Another program holds a table of the text: one box per press, and the
    // dialog stays ready for the next try.
    void lockedTable_data() {
        QTest::addColumn<QString>("held");
        QTest::newRow("Bible") << "Bible";
        // Every table is held before any is emptied: that one is held is
        // reported once, as the database being in use, and nothing changes.
        QTest::newRow("Key") << "Key";
        QTest::newRow("Word") << "Word";
    }
    void lockedTable() {
        QFETCH(QString, held);
        writeVerseTable(folder(), genesis);
        writeWordTable(folder(), QStringLiteral("Key"), {"old"});
        writeTable(folder(), QStringLiteral("Word"), concordance::defineWordTable, [](TTable&) {});
        QVERIFY(testsupport::writeFile(folder() + "KJV_List.txt", "old"));
        TTable holder;
        holder.setDatabaseName(folder());
        holder.setTableName(held);
        holder.Open();
        for (int press = 1; press <= 2; ++press) {
            dialog->B_Build->click();
            QCOMPARE(messages.lines().count(inUseBox), press);
            QCOMPARE(messages.count(), press);
            QCOMPARE(dialog->L_Action->text(), QStringLiteral("KJV database in use"));
            QCOMPARE(dialog->windowTitle(), QStringLiteral("KJV Bible"));
            QVERIFY(dialog->stopReason().contains("File is locked"));
            verifyReady();
        }
        QVERIFY(!tableFileExists("Temp_Word"));
        const QString text = folder();
        dialog.reset();
        holder.Close();
        QCOMPARE(testsupport::sqlRows(text + "Key.db", "SELECT Word FROM Key"), QStringList{"old"});
        QCOMPARE(testsupport::readFile(text + "KJV_List.txt"), QByteArray("old"));
    }

    // An output table that cannot be opened (here: not a table at all) is
    // reported once; the build then stops instead of going on without it and
    // announcing "Build complete".
    void unusableOutputTable() {
        writeVerseTable(folder(), genesis);
        QVERIFY(testsupport::writeFile(folder() + "Freq.db", "this is no table"));
        dialog->B_Build->click();
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.lines().first().startsWith("openTable: Not a table: ") &&
                     messages.lines().first().endsWith(" unable to open Freq"),
                 qPrintable(messages.lines().first()));
        QVERIFY(!dialog->stopReason().isEmpty());
        QVERIFY(texts("caption").isEmpty());
        QCOMPARE(dialog->L_Action->text(), QStringLiteral("Create KJV database?"));
        verifyReady();
    }

    // No verse table: the error texts, no table made, no box.
    void missingVerseTable() {
        const QString failed = "Failed to find " + folder() + QStringLiteral("Bible.db");
        // The dialog that builds is the program's dialog, even one that was
        // not made so at its start.
        RebuildDlg = nullptr;
        for (int press = 1; press <= 2; ++press) {
            dialog->B_Build->click();
            QCOMPARE(dialog->windowTitle(), QStringLiteral(" Error!"));
            QCOMPARE(dialog->L_Action->text(), failed);
            QCOMPARE(dialog->stopReason(), failed);
            verifyReady();
        }
        QVERIFY(messages.lines().isEmpty());
        QVERIFY(texts("status").isEmpty());
        for (const char* table : {"Key", "Freq", "Word", "Temp_Word"})
            QVERIFY2(!tableFileExists(table), table);
        // Each press repeats the whole handler: with the verses in place it builds.
        build();
        QCOMPARE(dialog->T_Word->RecordCount(), 27);
        QCOMPARE(RebuildDlg, dialog.get());
        // No pointer outlives the dialog.
        dialog.reset();
        QCOMPARE(RebuildDlg, nullptr);
    }

    // A text that is not there (a mistyped name): the one message that says
    // so, no box, and nothing is made. A folder named like the verse table is
    // no verse table either.
    void textThatIsNotThere_data() {
        QTest::addColumn<bool>("folderExists");
        QTest::addColumn<bool>("folderAsVerseTable");
        QTest::newRow("no folder") << false << false;
        QTest::newRow("empty folder") << true << false;
        QTest::newRow("a folder Bible.db") << true << true;
    }
    void textThatIsNotThere() {
        QFETCH(bool, folderExists);
        QFETCH(bool, folderAsVerseTable);
        dialog.reset();
        program.reset();
        program = std::make_unique<TestProgram>("Text NOSUCH");
        dialog = std::make_unique<TRebuildDlg>();
        const QString folder = dialog->dataPath;
        if (folderExists)
            QVERIFY(QDir().mkpath(folder));
        if (folderAsVerseTable)
            QVERIFY(QDir().mkpath(folder + "Bible.db"));
        const QStringList before = filesBelow(program->path("."));
        dialog->B_Build->click();
        QCOMPARE(messages.lines(), QStringList());
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" Error!"));
        QCOMPARE(dialog->L_Action->text(), "Failed to find " + folder + "Bible.db");
        QCOMPARE(dialog->stopReason(), "Failed to find " + folder + "Bible.db");
        QCOMPARE(filesBelow(program->path(".")), before);
        verifyReady();
    }

    // A text's name is one folder name: anything else is refused with one box
    // before any file is touched, inside the program folder or outside it.
    void nameThatIsNoTextsName_data() {
        QTest::addColumn<QString>("arguments"); // after the program's path
        QTest::addColumn<QString>("problem");   // how the box starts
        const QString notAText = "is not the name of a text: a text's name is one folder name";
        QTest::newRow("up and out") << " Text ../outside"
                                    << "\"../outside\" " + notAText;
        QTest::newRow("two up") << " Text ../../outside"
                                << "\"../../outside\" " + notAText;
        QTest::newRow("parent") << " Text .."
                                << "\"..\" " + notAText;
        QTest::newRow("itself") << " Text ."
                                << "\".\" " + notAText;
        QTest::newRow("two folders") << " Text KJV/sub"
                                     << "\"KJV/sub\" " + notAText;
        QTest::newRow("texts folder leaves") << " Text/.. outside"
                                             << "\"Text/..\" cannot name the folder of texts";
        QTest::newRow("empty name") << " Text "
                                    << "No text is named";
        QTest::newRow("Build alone") << ""
                                     << "No text is named";
    }
    void nameThatIsNoTextsName() {
        QFETCH(QString, arguments);
        QFETCH(QString, problem);
        QVERIFY(QDir().mkpath(program->path("outside")));
        writeVerseTable(program->path("outside"), genesis);
        const QStringList before = filesBelow(program->path("."));
        platform::overrideCommandLine(program->path("Build") + arguments);
        dialog = std::make_unique<TRebuildDlg>();
        dialog->B_Build->click();
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.lines().first().startsWith("Build: " + problem),
                 qPrintable(messages.lines().first()));
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" Error!"));
        QCOMPARE(dialog->L_Action->text(), QStringLiteral("No text to build"));
        QCOMPARE(filesBelow(program->path(".")), before);
        QVERIFY(!QFileInfo::exists(program->path("../outside")));
    }

    // A "Temp_Word" left by an interrupted build is gone before stage 2
    // writes, and its rows do not reach the new tables.
    void leftoverTemporaryTable() {
        // One row takes the key of the first word to come, one is a word no
        // verse has, and one inflates "the".
        const QList<std::pair<int, QString>> leftover = {
            {verseKey(1, 1, 1) + 1, "in"}, {5, "zebra"}, {6, "the"}};
        const auto define = [](TFieldDefs& fields, TIndexDefs& indexes) {
            concordance::defineTempWordTable(fields, indexes, 18);
        };
        writeTable(folder(), "Temp_Word", define, [&](TTable& table) {
            for (const auto& [key, word] : leftover) {
                table.Append();
                table.Fields(0).setAsInteger(key);
                table.Fields(1).setAsString(word);
                table.Post();
            }
        });
        int rowsBeforeStage2 = -1;
        whenStatus("Stage 1 complete",
                   [&] { rowsBeforeStage2 = dialog->T_TempWord->RecordCount(); });
        build();
        QCOMPARE(rowsBeforeStage2, 0);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        const QStringList words = rows(dialog->T_Key);
        QCOMPARE(words.size(), 17);
        QVERIFY(!words.contains("zebra"));
        // "the" occurs 6 times in the two verses.
        dialog->T_Freq->setIndexName(QString());
        dialog->T_Freq->setRecNo(int(words.indexOf("the")) + 1);
        QCOMPARE(dialog->T_Freq->Fields(1).AsInteger(), 6);
        QCOMPARE(dialog->T_Word->RecordCount(), 27);
    }

    // A key pressed or a click made while the last list is written (when the
    // window takes no input until the build completes) is not taken for a
    // press of Close, which is enabled and the default by then: the window
    // stays open and shows the completed build. The same input afterwards
    // closes it.
    void inputQueuedAtTheEndIsDropped_data() {
        QTest::addColumn<QString>("input");
        QTest::newRow("Enter") << "Enter";
        QTest::newRow("Esc") << "Esc";
        QTest::newRow("space on Close") << "space";
        QTest::newRow("click on Close") << "click";
    }
    void inputQueuedAtTheEndIsDropped() {
        QFETCH(QString, input);
        const auto post = [this, input] {
            const auto press = [](QObject* to, Qt::Key key) {
                QCoreApplication::postEvent(to,
                                            new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
                QCoreApplication::postEvent(to,
                                            new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
            };
            QPushButton* close = dialog->B_Cancel;
            if (input == "Enter")
                press(dialog.get(), Qt::Key_Return);
            else if (input == "Esc")
                press(dialog.get(), Qt::Key_Escape);
            else if (input == "space")
                press(close, Qt::Key_Space);
            else
                for (const QEvent::Type type :
                     {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                    const QPointF at = QRectF(close->rect()).center();
                    QCoreApplication::postEvent(
                        close, new QMouseEvent(type, at, close->mapToGlobal(at), Qt::LeftButton,
                                               type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                                : Qt::NoButton,
                                               Qt::NoModifier));
                }
        };
        // The input comes after the window last processed its events.
        LastListReport report(*dialog, post);
        dialog->setStageReport(&report);
        writeVerseTable(folder(), genesis);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QSignalSpy closeClicked(dialog->B_Cancel, &QPushButton::clicked);
        dialog->B_Build->click();
        dialog->setStageReport(nullptr);
        QVERIFY(report.posted);
        QTest::qWait(50);
        QVERIFY(dialog->isVisible());
        QCOMPARE(closeClicked.count(), 0);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" Build complete"));
        QCOMPARE(dialog->StatusBar->panelText(), QStringLiteral("Stage 4 complete."));
        QVERIFY(dialog->B_Cancel->isDefault());
        post();
        QTRY_VERIFY(!dialog->isVisible());
    }

    // A close request from the window's frame while the stages run is refused
    // and says so; after the build the window closes.
    void closeRefusedWhileBuilding() {
        writeVerseTable(folder(), fortyVerses());
        bool accepted = true;
        QString status;
        whileBuilding([&] {
            accepted = dialog->windowHandle()->close();
            status = dialog->isVisible() ? dialog->StatusBar->panelText() : "closed";
        });
        dialog->B_Build->click();
        QVERIFY(!accepted);
        QCOMPARE(status, QStringLiteral("Please wait until the build has finished"));
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        QVERIFY(dialog->windowHandle()->close());
        QVERIFY(!dialog->isVisible());
    }

    // F1 during a build starts the help launcher like at any other time (here
    // the program folder has no help page, so it explains why in a box).
    void helpWhileBuilding() {
        writeVerseTable(folder(), fortyVerses());
        bool pressed = false;
        whileBuilding([&] {
            pressed = dialog->isBuilding();
            QWidget* focused = dialog->focusWidget();
            QTest::keyClick(focused ? focused : dialog.get(), Qt::Key_F1);
        });
        dialog->B_Build->click();
        QVERIFY(pressed);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        QTRY_COMPARE(messages.lines().filter("Build: The path to ").size(), 1);
        QVERIFY(messages.lines().last().contains("help/2_rebuild.html"));
    }

    // A help box shown during a build (the help page is missing) does not
    // stop the build: the box stays open while the build runs to its end, and
    // the elapsed time holds no wait for the user.
    void helpBoxDoesNotStopTheBuild() {
        writeVerseTable(folder(), fortyVerses());
        const platform::MessageSink capture = platform::setMessageSink({}); // real boxes
        const auto restore = qScopeGuard([&] {
            platform::setMessageSink(capture);
            qDeleteAll(shownBoxes());
        });
        // A user who reads the box for 10 s, should it hold anything up.
        QTimer::singleShot(10000, dialog.get(), [] {
            for (QMessageBox* box : shownBoxes())
                box->close();
        });
        QElapsedTimer clock;
        whileBuilding([&] {
            QWidget* focused = dialog->focusWidget();
            QTest::keyClick(focused ? focused : dialog.get(), Qt::Key_F1);
            QTRY_COMPARE_WITH_TIMEOUT(shownBoxes().size(), 1, 5000);
        });
        clock.start();
        dialog->B_Build->click();
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        QVERIFY2(clock.elapsed() < 8000, qPrintable(dialog->L_Finish->text()));
        const QList<QMessageBox*> boxes = shownBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first()->windowTitle(), QStringLiteral("Build"));
        QCOMPARE(boxes.first()->text(),
                 "The path to " + program->path("help/2_rebuild.html") + " was not found.");
        QVERIFY(boxes.first()->windowModality() != Qt::ApplicationModal);
    }

    // Enter presses the default button alone: while Build is disabled during
    // a build, Enter (pressed twice, as users do) does nothing, and Help,
    // which has the focus then, does not become the default.
    void enterDuringABuildDoesNothing() {
        writeVerseTable(folder(), fortyVerses());
        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        QWidget* focused = nullptr;
        bool helpIsDefault = true;
        whileBuilding([&] {
            focused = dialog->focusWidget();
            for (int press = 0; press < 2; ++press)
                QTest::keyClick(focused ? focused : dialog.get(), Qt::Key_Return);
            helpIsDefault = dialog->B_Help->isDefault();
        });
        QTest::keyClick(dialog->B_Build, Qt::Key_Return);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Done);
        QCOMPARE(focused, dialog->B_Help);
        QVERIFY(!helpIsDefault);
        QTRY_COMPARE(HtmlThread::liveCount(), 0);
        QCoreApplication::processEvents();
        QVERIFY2(messages.lines().isEmpty(), qPrintable(messages.lines().join('\n')));
    }

    // An error that escapes a stage ends the build in the application's
    // report, and goes no further than the handler (click() would throw); the
    // dialog stops with the texts of that stage, Build and Close disabled, and
    // the frame can close it.
    void errorInStage() {
        writeVerseTableWithTextKeys(folder());
        dialog->show();
        dialog->B_Build->click();
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.lines().first().startsWith("Build: "),
                 qPrintable(messages.lines().first()));
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Stopped);
        QVERIFY(!dialog->isBuilding());
        QCOMPARE(dialog->windowTitle(), QStringLiteral(" Building - Stage 2 of 4"));
        QVERIFY(!dialog->B_Build->isEnabled());
        QVERIFY(!dialog->B_Cancel->isEnabled());
        // The scratch table stays for the next build to remove.
        QVERIFY(tableFileExists("Temp_Word"));
        // No second build from a stopped dialog, and Esc does not close it.
        dialog->B_BuildClick(nullptr);
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Stopped);
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->windowHandle()->close());
        QVERIFY(!dialog->isVisible());
    }

    // A value of the verse table that no verse key can be stops the build in
    // the application's report, naming the file and the verse's row.
    void verseKeyOutOfRange() {
        writeVerseTable(folder(), genesis);
        const QByteArray update = "UPDATE Bible SET Verse = 1099511627776 WHERE Verse = " +
                                  QByteArray::number(verseKey(1, 1, 2));
        QVERIFY(testsupport::sqlRows(folder() + "Bible.db", update.constData()).isEmpty());
        dialog->B_Build->click();
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Stopped);
        QCOMPARE(messages.lines(),
                 QStringList{"Build: Value 1099511627776 of field 'Verse' in row 2 of " + folder() +
                             "Bible.db is not a 32-bit integer."});
    }

    // A build stopped in stage 3 (here by one distinct word too many) leaves
    // the scratch table for the next build to remove, without its rows: they
    // are of no use, and writing them would only delay the program's end. It
    // leaves no word list beside the emptied tables.
    void stoppedBuildDropsTheScratchRows() {
        Verses verses;
        for (int n = 0; n <= concordance::maxDistinctWords; n += 100) {
            QStringList words;
            for (int w = n; w < n + 100; ++w)
                words << QStringLiteral("w%1").arg(w);
            verses.append({verseKey(1, 1 + n / 20000, 1 + n / 100 % 200), words.join(' ')});
        }
        writeVerseTable(folder(), verses);
        // The lists of an earlier build go with its tables.
        for (const char* list : {"_Freq", "_List", "_Alpha", "_Length", "_CharFreq", "_Pcre"})
            QVERIFY(testsupport::writeFile(folder() + "KJV" + list + ".txt", "earlier build"));
        dialog->B_Build->click();
        QCOMPARE(dialog->buildState(), TRebuildDlg::BuildState::Stopped);
        QVERIFY(messages.lines().join(' ').contains("more than 32,767 different words"));
        QCOMPARE(QDir(folder()).entryList({"*.txt*"}, QDir::Files), QStringList());
        QVERIFY(!dialog->T_TempWord->Active());
        QCOMPARE(testsupport::sqlRows(folder() + "Temp_Word.db", "SELECT count(*) FROM Temp_Word"),
                 QStringList{"0"});
    }
};

// The program's own application object: its name is the caption of the
// application's standard report.
int main(int argc, char** argv) {
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));
    TestPipeline test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pipeline.moc"
