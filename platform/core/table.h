#pragma once
// The table layer: a cursor over one table of a database folder.
//
// A table is named by its folder (DatabaseName) and its name (TableName) and is
// kept in one SQLite file, "<DatabaseName>/<TableName>.db". Inside the file the
// SQL table bears the table's name and its columns the field names, so other
// programs can read the rows directly; two small tables beside it,
// "_layout_fields" and "_layout_indexes", record the field and index
// definitions, and a file without them is not a table of ours.
//
//  - The primary index is the table's SQL PRIMARY KEY (SQLite's automatic,
//    unnamed index; a single integer field is the rowid itself). Secondary
//    indexes carry their layout names; case-insensitive means COLLATE NOCASE on
//    the text fields, descending means DESC. Rows that tie on a non-unique
//    index follow in rowid order.
//  - Exclusive open holds the file's exclusive lock until Close; no other
//    connection, in this process or any other, can read it meanwhile. A plain
//    open holds a shared lock: plain opens coexist, an exclusive open elsewhere
//    fails. The first write through a plain open takes the exclusive lock and
//    keeps it until Close. A lock that cannot be had at once raises
//    EDatabaseError with "File is locked" in its message; nothing waits. Every
//    hold ends at Close or when the process dies.
//  - Only this layer may open a table file: POSIX locks belong to the process,
//    so any other open and close of the file in the holding process would
//    silently drop its hold. Exists only looks the file up.
//  - A plain open commits every write at once. An exclusive hold writes in
//    one transaction that lasts until the next safe point: FlushBuffers,
//    Close, and every definition change. Only a safe point makes rows
//    durable; a killed process leaves the file as its last safe point left
//    it, whole (the rollback journal sees to it).
//  - A bulk fill: rows posted to a table that is held exclusively, keyed by
//    one integer field (without a unique secondary index) and empty are kept
//    in memory, compactly (each distinct text once), and written in key
//    order at the next safe point, or when they grow past an eighth of the machine's memory (64 MB
//    to 1 GB). Meanwhile every move and read serves them from memory, in the order of any index,
//    and a taken key is refused at Post; a key search (GotoKey), a range or
//    a Delete writes them to the file first. Writing them into the empty
//    table drops its non-unique secondary indexes and builds each again in
//    one pass when the cursor needs it or at the safe point; meanwhile
//    "_layout_indexes" marks it not built (column built = 0), and the next
//    exclusive holder of a file left so builds it.
//  - Sequential moves (First, Next) over the file step one statement through
//    the rows; RecNo, RecordCount and other moves use the rowids of the rows
//    in order, read once and kept until the next write. Reading values,
//    RecordCount, Bof and Eof never writes.
//  - Values are checked when they are set: a number outside its field's type
//    is refused, never wrapped. Text longer than an ftString field's width is
//    stored whole; the width is part of the layout only. A required field
//    refuses NULL and the empty text at Post.
//  - CreateTable (and EmptyTable of a closed table, EmptyHeldTable) writes
//    the new file under a name of its own, "<TableName>.db.<process id>.new",
//    and renames it into place. Such files that a killed process left are
//    removed by the next CreateTable in the folder, never those of a process
//    that runs.
//
// Used from one thread. Every failure is an EDatabaseError carrying a message
// for the user and its kind (a text that is not a number raises EConvertError).
//
// Inside: tablelayout (fields, indexes, index terms), tablecatalogue (the
// layout as the file stores it), tableconnection (SQLite, locks,
// transactions), tablebulk (the rows and taken keys of a bulk fill in
// memory), tablefile (one open table file, its safe points, whole files),
// tablecursor (the position and the moves).

#include "platform/core/errors.h"
#include "platform/core/tabledefs.h"

#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class TTable;

// One field of an open table. It reads and writes the current row, the row
// being appended, or the key being edited (dsSetKey), by the table's state.
// A field belongs to its table and stays valid until the table opens again
// or is destroyed.
class TField {
public:
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const QString& FieldName() const { return def.Name; }
    TFieldType DataType() const { return def.DataType; }
    int Size() const { return def.Size; }
    bool Required() const { return def.Required; }
    int Index() const { return index; }

    bool IsNull() const;
    // NULL reads as 0; text is converted (EConvertError when it is no number).
    int AsInteger() const;
    void setAsInteger(qint64 value);
    // NULL reads as ""; numbers as decimal text; a memo as its whole text.
    QString AsString() const;
    void setAsString(const QString& value);
    // AsString() == text, without making AsString()'s copy: for a walk that
    // looks for where a value changes.
    bool EqualsString(const QString& text) const;
    void Clear();
    // Copies the other field's value, with this field's checks.
    void Assign(const TField& source);

private:
    friend class TTable;
    TField(TTable* owner, int position, TFieldDef definition)
        : table(owner), index(position), def(std::move(definition)) {}

    TTable* table;
    int index;
    TFieldDef def;
};

