#include "platform/core/tablefile.h"

#include "platform/core/filesync.h"
#include "platform/core/process.h"
#include "platform/core/tablecatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::tables {

namespace {

using Kind = EDatabaseError::Kind;

// Each connection keeps this much of its file in memory. The engine sorts
// the keys of a new index in parts of this size, which it does fastest when
// the parts are small; a bulk fill writes its rows in order and needs no more.
constexpr int cacheKiB = 2048;
constexpr int pageSize = 16384;
// A bulk fill keeps its rows in memory up to this size, then writes them or
// puts them aside: an eighth of the machine's memory, within 64 MB and 1 GB: a text many
// times the largest Bible still reads its words back from memory, on a
// small machine as well as on a large one.
size_t defaultMemoryLimit() {
    constexpr size_t least = size_t(64) << 20;
    constexpr size_t most = size_t(1) << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageBytes = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageBytes <= 0)
        return least;
    return std::clamp(size_t(pages) / 8 * size_t(pageBytes), least, most);
}
size_t memoryLimit = defaultMemoryLimit();
// Rows out of key order are put aside in runs of this size, or of the
// memory when it is less, and of at least so many rows; they are read back
// and written this many at a time.
constexpr size_t runBytes = size_t(1) << 20;
constexpr size_t minimumRun = size_t(1) << 16;
constexpr size_t spillBatch = 4096;
// Rows put aside are written this many at a time.
constexpr size_t spillWriteBatch = 32768;

// The whole of `bytes` written at `offset` of `fd` (io: pwrite), or read
// from there (io: pread).
template <typename Byte, typename Io>
bool wholeAt(Io io, int fd, Byte* p, size_t bytes, off_t offset) {
    while (bytes > 0) {
        const ssize_t n = io(fd, p, bytes, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        bytes -= size_t(n);
        offset += n;
    }
    return true;
}
bool writeAt(int fd, const void* data, size_t bytes, off_t offset) {
    return wholeAt(::pwrite, fd, static_cast<const char*>(data), bytes, offset);
}
bool readAt(int fd, void* data, size_t bytes, off_t offset) {
    return wholeAt(::pread, fd, static_cast<char*>(data), bytes, offset);
}

const QLatin1String journalSuffix("-journal");

QString journalOf(const QString& path) {
    return path + journalSuffix;
}

// "<table>.db.<process id>.new": the name a table is written under before it
// takes its place.
QString temporaryName(const QString& path, qint64 pid) {
    return QStringLiteral("%1.%2.new").arg(path).arg(pid);
}

void refuseNonFile(const QFileInfo& info) {
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a file.").arg(info.filePath()),
                             Kind::NotATable);
}

// Takes the file at `path` for ourselves before it goes, in `hold`: raises
// Locked when anybody holds it. Nothing when there is no file.
void holdForRemoval(const QString& path, std::optional<Connection>& hold) {
    const QFileInfo info(path);
    if (!info.exists())
        return;
    refuseNonFile(info);
    hold.emplace(path, SQLITE_OPEN_READWRITE);
    hold->lockForRemoval();
}

