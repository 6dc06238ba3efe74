#include "platform/core/userfolders.h"

#include "platform/core/process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// An XDG base folder: the variable's value when it is an absolute path (a
// relative one is to be ignored), otherwise the default below the home folder.
QString baseFolder(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

// `base`/concordance/, made if missing (with access for the user alone, as
// the base folders are).
QString userFolder(const char* variable, const char* fallback) {
    const QString folder =
        baseFolder(variable, fallback) + QLatin1Char('/') + QLatin1String(userFolderName);
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder + QLatin1Char('/');
}

} // namespace

bool isWritableFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool programFolderIsHome() {
    return isWritableFolder(programFolder());
}

QString settingsFolder() {
    if (programFolderIsHome())
        return programFolder();
    return userFolder("XDG_CONFIG_HOME", ".config");
}

QString dataFolder() {
    if (programFolderIsHome())
        return programFolder();
    return userFolder("XDG_DATA_HOME", ".local/share");
}

} // namespace platform
