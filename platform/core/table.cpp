#include "platform/core/table.h"

#include "platform/core/tablecursor.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaMethod>
#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

using namespace platform::tables;

// ---------------------------------------------------------------- values

namespace {

using Kind = EDatabaseError::Kind;

const Value nullValue;

bool isNumeric(TFieldType type) {
    return type == ftSmallint || type == ftInteger || type == ftWord;
}

// The longest text a field takes: even in UTF-8 it stays below the engine's
// limit of a value.
constexpr qsizetype maxText = 300'000'000;

// The numbers a field of `type` holds.
std::pair<qint64, qint64> numberRange(TFieldType type) {
    switch (type) {
    case ftSmallint:
        return {-32768, 32767};
    case ftWord:
        return {0, 65535};
    case ftInteger:
        return {INT_MIN, INT_MAX};
    default:
        return {LLONG_MIN, LLONG_MAX};
    }
}

// Refuses a number outside the field's type, naming field and value.
void checkRange(const TFieldDef& def, qint64 value) {
    const auto [low, high] = numberRange(def.DataType);
    if (value < low || value > high)
        throw EDatabaseError(QStringLiteral("Value %1 is out of range for field '%2' (%3 to %4).")
                                 .arg(value)
                                 .arg(def.Name)
                                 .arg(low)
                                 .arg(high),
                             Kind::OutOfRange);
}

// `place`, when given, says where the text was read: "row 3 of <file>".
qint64 toNumber(const QString& text, const QString& field, const QString& place = QString()) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value for field '%2'%3.")
                .arg(text, field, place.isEmpty() ? QString() : QStringLiteral(" in ") + place));
    return v;
}

} // namespace