// Writes a table of `layout` under a temporary name and renames it to
// `path`, replacing the file there, which the caller holds (or there is
// none). A table file is never half made.
void writeInPlace(const QString& path, const Layout& layout) {
    const QString temp = temporaryName(path, QCoreApplication::applicationPid());
    QFile::remove(temp);
    QFile::remove(journalOf(temp));
    auto removeTemp = qScopeGuard([&] {
        QFile::remove(temp);
        QFile::remove(journalOf(temp));
    });
    {
        // Nobody knows the new file until it is renamed, and a failure
        // removes it: it needs no journal, and one sync of the whole.
        const QString what = QStringLiteral("Creating");
        Connection file(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        file.allowJournalOff();
        file.exec(QStringLiteral("PRAGMA page_size=%1").arg(pageSize), what);
        file.exec(QStringLiteral("PRAGMA journal_mode=OFF"), what);
        file.exec(QStringLiteral("PRAGMA synchronous=OFF"), what);
        Transaction creation(file);
        catalogue::create(file, layout);
        creation.commit();
    }
    if (!syncFile(temp))
        throw EDatabaseError(QStringLiteral("Cannot write table %1.").arg(path), Kind::IO);
    // A table that is replaced keeps who may read and write it.
    struct stat old {};
    if (::stat(QFile::encodeName(path).constData(), &old) == 0)
        ::chmod(QFile::encodeName(temp).constData(), old.st_mode & 07777);
    // A journal left beside the old file would be played back into the new
    // one; the old file is held (or gone), so nobody is writing it.
    QFile::remove(journalOf(path));
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0)
        throw EDatabaseError(QStringLiteral("Cannot create table %1.").arg(path), Kind::IO);
    removeTemp.dismiss();
    // The new name must reach the disk with the file.
    syncFolder(QFileInfo(path).absolutePath());
}

} // namespace

TableFile::TableFile(const QString& path, const QString& table, bool exclusiveHold)
    : conn(path, SQLITE_OPEN_READWRITE), exclusive(exclusiveHold) {
    const QString what = QStringLiteral("Opening");
    catalogue::requireWholeHeader(path);
    // An exclusive hold takes the exclusive lock at once. A failure closes
    // the connection, which ends the reading transaction.
    conn.exec(exclusive ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN"), what);
    lay = catalogue::read(conn, table);
    conn.exec(QStringLiteral("COMMIT"), what);
    // The rollback journal survives a killed process; a file that was
    // switched to another journal mode is switched back.
    conn.exec(QStringLiteral("PRAGMA journal_mode=DELETE"), what);
    conn.exec(QStringLiteral("PRAGMA cache_size=-%1").arg(cacheKiB), what);
    memory = MemoryRows(lay);
    if (lay.rowidKey)
        keyField = static_cast<size_t>(lay.keyField());
    conn.setAfterRollback([this] { forgetUncommitted(); });
}

TableFile::~TableFile() {
    try {
        commit();
    } catch (const std::exception&) {
        // What was not committed is rolled back by the engine.
    }
    dropRuns();
}

Statement& TableFile::insertStatement() {
    if (!insertOne)
        insertOne = &conn.statement(lay.insertSql());
    return *insertOne;
}

Statement& TableFile::rowStatement() {
    if (!runs.empty())
        writeMemoryRows();
    if (!selectRow)
        selectRow = &conn.statement(
            QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(quoted(lay.table)));
    return *selectRow;
}

// ---- writing

bool TableFile::keepsRowsInMemory() const {
    if (!exclusive || !lay.rowidKey)
        return false;
    // A unique secondary index must see every row as it comes.
    for (const Index& index : lay.indexes)
        if (index.unique() && !index.primary())
            return false;
    return true;
}

void TableFile::beginWrite() {
    if (!conn.inTransaction())
        conn.beginWrite();
}

void TableFile::wrote() {
    if (!exclusive)
        commit();
}

void TableFile::commit() {
    writeMemoryRows();
    if (!conn.inTransaction())
        return;
    // Leave no half transaction behind: what was not committed is lost, and
    // the caller learns it from the error.
    Transaction group(conn);
    group.commit();
}

void TableFile::forgetUncommitted() noexcept {
    dropRuns();
    memory.clear();
    taken.clear();
    memoryMode = false;
    fillChecked = false;
    catalogue::rereadBuiltMarks(conn, lay);
}

bool TableFile::startsFill() {
    fillChecked = true;
    if (keepsRowsInMemory()) {
        Statement& st =
            conn.statement(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoted(lay.table)));
        memoryMode = !conn.step(st, QStringLiteral("Reading"));
        st.reset();
    }
    return memoryMode;
}

