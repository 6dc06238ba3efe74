#include "platform/core/table.h"

#include "platform/core/tablefile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <deque>
#include <utility>

using namespace platform::tables;

// ---------------------------------------------------------------- definitions

void TFieldDefs::Add(const QString& name, TFieldType dataType, int size, bool required) {
    items.push_back(TFieldDef{name, dataType, size, required});
}

int TFieldDefs::IndexOf(const QString& name) const {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

QStringList TIndexDef::fieldList() const {
    QStringList names;
    for (const QString& name : Fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!name.trimmed().isEmpty())
            names << name.trimmed();
    return names;
}

void TIndexDefs::Add(const QString& name, const QString& fields, TIndexOptions options) {
    items.push_back(TIndexDef{name, fields, options});
}

int TIndexDefs::IndexOf(const QString& name) const {
    for (size_t i = 0; i < items.size(); ++i) {
        const TIndexDef& def = items[i];
        if (name.isEmpty() ? def.Options.testFlag(ixPrimary)
                           : def.Name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

// ---------------------------------------------------------------- cursor state

namespace {

const Value nullValue;

bool isNumeric(TFieldType type) {
    return type == ftSmallint || type == ftInteger || type == ftWord;
}

// Refuses a number outside the field's type, naming field and value.
void checkRange(const TFieldDef& def, qint64 value) {
    qint64 low = LLONG_MIN, high = LLONG_MAX;
    switch (def.DataType) {
    case ftSmallint:
        low = -32768;
        high = 32767;
        break;
    case ftWord:
        low = 0;
        high = 65535;
        break;
    case ftInteger:
        low = INT_MIN;
        high = INT_MAX;
        break;
    default:
        return;
    }
    if (value < low || value > high)
        throw EDatabaseError(QStringLiteral("Value %1 is out of range for field '%2' (%3 to %4).")
                                 .arg(value)
                                 .arg(def.Name)
                                 .arg(low)
                                 .arg(high));
}

qint64 toNumber(const QString& text, const QString& field) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value for field '%2'.").arg(text, field));
    return v;
}

} // namespace

struct TTable::Impl {
    explicit Impl(TTable* owner) : q(owner) {}

    TTable* q;
    QString databaseName;
    QString tableName;
    TTableType tableType = ttDefault;
    TUpdateMode updateMode = upWhereAll;
    bool exclusive = false;
    TFieldDefs fieldDefs;
    TIndexDefs indexDefs;
    QString indexName;
    TDataSetNotifyEvent afterScroll;

    std::unique_ptr<TableFile> file;
    std::vector<std::unique_ptr<TField>> fields;
    TDataSetState state = dsInactive;
    int index = -1; // the current ordering (see Ordering)

    // The current row (or the row being appended) and the key buffers.
    std::vector<Value> row;
    bool rowLoaded = false;
    enum Key { SearchKey, RangeStart, RangeEnd };
    std::vector<Value> keys[3];
    Key editing = SearchKey;
    bool ranged = false;
    std::vector<Value> rangeLow, rangeHigh;

    // Sequential moves step one statement over the rows in order (the walk),
    // standing on position walkPos (-1: not in use). Other moves use the
    // rowids of all rows in order, read once and kept until a write.
    Statement* walk = nullptr;
    qsizetype walkPos = -1;
    std::deque<qint64> order;
    bool orderValid = false;
    qint64 count = -1; // rows in the current range, -1 while unknown

    // The cursor: on a row (its rowid) or not; its position in the order, -1
    // while unknown (after Post).
    bool hasRow = false;
    qsizetype pos = -1;
    qint64 rowid = 0;
    bool bof = true;
    bool eof = true;

    // ---- binding
    QString baseName() const {
        QString name = tableName;
        if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
            name.chop(3);
        return name;
    }
    QString path() const { return QDir(databaseName).filePath(baseName() + QLatin1String(".db")); }
    void checkName() const {
        const QString name = baseName();
        if (name.isEmpty())
            throw EDatabaseError(QStringLiteral("No table name is set."));
        bool valid = name != QLatin1String(".") && name != QLatin1String("..") &&
                     !name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) &&
                     !name.startsWith(QLatin1String("_layout_"), Qt::CaseInsensitive);
        for (QChar c : name)
            if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
                valid = false;
        if (!valid)
            throw EDatabaseError(QStringLiteral("Invalid table name '%1'.").arg(name));
    }
    void checkInactive(const char* what) const {
        if (file)
            throw EDatabaseError(QStringLiteral("Cannot %1 while table %2 is open.")
                                     .arg(QLatin1String(what), baseName()));
    }
    void checkActive() const {
        if (!file)
            throw EDatabaseError(
                QStringLiteral("Cannot perform this operation on a closed table (%1).")
                    .arg(baseName()));
    }
    // Ends a key edit and posts a row being appended before the cursor moves.
    void checkBrowse() {
        checkActive();
        if (state == dsInsert)
            post();
        state = dsBrowse;
    }

    const Layout& layout() const { return file->layout(); }
    Ordering ordering() const { return Ordering{&file->layout(), index}; }

    // ---- ranges
    // The number of leading fields of the current index that `key` sets.
    int prefix(const std::vector<Value>& key) const {
        const Ordering o = ordering();
        int n = 0;
        while (n < o.fieldCount() && !key[static_cast<size_t>(o.field(n))].isNull())
            ++n;
        return n;
    }
    QString where(const QString& condition = QString()) const {
        QStringList parts;
        if (!condition.isEmpty())
            parts << condition;
        if (ranged) {
            const Ordering o = ordering();
            if (const int n = prefix(rangeLow))
                parts << o.compare(n, ">=");
            if (const int n = prefix(rangeHigh))
                parts << o.compare(n, "<=");
        }
        return parts.isEmpty() ? QString() : QLatin1String(" WHERE ") + parts.join(" AND ");
    }
    void bindRange(Statement& st, int next) const {
        if (!ranged)
            return;
        const Ordering o = ordering();
        for (const auto* key : {&rangeLow, &rangeHigh})
            for (int i = 0, n = prefix(*key); i < n; ++i)
                st.bind(next++, (*key)[static_cast<size_t>(o.field(i))]);
    }

    // ---- the order
    void stopWalk() {
        if (walkPos >= 0)
            walk->reset();
        walkPos = -1;
    }
    // The table changed or shows other rows: positions must be found anew.
    void changed() {
        stopWalk();
        orderValid = false;
        order.clear();
        pos = -1;
    }
    // Rows gathered by the engine are written before anything reads.
    void flushPending() {
        if (file->pendingRows() == 0)
            return;
        stopWalk();
        file->flush();
        changed();
    }
    // Queries in index order need the index (an index deferred during a
    // bulk write is built now).
    void prepareOrder() {
        flushPending();
        file->buildIndex(index);
    }
    void ensureOrder() {
        prepareOrder();
        if (orderValid)
            return;
        Statement& st =
            file->statement(QStringLiteral("SELECT rowid FROM %1%2 ORDER BY %3")
                                .arg(quoted(layout().table), where(), ordering().orderBy()));
        bindRange(st, 1);
        order.clear();
        while (file->step(st, QStringLiteral("Reading")))
            order.push_back(st.integer(0));
        orderValid = true;
        count = static_cast<qint64>(order.size());
    }
    qsizetype find(qint64 id) {
        ensureOrder();
        if (ordering().rowidOrder()) {
            const auto it = std::lower_bound(order.begin(), order.end(), id);
            return it != order.end() && *it == id ? it - order.begin() : -1;
        }
        const auto it = std::find(order.begin(), order.end(), id);
        return it != order.end() ? it - order.begin() : -1;
    }
    // Makes the position known (-1 when the row lies outside the range).
    void resolvePos() {
        if (hasRow && pos < 0)
            pos = find(rowid);
    }
    void moveTo(qsizetype p) {
        hasRow = true;
        pos = p;
        rowid = order[static_cast<size_t>(p)];
        rowLoaded = false;
        bof = eof = false;
    }
    void noRow() {
        hasRow = false;
        pos = -1;
        rowLoaded = false;
        bof = eof = true;
    }
    // Starts the walk and stands on its first row.
    void goFirst() {
        stopWalk();
        prepareOrder();
        QStringList columns;
        for (const TFieldDef& f : layout().fields)
            columns << quoted(f.Name);
        walk = &file->statement(QStringLiteral("SELECT rowid, %1 FROM %2%3 ORDER BY %4")
                                    .arg(columns.join(QLatin1String(", ")), quoted(layout().table),
                                         where(), ordering().orderBy()));
        bindRange(*walk, 1);
        walkPos = -1;
        if (!file->step(*walk, QStringLiteral("Reading")))
            return noRow();
        walkPos = 0;
        hasRow = true;
        pos = 0;
        rowid = walk->integer(0);
        rowLoaded = false;
        bof = true;
        eof = false;
    }
    bool walking() const { return walkPos >= 0 && walkPos == pos; }

    // Fires AfterScroll when an operation leaves the cursor on another row.
    class Scroll {
    public:
        explicit Scroll(const Impl* impl) : d(impl), had(impl->hasRow), before(impl->rowid) {}
        void done() const {
            if (!d->hasRow || (had && d->rowid == before))
                return;
            if (d->afterScroll)
                d->afterScroll(d->q);
            emit d->q->scrolled();
        }

    private:
        const Impl* d;
        bool had;
        qint64 before;
    };

    // ---- values
    const Value& value(int i) {
        switch (state) {
        case dsInactive:
            checkActive();
            break;
        case dsSetKey:
            return keys[editing][static_cast<size_t>(i)];
        case dsInsert:
            return row[static_cast<size_t>(i)];
        case dsBrowse:
            if (!hasRow)
                return nullValue;
            if (!rowLoaded)
                load();
            return row[static_cast<size_t>(i)];
        }
        return nullValue;
    }
    void setValue(int i, Value v) {
        switch (state) {
        case dsInactive:
            checkActive();
            break;
        case dsBrowse:
            throw EDatabaseError(
                QStringLiteral("Table %1 is not in insert mode: call Append first.")
                    .arg(baseName()));
        case dsSetKey:
            keys[editing][static_cast<size_t>(i)] = std::move(v);
            break;
        case dsInsert:
            row[static_cast<size_t>(i)] = std::move(v);
            break;
        }
    }
    void load() {
        if (walking()) {
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = walk->column(static_cast<int>(i) + 1);
        } else {
            flushPending();
            Statement& st = file->statement(
                QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(quoted(layout().table)));
            st.bind(1, rowid);
            const bool found = file->step(st, QStringLiteral("Reading"));
            for (size_t i = 0; i < row.size(); ++i)
                row[i] = found ? st.column(static_cast<int>(i)) : Value{};
            st.reset();
        }
        rowLoaded = true;
    }

    // ---- writing
    void post() {
        const Layout& lay = layout();
        for (size_t i = 0; i < row.size(); ++i) {
            const Value& v = row[i];
            const bool key =
                lay.primary >= 0 &&
                std::count(lay.indexes[static_cast<size_t>(lay.primary)].fields.begin(),
                           lay.indexes[static_cast<size_t>(lay.primary)].fields.end(),
                           static_cast<int>(i));
            if ((lay.fields[i].Required || key) &&
                (v.isNull() || (v.kind == Value::Text && v.s.isEmpty())))
                throw EDatabaseError(
                    QStringLiteral("Field '%1' must have a value.").arg(lay.fields[i].Name));
        }
        stopWalk();
        const qint64 id = file->insert(row);
        // On the new row, which holds what was stored.
        state = dsBrowse;
        orderValid = false;
        order.clear();
        hasRow = true;
        pos = -1;
        rowid = id;
        rowLoaded = true;
        bof = eof = false;
        if (count >= 0)
            count = ranged ? -1 : count + 1;
    }
};

// ---------------------------------------------------------------- TField

bool TField::IsNull() const {
    return table->d->value(index).isNull();
}

int TField::AsInteger() const {
    const Value& v = table->d->value(index);
    qint64 n = 0;
    if (v.kind == Value::Int)
        n = v.i;
    else if (v.kind == Value::Text && !v.s.trimmed().isEmpty())
        n = toNumber(v.s, def.Name);
    if (n < INT_MIN || n > INT_MAX)
        throw EConvertError(
            QStringLiteral("Value %1 of field '%2' is not a 32-bit integer.").arg(n).arg(def.Name));
    return static_cast<int>(n);
}

void TField::setAsInteger(qint64 value) {
    if (isNumeric(def.DataType)) {
        checkRange(def, value);
        table->d->setValue(index, Value::number(value));
    } else {
        table->d->setValue(index, Value::text(QString::number(value)));
    }
}

QString TField::AsString() const {
    const Value& v = table->d->value(index);
    switch (v.kind) {
    case Value::Null:
        return QString();
    case Value::Int:
        return QString::number(v.i);
    case Value::Text:
        break;
    }
    return v.s;
}

void TField::setAsString(const QString& value) {
    // Even in UTF-8 the text stays below the engine's limit of a value.
    constexpr qsizetype maxText = 300'000'000;
    if (value.size() > maxText)
        throw EDatabaseError(QStringLiteral("A text of %1 characters is too long for field '%2'.")
                                 .arg(value.size())
                                 .arg(def.Name));
    if (!isNumeric(def.DataType))
        return table->d->setValue(index, Value::text(value));
    if (value.trimmed().isEmpty())
        return Clear();
    setAsInteger(toNumber(value, def.Name));
}

void TField::Clear() {
    table->d->setValue(index, Value{});
}

void TField::Assign(const TField& source) {
    const Value v = source.table->d->value(source.index);
    switch (v.kind) {
    case Value::Null:
        return Clear();
    case Value::Int:
        return setAsInteger(v.i);
    case Value::Text:
        return setAsString(v.s);
    }
}

// ---------------------------------------------------------------- TTable

TTable::TTable(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

TTable::~TTable() {
    try {
        Close();
    } catch (const std::exception& e) {
        qWarning("Closing table %s: %s", qPrintable(d->baseName()), e.what());
    }
}

QString TTable::DatabaseName() const {
    return d->databaseName;
}
void TTable::setDatabaseName(const QString& name) {
    d->checkInactive("change the database name");
    d->databaseName = name;
}
QString TTable::TableName() const {
    return d->tableName;
}
void TTable::setTableName(const QString& name) {
    d->checkInactive("change the table name");
    d->tableName = name;
}
TTableType TTable::TableType() const {
    return d->tableType;
}
void TTable::setTableType(TTableType type) {
    d->checkInactive("change the table type");
    d->tableType = type;
}
TUpdateMode TTable::UpdateMode() const {
    return d->updateMode;
}
void TTable::setUpdateMode(TUpdateMode mode) {
    d->updateMode = mode;
}
bool TTable::Exclusive() const {
    return d->exclusive;
}
void TTable::setExclusive(bool exclusive) {
    d->checkInactive("change exclusive access");
    d->exclusive = exclusive;
}
QString TTable::fileName() const {
    return d->path();
}

bool TTable::Active() const {
    return d->file != nullptr;
}
void TTable::setActive(bool active) {
    if (active)
        Open();
    else
        Close();
}

void TTable::Open() {
    if (d->file)
        return;
    d->checkName();
    const QString path = d->path();
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(path));
    // A directory, pipe or device is refused before anything opens it.
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a file.").arg(path));
    auto file = std::make_unique<TableFile>(path, d->baseName(), d->exclusive);
    const Layout& lay = file->layout();
    const int index = lay.findIndex(d->indexName);
    if (index == -2) {
        file->close();
        throw EDatabaseError(
            QStringLiteral("Index '%1' not found in table %2.").arg(d->indexName, d->baseName()));
    }
    d->file = std::move(file);
    d->index = index;
    d->fieldDefs = lay.fieldDefs();
    d->indexDefs = lay.indexDefs();
    d->fields.clear();
    for (size_t i = 0; i < lay.fields.size(); ++i)
        d->fields.emplace_back(new TField(this, static_cast<int>(i), lay.fields[i]));
    const size_t n = lay.fields.size();
    d->row.assign(n, Value{});
    for (auto& key : d->keys)
        key.assign(n, Value{});
    d->ranged = false;
    d->walk = nullptr;
    d->walkPos = -1;
    d->changed();
    d->count = -1;
    d->state = dsBrowse;
    d->noRow();
    const Impl::Scroll scroll(d.get());
    try {
        d->goFirst();
    } catch (...) {
        d->file.reset();
        d->state = dsInactive;
        throw;
    }
    emit activeChanged(true);
    scroll.done();
}

void TTable::Close() {
    if (!d->file)
        return;
    d->stopWalk();
    d->state = dsInactive;
    d->noRow();
    d->orderValid = false;
    std::deque<qint64>().swap(d->order);
    d->ranged = false;
    d->walk = nullptr;
    const std::unique_ptr<TableFile> file = std::move(d->file);
    file->close();
    emit activeChanged(false);
}

void TTable::FlushBuffers() {
    if (!d->file)
        return;
    d->stopWalk();
    const bool gathered = d->file->pendingRows() > 0;
    d->file->checkpoint();
    if (gathered)
        d->changed();
}

bool TTable::Exists() const {
    if (d->baseName().isEmpty())
        return false;
    return QFileInfo::exists(d->path());
}

TDataSetState TTable::State() const {
    return d->state;
}

TFieldDefs& TTable::FieldDefs() {
    return d->fieldDefs;
}
TIndexDefs& TTable::IndexDefs() {
    return d->indexDefs;
}

void TTable::CreateTable() {
    d->checkInactive("create a table");
    d->checkName();
    TableFile::create(d->path(), Layout::define(d->baseName(), d->fieldDefs, d->indexDefs));
}

void TTable::AddIndex(const QString& name, const QString& fields, TIndexOptions options,
                      const QString& descFields) {
    if (!descFields.isEmpty())
        throw EDatabaseError(
            QStringLiteral("Index '%1': a list of descending fields is not supported; use "
                           "ixDescending.")
                .arg(name));
    if (options.testFlag(ixPrimary))
        throw EDatabaseError(
            QStringLiteral("Index '%1': a primary index is defined with the table.").arg(name));
    auto add = [&](TableFile& file) {
        TIndexDefs defs = file.layout().indexDefs();
        defs.Add(name, fields, options);
        file.addIndex(Layout::define(file.layout().table, file.layout().fieldDefs(), defs));
    };
    if (d->file) {
        d->checkBrowse();
        d->stopWalk();
        add(*d->file);
        d->indexDefs = d->layout().indexDefs();
        return;
    }
    d->checkName();
    if (!Exists())
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(d->path()));
    TableFile file(d->path(), d->baseName(), true);
    add(file);
    d->indexDefs = file.layout().indexDefs();
    d->fieldDefs = file.layout().fieldDefs();
    file.close();
}

void TTable::EmptyTable() {
    if (d->file) {
        d->checkBrowse();
        d->changed();
        d->file->removeAll();
        d->noRow();
        d->orderValid = true;
        d->count = 0;
        return;
    }
    d->checkName();
    if (!Exists())
        throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(d->path()));
    TableFile file(d->path(), d->baseName(), true);
    file.removeAll();
    file.close();
}

