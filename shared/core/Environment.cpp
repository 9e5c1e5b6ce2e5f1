#include "shared/core/Environment.h"

#include <QDir>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace {

// The user's home folder, or "" when there is none that is absolute.
QString HomeFolder()
{
    QString home = qEnvironmentVariable("HOME");
    if (QDir::isAbsolutePath(home))
        return QDir::cleanPath(home);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        home = QString::fromLocal8Bit(pw->pw_dir);
        if (QDir::isAbsolutePath(home))
            return QDir::cleanPath(home);
    }
    return QString();
}

QString DataFolder()
{
    // The XDG rule: a relative $XDG_DATA_HOME is invalid and ignored.
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    const QString home = HomeFolder();
    return home.isEmpty() ? QString() : home + QStringLiteral("/.local/share");
}

QString StandardFolder(QStandardPaths::StandardLocation location)
{
    const QString home = HomeFolder();
    const QString folder = QStandardPaths::writableLocation(location);
    // Without a home there is no such folder, whatever Qt falls back to.
    if (home.isEmpty() || !QDir::isAbsolutePath(folder))
        return QString();
    return folder;
}

} // namespace

QString Environment::GetFolderPath(int folder)
{
    switch (folder & 0x7F) {
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA:
        return DataFolder();
    case CSIDL_PROFILE:
        return HomeFolder();
    case CSIDL_PERSONAL:
        return StandardFolder(QStandardPaths::DocumentsLocation);
    case CSIDL_DESKTOPDIRECTORY:
        return StandardFolder(QStandardPaths::DesktopLocation);
    default:
        return QString();
    }
}
