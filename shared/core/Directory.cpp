#include "shared/core/Directory.h"

#include "shared/core/Exceptions.h"
#include "shared/core/NullString.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

void Directory::CreateDirectory(const QString& path)
{
    if (IsNullString(path) || path.isEmpty() || !QDir().mkpath(path))
        throw IOException(QStringLiteral("Could not create ") + path);
}

bool MatchesFilePattern(const QString& name, const QString& pattern)
{
    // Iterative wildcard match: on a mismatch after a '*', let that '*' absorb one more
    // character and try again. Linear in practice, never exponential.
    qsizetype n = 0, p = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || (pattern[p] != u'*' && pattern[p] == name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

TDynStringArray Directory::GetFiles(const QString& path, const QString& searchPattern)
{
    if (IsNullString(path) || path.isEmpty())
        throw ArgumentNullException(QStringLiteral("Path"));
    if (IsNullString(searchPattern) || searchPattern.isEmpty())
        throw ArgumentNullException(QStringLiteral("SearchPattern"));

    // The mask may carry folders of its own ("sub/*.qdns"): list the folder the mask names and
    // match its last part.
    const QString mask = Path::IsDirectorySeparator(path.back()) ? path + searchPattern
                                                                 : path + QChar(Path::DirectorySeparatorChar) + searchPattern;
    qsizetype cut = mask.size() - 1;
    while (!Path::IsDirectorySeparator(mask[cut]))
        --cut; // stops at the latest at the separator added above or ending path
    const QString folder = cut == 0 ? QStringLiteral("/") : mask.left(cut);
    const QString pattern = mask.mid(cut + 1);

    TDynStringArray result;
    const QByteArray folderBytes = QFile::encodeName(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folderBytes.constData()), closedir);
    if (!dir)
        return result;
    while (const dirent* entry = readdir(dir.get())) {
        const QByteArray raw(entry->d_name);
        if (raw.startsWith('.'))
            continue; // hidden, and the "." and ".." entries
        const QString name = QString::fromUtf8(raw);
        if (name.toUtf8() != raw)
            continue; // not valid UTF-8: no text names this file
        if (!MatchesFilePattern(name, pattern))
            continue;
        // Links count as what they point to; anything but a regular file is left out.
        struct stat info {};
        if (stat((folderBytes + '/' + raw).constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        result.append(Path::Combine(path, name));
    }
    return result;
}
