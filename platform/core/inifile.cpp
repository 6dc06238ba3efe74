#include "platform/core/inifile.h"

#include "platform/core/filesync.h"
#include "platform/core/lasterror.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <cerrno>
#include <functional>
#include <unistd.h>

namespace platform {

namespace {

// The file as lines without their line endings, and the ending to use for new
// lines (the one the file already uses, "\n" for a new file).
struct Lines {
    QByteArrayList lines;
    QByteArray eol = "\n";
    bool endsWithEol = true;
};

Lines parse(const QByteArray& content) {
    Lines file;
    if (content.isEmpty())
        return file;
    file.lines = content.split('\n');
    file.endsWithEol = content.endsWith('\n');
    if (file.endsWithEol)
        file.lines.removeLast(); // the empty piece after the last ending
    if (!file.lines.isEmpty() && file.lines.first().endsWith('\r'))
        file.eol = "\r\n";
    for (QByteArray& line : file.lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return file;
}

QByteArray serialize(const Lines& file) {
    QByteArray out = file.lines.join(file.eol);
    if (!file.lines.isEmpty() && file.endsWithEol)
        out += file.eol;
    return out;
}

bool sameName(const QByteArray& a, const QString& b) {
    return QString::fromUtf8(a).compare(b, Qt::CaseInsensitive) == 0;
}

// "[name]" → name; nullptr-like empty optional for other lines.
bool sectionName(const QByteArray& line, QByteArray* name) {
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return false;
    int close = t.indexOf(']');
    *name = t.mid(1, close < 0 ? -1 : close - 1).trimmed();
    return true;
}

// "key=value" → key and value, both trimmed; a value in double quotes loses them.
bool keyValue(const QByteArray& line, QByteArray* key, QByteArray* value) {
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('#') || t.startsWith('['))
        return false;
    int eq = t.indexOf('=');
    if (eq < 0)
        return false;
    *key = t.left(eq).trimmed();
    QByteArray v = t.mid(eq + 1).trimmed();
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
        v = v.mid(1, v.size() - 2);
    *value = v;
    return true;
}

// Index of the first header of the section, or -1.
qsizetype findSection(const Lines& file, const QString& section) {
    QByteArray name;
    for (qsizetype i = 0; i < file.lines.size(); ++i)
        if (sectionName(file.lines[i], &name) && sameName(name, section))
            return i;
    return -1;
}

// One past the last line of the section whose header is at `header`.
qsizetype sectionEnd(const Lines& file, qsizetype header) {
    QByteArray name;
    qsizetype i = header + 1;
    while (i < file.lines.size() && !sectionName(file.lines[i], &name))
        ++i;
    return i;
}

// Index of the key's line in the section, or -1; fills the key's stored spelling.
qsizetype findKey(const Lines& file, qsizetype header, const QString& key, QByteArray* spelling,
                  QByteArray* value) {
    const qsizetype end = sectionEnd(file, header);
    QByteArray k, v;
    for (qsizetype i = header + 1; i < end; ++i) {
        if (keyValue(file.lines[i], &k, &v) && sameName(k, key)) {
            *spelling = k;
            *value = v;
            return i;
        }
    }
    return -1;
}

// Line breaks would split an entry and could plant keys of their own.
QByteArray singleLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

// A value that reading would alter (blanks at its ends, enclosing quotes) is
// written inside quotes, which reading removes again.
QByteArray valueText(const QString& value) {
    QByteArray v = singleLine(value);
    const bool padded = !v.isEmpty() && (QByteArray(" \t").contains(v.front()) ||
                                         QByteArray(" \t").contains(v.back()));
    const bool quoted = v.size() >= 2 && v.startsWith('"') && v.endsWith('"');
    return padded || quoted ? '"' + v + '"' : v;
}

bool readFile(const QString& path, QByteArray* content) {
    QFile file(path);
    if (!file.exists()) {
        content->clear();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *content = file.readAll();
    return true;
}

// Read-modify-write under the lock file. `change` returns false when it left
// the lines as they were; nothing is written then.
bool modify(const QString& path, const std::function<bool(Lines&)>& change) {
    const QFileInfo info(path);
    if (!info.absoluteDir().exists()) {
        setLastError(ENOENT);
        return false;
    }
    QLockFile lock(path + QLatin1String(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(10000)) {
        setLastError(lock.error() == QLockFile::PermissionError ? EACCES : EBUSY);
        return false;
    }
    if (info.exists() && !info.isWritable()) {
        setLastError(EACCES);
        return false;
    }
    QByteArray content;
    if (!readFile(path, &content)) {
        setLastError(EACCES);
        return false;
    }
    Lines file = parse(content);
    if (!change(file))
        return true;
    const QByteArray out = serialize(file);

    // The new content goes to a temporary file beside the old one and replaces
    // it in one rename, after it has reached the disk.
    QSaveFile save(path);
    errno = 0;
    if (!save.open(QIODevice::WriteOnly)) {
        setLastError(errno ? errno : EACCES);
        return false;
    }
    if (save.write(out) != out.size() || !save.flush() || ::fsync(save.handle()) != 0) {
        const int error = errno ? errno : EIO;
        save.cancelWriting();
        save.commit();
        setLastError(error);
        return false;
    }
    if (!save.commit()) {
        setLastError(errno ? errno : EIO);
        return false;
    }
    syncFolder(info.absolutePath());
    return true;
}

} // namespace

IniFile::IniFile(const QString& fileName) : path(fileName) {}

bool IniFile::valueExists(const QString& section, const QString& key) const {
    QByteArray content, spelling, value;
    if (!readFile(path, &content))
        return false;
    const Lines file = parse(content);
    const qsizetype header = findSection(file, section);
    return header >= 0 && findKey(file, header, key.trimmed(), &spelling, &value) >= 0;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    QByteArray content, spelling, value;
    if (!readFile(path, &content))
        return defaultValue;
    const Lines file = parse(content);
    const qsizetype header = findSection(file, section);
    if (header < 0 || findKey(file, header, key.trimmed(), &spelling, &value) < 0)
        return defaultValue;
    return QString::fromUtf8(value);
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString wantedKey = key.trimmed();
    return modify(path, [&](Lines& file) {
        const QByteArray text = valueText(value);
        qsizetype header = findSection(file, section);
        if (header < 0) {
            file.lines.append('[' + singleLine(section) + ']');
            file.lines.append(singleLine(wantedKey) + '=' + text);
            file.endsWithEol = true;
            return true;
        }
        QByteArray spelling, old;
        const qsizetype at = findKey(file, header, wantedKey, &spelling, &old);
        if (at >= 0) {
            const QByteArray line = spelling + '=' + text;
            if (file.lines[at] == line)
                return false;
            file.lines[at] = line;
            return true;
        }
        // A new key goes after the section's last non-blank line.
        qsizetype insert = sectionEnd(file, header);
        while (insert > header + 1 && file.lines[insert - 1].trimmed().isEmpty())
            --insert;
        file.lines.insert(insert, singleLine(wantedKey) + '=' + text);
        if (insert == file.lines.size() - 1)
            file.endsWithEol = true;
        return true;
    });
}

bool IniFile::eraseSection(const QString& section) {
    return modify(path, [&](Lines& file) {
        bool changed = false;
        for (qsizetype header; (header = findSection(file, section)) >= 0; changed = true)
            file.lines.remove(header, sectionEnd(file, header) - header);
        return changed;
    });
}

} // namespace platform
