// The build pipeline behind "OK Build": the table stage and its locked-table
// box, the check for the verse table, the stages' captions and texts, the
// buttons before, during and after a build, the leftover temporary word table,
// the elapsed time, the tables on disk, closing the window and help while a
// build runs, and an error inside a stage.

#include "builder/Oddsandsods.h"
#include "platform/gui/application.h"
#include "tests/builder/testprogram.h"
#include "tests/support/files.h"
#include "tests/support/messagecapture.h"
#include "tests/support/processrun.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
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

// Enough verses for stage 2 to let the window process its events (at the 37th).
Verses fortyVerses() {
    Verses verses;
    for (int i = 1; i <= 40; ++i)
        verses.append({verseKey(1, 1, i), QStringLiteral("Verse number %1 of the test").arg(i)});
    return verses;
}

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
        // An output table is emptied first; its failure is reported by the
        // emptying, and the build must not go on without the table.
        QTest::newRow("Key") << "Key";
    }
    void lockedTable() {
        QFETCH(QString, held);
        writeVerseTable(folder(), genesis);
        writeWordTable(folder(), QStringLiteral("Key"), {"old"});
        TTable holder;
        holder.setDatabaseName(folder());
        holder.setTableName(held);
        holder.Open();
        for (int press = 1; press <= 2; ++press) {
            dialog->B_Build->click();
            QCOMPARE(messages.lines().count(inUseBox), press);
            QCOMPARE(dialog->L_Action->text(), QStringLiteral("KJV database in use"));
            QCOMPARE(dialog->windowTitle(), QStringLiteral("KJV Bible"));
            QVERIFY(dialog->stopReason().contains("File is locked"));
            verifyReady();
        }
        QVERIFY(!tableFileExists("Temp_Word"));
    }

    // An output table that cannot be emptied (here: not a table at all) is
    // reported by the emptying; the build then stops instead of going on
    // without it and announcing "Build complete".
    void unusableOutputTable() {
        writeVerseTable(folder(), genesis);
        QVERIFY(testsupport::writeFile(folder() + "Freq.db", "this is no table"));
        dialog->B_Build->click();
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.lines().first().startsWith("Error - emptyTable: "),
                 qPrintable(messages.lines().first()));
        QVERIFY(!dialog->stopReason().isEmpty());
        QVERIFY(texts("caption").isEmpty());
        QCOMPARE(dialog->L_Action->text(), QStringLiteral("Create KJV database?"));
        verifyReady();
    }

    // No verse table: the error texts, empty output tables, no box.
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
        for (TTable* table : {dialog->T_Key, dialog->T_Freq, dialog->T_Word}) {
            QVERIFY(table->Active());
            QCOMPARE(table->RecordCount(), 0);
        }
        QVERIFY(!tableFileExists("Temp_Word"));
        // Each press repeats the whole handler: with the verses in place it builds.
        build();
        QCOMPARE(dialog->T_Word->RecordCount(), 27);
        QCOMPARE(RebuildDlg, dialog.get());
        // No pointer outlives the dialog.
        dialog.reset();
        QCOMPARE(RebuildDlg, nullptr);
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