void TTable::DeleteTable() {
    d->checkInactive("delete a table");
    d->checkName();
    TableFile::removeFile(d->path());
}

void TTable::First() {
    d->checkBrowse();
    const Impl::Scroll scroll(d.get());
    d->goFirst();
    scroll.done();
}

void TTable::Next() {
    d->checkBrowse();
    const Impl::Scroll scroll(d.get());
    d->flushPending();
    if (!d->hasRow) {
        d->eof = true;
    } else if (d->walking()) {
        // A failed step resets the statement: the walk is off until it works.
        const qsizetype at = std::exchange(d->walkPos, -1);
        if (d->file->step(*d->walk, QStringLiteral("Reading"))) {
            d->pos = d->walkPos = at + 1;
            d->rowid = d->walk->integer(0);
            d->rowLoaded = false;
            d->bof = false;
        } else {
            d->eof = true; // the walk has ended; the last row stays current
            d->bof = false;
        }
    } else {
        d->resolvePos();
        if (d->pos < 0) {
            d->goFirst(); // the row lies outside the range
        } else if (d->pos + 1 < static_cast<qsizetype>(d->order.size())) {
            d->moveTo(d->pos + 1);
        } else {
            d->eof = true;
            d->bof = false;
        }
    }
    scroll.done();
}

