#pragma once
// Why a file operation failed, in the operating system's words ("No space left on device",
// "Permission denied", "Read-only file system"), and a check that a path names an ordinary file
// before anything reads it: a folder, a device such as /dev/zero or a named pipe would otherwise
// read for ever, block for ever, or be mistaken for a missing file.

#include <QString>

class QFileDevice;

namespace SystemErrors {

// The system's text for an errno value ("Unknown error" only for a value it does not know).
QString ReasonFor(int errorNumber);

// The system's reason for the last failed operation on file: the errno saved right after the
// failing call when there was one (lastErrno != 0), else Qt's own error text when that names a
// reason, else the reason for the current errno. Qt reports some failed writes and flushes as
// "Unknown error" although the system gave a precise reason.
QString ReasonFor(const QFileDevice& file, int lastErrno = 0);

enum class TPathKind { Missing, RegularFile, Folder, Device, Pipe, Socket, Other };

// What the path names, following symbolic links.
TPathKind KindOf(const QString& path);

// Empty when the path names a regular file; otherwise a message saying what it is, e.g.
// "'/dev/zero' is a device, not a file." or "'/tmp' is a folder, not a file.". A missing path
// answers "'x' does not exist.".
QString NotARegularFile(const QString& path);

// Why a file could not be written where filePath lies, found by trying: the folder is created
// when missing, a scratch file is made beside the file and a block written to it and removed.
// For writers that report only that saving failed (the settings store). Answers the system's
// reason for the first step that fails, a message for a path that is no file, or "Unknown
// error" when every step succeeds.
QString WhyCannotWrite(const QString& filePath);

} // namespace SystemErrors
