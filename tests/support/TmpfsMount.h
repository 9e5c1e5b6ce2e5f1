#pragma once
// A small tmpfs of the test's own, to try a writer on a disk that is really full. Mounting needs
// root (the tests run as root here and in CI); elsewhere SkipReason() says why there is none.

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class TTmpfsMount {
public:
    explicit TTmpfsMount(int kilobytes = 1024)
    {
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
        if (::geteuid() != 0)
            FSkipReason = QStringLiteral("mounting a tmpfs needs root");
        else if (::mount("tmpfs", Native(QString()).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0)
            FSkipReason = QStringLiteral("no tmpfs can be mounted here: ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TTmpfsMount()
    {
        if (FFiller >= 0)
            ::close(FFiller);
        if (FSkipReason.isEmpty())
            ::umount2(Native(QString()).constData(), MNT_DETACH);
    }

    // Empty when the file system is there.
    const QString& SkipReason() const { return FSkipReason; }
    QString Folder() const { return FFolder.path(); }
    QString Path(const QString& name) const { return FFolder.filePath(name); }

    // Takes every free block but leaveFree bytes (whole pages) with a hidden filler file.
    bool Fill(qint64 leaveFree = 0)
    {
        Unfill();
        FFiller = ::open(Native(QStringLiteral(".filler")).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        static const char block[4096] = {};
        qint64 size = 0;
        for (ssize_t n; FFiller >= 0 && (n = ::write(FFiller, block, sizeof block)) > 0;)
            size += n;
        return FFiller >= 0 && errno == ENOSPC && ::ftruncate(FFiller, (size - leaveFree) / 4096 * 4096) == 0;
    }
    // Gives the room back.
    void Unfill()
    {
        if (FFiller >= 0) {
            ::close(FFiller);
            ::unlink(Native(QStringLiteral(".filler")).constData());
        }
        FFiller = -1;
    }

private:
    QByteArray Native(const QString& name) const { return QFile::encodeName(name.isEmpty() ? FFolder.path() : Path(name)); }

    QTemporaryDir FFolder;
    QString FSkipReason;
    int FFiller = -1;
};