void TTable::Prior() {
    d->checkBrowse();
    const Impl::Scroll scroll(d.get());
    d->flushPending();
    d->resolvePos();
    d->ensureOrder();
    if (!d->hasRow) {
        d->bof = true;
    } else if (d->pos < 0) {
        d->goFirst();
    } else if (d->pos > 0) {
        d->moveTo(d->pos - 1);
    } else {
        d->bof = true;
        d->eof = false;
    }
    scroll.done();
}

void TTable::Last() {
    d->checkBrowse();
    const Impl::Scroll scroll(d.get());
    d->ensureOrder();
    if (d->order.empty()) {
        d->noRow();
    } else {
        d->moveTo(static_cast<qsizetype>(d->order.size()) - 1);
        d->eof = true;
    }
    scroll.done();
}

bool TTable::Eof() const {
    return d->eof;
}
bool TTable::Bof() const {
    return d->bof;
}

int TTable::RecordCount() const {
    d->checkActive();
    if (d->count < 0) {
        if (d->ranged)
            d->flushPending();
        Statement& st = d->file->statement(
            QStringLiteral("SELECT count(*) FROM %1%2").arg(quoted(d->layout().table), d->where()));
        d->bindRange(st, 1);
        d->file->step(st, QStringLiteral("Counting"));
        d->count = st.integer(0) + d->file->pendingRows();
        st.reset();
    }
    return static_cast<int>(d->count);
}