template <typename Row> qint64 TableFile::keepInMemory(const Row* row, qint64 key32) {
    const auto key = static_cast<qint32>(key32);
    taken.take(key, memory);
    // Their size is looked at every so many rows. Rows out of key order are
    // put aside in key order once they fill a run, to be merged when they
    // are written; nothing reads them meanwhile but that merge. Past the
    // memory, rows that came in key order go to the file now, where later
    // ones follow them.
    if (memory.add(row) % 1024 != 1023)
        return key;
    // Runs grow with the rows put aside before them (a 32nd of those), so
    // that a large fill is merged from a few dozen runs rather than from
    // hundreds.
    const size_t runSize =
        std::min(std::max(runBytes, spilledRows * memory.bytesPerRow() / 32), memoryLimit);
    if (!memory.inKeyOrder() && memory.size() >= minimumRun && memory.rowBytes() >= runSize &&
        putRowsAside())
        return key;
    if (memory.bytes() + taken.bytes() > memoryLimit &&
        (memory.inKeyOrder() || memory.size() < minimumRun || !putRowsAside()))
        writeMemoryRows();
    return key;
}

qint64 TableFile::insert(const TRecordValue* row) {
    // A record's values suit their fields, and every numeric field's range
    // lies within 32 bits: it fits.
    if (fillingMemory())
        return keepInMemory(row, row[keyField].number);
    return insert(valuesOf(row, lay.fields.size()), false);
}

qint64 TableFile::insert(const std::vector<Value>& row, bool writeThrough) {
    if (fillingMemory() && !writeThrough && memory.fits(row))
        return keepInMemory(row.data(), row[keyField].i);
    writeMemoryRows();
    beginWrite();
    Statement& st = insertStatement();
    for (size_t i = 0; i < row.size(); ++i)
        st.bind(static_cast<int>(i) + 1, row[i]);
    conn.step(st, QStringLiteral("Writing"));
    const qint64 id = conn.lastInsertRowid();
    wrote();
    return id;
}

bool TableFile::putRowsAside() {
    if (memory.hasNulls())
        return false;
    if (!spill) {
        spill = std::tmpfile();
        if (!spill)
            return false;
    }
    const size_t width = memory.rowWidth();
    const std::vector<quint32> order = memory.ordered(IndexTerms(lay, -1));
    std::vector<qint32> buffer(width * spillWriteBatch);
    size_t filled = 0;
    auto offset = off_t(spilledRows * width * sizeof(qint32));
    // A run that cannot be written whole is no run: the rows stay, and go
    // to the file instead (the bytes written are overwritten by the next).
    const auto flush = [&] {
        const size_t bytes = filled * sizeof(qint32);
        const bool written = writeAt(fileno(spill), buffer.data(), bytes, offset);
        offset += off_t(bytes);
        filled = 0;
        return written;
    };
    for (quint32 r : order) {
        memory.cellsOf(r, buffer.data() + filled);
        filled += width;
        if (filled == buffer.size() && !flush())
            return false;
    }
    if (!flush())
        return false;
    runs.push_back({spilledRows, order.size()});
    spilledRows += order.size();
    memory.clearRows();
    return true;
}

void TableFile::dropRuns() noexcept {
    if (spill)
        std::fclose(spill);
    spill = nullptr;
    runs.clear();
    spilledRows = 0;
}

// ---- rows written through a virtual table

// The rows of a fill as they are written, one at a time, in key order.
class FillFeed {
public:
    virtual ~FillFeed() = default;
    // The next row: its number among the rows in memory, or -1 for a row
    // put aside and its cells. False after the last.
    virtual bool next(const qint32*& cells, qint64& memoryRow) = 0;
};

// What the virtual table "_layout_rows" reads while a fill is written: the
// rows in memory (for their texts and NULL marks) and the feed. An error of
// the feed is kept here and raised once the statement has failed.
struct FillSource {
    const MemoryRows* memory = nullptr;
    FillFeed* feed = nullptr;
    size_t fields = 0;
    std::exception_ptr error;
};

