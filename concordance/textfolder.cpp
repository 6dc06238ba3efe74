#include "concordance/textfolder.h"

#include "platform/core/userfolders.h"

namespace concordance {

bool isFolderName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0)) &&
           name != QLatin1String(".") && name != QLatin1String("..");
}

QString textsFolder(const QString& folderWord) {
    return platform::dataFolder() + folderWord + QLatin1Char('/');
}

QString textFolder(const QString& name, const QString& folderWord) {
    return textsFolder(folderWord) + name + QLatin1Char('/');
}

} // namespace concordance