int TTable::RecNo() const {
    d->checkActive();
    if (d->state != dsBrowse || !d->hasRow)
        return 0;
    d->resolvePos();
    return static_cast<int>(d->pos + 1);
}

void TTable::setRecNo(int recNo) {
    d->checkBrowse();
    const Impl::Scroll scroll(d.get());
    d->ensureOrder();
    if (recNo >= 1 && recNo <= static_cast<qint64>(d->order.size()))
        d->moveTo(recNo - 1);
    scroll.done();
}

QString TTable::IndexName() const {
    return d->indexName;
}

void TTable::setIndexName(const QString& name) {
    if (!d->file) {
        d->indexName = name;
        return;
    }
    const int index = d->layout().findIndex(name);
    if (index == -2)
        throw EDatabaseError(
            QStringLiteral("Index '%1' not found in table %2.").arg(name, d->baseName()));
    d->checkBrowse();
    d->indexName = name;
    if (index == d->index)
        return;
    const Impl::Scroll scroll(d.get());
    d->index = index;
    d->ranged = false;
    d->keys[Impl::RangeStart].assign(d->row.size(), Value{});
    d->keys[Impl::RangeEnd].assign(d->row.size(), Value{});
    d->changed();
    d->count = -1;
    d->goFirst();
    scroll.done();
}

