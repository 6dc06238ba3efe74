#include "builder/Strongstable.h"

#include "concordance/strongs.h"
#include "concordance/tablelayouts.h"
#include "platform/core/errors.h"
#include "platform/core/filesync.h"
#include "platform/core/table.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace strongstable {

namespace {

QString tableFile(const QString& folder, QLatin1String table) {
    return QDir(folder).filePath(table + QStringLiteral(".db"));
}

// Where the new table is written: a folder of its own inside the text's, so
// that the table inside the file has its final name when the file moves.
QString stagingFolder(const QString& folder) {
    return QDir(folder).filePath(concordance::strongsStagingFolder);
}

QString stagedFile(const QString& folder) {
    return tableFile(stagingFolder(folder), concordance::strongsWordTable);
}

bool removeFile(const QString& path, QString& message) {
    for (const QString& file : {path, path + QStringLiteral("-journal")}) {
        if (QFile::exists(file) && !QFile::remove(file)) {
            message = QStringLiteral("%1 could not be removed").arg(QDir::toNativeSeparators(file));
            return false;
        }
    }
    return true;
}

// An occurrence being read: the element's words that carry the number.
struct Open {
    quint32 verse = 0;
    int element = 0;
    quint32 first = 0;
    quint32 last = 0;
};

struct Row {
    QString number;
    quint32 place;
    int length;
};

} // namespace

bool removeOld(const QString& folder, QString& message) {
    if (!removeFile(tableFile(folder, concordance::strongsWordTable), message) ||
        !removeFile(stagedFile(folder), message))
        return false;
    QDir().rmdir(stagingFolder(folder));
    return true;
}

bool write(const QString& folder, Summary& summary, QString& message) {
    summary = {};
    const QString source = tableFile(folder, concordance::strongsTable);
    if (!QFile::exists(source))
        return true;
    std::vector<Row> rows;
    try {
        TTable strongs;
        concordance::bindTable(strongs, folder, concordance::strongsTable);
        strongs.Open();
        // The rows come in place order; a number's occurrence is the run of
        // words of one element of one verse that carry it.
        std::map<QString, Open> open;
        const auto close = [&](const QString& number, const Open& o) {
            rows.push_back(Row{number, o.first, int(o.last - o.first + 1)});
        };
        quint32 verse = 0;
        for (strongs.First(); !strongs.Eof(); strongs.Next()) {
            const quint32 place = quint32(strongs.Fields(0).AsInteger());
            const int element = strongs.Fields(1).AsInteger();
            const QString numbers = strongs.Fields(2).AsString();
            if ((place & 0xff) == 0) {
                message = QStringLiteral("%1: the row of place %2 has no word position")
                              .arg(QDir::toNativeSeparators(source))
                              .arg(place);
                strongs.Close();
                return false;
            }
            if ((place & ~quint32(0xff)) != verse) {
                for (const auto& [number, o] : open)
                    close(number, o);
                open.clear();
                verse = place & ~quint32(0xff);
            }
            for (const QString& text : numbers.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const auto parsed = concordance::parseStrongsNumber(text);
                if (!parsed) {
                    message = QStringLiteral("%1: \"%2\" at place %3 is no Strong's number")
                                  .arg(QDir::toNativeSeparators(source), text)
                                  .arg(place);
                    strongs.Close();
                    return false;
                }
                const QString number = parsed->toString();
                auto at = open.find(number);
                if (at != open.end() && at->second.element == element &&
                    at->second.last + 1 == place) {
                    at->second.last = place;
                    continue;
                }
                if (at != open.end())
                    close(number, at->second);
                open[number] = Open{verse, element, place, place};
            }
        }
        for (const auto& [number, o] : open)
            close(number, o);
        strongs.Close();
    } catch (const platform::Exception& e) {
        message = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(source), e.message());
        return false;
    }

    if (!QDir().mkpath(stagingFolder(folder))) {
        message = QStringLiteral("the folder %1 could not be made")
                      .arg(QDir::toNativeSeparators(stagingFolder(folder)));
        return false;
    }
    TTable table;
    concordance::bindTable(table, stagingFolder(folder), concordance::strongsWordTable);
    try {
        if (table.Exists())
            table.DeleteTable();
        concordance::defineStrongsWordTable(table.FieldDefs(), table.IndexDefs());
        table.CreateTable();
        table.setExclusive(true);
        table.Open();
        QSet<QString> numbers;
        for (const Row& row : rows) {
            table.Append();
            table.Fields(0).setAsString(row.number);
            table.Fields(1).setAsInteger(qint32(row.place));
            table.Fields(2).setAsInteger(row.length);
            table.Post();
            numbers.insert(row.number);
        }
        table.FlushBuffers();
        table.Close();
        summary.occurrences = qint64(rows.size());
        summary.numbers = int(numbers.size());
    } catch (const platform::Exception& e) {
        try {
            table.Close();
        } catch (const std::exception&) {
            // Being removed anyway.
        }
        message =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(stagedFile(folder)), e.message());
        QString ignored;
        removeFile(stagedFile(folder), ignored);
        QDir().rmdir(stagingFolder(folder));
        return false;
    }
    return true;
}

bool publish(const QString& folder, QString& message) {
    const QString from = stagedFile(folder);
    if (!QFile::exists(from))
        return true;
    const QString to = tableFile(folder, concordance::strongsWordTable);
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        message = QStringLiteral("cannot move %1 to %2: %3")
                      .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to),
                           QString::fromLocal8Bit(std::strerror(errno)));
        QString ignored;
        removeFile(from, ignored);
        QDir().rmdir(stagingFolder(folder));
        return false;
    }
    QDir().rmdir(stagingFolder(folder));
    platform::syncFolder(folder);
    return true;
}

} // namespace strongstable