using TDataSetNotifyEvent = std::function<void(TTable*)>;

class TTable : public QObject {
    Q_OBJECT

public:
    explicit TTable(QObject* parent = nullptr);
    ~TTable() override;

    // Binding: changed only while the table is closed. DatabaseName is a
    // folder; TableName has no extension.
    QString DatabaseName() const;
    void setDatabaseName(const QString& name);
    QString TableName() const;
    void setTableName(const QString& name);
    TTableType TableType() const;
    void setTableType(TTableType type);
    TUpdateMode UpdateMode() const;
    void setUpdateMode(TUpdateMode mode);
    bool Exclusive() const;
    void setExclusive(bool exclusive);
    // The table's file: "<DatabaseName>/<TableName>.db".
    QString fileName() const;

    bool Active() const;
    void setActive(bool active);
    // Opens the table on its first row in the order of IndexName.
    void Open();
    // Commits what was posted and releases the table. A row being appended
    // and not posted is discarded.
    void Close();
    // Puts everything posted so far on disk, with every index built, and
    // keeps the table open and held: a safe point after a batch of writes,
    // so that a crash later loses none of them.
    void FlushBuffers();
    // Closes the table without writing what was posted since its last safe
    // point: the file stays as that left it. For a scratch table that is
    // deleted next, whose rows nobody reads again.
    void CloseDiscarding();
    // True when the table's file is present; it is looked up, never opened.
    // False while no name is set.
    bool Exists() const;
    TDataSetState State() const;

    // Definition. CreateTable makes the table from FieldDefs and IndexDefs
    // (replacing an existing one that nobody holds) and leaves it closed.
    // Opening a table loads its layout into both lists.
    TFieldDefs& FieldDefs();
    TIndexDefs& IndexDefs();
    void CreateTable();
    // Adds a secondary index to the existing table, open or closed.
    void AddIndex(const QString& name, const QString& fields, TIndexOptions options,
                  const QString& descFields = QString());
    // Removes every row; needs the table for itself (open exclusively or
    // closed). A closed table is replaced by a new empty file of its layout.
    void EmptyTable();
    // Empties a table open exclusively as EmptyTable empties a closed one: a
    // new file of its layout takes the place of the old, which stays held
    // until then, and the table opens on it (on the first row, with new
    // fields). What was posted since the last safe point is dropped.
    void EmptyHeldTable();
    // Removes the closed table's file.
    void DeleteTable();

    // Navigation in the order of the current index, inside the current range.
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const;
    int RecordCount() const;
    // The 1-based number of the current row (0 without one). Setting it moves
    // there; a number outside 1..RecordCount leaves the cursor where it is.
    int RecNo() const;
    void setRecNo(int recNo);
    // "" selects the primary index. Changing it cancels the range and moves
    // to the first row.
    QString IndexName() const;
    void setIndexName(const QString& name);

    // SetKey, then assign the leading fields of the current index, then
    // GotoKey: moves to the first row with that key and returns true, or stays
    // put and returns false.
    void SetKey();
    bool GotoKey();
    // EditRangeStart / EditRangeEnd, assign the leading index fields of each
    // bound, then ApplyRange: the rows whose key lies between both bounds
    // (inclusive, compared on the fields given) are all the table shows, and
    // RecordCount and RecNo count within them.
    void EditRangeStart();
    void EditRangeEnd();
    void ApplyRange();
    void CancelRange();

    // Append starts a new row with every field empty; Post stores it and
    // leaves the cursor on it. Posting a key that is already taken raises
    // "Key violation." and keeps the row being appended; Delete discards it.
    // Delete on a stored row removes it and moves to the next row.
    void Append();
    void Post();
    void Delete();
    // Appends a row with these values, one per field in order, and posts it:
    // as Append, the fields' setters and Post would, with their checks, but
    // without the row being appended in between. A refused row is not
    // appended, and the table is left browsing.
    void AppendRecord(std::initializer_list<TRecordValue> values);

    int FieldCount() const;
    TField& Fields(int i);
    TField& FieldByName(const QString& name);
    // The named field, or null.
    TField* FindField(const QString& name);

    // Fired after every move that lands on another row: First, Last, Next,
    // Prior, setRecNo, GotoKey, Open, ranges, IndexName and Delete. Writing
    // (Append, Post, discarding an append) does not fire it.
    TDataSetNotifyEvent AfterScroll() const;
    void setAfterScroll(TDataSetNotifyEvent handler);

    struct Impl;

signals:
    // For data-aware controls, beside the one AfterScroll handler of the
    // table's user: scrolled() with every AfterScroll, activeChanged() when
    // the table opens or closes.
    void scrolled();
    void activeChanged(bool active);

protected:
    // Notes that scrolled() has a receiver: a walk through the rows of a
    // table nobody ever listened to sends nothing.
    void connectNotify(const QMetaMethod& signal) override;

private:
    friend class TField;
    std::unique_ptr<Impl> d;
};
