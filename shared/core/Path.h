#pragma once
// File-name parts and their combination. '/' is the separator this system writes; '\' is still
// accepted wherever a path is split or its root found, so Windows paths kept in older documents
// still give up their file names. The volume separator ':' keeps its meaning for such paths too.

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

using TDynCharArray = QVector<QChar>;
using TDynStringArray = QStringList;

class Path {
public:
    static constexpr char16_t DirectorySeparatorChar = u'/';
    static constexpr char16_t AltDirectorySeparatorChar = u'\\';
    static constexpr char16_t VolumeSeparatorChar = u':';

    // Raises ArgumentException "Illegal characters in path" when the path holds '"', '<', '>',
    // '|' or a control character (codes 0 to 31).
    static void CheckInvalidPathChars(const QString& path);
    static bool IsDirectorySeparator(QChar c) { return c == u'/' || c == u'\\'; }
    static bool IsPathRooted(const QString& path);
    // Raises ArgumentNullException ("Path1", "Path2") before any character check.
    static QString Combine(const QString& path1, const QString& path2);
    static int GetRootLength(const QString& path);
    static QString GetPathRoot(const QString& path);
    // NullString when the path is only a root (or empty); "" when it has no folder part.
    static QString GetDirectoryName(const QString& path);
    static QString GetFileName(const QString& path);
    static QString GetFileNameWithoutExtension(const QString& path);
    // The characters never allowed in a path or file name: the checked ones followed by
    // ':', '*', '?', '\' and '/'.
    static TDynCharArray GetInvalidPathChars();
    static QString NormalizePath(const QString& path, bool fullCheck);

    Path() = delete;
};

// The 1-based position of the last occurrence of c in text; -1 when absent or text is empty.
int LastIndexOfChar(const QString& text, QChar c);
