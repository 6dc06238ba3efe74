#include "concordance/textrules.h"

#include "platform/core/errors.h"
#include "platform/core/inifile.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>
#include <numeric>

namespace concordance {

namespace {

const QString section = QStringLiteral("Words");
const QString ruleKey = QStringLiteral("Rule");
const QString foldKey = QStringLiteral("FoldAccents");
const QString languageKey = QStringLiteral("Language");

QString recordPath(const QString& folder) {
    return QDir(folder).filePath(QLatin1String(textRulesFile));
}

[[noreturn]] void refuse(const QString& path, const QString& key, const QString& value,
                         const char* expected) {
    throw platform::Exception(
        QStringLiteral("%1: [%2] %3=%4 is not a value the word rules know; expected %5.")
            .arg(path, section, key, value, QLatin1String(expected)));
}

// The locale whose collation orders a text of `language`. A language Qt
// does not know (or none) would give the C locale, which compares code
// points; English, whose collation is the root collation, stands in for it.
QLocale collationLocale(const QString& language) {
    const QLocale locale(language);
    const QLocale::Language known = locale.language();
    return language.isEmpty() || known == QLocale::C || known == QLocale::AnyLanguage
               ? QLocale(QLocale::English)
               : locale;
}

} // namespace

TextRules readTextRules(const QString& folder) {
    const QString path = recordPath(folder);
    TextRules rules;
    if (!QFileInfo::exists(path))
        return rules;
    const platform::IniFile file(path);
    const QString unusable = file.unusableReason();
    if (!unusable.isEmpty())
        throw platform::Exception(path + QStringLiteral(": ") + unusable);

    const QString rule = file.readString(section, ruleKey, QStringLiteral("byte")).trimmed();
    if (rule.compare(QLatin1String("unicode"), Qt::CaseInsensitive) == 0)
        rules.words.rule = WordRule::Unicode;
    else if (rule.compare(QLatin1String("byte"), Qt::CaseInsensitive) != 0)
        refuse(path, ruleKey, rule, "byte or unicode");

    const QString fold = file.readString(section, foldKey, QStringLiteral("no")).trimmed();
    if (fold.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
        rules.words.foldAccents = true;
    else if (fold.compare(QLatin1String("no"), Qt::CaseInsensitive) != 0)
        refuse(path, foldKey, fold, "yes or no");
    if (rules.words.foldAccents && !rules.isUnicode())
        refuse(path, foldKey, fold, "no with the byte rule");

    rules.language = file.readString(section, languageKey, QString()).trimmed();
    return rules;
}

void writeTextRules(const QString& folder, const TextRules& rules) {
    const QString path = recordPath(folder);
    if (!rules.isUnicode()) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            throw platform::Exception(QStringLiteral("Cannot remove %1.").arg(path));
        return;
    }
    QString text = QLatin1Char('[') + section + QStringLiteral("]\n");
    text +=
        ruleKey + (rules.isUnicode() ? QStringLiteral("=unicode\n") : QStringLiteral("=byte\n"));
    text +=
        foldKey + (rules.words.foldAccents ? QStringLiteral("=yes\n") : QStringLiteral("=no\n"));
    if (!rules.language.isEmpty())
        text += languageKey + QLatin1Char('=') + rules.language + QLatin1Char('\n');

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw platform::Exception(
            QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

QList<qsizetype> alphabeticalOrder(const QStringList& words, const TextRules& rules) {
    QList<qsizetype> order(words.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    if (!rules.isUnicode())
        return order;
    const QCollator collator(collationLocale(rules.language));
    QList<QCollatorSortKey> keys;
    keys.reserve(words.size());
    for (const QString& word : words)
        keys.append(collator.sortKey(word));
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : words[a] < words[b];
    });
    return order;
}

} // namespace concordance
