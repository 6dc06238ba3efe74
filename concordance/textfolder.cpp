#include "concordance/textfolder.h"

#include "platform/core/process.h"

namespace concordance {

bool isFolderName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0)) &&
           name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace concordance

namespace concordance {

QString textsFolder() {
    return platform::programFolder() + QStringLiteral("Text/");
}

} // namespace concordance
