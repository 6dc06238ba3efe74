#include "builder/Pipeline.h"

#include "builder/Oddsandsods.h"
#include "builder/Strongstable.h"
#include "builder/Wordlists.h"
#include "builder/Wordtables.h"
#include "concordance/tablelayouts.h"
#include "concordance/textfolder.h"
#include "platform/core/errors.h"
#include "platform/core/localeformats.h"
#include "platform/core/messagesink.h"
#include "platform/core/process.h"
#include "platform/core/table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTime>

namespace {

struct WordSize {
    const char* name;
    int size;
};

// Widest word of each text we know; every other text gets the default.
constexpr WordSize wordSizes[] = {
    {"ASV", 21},   {"KJV", 18},   {"WEB", 19},     {"BASIC", 28},
    {"DARBY", 22}, {"DOUAY", 19}, {"WEBSTER", 22}, {"YOUNG", 22},
};
constexpr int defaultWordSize = 30;

TTable* makeTable(QObject* owner, const char* name) {
    auto* table = new TTable(owner);
    table->setObjectName(QLatin1String(name));
    return table;
}

// openTable reports a table that it could not create or empty and returns with
// the table closed, or open but still holding its rows. A build on such a table
// would fail in a later stage and still end in "Build complete", so the table
// is opened for the build alone here, as openTable would have done: a table
// that another program holds raises "File is locked", and one that is missing
// or not empty raises an error of its own.
void requireOpenAndEmpty(TTable* table) {
    if (!table->Active() || !table->Exclusive()) {
        if (!table->Exists())
            throw EDatabaseError(
                QStringLiteral("The table %1 could not be created.").arg(table->fileName()));
        table->setActive(false);
        table->setExclusive(true);
        table->setActive(true);
    }
    if (table->RecordCount() != 0)
        throw EDatabaseError(
            QStringLiteral("The table %1 could not be emptied.").arg(table->fileName()));
}

} // namespace

QString elapsedText(qint64 ms) {
    // The clock is monotonic, so this cannot be negative; a build of a day or
    // more still shows all of it in minutes.
    ms = qMax<qint64>(ms, 0);
    const qint64 minutes = ms / 60000;
    const qint64 seconds = ms / 1000 % 60;
    const qint64 millis = ms % 1000;
    return QStringLiteral("Elapsed time %1 min %2.%3 seconds")
        .arg(minutes)
        .arg(seconds)
        .arg(millis, 3, 10, QLatin1Char('0'));
}