// ---------------------------------------------------------------- TTable::Impl

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
    // Whether scrolled() was ever connected (connectNotify).
    bool scrollWatched = false;

    // While open: the file, the cursor over it (destroyed first) and the
    // fields.
    std::unique_ptr<TableFile> file;
    std::optional<Cursor> cursor;
    std::vector<std::unique_ptr<TField>> fields;
    TDataSetState state = dsInactive;

    // What the fields edit outside browsing: the row being appended
    // (dsInsert) and the key buffers (dsSetKey).
    std::vector<Value> appending;
    // Per field, worked out when the table opens: whether Post refuses it
    // NULL or empty (required, or part of the key), and what AppendRecord
    // takes without the setters: numbers in a numeric field's range, or
    // texts in a text field.
    struct FieldRule {
        bool mustHaveValue;
        bool numeric;
        qint64 low;
        qint64 high;
    };
    std::vector<FieldRule> fieldRules;
    enum Key { SearchKey, RangeStart, RangeEnd };
    std::vector<Value> keys[3];
    Key editing = SearchKey;

    // ---- binding
    QString baseName() const {
        QString name = tableName;
        if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
            name.chop(3);
        return name;
    }
    QString path() const { return QDir(databaseName).filePath(baseName() + QLatin1String(".db")); }
    void requireValidName() const {
        const QString name = baseName();
        if (name.isEmpty())
            throw EDatabaseError(QStringLiteral("No table name is set."), Kind::InvalidName);
        bool valid = name != QLatin1String(".") && name != QLatin1String("..") &&
                     !name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive) &&
                     !name.startsWith(QLatin1String("_layout_"), Qt::CaseInsensitive);
        for (QChar c : name)
            if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
                valid = false;
        if (!valid)
            throw EDatabaseError(QStringLiteral("Invalid table name '%1'.").arg(name),
                                 Kind::InvalidName);
    }
    void requireExisting() const {
        if (!QFileInfo::exists(path()))
            throw EDatabaseError(QStringLiteral("Table does not exist: %1").arg(path()),
                                 Kind::TableMissing);
    }
    void requireClosed(const char* what) const {
        if (file)
            throw EDatabaseError(QStringLiteral("Cannot %1 while table %2 is open.")
                                     .arg(QLatin1String(what), baseName()),
                                 Kind::WrongState);
    }
    void requireOpen() const {
        if (!file)
            throw EDatabaseError(
                QStringLiteral("Cannot perform this operation on a closed table (%1).")
                    .arg(baseName()),
                Kind::WrongState);
    }
    // Before the cursor moves or the table changes, as the toolkit's data
    // sets do: a row being appended is posted, a key edit ends.
    void finishEditing() {
        requireOpen();
        if (state == dsInsert)
            postAppendedRow();
        state = dsBrowse;
    }

    // Fires AfterScroll when an operation leaves the cursor on another row.
    class Scroll {
    public:
        explicit Scroll(const Impl* impl)
            : d(impl), had(impl->cursor->hasRow()), before(impl->cursor->rowid()) {}
        void done() const {
            const Cursor& c = *d->cursor;
            if (!c.hasRow() || (had && c.rowid() == before))
                return;
            if (d->afterScroll)
                d->afterScroll(d->q);
            if (d->scrollWatched)
                emit d->q->scrolled();
        }

    private:
        const Impl* d;
        bool had;
        qint64 before;
    };

    // ---- values
    // Where a value that the fields read stands, for messages: "row 3 of
    // <file>" on a stored row, the file alone while a row is appended or a key
    // edited.
    QString place() {
        if (state == dsBrowse && cursor && cursor->hasRow()) {
            try {
                return QStringLiteral("row %1 of %2").arg(cursor->number()).arg(path());
            } catch (const EDatabaseError&) {
                // The file is named all the same.
            }
        }
        return path();
    }
    const Value& value(int i) const {
        switch (state) {
        case dsInactive:
            requireOpen();
            break;
        case dsSetKey:
            return keys[editing][static_cast<size_t>(i)];
        case dsInsert:
            return appending[static_cast<size_t>(i)];
        case dsBrowse:
            return cursor->value(i);
        }
        return nullValue;
    }
    // The value a field's setter writes in place: the row being appended or
    // the key being edited; none in other states, where setValue says why.
    Value* valueToSet(int i) {
        if (state == dsInsert)
            return &appending[static_cast<size_t>(i)];
        if (state == dsSetKey)
            return &keys[editing][static_cast<size_t>(i)];
        return nullptr;
    }
    void setValue(int i, Value v) {
        switch (state) {
        case dsInactive:
            requireOpen();
            break;
        case dsBrowse:
            throw EDatabaseError(
                QStringLiteral("Table %1 is not in insert mode: call Append first.")
                    .arg(baseName()),
                Kind::WrongState);
        case dsSetKey:
            keys[editing][static_cast<size_t>(i)] = std::move(v);
            break;
        case dsInsert:
            appending[static_cast<size_t>(i)] = std::move(v);
            break;
        }
    }

    // Stores the row being appended and stands on it. A refused row stays
    // being appended.
    void postAppendedRow() {
        for (size_t i = 0; i < appending.size(); ++i)
            if (fieldRules[i].mustHaveValue && appending[i].isEmpty())
                throw EDatabaseError(QStringLiteral("Field '%1' must have a value.")
                                         .arg(file->layout().fields[i].Name),
                                     Kind::RequiredFieldMissing);
        cursor->insertRow(appending);
        state = dsBrowse;
    }
    void clearRangeKeys() {
        keys[RangeStart].assign(appending.size(), Value{});
        keys[RangeEnd].assign(appending.size(), Value{});
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
        n = toNumber(v.s, def.Name, table->d->place());
    if (n < INT_MIN || n > INT_MAX)
        throw EConvertError(QStringLiteral("Value %1 of field '%2' in %3 is not a 32-bit integer.")
                                .arg(n)
                                .arg(def.Name, table->d->place()));
    return static_cast<int>(n);
}

