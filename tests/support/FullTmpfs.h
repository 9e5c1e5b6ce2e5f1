#pragma once
// A small tmpfs mounted for one test, to be filled to its last block: what a writer does on a
// really full disk. Mounting needs root.

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class TFullTmpfs {
public:
    explicit TFullTmpfs(const char* size = "1m")
    {
        FOk = geteuid() == 0 && mount("tmpfs", Name().constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                                      (QByteArray("size=") + size).constData()) == 0;
    }
    ~TFullTmpfs()
    {
        if (Ok())
            umount2(Name().constData(), MNT_DETACH);
    }
    bool Ok() const { return FOk; }
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
    bool FOk = false;
};
