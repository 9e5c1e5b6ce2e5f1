#include "Component/formula/SpreadsheetConverter.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

QString TSpreadsheetConverter::Program()
{
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

QString TSpreadsheetConverter::MissingMessage()
{
    return QStringLiteral("This workbook is in a format (.xls, .ods or .xlsb) that is read with the help of "
                          "LibreOffice, which is not installed. Install the package libreoffice-calc, or save "
                          "the workbook as .xlsx.");
}

QString TSpreadsheetConverter::ConvertToXlsx(const QString& fileName, const QTemporaryDir& workDir, QString& errorText)
{
    const QString program = Program();
    if (program.isEmpty()) {
        errorText = MissingMessage();
        return QString();
    }
    if (!workDir.isValid()) {
        errorText = QStringLiteral("No temporary folder for converting the workbook: %1").arg(workDir.errorString());
        return QString();
    }
    const QString profile = workDir.filePath(QStringLiteral("profile"));
    const QString output = workDir.filePath(QStringLiteral("out"));
    QDir().mkpath(output);
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                          QStringLiteral("--headless"), QStringLiteral("--norestore"),
                          QStringLiteral("--convert-to"), QStringLiteral("xlsx"),
                          QStringLiteral("--outdir"), output, QFileInfo(fileName).absoluteFilePath()});
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    if (!process.waitForStarted(30000)) {
        errorText = QStringLiteral("LibreOffice could not be started: %1").arg(process.errorString());
        return QString();
    }
    if (!process.waitForFinished(TimeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        errorText = QStringLiteral("LibreOffice did not finish converting the workbook in time");
        return QString();
    }
    const QString converted = QDir(output).filePath(QFileInfo(fileName).completeBaseName() + QStringLiteral(".xlsx"));
    if (process.exitStatus() != QProcess::NormalExit || !QFileInfo::exists(converted)) {
        errorText = QStringLiteral("LibreOffice could not convert the workbook (it may be damaged or protected "
                                   "with a password)");
        return QString();
    }
    return converted;
}