void TField::setAsInteger(qint64 value) {
    if (isNumeric(def.DataType)) {
        checkRange(def, value);
        // Written in place: no value made and dropped for each row. A text the
        // slot held stays unread, as the kind says.
        if (Value* v = table->d->valueToSet(index)) {
            v->kind = Value::Int;
            v->i = value;
            return;
        }
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

bool TField::EqualsString(const QString& text) const {
    const Value& v = table->d->value(index);
    switch (v.kind) {
    case Value::Null:
        return text.isEmpty();
    case Value::Int:
        return QString::number(v.i) == text;
    case Value::Text:
        break;
    }
    return v.s == text;
}

void TField::setAsString(const QString& value) {
    if (value.size() > maxText)
        throw EDatabaseError(QStringLiteral("A text of %1 characters is too long for field '%2'.")
                                 .arg(value.size())
                                 .arg(def.Name),
                             Kind::OutOfRange);
    if (!isNumeric(def.DataType)) {
        if (Value* v = table->d->valueToSet(index)) {
            v->kind = Value::Text;
            v->i = 0;
            // A field set row after row keeps its own buffer: the text is
            // copied into it where it has room, rather than shared, so that
            // the caller may write its next text into its own buffer as well.
            if (&v->s != &value && !value.isNull() && v->s.isDetached() &&
                v->s.capacity() >= value.size()) {
                v->s.resize(value.size());
                std::copy_n(value.constData(), value.size(), v->s.data());
            } else {
                v->s = value;
            }
            return;
        }
        return table->d->setValue(index, Value::text(value));
    }
    if (value.trimmed().isEmpty())
        return Clear();
    setAsInteger(toNumber(value, def.Name));
}

void TField::Clear() {
    table->d->setValue(index, Value{});
}

void TField::Assign(const TField& source) {
    // A field of another table is read in place; one of this table is
    // copied first, since setting it may change what the source reads.
    std::optional<Value> copy;
    if (source.table == table)
        copy = source.table->d->value(source.index);
    const Value& v = copy ? *copy : source.table->d->value(source.index);
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
    d->requireClosed("change the database name");
    d->databaseName = name;
}
QString TTable::TableName() const {
    return d->tableName;
}
void TTable::setTableName(const QString& name) {
    d->requireClosed("change the table name");
    d->tableName = name;
}
TTableType TTable::TableType() const {
    return d->tableType;
}
void TTable::setTableType(TTableType type) {
    d->requireClosed("change the table type");
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
    d->requireClosed("change exclusive access");
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
    d->requireValidName();
    const QString path = d->path();
    const QFileInfo info(path);
    d->requireExisting();
    // A directory, pipe or device is refused before anything opens it.
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("Not a table: %1 is not a file.").arg(path),
                             Kind::NotATable);
    auto file = std::make_unique<TableFile>(path, d->baseName(), d->exclusive);
    const Layout& lay = file->layout();
    const int index = lay.findIndex(d->indexName);
    if (index == -2) {
        file->close();
        throw EDatabaseError(
            QStringLiteral("Index '%1' not found in table %2.").arg(d->indexName, d->baseName()),
            Kind::NotFound);
    }
    d->file = std::move(file);
    d->fieldDefs = lay.fieldDefs();
    d->indexDefs = lay.indexDefs();
    d->fields.clear();
    for (size_t i = 0; i < lay.fields.size(); ++i)
        d->fields.emplace_back(new TField(this, static_cast<int>(i), lay.fields[i]));
    const size_t n = lay.fields.size();
    d->appending.assign(n, Value{});
    d->fieldRules.clear();
    for (size_t i = 0; i < n; ++i) {
        const auto [low, high] = numberRange(lay.fields[i].DataType);
        d->fieldRules.push_back({lay.fields[i].Required || lay.isKeyField(static_cast<int>(i)),
                                 isNumeric(lay.fields[i].DataType), low, high});
    }
    for (auto& key : d->keys)
        key.assign(n, Value{});
    d->cursor.emplace(*d->file, index);
    d->state = dsBrowse;
    const Impl::Scroll scroll(d.get());
    try {
        d->cursor->first();
    } catch (...) {
        d->cursor.reset();
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
    d->cursor.reset();
    d->state = dsInactive;
    const std::unique_ptr<TableFile> file = std::move(d->file);
    file->close();
    emit activeChanged(false);
}

void TTable::FlushBuffers() {
    if (d->file)
        d->cursor->checkpoint();
}

void TTable::CloseDiscarding() {
    if (!d->file)
        return;
    d->cursor.reset();
    d->state = dsInactive;
    d->file->discard();
    d->file.reset();
    emit activeChanged(false);
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
    d->requireClosed("create a table");
    d->requireValidName();
    TableFile::create(d->path(), Layout::define(d->baseName(), d->fieldDefs, d->indexDefs));
}

void TTable::AddIndex(const QString& name, const QString& fields, TIndexOptions options,
                      const QString& descFields) {
    if (!descFields.isEmpty())
        throw EDatabaseError(
            QStringLiteral("Index '%1': a list of descending fields is not supported; use "
                           "ixDescending.")
                .arg(name),
            Kind::InvalidDefinition);
    if (options.testFlag(ixPrimary))
        throw EDatabaseError(
            QStringLiteral("Index '%1': a primary index is defined with the table.").arg(name),
            Kind::InvalidDefinition);
    auto add = [&](TableFile& file) {
        TIndexDefs defs = file.layout().indexDefs();
        defs.Add(name, fields, options);
        file.addIndex(Layout::define(file.layout().table, file.layout().fieldDefs(), defs));
    };
    if (d->file) {
        d->finishEditing();
        d->cursor->stopWalk();
        add(*d->file);
        d->indexDefs = d->file->layout().indexDefs();
        return;
    }
    d->requireValidName();
    d->requireExisting();
    TableFile file(d->path(), d->baseName(), true);
    add(file);
    d->indexDefs = file.layout().indexDefs();
    d->fieldDefs = file.layout().fieldDefs();
    file.close();
}

void TTable::EmptyTable() {
    if (d->file) {
        d->finishEditing();
        d->cursor->removeAllRows();
        return;
    }
    d->requireValidName();
    d->requireExisting();
    TableFile::empty(d->path(), d->baseName());
}

void TTable::EmptyHeldTable() {
    d->requireOpen();
    if (!d->exclusive)
        throw EDatabaseError(
            QStringLiteral("Cannot renew table %1: it is not held exclusively.").arg(d->baseName()),
            Kind::WrongState);
    d->cursor.reset();
    d->state = dsInactive;
    const std::unique_ptr<TableFile> file = std::move(d->file);
    emit activeChanged(false);
    file->emptyAndClose();
    Open();
}

void TTable::DeleteTable() {
    d->requireClosed("delete a table");
    d->requireValidName();
    TableFile::removeFile(d->path());
}

void TTable::First() {
    d->finishEditing();
    const Impl::Scroll scroll(d.get());
    d->cursor->first();
    scroll.done();
}

void TTable::Next() {
    d->finishEditing();
    // Nobody to tell of the move: a walk through the rows takes it alone.
    if (!d->afterScroll && !d->scrollWatched)
        return d->cursor->next();
    const Impl::Scroll scroll(d.get());
    d->cursor->next();
    scroll.done();
}

void TTable::Prior() {
    d->finishEditing();
    const Impl::Scroll scroll(d.get());
    d->cursor->prior();
    scroll.done();
}

void TTable::Last() {
    d->finishEditing();
    const Impl::Scroll scroll(d.get());
    d->cursor->last();
    scroll.done();
}

bool TTable::Eof() const {
    return !d->cursor || d->cursor->eof();
}
bool TTable::Bof() const {
    return !d->cursor || d->cursor->bof();
}

int TTable::RecordCount() const {
    d->requireOpen();
    return d->cursor->recordCount();
}

int TTable::RecNo() const {
    d->requireOpen();
    if (d->state != dsBrowse || !d->cursor->hasRow())
        return 0;
    return d->cursor->number();
}

void TTable::setRecNo(int recNo) {
    d->finishEditing();
    const Impl::Scroll scroll(d.get());
    d->cursor->moveToNumber(recNo);
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
    const int index = d->file->layout().findIndex(name);
    if (index == -2)
        throw EDatabaseError(
            QStringLiteral("Index '%1' not found in table %2.").arg(name, d->baseName()),
            Kind::NotFound);
    d->finishEditing();
    d->indexName = name;
    if (index == d->cursor->index())
        return;
    const Impl::Scroll scroll(d.get());
    d->clearRangeKeys();
    d->cursor->showIndex(index);
    scroll.done();
}

void TTable::SetKey() {
    d->finishEditing();
    d->keys[Impl::SearchKey].assign(d->appending.size(), Value{});
    d->editing = Impl::SearchKey;
    d->state = dsSetKey;
}

bool TTable::GotoKey() {
    d->finishEditing();
    const Impl::Scroll scroll(d.get());
    if (!d->cursor->moveToKey(d->keys[Impl::SearchKey]))
        return false;
    scroll.done();
    return true;
}

void TTable::EditRangeStart() {
    d->finishEditing();
    d->editing = Impl::RangeStart;
    d->state = dsSetKey;
}

void TTable::EditRangeEnd() {
    d->finishEditing();
    d->editing = Impl::RangeEnd;
    d->state = dsSetKey;
}

void TTable::ApplyRange() {
    d->finishEditing();
    const Impl::Scroll scroll(d.get());
    d->cursor->applyRange(d->keys[Impl::RangeStart], d->keys[Impl::RangeEnd]);
    scroll.done();
}

void TTable::CancelRange() {
    d->finishEditing();
    const Impl::Scroll scroll(d.get());
    d->clearRangeKeys();
    d->cursor->cancelRange();
    scroll.done();
}

void TTable::Append() {
    d->finishEditing();
    for (Value& v : d->appending)
        v.clear();
    d->state = dsInsert;
}

void TTable::Post() {
    d->requireOpen();
    if (d->state == dsInsert)
        d->postAppendedRow();
    else
        d->state = dsBrowse;
}

void TTable::AppendRecord(std::initializer_list<TRecordValue> values) {
    d->finishEditing();
    if (values.size() != d->fields.size())
        throw EDatabaseError(QStringLiteral("A record of %1 values for the %2 fields of table %3.")
                                 .arg(values.size())
                                 .arg(d->fields.size())
                                 .arg(d->baseName()),
                             Kind::WrongState);
    // A value of the other kind than its field's is converted by the
    // field's setter, and the row goes the setters' way.
    bool direct = true;
    size_t i = 0;
    const Impl::FieldRule* const rules = d->fieldRules.data();
    for (const TRecordValue& v : values) {
        const Impl::FieldRule& field = rules[i];
        if (v.kind == TRecordValue::Number) {
            if (!field.numeric)
                direct = false;
            else if (v.number < field.low || v.number > field.high)
                checkRange(d->fields[i]->def, v.number);
        } else if (v.kind == TRecordValue::Text) {
            if (field.numeric || v.view.size() > maxText)
                direct = false;
        }
        if (direct && field.mustHaveValue &&
            (v.kind == TRecordValue::Null || (v.kind == TRecordValue::Text && v.view.isEmpty())))
            throw EDatabaseError(
                QStringLiteral("Field '%1' must have a value.").arg(d->fields[i]->def.Name),
                Kind::RequiredFieldMissing);
        ++i;
    }
    if (direct) {
        d->cursor->insertRecord(values.begin());
        return;
    }
    Append();
    try {
        i = 0;
        for (const TRecordValue& v : values) {
            TField& field = *d->fields[i++];
            if (v.kind == TRecordValue::Number)
                field.setAsInteger(v.number);
            else if (v.kind == TRecordValue::Text)
                field.setAsString(v.string());
        }
        Post();
    } catch (...) {
        d->state = dsBrowse;
        throw;
    }
}

void TTable::Delete() {
    d->requireOpen();
    if (d->state != dsBrowse) {
        // Discards the row being appended (or the key being edited); the
        // cursor is where it was before Append.
        d->state = dsBrowse;
        return;
    }
    if (!d->cursor->hasRow())
        throw EDatabaseError(
            QStringLiteral("Cannot delete from table %1: it has no rows.").arg(d->baseName()),
            Kind::WrongState);
    const Impl::Scroll scroll(d.get());
    d->cursor->removeCurrentRow();
    scroll.done();
}

int TTable::FieldCount() const {
    return static_cast<int>(d->fields.size());
}

TField& TTable::Fields(int i) {
    if (i < 0 || i >= FieldCount())
        throw EDatabaseError(
            QStringLiteral("Table %1 has no field number %2.").arg(d->baseName()).arg(i),
            Kind::NotFound);
    return *d->fields[static_cast<size_t>(i)];
}

TField& TTable::FieldByName(const QString& name) {
    TField* f = FindField(name);
    if (!f)
        throw EDatabaseError(
            QStringLiteral("Field '%1' not found in table %2.").arg(name, d->baseName()),
            Kind::NotFound);
    return *f;
}

TField* TTable::FindField(const QString& name) {
    for (const auto& f : d->fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

void TTable::connectNotify(const QMetaMethod& signal) {
    if (signal == QMetaMethod::fromSignal(&TTable::scrolled))
        d->scrollWatched = true;
}

TDataSetNotifyEvent TTable::AfterScroll() const {
    return d->afterScroll;
}
void TTable::setAfterScroll(TDataSetNotifyEvent handler) {
    d->afterScroll = std::move(handler);
}