void TTable::SetKey() {
    d->checkBrowse();
    d->keys[Impl::SearchKey].assign(d->row.size(), Value{});
    d->editing = Impl::SearchKey;
    d->state = dsSetKey;
}

bool TTable::GotoKey() {
    d->checkBrowse();
    const Ordering o = d->ordering();
    const std::vector<Value>& key = d->keys[Impl::SearchKey];
    const int n = d->prefix(key);
    if (n == 0)
        return false;
    d->prepareOrder();
    Statement& st = d->file->statement(
        QStringLiteral("SELECT rowid FROM %1%2 ORDER BY %3 LIMIT 1")
            .arg(quoted(d->layout().table), d->where(o.compare(n, "=")), o.orderBy()));
    for (int i = 0; i < n; ++i)
        st.bind(i + 1, key[static_cast<size_t>(o.field(i))]);
    d->bindRange(st, n + 1);
    if (!d->file->step(st, QStringLiteral("Searching")))
        return false;
    const qint64 id = st.integer(0);
    st.reset();
    const Impl::Scroll scroll(d.get());
    const qsizetype p = d->find(id);
    if (p < 0)
        return false;
    d->moveTo(p);
    scroll.done();
    return true;
}

void TTable::EditRangeStart() {
    d->checkBrowse();
    d->editing = Impl::RangeStart;
    d->state = dsSetKey;
}

