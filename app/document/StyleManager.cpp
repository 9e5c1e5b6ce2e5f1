#include "app/document/StyleManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

TStyleManager::TStyleManager(const QString& shippedFolder, const QString& userFolder)
    : FShipped(shippedFolder), FUser(userFolder)
{
}

QString TStyleManager::DefaultShippedFolder()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString beside = programFolder + QStringLiteral("/Styles");
    if (QDir(beside).exists())
        return beside;
    return QDir::cleanPath(programFolder + QStringLiteral("/../share/quandrel/Styles"));
}

QString TStyleManager::DefaultUserFolder(const QString& userSubPath)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QLatin1Char('/') + userSubPath;
}
