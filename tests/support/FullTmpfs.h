#pragma once
// A small tmpfs mounted for one test, to be filled to its last block: what a writer does on a
// really full disk. Mounting needs root; Why() says what kept it from being mounted.

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class TFullTmpfs {
public:
    explicit TFullTmpfs(const char* size = "1m")
    {
        if (geteuid() != 0)
            FWhy = QStringLiteral("mounting a tmpfs needs root");
        else if (mount("tmpfs", Name().constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                       (QByteArray("size=") + size).constData()))
            FWhy = QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TFullTmpfs()
    {
        if (Ok())
            umount2(Name().constData(), MNT_DETACH);
    }
    bool Ok() const { return FWhy.isEmpty(); }
    QString Why() const { return FWhy; }
    QString Path() const { return FDir.path(); }
    // Takes every free byte into a filler file.
    void Fill() const
    {
        const int fd = open((Name() + "/.filler").constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        static const char zeros[65536] = {};
        for (size_t chunk : {sizeof zeros, size_t(4096), size_t(1)})
            while (write(fd, zeros, chunk) == ssize_t(chunk)) {
            }
        close(fd);
    }

private:
    QByteArray Name() const { return QFile::encodeName(FDir.path()); }
    QTemporaryDir FDir;
    QString FWhy;
};
