#include "importer/bibletable.h"

#include "concordance/tablelayouts.h"
#include "importer/progress.h"
#include "platform/core/filesync.h"
#include "platform/core/table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

const QString BibleTableWriter::tableName = concordance::verseTable;
const QString BibleTableWriter::newFolderName = QStringLiteral("Bible_new");
const QString BibleTableWriter::strongsTableName = concordance::strongsTable;

namespace {

bool isLocked(const platform::Exception& e) {
    const auto* database = dynamic_cast<const platform::EDatabaseError*>(&e);
    return database && database->kind() == platform::EDatabaseError::Kind::Locked;
}

} // namespace

BibleTableWriter::BibleTableWriter(const QString& dir)
    : folder(QDir(dir).absolutePath()), newFolder(QDir(folder).filePath(newFolderName)) {}

BibleTableWriter::~BibleTableWriter() {
    if (newTableWritten)
        dropNewTable();
    if (hold) {
        try {
            hold->Close();
        } catch (const std::exception&) {
            // Nothing was written through the hold.
        }
    }
    if (folderLock >= 0)
        ::close(folderLock); // and with it the lock
}

bool BibleTableWriter::lockFolder(QString& message) {
    if (folderLock >= 0)
        return true;
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        message = QStringLiteral("cannot open the folder %1: %2")
                      .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        message = error == EWOULDBLOCK
                      ? QStringLiteral("another import is writing %1; try again when it has "
                                       "finished")
                            .arg(folder)
                      : QStringLiteral("cannot lock the folder %1: %2")
                            .arg(folder, QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    folderLock = fd;
    return true;
}

// Under the folder's lock no other import is at work: whatever "Bible_new"
// holds of a verse table (the table, its journal, a table being created under
// a name of its own) was left by one that was killed. Other files stay.
void BibleTableWriter::removeLeftovers() {
    const QFileInfo staging(newFolder);
    if (!staging.isDir() || staging.isSymLink())
        return;
    const QDir dir(newFolder);
    const QStringList names = dir.entryList(
        {tableName + QStringLiteral(".db*"), strongsTableName + QStringLiteral(".db*")},
        QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        QFile::remove(dir.filePath(name));
    QDir().rmdir(newFolder);
}

QString BibleTableWriter::path() const {
    return QDir(folder).filePath(tableName + ".db");
}

QString BibleTableWriter::strongsPath() const {
    return QDir(folder).filePath(strongsTableName + ".db");
}

bool BibleTableWriter::exists() const {
    return QFileInfo::exists(path());
}

bool BibleTableWriter::prepare(bool replace, QString& message) {
    force = replace;
    if (!QDir().mkpath(folder)) {
        message = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    if (folderLock < 0) {
        if (!lockFolder(message))
            return false;
        removeLeftovers();
    }
    if (!exists() || hold)
        return true;
    hadTable = true;
    if (!force) {
        message = QStringLiteral("%1 already exists; add --force to replace it").arg(path());
        return false;
    }
    // Hold the old table until the new one replaces it: nobody can be reading
    // it while it goes, and a program that holds it now stops the import.
    auto table = std::make_unique<TTable>();
    concordance::bindTable(*table, folder, tableName);
    table->setExclusive(true);
    try {
        table->Open();
    } catch (const platform::Exception& e) {
        if (isLocked(e)) {
            message = QStringLiteral("%1 is in use by another program, so it cannot be replaced "
                                     "now (%2). Close the program and try again.")
                          .arg(path(), e.message());
            return false;
        }
        // A damaged or foreign file: --force replaces it all the same.
        warnings << QStringLiteral("The existing %1 could not be read and is replaced: %2")
                        .arg(path(), e.message());
        return true;
    }
    hold = std::move(table);
    return true;
}

bool BibleTableWriter::write(const std::vector<verses::Verse>& verses, Progress& progress,
                             bool (*interrupted)(), QString& message) {
    TTable table;
    concordance::bindTable(table, newFolder, tableName);
    try {
        // A new table that an interrupted import left behind goes first.
        if (table.Exists())
            table.DeleteTable();
        if (!QDir().mkpath(newFolder)) {
            message = QStringLiteral("cannot create the folder %1").arg(newFolder);
            return false;
        }
    } catch (const platform::Exception& e) {
        message = isLocked(e) ? QStringLiteral("%1 is being written by another import (%2)")
                                    .arg(table.fileName(), e.message())
                              : e.message();
        return false;
    }

    newTableWritten = true;
    const auto define = [&table] {
        concordance::defineVerseTable(table.FieldDefs(), table.IndexDefs());
    };
    const auto append = [&table](const verses::Verse& verse) -> qint64 {
        table.Append();
        // Keys stay below 2^31 (books up to 127), so they fit the signed field.
        table.Fields(0).setAsInteger(static_cast<qint32>(verse.key));
        table.Fields(1).setAsString(QString::fromUtf8(verse.text));
        table.Post();
        return 1;
    };
    if (!fillTable(table, path(), QStringLiteral("the new table"),
                   static_cast<qint64>(verses.size()), define, append, verses, progress,
                   interrupted, message))
        return false;
    return writeStrongs(verses, progress, interrupted, message);
}

bool BibleTableWriter::writeStrongs(const std::vector<verses::Verse>& verses, Progress& progress,
                                    bool (*interrupted)(), QString& message) {
    qint64 total = 0;
    for (const verses::Verse& verse : verses)
        total += static_cast<qint64>(verse.tags.size());
    if (total == 0)
        return true; // a text without tags has no such table
    TTable table;
    concordance::bindTable(table, newFolder, strongsTableName);
    const auto define = [&table] {
        if (table.Exists())
            table.DeleteTable();
        concordance::defineStrongsTable(table.FieldDefs(), table.IndexDefs());
    };
    const auto append = [&table](const verses::Verse& verse) -> qint64 {
        for (const wordtags::WordTag& tag : verse.tags) {
            table.Append();
            table.Fields(0).setAsInteger(static_cast<qint32>(verse.key) | tag.position);
            table.Fields(1).setAsInteger(tag.element);
            table.Fields(2).setAsString(QString::fromUtf8(tag.numbers));
            table.Fields(3).setAsString(QString::fromUtf8(tag.morph));
            table.Post();
        }
        return static_cast<qint64>(verse.tags.size());
    };
    if (!fillTable(table, strongsPath(), QStringLiteral("the new table %1").arg(strongsTableName),
                   total, define, append, verses, progress, interrupted, message))
        return false;
    strongsWritten = true;
    return true;
}

bool BibleTableWriter::fillTable(TTable& table, const QString& file, const QString& title,
                                 qint64 rows, const std::function<void()>& define,
                                 const std::function<qint64(const verses::Verse&)>& append,
                                 const std::vector<verses::Verse>& verses, Progress& progress,
                                 bool (*interrupted)(), QString& message) {
    try {
        define();
        table.CreateTable();
        table.setExclusive(true);
        table.Open();

        progress.start(QStringLiteral("Writing %1").arg(file), rows);
        qint64 done = 0;
        for (const verses::Verse& verse : verses) {
            if (interrupted && interrupted()) {
                progress.interrupt();
                table.Close();
                dropNewTable();
                message = QStringLiteral("interrupted; nothing was written");
                return false;
            }
            done += append(verse);
            progress.update(done);
        }
        const int count = table.RecordCount();
        table.Close();
        if (count != rows) {
            dropNewTable();
            message = QStringLiteral("%1 holds %2 rows instead of %3")
                          .arg(title, QString::number(count), QString::number(rows));
            return false;
        }
        progress.finish(QStringLiteral("done"));
    } catch (const platform::Exception& e) {
        progress.interrupt();
        try {
            table.Close();
        } catch (const std::exception&) {
            // Being removed anyway.
        }
        dropNewTable();
        message = e.message();
        return false;
    }
    return true;
}

bool BibleTableWriter::commit(QString& message) {
    // A table that appeared while the verses were read or written is checked
    // like one that was there from the start.
    if (!hold && exists() && !prepare(force, message)) {
        dropNewTable();
        return false;
    }
    const QString target = path();
    const QString source = QDir(newFolder).filePath(tableName + ".db");
    // A rollback journal left beside the old table by a writer that died
    // belongs to the old table; it must not be applied to the new one. (A
    // table held here has had its journal rolled back and removed already.)
    QFile::remove(target + QLatin1String("-journal"));
    // The Strong's table of the old verses goes first: should the import end
    // between the moves, the folder holds verses without a Strong's table,
    // never a Strong's table of other verses.
    const QString strongsTarget = strongsPath();
    QFile::remove(strongsTarget);
    QFile::remove(strongsTarget + QLatin1String("-journal"));
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) !=
        0) {
        message = QStringLiteral("cannot move %1 to %2: %3")
                      .arg(source, target, QString::fromLocal8Bit(std::strerror(errno)));
        dropNewTable();
        return false;
    }
    if (strongsWritten) {
        const QString strongsSource = QDir(newFolder).filePath(strongsTableName + ".db");
        // The verses are in place: a Strong's table that cannot follow
        // them is reported, and the text goes without one.
        if (std::rename(QFile::encodeName(strongsSource).constData(),
                        QFile::encodeName(strongsTarget).constData()) != 0)
            warnings << QStringLiteral("Cannot move %1 to %2: %3; the text has no Strong's "
                                       "numbers until it is imported again")
                            .arg(strongsSource, strongsTarget,
                                 QString::fromLocal8Bit(std::strerror(errno)));
    }
    newTableWritten = false;
    // The renames must outlast a power cut.
    platform::syncFolder(folder);
    if (strongsWritten)
        dropNewTable(); // a Strong's table left behind by a failed move
    QDir().rmdir(newFolder);
    if (hold) {
        try {
            hold->Close();
        } catch (const std::exception&) {
            // The old table is gone; nothing was written through the hold.
        }
        hold.reset();
    }
    return true;
}

void BibleTableWriter::dropNewTable() noexcept {
    newTableWritten = false;
    strongsWritten = false;
    try {
        for (const QString& name : {tableName, strongsTableName}) {
            TTable table;
            concordance::bindTable(table, newFolder, name);
            if (table.Exists())
                table.DeleteTable();
        }
        QDir().rmdir(newFolder);
    } catch (const std::exception&) {
        // Left for the next import, which removes it first.
    }
}