void TTable::EditRangeEnd() {
    d->checkBrowse();
    d->editing = Impl::RangeEnd;
    d->state = dsSetKey;
}

void TTable::ApplyRange() {
    d->checkBrowse();
    const Impl::Scroll scroll(d.get());
    d->rangeLow = d->keys[Impl::RangeStart];
    d->rangeHigh = d->keys[Impl::RangeEnd];
    d->ranged = true;
    d->changed();
    d->count = -1;
    d->goFirst();
    scroll.done();
}

void TTable::CancelRange() {
    d->checkBrowse();
    const Impl::Scroll scroll(d.get());
    d->ranged = false;
    d->keys[Impl::RangeStart].assign(d->row.size(), Value{});
    d->keys[Impl::RangeEnd].assign(d->row.size(), Value{});
    d->changed();
    d->count = -1;
    d->goFirst();
    scroll.done();
}

void TTable::Append() {
    d->checkBrowse();
    std::fill(d->row.begin(), d->row.end(), Value{});
    d->rowLoaded = false;
    d->state = dsInsert;
}

void TTable::Post() {
    d->checkActive();
    if (d->state == dsInsert)
        d->post();
    else
        d->state = dsBrowse;
}

void TTable::Delete() {
    d->checkActive();
    if (d->state != dsBrowse) {
        // Discards the row being appended (or the key being edited); the
        // cursor is where it was before Append.
        d->state = dsBrowse;
        d->rowLoaded = false;
        return;
    }
    if (!d->hasRow)
        throw EDatabaseError(
            QStringLiteral("Cannot delete from table %1: it has no rows.").arg(d->baseName()));
    const Impl::Scroll scroll(d.get());
    d->ensureOrder();
    d->resolvePos();
    d->stopWalk();
    d->file->remove(d->rowid);
    if (d->pos >= 0) {
        d->order.erase(d->order.begin() + d->pos);
        d->count = static_cast<qint64>(d->order.size());
        const auto size = static_cast<qsizetype>(d->order.size());
        if (size == 0) {
            d->noRow();
        } else if (d->pos < size) {
            d->moveTo(d->pos);
        } else {
            d->moveTo(size - 1);
            d->eof = true;
        }
    } else {
        d->changed();
        d->count = -1;
        d->goFirst();
    }
    scroll.done();
}

int TTable::FieldCount() const {
    return static_cast<int>(d->fields.size());
}

TField& TTable::Fields(int i) {
    if (i < 0 || i >= FieldCount())
        throw EDatabaseError(
            QStringLiteral("Table %1 has no field number %2.").arg(d->baseName()).arg(i));
    return *d->fields[static_cast<size_t>(i)];
}

TField& TTable::FieldByName(const QString& name) {
    TField* f = FindField(name);
    if (!f)
        throw EDatabaseError(
            QStringLiteral("Field '%1' not found in table %2.").arg(name, d->baseName()));
    return *f;
}

TField* TTable::FindField(const QString& name) {
    for (const auto& f : d->fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TDataSetNotifyEvent TTable::AfterScroll() const {
    return d->afterScroll;
}
void TTable::setAfterScroll(TDataSetNotifyEvent handler) {
    d->afterScroll = std::move(handler);
}
