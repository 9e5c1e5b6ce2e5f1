#pragma once
// A file the user keeps, replaced whole or not at all, as a device that encoders write to: the
// program's one writer (TDurableFile) behind QIODevice. Each write goes straight to the system (a
// buffer whose failed flush goes unnoticed would let a full disk turn the file into an empty
// one); Commit syncs the content, renames it over the old file and syncs the folder. On any
// failure the old file stays byte for byte, the temporary file is removed, and Reason() tells why
// in the system's words ("No space left on device", "Disk quota exceeded").
//
// Every writer of documents, pictures and style files goes through it; encoders that write to a
// QIODevice take it as one, and their failed writes carry the same reason in errorString().

#include "shared/io/DurableFile.h"

#include <QIODevice>
#include <QString>

#include <string_view>

class TCheckedSaveFile : public QIODevice {
public:
    explicit TCheckedSaveFile(const QString& fileName);
    ~TCheckedSaveFile() override;

    // Before Open: the permissions the file gets (see TDurableFile::SetMode).
    void SetMode(mode_t mode) { FFile.SetMode(mode); }
    // Creates the temporary file; false, with Reason(), when it cannot be made.
    bool Open();
    // Writes all of bytes; false, with Reason(), when any of them could not be written.
    bool WriteAll(std::string_view bytes);
    // Checks that everything written reached the disk, then puts the file in place of the old
    // one. False, with Reason(), when a write failed before or any step fails now; the old file
    // is then as it was and the temporary file is gone.
    bool Commit();
    // Drops what was written; the old file stays.
    void Discard();

    // Why the last failure happened; empty while nothing failed.
    const QString& Reason() const { return FReason; }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 length) override;

private:
    // Keeps the reason of the writer's first failure.
    void Record();

    TDurableFile FFile;
    QString FReason;
};

// Writes bytes as the whole new content of fileName. Answers an empty text on success, else the
// system's reason; the old file is kept on failure.
QString WriteWholeFile(const QString& fileName, std::string_view bytes);
