#include "tips/tipsource.h"

#include "platform/core/errors.h"
#include "platform/core/table.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

[[noreturn]] void fail(int line, const QString& what) {
    throw platform::EConvertError(QStringLiteral("line %1: %2").arg(line).arg(what));
}

int number(const QString& text, int line, const char* what) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        fail(line, QStringLiteral("the %1 %2 is no integer").arg(QLatin1String(what), text));
    return value;
}

// The entry's text without the blank lines at either end.
QString bodyText(QStringList lines) {
    while (!lines.isEmpty() && lines.first().trimmed().isEmpty())
        lines.removeFirst();
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

// Rich text starts with a tag ("<p>", "<b>" ...); the viewer wraps it as it
// likes, whatever the line breaks of the source.
bool startsWithTag(const QString& text) {
    return text.size() > 1 && text[0] == QLatin1Char('<') &&
           (text[1].isLetter() || text[1] == QLatin1Char('/') || text[1] == QLatin1Char('!'));
}

// A plain-text tip is shown as it is stored, line break for line break: the
// lines of each paragraph are joined by single blanks, so that the viewer
// wraps them at its own width, and paragraphs stay one blank line apart.
QString plainParagraphs(const QString& text) {
    QStringList paragraphs;
    QStringList paragraph;
    const auto finish = [&] {
        if (!paragraph.isEmpty())
            paragraphs << paragraph.join(QLatin1Char(' '));
        paragraph.clear();
    };
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            finish();
        else
            paragraph << trimmed;
    }
    finish();
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace

std::vector<TipEntry> parseTipSource(const QString& source) {
    static const QRegularExpression header(
        QStringLiteral(R"(^\[tip\s+(\S+)\s+(\S+)\s+(\S+)\]\s*$)"));
    std::vector<TipEntry> tips;
    QStringList body;
    const auto finish = [&] {
        if (tips.empty())
            return;
        tips.back().text = bodyText(body);
        if (!startsWithTag(tips.back().text))
            tips.back().text = plainParagraphs(tips.back().text);
        if (tips.back().text.isEmpty())
            fail(tips.back().line, QStringLiteral("the tip has no text"));
        body.clear();
    };

    const QStringList lines = source.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i) + 1;
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1String("[tip"))) {
            const QRegularExpressionMatch m = header.match(line);
            if (!m.hasMatch())
                fail(lineNo, QStringLiteral("a header reads [tip CLASS NUMBER CATEGORY]"));
            finish();
            TipEntry entry;
            entry.tipClass = number(m.captured(1), lineNo, "class");
            entry.number = number(m.captured(2), lineNo, "number");
            entry.category = m.captured(3);
            if (entry.category.size() > tipCategoryWidth)
                fail(lineNo, QStringLiteral("the category %1 is longer than %2 characters")
                                 .arg(entry.category)
                                 .arg(tipCategoryWidth));
            entry.line = lineNo;
            tips.push_back(entry);
            continue;
        }
        if (tips.empty()) {
            if (!line.trimmed().isEmpty())
                fail(lineNo, QStringLiteral("text before the first [tip ...] header"));
            continue;
        }
        body << line;
    }
    finish();
    return tips;
}

void defineTipsTable(TTable& table) {
    table.FieldDefs().Clear();
    table.FieldDefs().Add(QStringLiteral("Class"), ftInteger, 0, true);
    table.FieldDefs().Add(QStringLiteral("Tip"), ftInteger, 0, true);
    table.FieldDefs().Add(QStringLiteral("Cat"), ftString, tipCategoryWidth, true);
    table.FieldDefs().Add(QStringLiteral("Data"), ftMemo, 0, false);
    table.IndexDefs().Clear();
    table.IndexDefs().Add(QString(), QStringLiteral("Class;Tip;Cat"), ixPrimary | ixUnique);
}

void writeTipsTable(const QString& folder, const std::vector<TipEntry>& tips) {
    TTable table;
    table.setDatabaseName(folder);
    table.setTableName(tipsTable);
    defineTipsTable(table);
    table.CreateTable();
    table.setExclusive(true);
    table.Open();
    for (const TipEntry& tip : tips) {
        try {
            table.Append();
            table.FieldByName(QStringLiteral("Class")).setAsInteger(tip.tipClass);
            table.FieldByName(QStringLiteral("Tip")).setAsInteger(tip.number);
            table.FieldByName(QStringLiteral("Cat")).setAsString(tip.category);
            table.FieldByName(QStringLiteral("Data")).setAsString(tip.text);
            table.Post();
        } catch (const EDatabaseError& e) {
            throw EDatabaseError(QStringLiteral("line %1: tip %2 %3 %4: %5")
                                     .arg(tip.line)
                                     .arg(tip.tipClass)
                                     .arg(tip.number)
                                     .arg(tip.category, e.message()),
                                 e.kind());
        }
    }
    table.Close();
}
