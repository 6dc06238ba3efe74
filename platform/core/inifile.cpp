#include "platform/core/inifile.h"

#include "platform/core/filesync.h"
#include "platform/core/lasterror.h"
#include "platform/core/process.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
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

// Line breaks would split an entry and could plant keys of their own.
QByteArray singleLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

// A section's name as it is written and looked up: on one line, without blanks
// at its ends (reading a header drops them), so that what is written is found
// again.
QString sectionText(const QString& section) {
    return QString::fromUtf8(singleLine(section).trimmed());
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

// A value that reading would alter (blanks at its ends, enclosing quotes) is
// written inside quotes, which reading removes again.
QByteArray valueText(const QString& value) {
    QByteArray v = singleLine(value);
    const bool padded = !v.isEmpty() && (QByteArray(" \t").contains(v.front()) ||
                                         QByteArray(" \t").contains(v.back()));
    const bool quoted = v.size() >= 2 && v.startsWith('"') && v.endsWith('"');
    return padded || quoted ? '"' + v + '"' : v;
}

// What a path is, by stat(): missing, a regular file, or something else.
enum class Kind { Missing, File, Other };

Kind kindOf(const QString& path, int* error = nullptr) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return Kind::Missing;
    if (S_ISREG(st.st_mode))
        return Kind::File;
    if (error)
        *error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return Kind::Other;
}

// Reads the whole file; a missing file reads as empty. Anything but a regular
// file is refused without waiting for it (opening a FIFO to read would wait
// for a writer): it is opened without blocking and checked before reading.
bool readFile(const QString& path, QByteArray* content) {
    content->clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        setLastError(errno);
        return false;
    }
    QFile file;
    const auto closeFd = qScopeGuard([&] {
        file.close();
        ::close(fd);
    });
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        setLastError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly)) {
        setLastError(EACCES);
        return false;
    }
    *content = file.readAll();
    return true;
}

// The temporary file of a write: "<file>.<pid>.new" beside the file.
QString temporaryName(const QString& path) {
    return QStringLiteral("%1.%2.new").arg(path).arg(QCoreApplication::applicationPid());
}

// Removes the temporary files that writers killed in the middle of a write
// left beside the file. Called under the lock, when no write is under way; a
// file whose process still runs is left alone all the same.
void removeLeftTemporaries(const QFileInfo& info) {
    const QRegularExpression pattern(
        QStringLiteral("^%1\\.(\\d{1,9})\\.new$").arg(QRegularExpression::escape(info.fileName())));
    const QDir folder = info.absoluteDir();
    const QStringList names =
        folder.entryList({info.fileName() + QStringLiteral(".*.new")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid > 0 && !processExists(pid))
            QFile::remove(folder.filePath(name));
    }
}

// Writes `content` to a temporary file beside `path`, puts it on disk and
// renames it into place, so that a crash or a full disk leaves either the old
// or the new file. The file keeps its permissions.
bool replaceFile(const QString& path, const QByteArray& content) {
    const QString temp = temporaryName(path);
    const QByteArray tempName = QFile::encodeName(temp);
    struct stat old {};
    const bool replacing = ::stat(QFile::encodeName(path).constData(), &old) == 0;
    const mode_t mode = replacing ? (old.st_mode & 07777) : 0666;
    // A file of that name can only be a killed writer's (with this process's
    // number): it makes way for a new one, never followed if it is a link.
    ::unlink(tempName.constData());
    const int fd =
        ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        setLastError(errno);
        return false;
    }
    auto removeTemp = qScopeGuard([&] { ::unlink(tempName.constData()); });
    qsizetype written = 0;
    int error = 0;
    if (replacing && ::fchmod(fd, mode) != 0)
        error = errno;
    while (written < content.size() && error == 0) {
        const ssize_t n = ::write(fd, content.constData() + written,
                                  static_cast<size_t>(content.size() - written));
        if (n > 0)
            written += n;
        else if (n < 0 && errno != EINTR)
            error = errno;
        else if (n == 0)
            error = EIO;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0)
        error = errno;
    if (error != 0) {
        setLastError(error);
        return false;
    }
    removeTemp.dismiss();
    return true;
}

