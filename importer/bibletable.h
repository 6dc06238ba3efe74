#pragma once
// Writing a text's verse table "Bible" in a folder, safely: the verses go into
// a new table "Bible" in the folder "Bible_new" beside it, which is moved into
// place only when it is complete (a table file bears its table's name inside,
// so the new table has the final name from the start); an existing table is
// replaced only when asked to, and only when no other program holds it, which
// this writer makes sure of by holding it exclusively itself until the new
// table has taken its place.
//
// One import at a time writes a text folder: each holds a lock on the folder
// for as long as it lives, which the system drops when the process ends,
// however it ends. A folder "Bible_new" that nobody holds was left by an
// import that was killed, and what it holds of a verse table goes first.
//
// The table has the verse table's layout (concordance/tablelayouts.h).

#include "importer/verses.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class Progress;
class TTable;

class BibleTableWriter {
public:
    static const QString tableName;        // "Bible"
    static const QString newFolderName;    // "Bible_new", the folder of the new table
    static const QString strongsTableName; // "Strongs", the words' Strong's numbers

    explicit BibleTableWriter(const QString& folder);
    // Releases the existing table and removes a new table left unfinished.
    ~BibleTableWriter();
    BibleTableWriter(const BibleTableWriter&) = delete;
    BibleTableWriter& operator=(const BibleTableWriter&) = delete;

    // Whether the folder already has a verse table.
    bool exists() const;
    // Makes sure the table may be written: takes the folder's lock and
    // removes what a killed import left in "Bible_new"; an existing table is
    // replaced only with `force`, and is held exclusively from here on.
    // Returns false, with `message` set, when another import holds the folder,
    // or the table exists without `force`, or another program holds it.
    bool prepare(bool force, QString& message);
    // Writes the verses (in key order) into the new table beside the old one,
    // and their words' tags, where any verse has some, into a new Strong's
    // table beside it. `interrupted` is polled between rows. Returns false,
    // with `message` set, when it fails or is interrupted; the new tables are
    // removed then.
    bool write(const std::vector<verses::Verse>& verses, Progress& progress, bool (*interrupted)(),
               QString& message);
    // Moves the new table into place, replacing the old one; the old Strong's
    // table goes, and the new one, if any, takes its place.
    bool commit(QString& message);
    // Whether commit replaced an existing table.
    bool replaced() const { return hadTable; }
    QString path() const;
    // Where the Strong's table goes: "Strongs.db" beside the verse table.
    QString strongsPath() const;
    // Remarks for the summary, such as an unreadable old table being replaced.
    const QStringList& remarks() const { return warnings; }

private:
    bool lockFolder(QString& message);
    bool writeStrongs(const std::vector<verses::Verse>& verses, Progress& progress,
                      bool (*interrupted)(), QString& message);
    // Lays out `table` with `define`, creates it and fills it with what
    // `append` makes of each verse (it returns how many rows it added), `rows`
    // in all, showing progress under the table's `file`. On failure or
    // interruption the new tables go and `message` says why; `title` names the
    // table in the message on a wrong row count.
    bool fillTable(TTable& table, const QString& file, const QString& title, qint64 rows,
                   const std::function<void()>& define,
                   const std::function<qint64(const verses::Verse&)>& append,
                   const std::vector<verses::Verse>& verses, Progress& progress,
                   bool (*interrupted)(), QString& message);
    void removeLeftovers();
    void dropNewTable() noexcept;

    QString folder;
    QString newFolder;
    int folderLock = -1;          // the folder, open and locked while the import lives
    std::unique_ptr<TTable> hold; // the existing table, held exclusively
    bool force = false;
    bool hadTable = false;
    bool newTableWritten = false;
    bool strongsWritten = false;
    QStringList warnings;
};
