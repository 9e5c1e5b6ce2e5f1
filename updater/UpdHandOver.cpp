#include "updater/UpdHandOver.h"

#include "updater/UpdUtils.h"

#include "shared/io/DurableFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace updHandOver {

namespace {

bool Unsafe(const QString& part)
{
    return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
}

bool WriteExclusive(const QString& fileName, QByteArrayView data, mode_t mode, QString& error)
{
    TDurableFile file(QFile::encodeName(fileName).toStdString());
    file.SetCreateNew();
    file.SetMode(mode);
    if (!file.Open()) {
        error = QStringLiteral("Cannot create \"%1\": %2").arg(fileName, QString::fromLocal8Bit(file.Reason()));
        return false;
    }
    // Every byte on the disk before the installer may take it (a full disk shows here).
    if (!file.Write(data.data(), size_t(data.size())) || !file.Commit()) {
        error = QStringLiteral("Cannot write \"%1\": %2").arg(fileName, QString::fromLocal8Bit(file.Reason()));
        return false;
    }
    return true;
}

} // namespace

QString ResolveTarget(const QString& url, const QString& target, const QString& programFolder)
{
    QString folder = QDir::cleanPath(programFolder);
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return QString();
    folder += QLatin1Char('/');
    QString relative;
    if (target.isEmpty()) {
        relative = updUtils::ExtractURLFileName(url);
        const int query = relative.indexOf(QLatin1Char('?'));
        if (query >= 0)
            relative.truncate(query);
    } else {
        QString t = target;
        t.replace(QLatin1Char('\\'), QLatin1Char('/'));
        // "%current%" is the program folder; every other folder macro leads outside it.
        if (t.startsWith(QLatin1String("%current%"), Qt::CaseInsensitive))
            t = t.mid(9);
        else if (t.contains(QLatin1Char('%')) || QDir::isAbsolutePath(t) || (t.size() > 1 && t.at(1) == QLatin1Char(':')))
            return QString();
        while (t.startsWith(QLatin1Char('/')))
            t.remove(0, 1);
        relative = t;
    }
    const QStringList parts = relative.split(QLatin1Char('/'));
    for (const QString& part : parts)
        if (Unsafe(part))
            return QString();
    return folder + relative;
}

bool Confined(const QString& target, const QString& folder, QString& why)
{
    std::string reason;
    const bool confined =
        updInstall::Confined(QFile::encodeName(target).toStdString(), QFile::encodeName(folder).toStdString(), reason);
    why = QFile::decodeName(QByteArray::fromStdString(reason));
    return confined;
}

bool FolderWritable(const QString& programFolder)
{
    // Trying is the only sure answer: permissions, access lists and read-only mounts all count.
    QTemporaryFile probe(QDir(programFolder).filePath(QStringLiteral(".quandrel-write-XXXXXX")));
    return probe.open();
}

bool MakePrivateFolder(TPrepared& prepared, QString& error)
{
    const QByteArray name =
        QFile::encodeName(updUtils::GetTempDir() + QLatin1String(updInstall::PrivatePrefix) + QStringLiteral("XXXXXX"));
    const auto fail = [&error](int why) {
        error = QStringLiteral("Cannot make a private folder in \"%1\": %2")
                    .arg(updUtils::GetTempDir(), QString::fromLocal8Bit(std::strerror(why)));
        return false;
    };
    // A start may take a folder for one left behind in the moment before it is held: made again.
    int why = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QByteArray pattern = name;
        if (!mkdtemp(pattern.data())) // made with mode 0700
            return fail(errno);
        prepared.Hold = updInstall::LockFolder(pattern.toStdString());
        struct stat st {};
        if (prepared.Hold.Held() && ::stat(pattern.constData(), &st) == 0) {
            prepared.Folder = QFile::decodeName(pattern);
            return true;
        }
        why = errno;
        prepared.Hold.Release();
        // Still empty: nobody else has a use for it.
        ::rmdir(pattern.constData());
    }
    return fail(why);
}