namespace {

// The eponymous virtual table over the feed: columns c0, c1, ... as the
// layout's fields, the rows in the feed's order. The fill's rows reach the
// table by one INSERT ... SELECT, with nothing bound per row.
struct FeedTable {
    sqlite3_vtab base;
    FillSource* source;
};
struct FeedCursor {
    sqlite3_vtab_cursor base;
    FillSource* source;
    const qint32* cells;
    qint64 memoryRow;
    sqlite3_int64 rowid;
    bool atEnd;
};

int feedConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    auto* source = static_cast<FillSource*>(aux);
    QByteArray schema = "CREATE TABLE x(";
    for (size_t i = 0; i < source->fields; ++i)
        schema += (i ? ", c" : "c") + QByteArray::number(qulonglong(i));
    schema += ")";
    const int rc = sqlite3_declare_vtab(db, schema.constData());
    if (rc != SQLITE_OK)
        return rc;
    auto* table = static_cast<FeedTable*>(sqlite3_malloc(sizeof(FeedTable)));
    if (!table)
        return SQLITE_NOMEM;
    std::memset(table, 0, sizeof *table);
    table->source = source;
    *out = &table->base;
    return SQLITE_OK;
}
int feedDisconnect(sqlite3_vtab* table) {
    sqlite3_free(table);
    return SQLITE_OK;
}
int feedBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 1e6;
    return SQLITE_OK;
}
int feedOpen(sqlite3_vtab* table, sqlite3_vtab_cursor** out) {
    auto* cursor = static_cast<FeedCursor*>(sqlite3_malloc(sizeof(FeedCursor)));
    if (!cursor)
        return SQLITE_NOMEM;
    std::memset(cursor, 0, sizeof *cursor);
    cursor->source = reinterpret_cast<FeedTable*>(table)->source;
    cursor->atEnd = true;
    *out = &cursor->base;
    return SQLITE_OK;
}
int feedClose(sqlite3_vtab_cursor* cursor) {
    sqlite3_free(cursor);
    return SQLITE_OK;
}
int feedNext(sqlite3_vtab_cursor* base) {
    auto* cursor = reinterpret_cast<FeedCursor*>(base);
    FillSource* source = cursor->source;
    // Nothing may be thrown through the engine.
    try {
        cursor->atEnd = !source->feed || !source->feed->next(cursor->cells, cursor->memoryRow);
    } catch (...) {
        source->error = std::current_exception();
        cursor->atEnd = true;
        return SQLITE_ERROR;
    }
    ++cursor->rowid;
    return SQLITE_OK;
}
int feedFilter(sqlite3_vtab_cursor* cursor, int, const char*, int, sqlite3_value**) {
    reinterpret_cast<FeedCursor*>(cursor)->rowid = 0;
    return feedNext(cursor);
}
int feedEof(sqlite3_vtab_cursor* cursor) {
    return reinterpret_cast<FeedCursor*>(cursor)->atEnd;
}
int feedColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int field) {
    const auto* cursor = reinterpret_cast<FeedCursor*>(base);
    cursor->source->memory->result(context, cursor->cells, cursor->memoryRow, field);
    return SQLITE_OK;
}
int feedRowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* out) {
    *out = reinterpret_cast<FeedCursor*>(cursor)->rowid;
    return SQLITE_OK;
}

const sqlite3_module feedModule = [] {
    sqlite3_module m{};
    m.xConnect = feedConnect; // no xCreate: eponymous only
    m.xBestIndex = feedBestIndex;
    m.xDisconnect = feedDisconnect;
    m.xOpen = feedOpen;
    m.xClose = feedClose;
    m.xFilter = feedFilter;
    m.xNext = feedNext;
    m.xEof = feedEof;
    m.xColumn = feedColumn;
    m.xRowid = feedRowid;
    return m;
}();

} // namespace

