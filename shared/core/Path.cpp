#include "shared/core/Path.h"

#include "shared/core/Exceptions.h"
#include "shared/core/NullString.h"

namespace {

bool IsCheckedInvalidChar(char16_t c)
{
    return c < 32 || c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

bool IsSeparatorOrVolume(QChar c)
{
    return c == u'/' || c == u'\\' || c == u':';
}

} // namespace

void Path::CheckInvalidPathChars(const QString& path)
{
    // The null string stands for "no path", not for a text holding NUL characters.
    if (IsNullString(path))
        return;
    for (QChar c : path)
        if (IsCheckedInvalidChar(c.unicode()))
            throw ArgumentException(QStringLiteral("Illegal characters in path"));
}

bool Path::IsPathRooted(const QString& path)
{
    CheckInvalidPathChars(path);
    if (IsNullString(path))
        return false;
    const qsizetype len = path.size();
    return (len >= 1 && IsDirectorySeparator(path[0])) || (len >= 2 && path[1] == VolumeSeparatorChar);
}

QString Path::Combine(const QString& path1, const QString& path2)
{
    if (IsNullString(path1))
        throw ArgumentNullException(QStringLiteral("Path1"));
    if (IsNullString(path2))
        throw ArgumentNullException(QStringLiteral("Path2"));
    CheckInvalidPathChars(path1);
    CheckInvalidPathChars(path2);
    if (path1.isEmpty())
        return path2;
    if (path2.isEmpty())
        return path1;
    if (IsPathRooted(path2))
        return path2;
    if (IsSeparatorOrVolume(path1.back()))
        return path1 + path2;
    return path1 + QChar(DirectorySeparatorChar) + path2;
}

int Path::GetRootLength(const QString& path)
{
    CheckInvalidPathChars(path);
    if (IsNullString(path))
        return 0;
    const int len = int(path.size());
    if (len >= 1 && IsDirectorySeparator(path[0])) {
        if (len == 1 || !IsDirectorySeparator(path[1]))
            return 1;
        // A network root: two separators, then the server and share names. The root ends at the
        // first separator that follows at least two scanned characters.
        int counter = 0;
        for (int i = 2; i < len; ++i) {
            if (IsDirectorySeparator(path[i]) && counter >= 2)
                return i;
            ++counter;
        }
        return len;
    }
    if (len >= 2 && path[1] == VolumeSeparatorChar)
        return (len >= 3 && IsDirectorySeparator(path[2])) ? 3 : 2;
    return 0;
}

QString Path::GetPathRoot(const QString& path)
{
    if (IsNullString(path))
        return NullString;
    return path.left(GetRootLength(path));
}

QString Path::GetDirectoryName(const QString& path)
{
    if (IsNullString(path))
        return NullString;
    CheckInvalidPathChars(path);
    const QString p = NormalizePath(path, true);
    const int rootLen = int(GetPathRoot(p).size());
    const int len = int(p.size());
    if (rootLen >= len)
        return NullString;
    // Positions are 1-based as in the rule: the result is everything before the last separator,
    // or the root itself when no separator follows it.
    int i = len;
    for (;;) {
        if (IsDirectorySeparator(p[i - 1]))
            return p.left(i - 1);
        --i;
        if (i <= rootLen)
            return p.left(rootLen);
    }
}

QString Path::GetFileName(const QString& path)
{
    if (IsNullString(path))
        return NullString;
    CheckInvalidPathChars(path);
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (IsSeparatorOrVolume(path[i]))
            return path.mid(i + 1);
    return path;
}

QString Path::GetFileNameWithoutExtension(const QString& path)
{
    QString name = GetFileName(path);
    if (name.isNull())
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

TDynCharArray Path::GetInvalidPathChars()
{
    TDynCharArray chars;
    chars.reserve(41);
    for (char16_t c : {u'"', u'<', u'>', u'|'})
        chars.append(QChar(c));
    for (char16_t c = 0; c < 32; ++c)
        chars.append(QChar(c));
    for (char16_t c : {u':', u'*', u'?', u'\\', u'/'})
        chars.append(QChar(c));
    return chars;
}

QString Path::NormalizePath(const QString& path, bool fullCheck)
{
    if (!fullCheck || IsNullString(path))
        return path;
    qsizetype end = path.size();
    while (end > 0 && path[end - 1].unicode() <= 32)
        --end;
    QString result = path.left(end);
    CheckInvalidPathChars(result);
    return result;
}

int LastIndexOfChar(const QString& text, QChar c)
{
    const qsizetype i = text.lastIndexOf(c);
    return i < 0 ? -1 : int(i) + 1;
}