// Read-modify-write under the lock file. `change` returns false when it left
// the lines as they were; nothing is written then.
bool modify(const QString& settingsPath, const std::function<bool(Lines&)>& change) {
    // A link to the settings file is kept: the file it names is written.
    const QFileInfo link(settingsPath);
    const QString path = link.isSymLink() ? link.symLinkTarget() : settingsPath;
    const QFileInfo info(path);
    if (!info.absoluteDir().exists()) {
        setLastError(ENOENT);
        return false;
    }
    // Neither the file nor its lock file may be anything but a regular file:
    // a folder in the lock file's place would keep the lock out of reach for
    // as long as the wait lasts, at every write.
    int error = 0;
    const QString lockPath = path + QLatin1String(".lock");
    if (kindOf(path, &error) == Kind::Other || kindOf(lockPath, &error) == Kind::Other) {
        setLastError(error);
        return false;
    }
    QLockFile lock(lockPath);
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(10000)) {
        setLastError(lock.error() == QLockFile::PermissionError ? EACCES : EBUSY);
        return false;
    }
    removeLeftTemporaries(info);
    if (info.exists() && !info.isWritable()) {
        setLastError(EACCES);
        return false;
    }
    QByteArray content;
    if (!readFile(path, &content))
        return false;
    Lines file = parse(content);
    if (!change(file))
        return true;
    if (!replaceFile(path, serialize(file)))
        return false;
    syncFolder(info.absolutePath());
    return true;
}

} // namespace

IniFile::IniFile(const QString& fileName) : path(fileName) {}

QString IniFile::unusableReason() const {
    for (const bool lockFile : {false, true}) {
        const QString file = lockFile ? path + QLatin1String(".lock") : path;
        struct stat st {};
        if (::stat(QFile::encodeName(file).constData(), &st) != 0 || S_ISREG(st.st_mode))
            continue;
        const QString what = S_ISDIR(st.st_mode)    ? QStringLiteral("a folder")
                             : S_ISFIFO(st.st_mode) ? QStringLiteral("a FIFO (a named pipe)")
                             : S_ISSOCK(st.st_mode) ? QStringLiteral("a socket")
                                                    : QStringLiteral("a device");
        return QStringLiteral("The %1 %2 is %3, not a file.")
            .arg(lockFile ? QStringLiteral("lock file") : QStringLiteral("settings file"), file,
                 what);
    }
    return QString();
}

bool IniFile::valueExists(const QString& section, const QString& key) const {
    QByteArray content, spelling, value;
    if (!readFile(path, &content))
        return false;
    const Lines file = parse(content);
    const qsizetype header = findSection(file, sectionText(section));
    return header >= 0 && findKey(file, header, key.trimmed(), &spelling, &value) >= 0;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    QByteArray content, spelling, value;
    if (!readFile(path, &content))
        return defaultValue;
    const Lines file = parse(content);
    const qsizetype header = findSection(file, sectionText(section));
    if (header < 0 || findKey(file, header, key.trimmed(), &spelling, &value) < 0)
        return defaultValue;
    return QString::fromUtf8(value);
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString wantedKey = key.trimmed();
    const QString name = sectionText(section);
    return modify(path, [&](Lines& file) {
        const QByteArray text = valueText(value);
        qsizetype header = findSection(file, name);
        if (header < 0) {
            file.lines.append('[' + name.toUtf8() + ']');
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
    const QString name = sectionText(section);
    return modify(path, [&](Lines& file) {
        bool changed = false;
        for (qsizetype header; (header = findSection(file, name)) >= 0; changed = true)
            file.lines.remove(header, sectionEnd(file, header) - header);
        return changed;
    });
}

} // namespace platform