void TableFile::writeRows(FillFeed& feed) {
    if (!fillSource) {
        fillSource = std::make_unique<FillSource>();
        fillSource->memory = &memory;
        fillSource->fields = lay.fields.size();
        conn.registerModule("_layout_rows", &feedModule, fillSource.get());
    }
    fillSource->feed = &feed;
    fillSource->error = nullptr;
    const auto done = qScopeGuard([this] { fillSource->feed = nullptr; });
    QStringList columns;
    for (size_t i = 0; i < lay.fields.size(); ++i)
        columns << QStringLiteral("c%1").arg(i);
    Statement& st = conn.statement(
        QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM _layout_rows")
            .arg(quoted(lay.table), lay.columnList(), columns.join(QStringLiteral(", "))));
    try {
        conn.step(st, QStringLiteral("Writing"));
    } catch (const EDatabaseError&) {
        if (fillSource->error)
            std::rethrow_exception(fillSource->error);
        throw;
    }
}

void TableFile::writeMergedRuns() {
    // Each run is read a batch at a time; the rows in memory are the last
    // run, read in place. The next row of each run and of memory is kept in
    // a heap, smallest key on top; equal keys (which a fill refuses) would
    // come in the order of the runs.
    class Merge : public FillFeed {
    public:
        explicit Merge(TableFile& owner)
            : file(owner), width(owner.memory.rowWidth()),
              inMemory(owner.memory.ordered(IndexTerms(owner.lay, -1))) {
            for (const Run& run : file.runs)
                readers.push_back({run, std::vector<qint32>(width * spillBatch)});
            for (Reader& r : readers)
                refill(r);
            for (size_t source = 0; source <= readers.size(); ++source)
                push(source);
        }
        bool next(const qint32*& cells, qint64& memoryRow) override {
            // The row handed out last is read by the engine until now: its
            // source moves on only here.
            if (last != none) {
                // The top of the heap is the row handed out: it makes way
                // for the next row of its source, or for the last entry.
                bool following = false;
                if (last < readers.size()) {
                    Reader& r = readers[last];
                    if (++r.at == r.have)
                        refill(r);
                    following = r.at < r.have;
                    if (following)
                        heap[0] = entry(r.cells[r.at * width + file.keyField], last);
                } else if (++nextInMemory < inMemory.size()) {
                    following = true;
                    heap[0] =
                        entry(static_cast<qint32>(file.memory.rowid(inMemory[nextInMemory])), last);
                }
                if (!following) {
                    heap[0] = heap.back();
                    heap.pop_back();
                }
                siftDown();
                last = none;
            }
            if (heap.empty())
                return false;
            last = static_cast<size_t>(heap[0] & 0xffffffffu);
            if (last < readers.size()) {
                const Reader& r = readers[last];
                cells = r.cells.data() + r.at * width;
                memoryRow = -1;
            } else {
                memoryRow = inMemory[nextInMemory];
                cells = nullptr;
            }
            return true;
        }

    private:
        struct Reader {
            Run run;
            std::vector<qint32> cells;
            size_t at = 0;   // the row of `cells` to come
            size_t have = 0; // rows in `cells`
            size_t read = 0; // rows of the run read so far
        };
        // An entry of the heap: the key of a source's next row above the
        // source (a reader, or readers.size() for memory), so that one
        // comparison orders by key and then by source.
        static quint64 entry(qint32 key, size_t source) {
            return quint64(static_cast<quint32>(key) ^ 0x80000000u) << 32 | source;
        }
        void refill(Reader& r) {
            r.at = 0;
            r.have = std::min(spillBatch, r.run.rows - r.read);
            if (r.have == 0)
                return;
            if (!readAt(fileno(file.spill), r.cells.data(), r.have * width * sizeof(qint32),
                        off_t((r.run.first + r.read) * width * sizeof(qint32))))
                throw EDatabaseError(
                    QStringLiteral("Writing %1: the rows put aside cannot be read back.")
                        .arg(file.conn.path()),
                    Kind::IO);
            r.read += r.have;
        }
        void push(size_t source) {
            qint32 key = 0;
            if (source < readers.size()) {
                const Reader& r = readers[source];
                if (r.at == r.have)
                    return;
                key = r.cells[r.at * width + file.keyField];
            } else {
                if (nextInMemory == inMemory.size())
                    return;
                key = static_cast<qint32>(file.memory.rowid(inMemory[nextInMemory]));
            }
            heap.push_back(entry(key, source));
            std::push_heap(heap.begin(), heap.end(), std::greater<>());
        }
        // Restores the heap after its top changed.
        void siftDown() {
            const size_t n = heap.size();
            size_t i = 0;
            for (size_t child = 1; child < n; child = 2 * i + 1) {
                if (child + 1 < n && heap[child] > heap[child + 1])
                    ++child;
                if (heap[i] <= heap[child])
                    return;
                std::swap(heap[i], heap[child]);
                i = child;
            }
        }

        TableFile& file;
        size_t width;
        std::vector<Reader> readers;
        std::vector<quint32> inMemory;
        size_t nextInMemory = 0;
        std::vector<quint64> heap;
        const size_t none = SIZE_MAX;
        size_t last = SIZE_MAX; // the source of the row handed out last
    };
    Merge merge(*this);
    writeRows(merge);
}

