#include "browser/Strongsview.h"

#include "concordance/lexiconsource.h"
#include "concordance/numberformat.h"
#include "concordance/strongs.h"

#include <QCoreApplication>
#include <algorithm>

namespace browser {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TF_Browser", text);
}

// The most letters of a gloss the panel shows: the start of a long entry
// (H430's runs to several lines) and room left for the renderings.
constexpr int glossLetters = 160;

QString shortened(const QString& text) {
    if (text.size() <= glossLetters)
        return text;
    qsizetype cut = text.lastIndexOf(QLatin1Char(' '), glossLetters);
    if (cut < glossLetters / 2)
        cut = glossLetters;
    return text.left(cut) + QChar(0x2026);
}

} // namespace

QList<concordance::FormCount> renderings(concordance::QueryEngine& engine, const QString& number) {
    QList<concordance::FormCount> forms = engine.forms(engine.run(number));
    std::stable_sort(forms.begin(), forms.end(),
                     [](const concordance::FormCount& a, const concordance::FormCount& b) {
                         return a.occurrences > b.occurrences;
                     });
    return forms;
}

QString strongsText(concordance::QueryEngine& engine, qint32 key, int position, const QString& word,
                    int shown) {
    const QStringList numbers = engine.strongsOfVerse(key).value(position);
    QString html = QStringLiteral("<b>%1</b>").arg(word.toHtmlEscaped());
    if (numbers.isEmpty())
        return html + QLatin1Char(' ') +
               tr("has no Strong's number in this verse.").toHtmlEscaped();
    for (const QString& number : numbers) {
        html += QStringLiteral("<br><a href=\"strongs:%1\">%1</a> ").arg(number);
        const auto parsed = concordance::parseStrongsNumber(number);
        QString message;
        const auto entry = parsed ? concordance::lexicon::lookUp(*parsed, &message) : std::nullopt;
        if (entry)
            html += shortened(concordance::lexicon::summary(*entry)).toHtmlEscaped();
        else
            html += QStringLiteral("<i>%1</i>").arg(message.toHtmlEscaped());
        if (!engine.hasStrongsTable())
            continue;
        const QList<concordance::FormCount> forms = renderings(engine, number);
        QStringList parts;
        qint64 occurrences = 0;
        for (const concordance::FormCount& form : forms)
            occurrences += form.occurrences;
        for (int i = 0; i < std::min<int>(shown, int(forms.size())); ++i)
            parts << QStringLiteral("%1 %2").arg(forms[i].words.toHtmlEscaped(),
                                                 concordance::formatNumber(forms[i].occurrences));
        if (forms.size() > shown)
            parts << QStringLiteral("&hellip;");
        html += QStringLiteral("<br>&nbsp;&nbsp;") +
                tr("Translated as (%1 occurrences): %2")
                    .arg(concordance::formatNumber(occurrences), parts.join(QStringLiteral(", ")));
    }
    return html;
}

} // namespace browser
