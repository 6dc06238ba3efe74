#include "concordance/tablerow.h"

namespace concordance {

QString tableRow(RowFormat format, const QStringList& cells) {
    QStringList out;
    for (QString cell : cells) {
        if (format == RowFormat::Csv) {
            if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
                cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r')))
                cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                       QLatin1Char('"');
        } else {
            cell.replace(QLatin1Char('\t'), QLatin1Char(' '))
                .replace(QLatin1Char('\n'), QLatin1Char(' '))
                .replace(QLatin1Char('\r'), QLatin1Char(' '));
        }
        out << cell;
    }
    return out.join(format == RowFormat::Csv ? QLatin1Char(',') : QLatin1Char('\t'));
}

} // namespace concordance