void TableFile::writeMemoryRows() {
    if (!memoryMode)
        return;
    if (!runs.empty() || !memory.empty()) {
        // Half the rows written: the whole transaction goes, and the error
        // says so.
        Transaction group(conn);
        // The keys were checked as the rows came; the memory is better used
        // for ordering them.
        taken.clear();
        // The table is empty: its secondary indexes are built once, over all
        // rows, rather than kept up row by row.
        deferIndexesOfEmptyTable();
        if (!runs.empty()) {
            writeMergedRuns();
        } else {
            // In key order every row goes to the end of the table.
            class InOrder : public FillFeed {
            public:
                InOrder(const MemoryRows& rows, const IndexTerms& keyOrder) : count(rows.size()) {
                    // Rows that came in key order are written as they lie.
                    if (!rows.standIn(keyOrder))
                        order = rows.ordered(keyOrder);
                }
                bool next(const qint32*& cells, qint64& memoryRow) override {
                    if (at == count)
                        return false;
                    memoryRow = order.empty() ? at : order[at];
                    ++at;
                    cells = nullptr;
                    return true;
                }

            private:
                size_t count;
                std::vector<quint32> order;
                size_t at = 0;
            };
            InOrder feed(memory, IndexTerms(lay, -1));
            writeRows(feed);
        }
        group.keepOpen();
        dropRuns();
    }
    memory.clear();
    taken.clear();
    memoryMode = false;
}

void TableFile::remove(qint64 rowid) {
    writeMemoryRows();
    beginWrite();
    Statement& st =
        conn.statement(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(lay.table)));
    st.bind(1, rowid);
    conn.step(st, QStringLiteral("Deleting from"));
    wrote();
}

void TableFile::removeAll() {
    dropRuns();
    memory.clear();
    taken.clear();
    memoryMode = false;
    beginWrite();
    conn.exec(QStringLiteral("DELETE FROM %1").arg(quoted(lay.table)), QStringLiteral("Emptying"));
    fillChecked = false;
    commit();
}

// ---- indexes

void TableFile::deferIndexesOfEmptyTable() {
    for (size_t i = 0; i < lay.indexes.size(); ++i) {
        const Index& index = lay.indexes[i];
        if (!index.unique() && index.built)
            catalogue::dropIndex(conn, lay, i);
    }
}

void TableFile::buildIndexIfDeferred(int index) {
    if (index < 0 || lay.indexes[static_cast<size_t>(index)].built || !exclusive)
        return;
    writeMemoryRows();
    beginWrite();
    catalogue::buildIndex(conn, lay, static_cast<size_t>(index));
}