bool Prepare(const QStringList& targets, TPrepared& prepared, QString& error)
{
    if (prepared.Folder.isEmpty() && !MakePrivateFolder(prepared, error))
        return false;
    prepared.Installer = prepared.Folder + QLatin1Char('/') + QLatin1String(InstallerName);
    prepared.Queue = prepared.Folder + QLatin1Char('/') + QLatin1String(QueueName);
    QByteArray queue;
    for (const QString& t : targets)
        queue += QFile::encodeName(t) + "\r\n";
    if (!WriteExclusive(prepared.Installer, InstallerImage(), 0700, error) ||
        !WriteExclusive(prepared.Queue, queue, 0600, error)) {
        RemoveFolder(prepared);
        return false;
    }
    return true;
}

bool RecordDownloads(const TPrepared& prepared, const QStringList& targets, QString& error)
{
    const QString fileName = prepared.Folder + QLatin1Char('/') + QLatin1String(updInstall::DownloadsName);
    QByteArray text;
    for (const QString& t : targets)
        text += QFile::encodeName(t) + "\r\n";
    TDurableFile file(QFile::encodeName(fileName).toStdString());
    file.SetMode(0600);
    file.SetTemporaryName(std::string(updInstall::DownloadsName) + ".new");
    if (!file.Open() || !file.Write(text.constData(), size_t(text.size())) || !file.Commit()) {
        error = QStringLiteral("Cannot write \"%1\": %2").arg(fileName, QString::fromLocal8Bit(file.Reason()));
        return false;
    }
    return true;
}

void RemoveFolder(const TPrepared& prepared)
{
    // Links in it are removed, never followed.
    if (!prepared.Folder.isEmpty())
        QDir(prepared.Folder).removeRecursively();
}

QStringList InstallerArguments(const QString& programFile, const QString& restartParameter, const QString& queue,
                               qint64 processId, int method)
{
    return {programFile, restartParameter, queue, QString::number(processId), QString::number(method)};
}

bool StartDetached(const QString& installer, const QStringList& arguments, QString& error)
{
    // A file just written may still be open in a child another thread is forking: try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QProcess process;
        process.setProgram(installer);
        process.setArguments(arguments);
        process.setWorkingDirectory(QFileInfo(installer).absolutePath());
        process.setStandardInputFile(QProcess::nullDevice());
        if (process.startDetached())
            return true;
        error = QStringLiteral("Cannot start the installer \"%1\": %2").arg(installer, process.errorString());
        QThread::msleep(50);
    }
    return false;
}

QStringList RecoverInterrupted(const QString& programFolder)
{
    const std::string folder = QFile::encodeName(QDir::cleanPath(programFolder)).toStdString();
    // While an installer works on the folder only the word of earlier ones is taken.
    const updInstall::TFolderLock lock = updInstall::LockFolder(folder);
    const updInstall::TRecoveryReport report =
        updInstall::RecoverAll(QFile::encodeName(updUtils::GetTempDir()).toStdString(), folder,
                               lock.Held() ? updInstall::TRecoveryScope::All : updInstall::TRecoveryScope::Word);
    const QString name = QCoreApplication::applicationName();
    QStringList told;
    for (const std::string& why : report.NotCompleted)
        told << QStringLiteral("The update of %1 did not complete: %2.").arg(name, QFile::decodeName(why.c_str()));
    for (const std::string& why : report.NotEnded)
        told << QStringLiteral("An update of %1 that was cut short could not be ended: %2.\n\nSome files in \"%3\" may "
                               "be of the new version and others of the old one; %1 tries again at its next start.")
                    .arg(name, QFile::decodeName(why.c_str()), QDir::cleanPath(programFolder));
    // Told once: the journal and the files it names stay as they are, and only the user can
    // tell which version they make.
    for (const updInstall::TRefusedJournal& refused : report.Refused)
        told << QStringLiteral("An update of %1 that was cut short could not be ended: %2.\n\nSome files in \"%3\" may "
                               "be of the new version and others of the old one. %1 leaves them as they are and will not "
                               "tell of this again: install %1 again, then remove the folder \"%4\".")
                    .arg(name, QFile::decodeName(refused.Why.c_str()), QDir::cleanPath(programFolder),
                         QFile::decodeName(refused.Folder.c_str()));
    return told;
}

} // namespace updHandOver
