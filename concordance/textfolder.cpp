#include "concordance/textfolder.h"

#include "platform/core/process.h"
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

QString importAdvice(const QString& name) {
    // Beside the programs, or on the path under the names an install gives them.
    const bool beside = platform::programFolderIsHome();
    const auto command = [&](const char* program, const char* installed,
                             const QStringList& arguments) {
        return platform::joinCommandLine(beside ? platform::programFolder() + QLatin1String(program)
                                                : QLatin1String(installed),
                                         arguments);
    };
    return QStringLiteral(
               "To import %1 from an installed SWORD module, run\r\n    %2\r\nIt goes to "
               "%3, where every program finds it. Then build its concordance:\r\n"
               "    %4")
        .arg(name, command("import-text", "concordance-import", {QStringLiteral("--sword"), name}),
             textFolder(name),
             command("Build", "concordance-build", {QStringLiteral("Text"), name}));
}

} // namespace concordance