void TableFile::addIndex(const Layout& layout) {
    Transaction change(conn);
    writeMemoryRows();
    catalogue::addIndex(conn, layout, layout.indexes.size() - 1);
    change.commit();
    lay.indexes.push_back(layout.indexes.back());
}

void TableFile::checkpoint() {
    if (conn.isOpen() && exclusive) {
        writeMemoryRows();
        for (size_t i = 0; i < lay.indexes.size(); ++i)
            buildIndexIfDeferred(static_cast<int>(i));
    }
    commit();
}

void TableFile::close() {
    const auto closeConnection = qScopeGuard([this] { conn.close(); });
    checkpoint();
}

void TableFile::discard() noexcept {
    conn.rollback();
    conn.close();
}

void TableFile::setMemoryLimit(size_t bytes) {
    memoryLimit = bytes ? bytes : defaultMemoryLimit();
}

// ---- whole files

void TableFile::create(const QString& path, const Layout& layout) {
    removeLeftovers(QFileInfo(path).absolutePath());
    // The old table is held until the new one has taken its place.
    std::optional<Connection> old;
    holdForRemoval(path, old);
    writeInPlace(path, layout);
}

void TableFile::empty(const QString& path, const QString& table) {
    TableFile held(path, table, true);
    held.replaceByEmpty();
}

void TableFile::emptyAndClose() {
    conn.rollback();
    replaceByEmpty();
}

void TableFile::replaceByEmpty() {
    Statement& st =
        conn.statement(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoted(lay.table)));
    const bool hasRows = conn.step(st, QStringLiteral("Reading"));
    st.reset();
    // A new file rather than deleted rows: it is as small as an empty table,
    // and the next fill writes only new pages, which need no journal.
    if (hasRows)
        writeInPlace(conn.path(), lay);
    discard();
}

void TableFile::removeFile(const QString& path) {
    if (!QFileInfo::exists(path))
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(path),
                             Kind::TableMissing);
    // Take the file for ourselves first: a table that anybody holds stays.
    std::optional<Connection> hold;
    holdForRemoval(path, hold);
    if (!QFile::remove(path))
        throw EDatabaseError(QStringLiteral("Cannot delete table %1.").arg(path), Kind::IO);
    QFile::remove(journalOf(path));
}

void TableFile::removeLeftovers(const QString& folder) {
    static const QRegularExpression leftover(QStringLiteral("^.+\\.db\\.(\\d{1,10})\\.new$"));
    // The names are picked by hand: name filters would cost more than the
    // rest of a table's creation. A file comes before its journal.
    QStringList names;
    QDirIterator entries(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        QString name = entries.nextFileInfo().fileName();
        if (name.contains(QLatin1String(".db.")) &&
            (name.endsWith(QLatin1String(".new")) || name.endsWith(QLatin1String(".new-journal"))))
            names.append(std::move(name));
    }
    names.sort();
    const QDir dir(folder);
    const qint64 self = QCoreApplication::applicationPid();
    for (const QString& name : names) {
        const bool journal = name.endsWith(journalSuffix);
        const QRegularExpressionMatch match =
            leftover.match(journal ? name.chopped(journalSuffix.size()) : name);
        if (!match.hasMatch())
            continue;
        // A table being created by a live process is none of ours; our own
        // creations are over by now.
        const qint64 pid = match.captured(1).toLongLong();
        if (pid != self && processExists(pid))
            continue;
        const QString path = dir.filePath(name);
        if (!journal) {
            // Nobody may hold it either (a process of the same number in
            // another process namespace).
            try {
                std::optional<Connection> hold;
                holdForRemoval(path, hold);
                QFile::remove(path);
            } catch (const EDatabaseError&) {
                continue;
            }
        } else if (!QFileInfo::exists(path.chopped(journalSuffix.size()))) {
            QFile::remove(path);
        }
    }
}

} // namespace platform::tables