// One run. However it ends, the pipeline is no longer building afterwards; a
// run that leaves while the stages are under way (an error escaped a stage)
// leaves the build stopped.
class BuildPipeline::Run {
public:
    explicit Run(BuildPipeline& owner) : pipeline(owner) {
        pipeline.building = true;
        pipeline.stopText.clear();
    }
    ~Run() {
        pipeline.building = false;
        if (pipeline.buildState != State::Building)
            return;
        pipeline.buildState = State::Stopped;
        // The scratch table stays for the next build to remove; the rows of
        // the stopped build are of no use to anybody and are not written.
        try {
            pipeline.T_TempWord->CloseDiscarding();
        } catch (const std::exception&) {
            // It is closed all the same.
        }
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

private:
    BuildPipeline& pipeline;
};

BuildPipeline::BuildPipeline(QObject* parent)
    : QObject(parent), T_TempWord(makeTable(this, "T_TempWord")), T_Word(makeTable(this, "T_Word")),
      T_Bible(makeTable(this, "T_Bible")), T_Freq(makeTable(this, "T_Freq")),
      T_Key(makeTable(this, "T_Key")) {
    setObjectName(QStringLiteral("Pipeline"));
    readCommandLine();
    setWordSize();
}

BuildPipeline::~BuildPipeline() = default;

// The command line's arguments hold "Text" followed by a blank and the text's
// name. They alone are read, never the program's own path (which may well
// run through a folder such as /home/user/TextTools): everything before the
// first "Text" in them is dropped, the word up to the first blank names the
// folder of texts, and the rest of the line is the text's name. Arguments
// without "Text" name no text.
void BuildPipeline::readCommandLine() {
    QString line = platform::commandLineArguments(platform::rawCommandLine());
    const qsizetype word = line.indexOf(QStringLiteral("Text"), 0, Qt::CaseSensitive);
    folderWord.clear();
    bibleName.clear();
    if (word >= 0) {
        line.remove(0, word);
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        if (blank >= 0) {
            folderWord = line.left(blank);
            bibleName = line.mid(blank + 1);
        }
    }
    dataPath = concordance::textFolder(bibleName, folderWord);
}

void BuildPipeline::setWordSize() {
    wordSize = defaultWordSize;
    for (const WordSize& entry : wordSizes) {
        if (bibleName.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            wordSize = entry.size;
            return;
        }
    }
}

QString BuildPipeline::textNameProblem() const {
    if (folderWord.isEmpty() || bibleName.isEmpty())
        return QStringLiteral("No text is named: start Build with the word Text and the text's "
                              "name, for example Build Text KJV");
    if (!concordance::isFolderName(folderWord))
        return QStringLiteral("\"%1\" cannot name the folder of texts: it must be one folder "
                              "name, without \"/\"")
            .arg(folderWord);
    if (!concordance::isFolderName(bibleName))
        return QStringLiteral("\"%1\" is not the name of a text: a text's name is one folder "
                              "name, without \"/\" and other than \".\" and \"..\"")
            .arg(bibleName);
    return QString();
}

QString BuildPipeline::importAdvice() const {
    if (!textNameProblem().isEmpty() ||
        QFile::exists(dataPath + concordance::verseTable + QStringLiteral(".db")))
        return QString();
    return QStringLiteral("There is no verse table for %1 yet.\r\n").arg(bibleName) +
           concordance::importAdvice(bibleName);
}

BuildText BuildPipeline::buildText() const {
    return BuildText{dataPath, bibleName, wordSize, T_Word, T_Key, T_Freq, textRules};
}

void BuildPipeline::setStageReport(StageReport* report) {
    stageReport = report;
}

void BuildPipeline::setView(BuildView* view) {
    buildView = view;
}

void BuildPipeline::showStatus(const QString& text) {
    setText(QStringLiteral("status"), text);
}

void BuildPipeline::setProgress(int position) {
    emit progressChanged(position);
}

void BuildPipeline::processEvents() {
    QCoreApplication::processEvents();
}

void BuildPipeline::setText(const QString& what, const QString& text) {
    emit textChanged(what, text);
}

void BuildPipeline::setCaption(const QString& text) {
    setText(QStringLiteral("caption"), text);
}

void BuildPipeline::setAction(const QString& text, const QString& path) {
    action = text;
    pathOfAction = text.endsWith(path) ? path : QString();
    setText(QStringLiteral("action"), text);
}

void BuildPipeline::run() {
    if (building || buildState != State::Ready)
        return;
    platform::reportExceptions([this] { build(); });
}

void BuildPipeline::build() {
    Run run(*this);

    // A name that is no text's name is refused before any file is touched.
    const QString problem = textNameProblem();
    if (!problem.isEmpty()) {
        setCaption(QStringLiteral(" Error!"));
        setAction(QStringLiteral("No text to build"));
        stopText = problem;
        msgBox(applicationTitle, problem);
        return;
    }
    // The word rule the text was imported with; a record that cannot be read
    // stops the build before any table is touched.
    try {
        textRules = concordance::readTextRules(dataPath);
    } catch (const platform::Exception& e) {
        setCaption(QStringLiteral(" Error!"));
        stopText = e.message();
        msgBox(applicationTitle, stopText);
        return;
    }

    // A text that is not there (a mistyped name, a folder never imported)
    // is told so in one message, and nothing is made for it.
    const QString versePath = dataPath + concordance::verseTable + QStringLiteral(".db");
    if (!QFileInfo(versePath).isFile()) {
        setCaption(QStringLiteral(" Error!"));
        stopText = QStringLiteral("Failed to find ") + versePath;
        setAction(stopText, versePath);
        return;
    }

    if (!openTables())
        return;
    if (!outputTablesReady())
        return;
    runStages();
}

// The verse table and the three output tables, each held for the build alone,
// the output tables created or emptied. False when one could not be opened:
// a table that another program holds shows why in a message box, and so does
// one that could not be opened for another reason. Every table that exists is
// held before any is changed, so a build that another program keeps from its
// tables changes nothing. Then the word lists go, before the tables they
// describe are emptied: whatever becomes of this build, no list of another
// build is left beside its tables. A table that could not be created or
// emptied has been reported where that happened.
bool BuildPipeline::openTables() {
    const BuildText text = buildText();
    TTable* const tables[] = {T_Bible, T_Key, T_Freq, T_Word};
    const TTableKind kinds[] = {tkExisting, tkKey, tkFreq, tkIndexedRec};
    const QLatin1String names[] = {concordance::verseTable, concordance::keyTable,
                                   concordance::freqTable, concordance::wordTable};
    const auto opened = [&](int i, bool change) {
        try {
            openTable(tables[i], names[i], change ? kinds[i] : tkExisting, change, text);
        } catch (const EDatabaseError& e) {
            stopText = e.message();
            if (e.kind() == EDatabaseError::Kind::Locked) {
                const QString inUse = bibleName + QStringLiteral(" database in use");
                setAction(inUse);
                msgBox(inUse.toUtf8().constData(),
                       QStringLiteral("The ") + bibleName +
                           QStringLiteral(" database is in use by another program\r\nIf this is "
                                          "Lumavo either change the working text or close Lumavo"));
            } else {
                msgBox("openTable",
                       e.message() + QStringLiteral("\r\n unable to open ") + names[i]);
            }
            return false;
        }
        return true;
    };
    for (int i = 0; i < 4; ++i)
        if (!opened(i, false))
            return false;
    if (!TWordList::removeLists(dataPath, bibleName)) {
        stopText = QStringLiteral("The word lists of ") + bibleName +
                   QStringLiteral(" could not be removed.");
        return false;
    }
    // The Strong's table describes the tables about to be emptied: it goes
    // with them, and the build writes the text's new one.
    QString strongsError;
    if (!strongstable::removeOld(dataPath, strongsError)) {
        stopText = strongsError;
        msgBox("openTable", strongsError);
        return false;
    }
    for (int i = 1; i < 4; ++i)
        if (!opened(i, true))
            return false;
    return true;
}

// The output tables must be there, held and empty before the stages start: a
// build on a table that could not be created or emptied would fail in a later
// stage and still end in "Build complete". Each such failure has been
// reported already.
bool BuildPipeline::outputTablesReady() {
    try {
        requireOpenAndEmpty(T_Key);
        requireOpenAndEmpty(T_Freq);
        requireOpenAndEmpty(T_Word);
    } catch (const EDatabaseError& e) {
        stopText = e.message();
        return false;
    }
    return true;
}

void BuildPipeline::runStages() {
    QElapsedTimer clock;
    clock.start();
    setText(QStringLiteral("start"),
            QStringLiteral("Start time ") +
                QLocale().toString(QTime::currentTime(), platform::longTimeFormat()));
    setCaption(QStringLiteral(" Building"));
    setAction(QStringLiteral("Database and wordlists for"));
    if (buildView)
        buildView->stagesStarting();
    buildState = State::Building;

    // Stage 1: a temporary word table of its own. One left behind by an
    // interrupted build goes first, with its rows.
    setCaption(QStringLiteral(" Building - Stage 1 of 4"));
    showStatus(QStringLiteral("Creating tempory word table"));
    emit stageStarted(1, QStringLiteral("Creating tempory word table"));
    T_TempWord->setActive(false);
    concordance::bindTable(*T_TempWord, dataPath, concordance::tempWordTable);
    deleteTable(T_TempWord);
    openTable(T_TempWord, concordance::tempWordTable, tkWord, false, buildText());
    requireOpenAndEmpty(T_TempWord);

    StageReport& report = stageReport ? *stageReport : *this;

    // Stage 2: one row per word occurrence.
    setCaption(QStringLiteral(" Building - Stage 2 of 4"));
    showStatus(QStringLiteral("Stage 1 complete"));
    setAction(QStringLiteral("Building the word index tables"));
    emit stageStarted(2, action);
    TWordTables(report, textRules.words).build(T_Bible, T_TempWord);

    // Stage 3: the word, key and frequency tables.
    setCaption(QStringLiteral(" Building - Stage 3 of 4"));
    showStatus(QStringLiteral("Stage 2 complete."));
    setAction(QStringLiteral("Building frequency and lookup tables"));
    emit stageStarted(3, action);
    TWordList lists(report, buildText());
    lists.buildTables(T_TempWord);

    // The scratch table goes first: nobody reads its rows again, and the
    // memory they take is better used for writing the finished tables.
    deleteTable(T_TempWord);
    // The finished tables go to disk now, and the lists take their names
    // after them: the tables stay open until the program ends, and a crash
    // meanwhile must not take back what "Build complete" announces.
    lists.commit();
    // Where the text's words are tagged, the Strong's table follows them. It
    // is the build's addition: a fault in it is reported, and the word
    // tables stand.
    strongstable::Summary strongs;
    QString strongsError;
    if (!strongstable::write(dataPath, strongs, strongsError) ||
        !strongstable::publish(dataPath, strongsError))
        msgBox("Strong's numbers", strongsError);

    if (buildView)
        buildView->stagesDone();

    setCaption(QStringLiteral(" Build complete"));
    showStatus(QStringLiteral("Stage 4 complete."));
    setAction(QStringLiteral("Build complete. You should close this dialog."));
    setText(QStringLiteral("finish"), elapsedText(clock.elapsed()));

    if (buildView)
        buildView->buildCompleted();
    buildState = State::Done;
}
