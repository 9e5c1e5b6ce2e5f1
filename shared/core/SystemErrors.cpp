#include "shared/core/SystemErrors.h"

#include <QFile>
#include <QFileDevice>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

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

} // namespace SystemErrors
