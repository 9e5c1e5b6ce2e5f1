#pragma once
// Text, version, date and file routines of the updater. Folder paths end in "/"; the folder
// macros of the update information file expand to the user's folders where Linux has one and
// are refused (left as they stand, with an empty folder from GetSpecialFolder) where it has none.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

enum class TupdFileAttribute { atrArchive, atrHidden, atrReadOnly, atrSystem, atrTemporary, atrOffline };
using TupdFileAttributes = unsigned; // bit (1 << TupdFileAttribute)

constexpr TupdFileAttributes FileAttr(TupdFileAttribute a) { return 1u << unsigned(a); }

namespace updUtils {

// The running program's file and its folder (with a trailing "/").
QString ProgramFile();
QString CurrentFolder();

// True when some network interface other than loopback is up and has an address.
bool IsConnected();

// Value * 100 / Total rounded half to even, kept as its low 8 bits; 0 for Total 0 or a result
// that is not a finite number.
uint8_t Percent(double value, double total);

// Opens a web page with the desktop's handler. Only http and https addresses are opened (an
// address without "://" gets "http://" in front); answers whether it was handed on.
bool OpenURL(const QString& url);
// The desktop handler; the program installs one that knows the desktop, the default starts
// xdg-open. Tests replace it.
using TOpenURLHandler = std::function<bool(const QString& url)>;
TOpenURLHandler SetOpenURLHandler(TOpenURLHandler handler);

QString GetTempDir();
// Index 0 to 11 in the order of the macro table; "" for a folder Linux does not have.
QString GetSpecialFolder(int index);
constexpr int MacroCount = 12;
const char* MacroName(int index);
// Replaces every macro (any letter case) that has a folder here; with makeAbsolute a relative
// text of at least 3 characters gets the program folder in front.
QString ExpandMacros(const QString& text, bool makeAbsolute);
// Whether the text holds a macro without a folder on this system.
bool HasUnknownMacro(const QString& text);
// Creates every folder of the path up to its last "/"; the part after it is not created.
void ForceDirectories(const QString& path);
bool DirectoryExists(const QString& path);

// Flags bit 0 appends the delimiter to left, bit 1 puts it in front of right.
void SplitString(const QString& delimiter, const QString& s, QString& left, QString& right, int flags,
                 bool notFoundToRight);
// 1-based position of the last occurrence, 0 when none or either is empty.
int LastPos(const QString& subStr, const QString& s);
// Every "/" read as "\"; the text after the last "\" or ":".
QString ExtractURLFileName(const QString& url);
// -1, 0 or 1: four dot-separated parts compared as numbers, or the texts compared by
// character code when a part is not a number.
int CompareVersions(const QString& v1, const QString& v2);

// An HTTP date (RFC 1123, RFC 850, asctime, numeric zones) as a UTC time; an invalid QDateTime
// for an empty text or a date that does not exist (a server's header never raises).
QDateTime ParseHTTPDate(const QString& text);

// Sets the times given as valid values to exactly that UTC moment; invalid ones stay.
bool SetFileTimes(const QString& fileName, const QDateTime& lastWriteTime, const QDateTime& lastAccessTime);
// Size in bytes, -1 when the file cannot be read.
int64_t GetFileSize64(const QString& fileName);
// Only read-only has a meaning here: it takes the write permissions away; without it the owner
// may write. The other attributes are accepted and have no effect.
bool SetFileAttributesEx(const QString& fileName, TupdFileAttributes attributes);

} // namespace updUtils
