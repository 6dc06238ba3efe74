#include "platform/core/tablebulk.h"

#include "platform/core/tablelayout.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform::tables {

// ---------------------------------------------------------------- KeySet

size_t KeySet::home(qint64 key) const {
    // Fibonacci hashing: the top bits of the product.
    return static_cast<size_t>((static_cast<quint64>(key) * 0x9e3779b97f4a7c15ULL) >> shift);
}

bool KeySet::contains(qint64 key) const {
    if (cells.empty())
        return false;
    for (size_t i = home(key);; i = (i + 1) & (cells.size() - 1)) {
        if (cells[i] == key)
            return true;
        if (cells[i] == freeCell)
            return false;
    }
}

void KeySet::insert(qint64 key) {
    if ((used + 1) * 2 > cells.size()) {
        std::vector<qint64> old(std::max<size_t>(1024, cells.size() * 2), freeCell);
        old.swap(cells);
        shift = 64 - std::countr_zero(cells.size());
        used = 0;
        for (qint64 k : old)
            if (k != freeCell)
                insert(k);
    }
    size_t i = home(key);
    while (cells[i] != freeCell) {
        if (cells[i] == key)
            return;
        i = (i + 1) & (cells.size() - 1);
    }
    cells[i] = key;
    ++used;
}

void KeySet::remove(qint64 key) {
    if (cells.empty())
        return;
    const size_t mask = cells.size() - 1;
    size_t i = home(key);
    while (cells[i] != key) {
        if (cells[i] == freeCell)
            return;
        i = (i + 1) & mask;
    }
    // Shift later keys of the same run back, so no lookup stops short.
    for (size_t j = (i + 1) & mask; cells[j] != freeCell; j = (j + 1) & mask) {
        const size_t h = home(cells[j]);
        if ((j > i && (h <= i || h > j)) || (j < i && h <= i && h > j)) {
            cells[i] = cells[j];
            i = j;
        }
    }
    cells[i] = freeCell;
    --used;
}

// ---------------------------------------------------------------- GatheredRows

void GatheredRows::add(qint64 key, const std::vector<Value>& row) {
    pending.push_back(PendingRow{key, rows.size()});
    for (const Value& v : row)
        encode(v);
}

void GatheredRows::encode(const Value& v) {
    rows.push_back(static_cast<char>(v.kind));
    if (v.kind == Value::Null)
        return;
    const size_t at = rows.size();
    if (v.kind == Value::Int) {
        rows.resize(at + sizeof v.i);
        std::memcpy(rows.data() + at, &v.i, sizeof v.i);
        return;
    }
    qint64 length = v.s.size();
    rows.resize(at + sizeof length + static_cast<size_t>(length));
    char* out = rows.data() + at + sizeof length;
    bool ascii = true;
    for (QChar c : v.s) {
        ascii = ascii && c.unicode() < 0x80;
        *out++ = static_cast<char>(c.unicode());
    }
    if (!ascii) {
        const QByteArray utf8 = v.s.toUtf8();
        length = utf8.size();
        rows.resize(at + sizeof length + static_cast<size_t>(length));
        std::memcpy(rows.data() + at + sizeof length, utf8.constData(), utf8.size());
    }
    std::memcpy(rows.data() + at, &length, sizeof length);
}

void GatheredRows::sortByKey() {
    std::sort(pending.begin(), pending.end(),
              [](const PendingRow& a, const PendingRow& b) { return a.key < b.key; });
}

void GatheredRows::bind(Statement& st, size_t i, int before) const {
    const char* data = rows.data() + pending[i].offset;
    for (int p = before + 1; p <= before + static_cast<int>(fields); ++p) {
        const auto kind = static_cast<Value::Kind>(*data++);
        qint64 n = 0;
        if (kind != Value::Null) {
            std::memcpy(&n, data, sizeof n);
            data += sizeof n;
        }
        if (kind == Value::Null) {
            sqlite3_bind_null(st.get(), p);
        } else if (kind == Value::Int) {
            sqlite3_bind_int64(st.get(), p, n);
        } else {
            sqlite3_bind_text(st.get(), p, data, static_cast<int>(n), SQLITE_STATIC);
            data += n;
        }
    }
}

bool GatheredRows::find(qint64 key, std::vector<Value>& row) const {
    const auto it = std::find_if(pending.begin(), pending.end(),
                                 [key](const PendingRow& p) { return p.key == key; });
    if (it == pending.end())
        return false;
    const char* data = rows.data() + it->offset;
    row.assign(fields, Value{});
    for (Value& v : row) {
        const auto kind = static_cast<Value::Kind>(*data++);
        if (kind == Value::Null)
            continue;
        qint64 n = 0;
        std::memcpy(&n, data, sizeof n);
        data += sizeof n;
        if (kind == Value::Int) {
            v = Value::number(n);
        } else {
            v = Value::text(QString::fromUtf8(data, n));
            data += n;
        }
    }
    return true;
}

void GatheredRows::clear() {
    pending.clear();
    rows.clear();
}

// ---------------------------------------------------------------- TakenKeys

void TakenKeys::take(qint64 key, Connection& conn, const QString& table,
                     const GatheredRows& gathered) {
    // A key above every key so far is free. Only when keys come out of order
    // is the set of all keys needed: read from the file and the gathered rows.
    if (!loaded) {
        Statement& st =
            conn.statement(QStringLiteral("SELECT max(rowid) FROM %1").arg(quoted(table)));
        conn.step(st, QStringLiteral("Reading"));
        maxKey = st.isNull(0) ? LLONG_MIN : st.integer(0);
        st.reset();
        ascending = true;
        loaded = true;
    }
    if (ascending && key <= maxKey) {
        ascending = false;
        keys.clear();
        Statement& st = conn.statement(QStringLiteral("SELECT rowid FROM %1").arg(quoted(table)));
        while (conn.step(st, QStringLiteral("Reading")))
            keys.insert(st.integer(0));
        for (size_t i = 0; i < gathered.size(); ++i)
            keys.insert(gathered.key(i));
    }
    if (!ascending) {
        if (keys.contains(key))
            throw EDatabaseError(QStringLiteral("Key violation."),
                                 EDatabaseError::Kind::KeyViolation);
        keys.insert(key);
    }
    maxKey = std::max(maxKey, key);
}

void TakenKeys::release(qint64 key) {
    if (!ascending)
        keys.remove(key);
}

void TakenKeys::forget() {
    keys.clear();
    loaded = false;
}

} // namespace platform::tables
