#pragma once
// For readers that open their input by name: each input is written to a file of this process's
// own, so parallel fuzzing jobs never read each other's input; in memory where /dev/shm exists.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

// <folder>/quandrel-fuzz-<stem>-<process id>.<extension>; the reader may go by the extension.
inline QString FuzzInputPath(const char* stem, const char* extension)
{
    const QString folder = QFileInfo::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return QStringLiteral("%1/quandrel-fuzz-%2-%3.%4")
        .arg(folder, QLatin1String(stem), QString::number(getpid()), QLatin1String(extension));
}

// Replaces the file's content with the input. A file that cannot be written stops the run: what
// the reader did next would be about some other input.
inline void WriteFuzzInput(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), qint64(size));
}
