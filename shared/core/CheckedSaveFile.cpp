#include "shared/core/CheckedSaveFile.h"

#include "shared/core/SystemErrors.h"

#include <cerrno>
#include <unistd.h>

TCheckedSaveFile::TCheckedSaveFile(const QString& fileName) : QSaveFile(fileName) {}

TCheckedSaveFile::~TCheckedSaveFile() = default;

bool TCheckedSaveFile::Open()
{
    FFailed = false;
    FReason.clear();
    errno = 0;
    // Unbuffered: a write either reaches the system at once or reports why it did not.
    if (open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    Record(errno);
    return false;
}

bool TCheckedSaveFile::WriteAll(std::string_view bytes)
{
    return write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

qint64 TCheckedSaveFile::writeData(const char* data, qint64 length)
{
    if (FFailed)
        return -1;
    errno = 0;
    const qint64 written = QSaveFile::writeData(data, length);
    if (written == length)
        return written;
    // A write cut short (the disk filled up part way) sets errno but no error of Qt's own. The
    // file stays open, so that an encoder may go on calling without warnings, until Commit.
    Record(errno);
    return -1;
}

void TCheckedSaveFile::Record(int errorNumber)
{
    if (FFailed)
        return;
    FFailed = true;
    FReason = SystemErrors::ReasonFor(*this, errorNumber);
    setErrorString(FReason);
}

bool TCheckedSaveFile::Fail(int errorNumber)
{
    Record(errorNumber);
    Discard();
    return false;
}

void TCheckedSaveFile::Discard()
{
    if (!isOpen())
        return;
    const QString reason = errorString();
    cancelWriting();
    // A cancelled commit removes the temporary file now rather than when this object goes.
    QSaveFile::commit();
    setErrorString(reason);
}

bool TCheckedSaveFile::Commit()
{
    if (FFailed || !isOpen()) {
        if (FReason.isEmpty())
            FReason = QStringLiteral("The file is not open.");
        Discard();
        return false;
    }
    errno = 0;
    if (!flush())
        return Fail(errno);
    // A file system that cannot sync at all says so (EINVAL, EROFS); any other failure means
    // some bytes may not be on the disk.
    if (::fsync(handle()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        return Fail(errno);
    errno = 0;
    if (!QSaveFile::commit()) {
        // The rename failed; Qt has removed the temporary file and kept the system's text.
        FFailed = true;
        FReason = SystemErrors::ReasonFor(*this, 0);
        return false;
    }
    return true;
}

QString WriteWholeFile(const QString& fileName, std::string_view bytes)
{
    TCheckedSaveFile file(fileName);
    if (file.Open() && file.WriteAll(bytes) && file.Commit())
        return QString();
    return file.Reason();
}
