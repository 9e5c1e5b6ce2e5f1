#pragma once
// A small tmpfs mounted for one test, to be filled to its last block: what a writer does on a
// really full disk. Mounting needs root; Why() says what kept it from being mounted.

#include <QByteArray>
#include <QFile>
#include <QString>
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
        if (geteuid() != 0) {
            FWhy = QStringLiteral("mounting a tmpfs needs root");
            return;
        }
        const QByteArray options = QByteArray("size=") + size;
        if (!FDir.isValid() ||
            mount("tmpfs", QFile::encodeName(FDir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
            FWhy = QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        FMounted = true;
    }
    ~TFullTmpfs()
    {
        if (FMounted)
            umount2(QFile::encodeName(FDir.path()).constData(), MNT_DETACH);
    }
    TFullTmpfs(const TFullTmpfs&) = delete;
    TFullTmpfs& operator=(const TFullTmpfs&) = delete;

    bool Ok() const { return FMounted; }
    QString Why() const { return FWhy; }
    QString Path() const { return FDir.path(); }

    // Takes every free byte into a filler file.
    void Fill()
    {
        const QByteArray name = QFile::encodeName(FDir.path() + QStringLiteral("/.filler"));
        const int fd = open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        static const char zeros[65536] = {};
        for (size_t chunk : {sizeof zeros, size_t(4096), size_t(1)})
            while (write(fd, zeros, chunk) == ssize_t(chunk)) {
            }
        close(fd);
    }

private:
    QTemporaryDir FDir;
    QString FWhy;
    bool FMounted = false;
};
