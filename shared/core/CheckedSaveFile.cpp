#include "shared/core/CheckedSaveFile.h"

#include "shared/core/SystemErrors.h"

#include <QFile>

TCheckedSaveFile::TCheckedSaveFile(const QString& fileName) : FFile(QFile::encodeName(fileName).toStdString()) {}

TCheckedSaveFile::~TCheckedSaveFile() = default;

void TCheckedSaveFile::Record()
{
    if (FReason.isEmpty() && FFile.Error() != 0) {
        FReason = SystemErrors::ReasonFor(FFile.Error());
        setErrorString(FReason);
    }
}

bool TCheckedSaveFile::Open()
{
    FReason.clear();
    if (FFile.Open()) {
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        return true;
    }
    Record();
    return false;
}

bool TCheckedSaveFile::WriteAll(std::string_view bytes)
{
    return write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

qint64 TCheckedSaveFile::readData(char*, qint64)
{
    return -1;
}

qint64 TCheckedSaveFile::writeData(const char* data, qint64 length)
{
    if (FFile.Write(data, size_t(length)))
        return length;
    // A write cut short (the disk filled up part way): the device stays open, so that an
    // encoder may go on calling without warnings, until Commit.
    Record();
    return -1;
}

bool TCheckedSaveFile::Commit()
{
    const bool committed = isOpen() && FFile.Commit();
    if (!committed) {
        Record();
        if (FReason.isEmpty())
            FReason = QStringLiteral("The file is not open.");
        FFile.Discard();
    }
    close();
    return committed;
}

void TCheckedSaveFile::Discard()
{
    FFile.Discard();
    if (isOpen())
        close();
}

QString WriteWholeFile(const QString& fileName, std::string_view bytes)
{
    TCheckedSaveFile file(fileName);
    if (file.Open() && file.WriteAll(bytes) && file.Commit())
        return QString();
    return file.Reason();
}
