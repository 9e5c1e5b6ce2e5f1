#include "shared/core/SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace SystemErrors {

QString ReasonFor(int errorNumber)
{
    // strerror_r in its GNU form answers a pointer that may or may not be the buffer.
    char buffer[256] = {};
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
#else
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer) == 0 ? buffer : "Unknown error";
#endif
    return QString::fromLocal8Bit(text ? text : "Unknown error");
}

QString ReasonFor(const QFileDevice& file, int lastErrno)
{
    if (lastErrno != 0)
        return ReasonFor(lastErrno);
    QString text = file.errorString();
    if (!text.isEmpty() && text != QLatin1String("Unknown error"))
        return text;
    return errno != 0 ? ReasonFor(errno) : text;
}

TPathKind KindOf(const QString& path)
{
    struct stat info;
    QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || ::stat(native.constData(), &info) != 0)
        return TPathKind::Missing;
    if (S_ISREG(info.st_mode))
        return TPathKind::RegularFile;
    if (S_ISDIR(info.st_mode))
        return TPathKind::Folder;
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return TPathKind::Device;
    if (S_ISFIFO(info.st_mode))
        return TPathKind::Pipe;
    if (S_ISSOCK(info.st_mode))
        return TPathKind::Socket;
    return TPathKind::Other;
}

QString NotARegularFile(const QString& path)
{
    const char* what = nullptr;
    switch (KindOf(path)) {
    case TPathKind::RegularFile:
        return QString();
    case TPathKind::Missing:
        return QStringLiteral("'%1' does not exist.").arg(path);
    case TPathKind::Folder:
        what = "a folder";
        break;
    case TPathKind::Device:
        what = "a device";
        break;
    case TPathKind::Pipe:
        what = "a named pipe";
        break;
    case TPathKind::Socket:
        what = "a socket";
        break;
    case TPathKind::Other:
        what = "not an ordinary file";
        return QStringLiteral("'%1' is %2.").arg(path, QLatin1String(what));
    }
    return QStringLiteral("'%1' is %2, not a file.").arg(path, QLatin1String(what));
}

QString WhyCannotWrite(const QString& filePath)
{
    const TPathKind kind = KindOf(filePath);
    if (kind != TPathKind::Missing && kind != TPathKind::RegularFile)
        return NotARegularFile(filePath);
    const QString folder = QFileInfo(filePath).absolutePath();
    if (QFileInfo(folder).exists() && !QFileInfo(folder).isDir())
        return ReasonFor(ENOTDIR);
    if (!QDir().mkpath(folder)) {
        // A file where a folder should be shows in the lookup; otherwise the first folder that
        // is missing tells why it cannot be made.
        if (::access(QFile::encodeName(folder).constData(), F_OK) != 0 && errno != ENOENT)
            return ReasonFor(errno);
        QString missing = folder;
        while (!QFileInfo::exists(QFileInfo(missing).absolutePath()) && QFileInfo(missing).absolutePath() != missing)
            missing = QFileInfo(missing).absolutePath();
        if (::mkdir(QFile::encodeName(missing).constData(), 0700) != 0)
            return ReasonFor(errno);
        ::rmdir(QFile::encodeName(missing).constData());
        return QStringLiteral("Unknown error");
    }
    QByteArray scratch = QFile::encodeName(folder + QStringLiteral("/.write-check-XXXXXX"));
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0)
        return ReasonFor(errno);
    // A block large enough to need space of its own on any file system.
    static const char block[64 * 1024] = {};
    // A write cut short sets no errno; only the next write tells why.
    ssize_t done = 0;
    ssize_t count = 0;
    while (done < ssize_t(sizeof block) && (count = ::write(fd, block + done, sizeof block - done)) > 0)
        done += count;
    int error = 0;
    if (count < 0)
        error = errno;
    else if (done != ssize_t(sizeof block) || ::fsync(fd) != 0)
        error = errno != 0 ? errno : ENOSPC;
    ::close(fd);
    ::unlink(scratch.constData());
    if (error != 0)
        return ReasonFor(error);
    // The folder takes new files; the file itself may still refuse to be replaced.
    if (kind == TPathKind::RegularFile && ::access(QFile::encodeName(filePath).constData(), W_OK) != 0)
        return ReasonFor(errno);
    return QStringLiteral("Unknown error");
}

} // namespace SystemErrors
