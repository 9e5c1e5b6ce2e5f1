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
        if (::geteuid() != 0) {
            FSkipReason = QStringLiteral("mounting a tmpfs needs root");
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
        if (!FFolder.isValid() ||
            ::mount("tmpfs", QFile::encodeName(FFolder.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options.constData()) != 0) {
            FSkipReason = QStringLiteral("a tmpfs cannot be mounted here: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        FMounted = true;
    }
    ~TTmpfsMount()
    {
        if (FFiller >= 0)
            ::close(FFiller);
        if (FMounted)
            ::umount2(QFile::encodeName(FFolder.path()).constData(), MNT_DETACH);
    }
    TTmpfsMount(const TTmpfsMount&) = delete;
    TTmpfsMount& operator=(const TTmpfsMount&) = delete;

    // Empty when the file system is there.
    const QString& SkipReason() const { return FSkipReason; }
    QString Path(const QString& name) const { return FFolder.filePath(name); }

    // Takes every free block but leaveFree bytes (rounded down to whole pages) with a hidden
    // filler file; answers false when it cannot.
    bool Fill(qint64 leaveFree = 0)
    {
        FFiller = ::open(QFile::encodeName(Path(QStringLiteral(".filler"))).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (FFiller < 0)
            return false;
        static const char block[4096] = {};
        qint64 size = 0;
        for (ssize_t n; (n = ::write(FFiller, block, sizeof block)) > 0;)
            size += n;
        if (errno != ENOSPC)
            return false;
        const qint64 page = ::sysconf(_SC_PAGESIZE);
        return leaveFree == 0 || ::ftruncate(FFiller, (size - leaveFree) / page * page) == 0;
    }
    // Gives back what Fill took.
    void Unfill()
    {
        if (FFiller >= 0 && ::ftruncate(FFiller, 0) == 0)
            ::unlink(QFile::encodeName(Path(QStringLiteral(".filler"))).constData());
    }

private:
    QTemporaryDir FFolder;
    QString FSkipReason;
    bool FMounted = false;
    int FFiller = -1;
};
