#include "updater/UpdUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimeZone>
#include <QUrl>

#include <cmath>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/stat.h>
#include <fcntl.h>

namespace updUtils {

namespace {

QString WithSlash(QString folder)
{
    if (folder.isEmpty())
        return folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

const char* const Macros[MacroCount] = {"%current%", "%desktop%", "%mydocuments%", "%mypictures%",
                                        "%appdata%", "%programfiles%", "%windows%", "%system%",
                                        "%temp%",    "%help%",         "%media%",   "%cursors%"};

TOpenURLHandler& OpenURLHandler()
{
    static TOpenURLHandler handler = [](const QString& url) {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {url});
    };
    return handler;
}

bool ToInt(const QString& s, int& value)
{
    bool ok = false;
    value = s.toInt(&ok, 10);
    return ok;
}

} // namespace

QString ProgramFile()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

QString CurrentFolder()
{
    return QCoreApplication::instance() ? WithSlash(QCoreApplication::applicationDirPath()) : WithSlash(QDir::currentPath());
}

bool IsConnected()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (ifaddrs* a = list; a && !found; a = a->ifa_next)
        found = a->ifa_addr && (a->ifa_flags & IFF_UP) && !(a->ifa_flags & IFF_LOOPBACK) &&
                (a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6);
    freeifaddrs(list);
    return found;
}

uint8_t Percent(double value, double total)
{
    if (total == 0)
        return 0;
    const double p = std::nearbyint(value * 100 / total); // the default rounding: half to even
    if (!std::isfinite(p) || std::fabs(p) > 9.2e18)
        return 0;
    return uint8_t(int64_t(p) & 0xFF);
}

TOpenURLHandler SetOpenURLHandler(TOpenURLHandler handler)
{
    TOpenURLHandler old = std::move(OpenURLHandler());
    OpenURLHandler() = std::move(handler);
    return old;
}

bool OpenURL(const QString& url)
{
    QString address = url.trimmed();
    if (!address.contains(QLatin1String("://")))
        address.prepend(QLatin1String("http://"));
    // Addresses come from the update server: nothing but web pages is ever opened.
    const QUrl parsed(address, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        parsed.host().isEmpty())
        return false;
    return OpenURLHandler() && OpenURLHandler()(parsed.toString(QUrl::FullyEncoded));
}

QString GetTempDir()
{
    const QString temp = QDir::tempPath();
    if (QFileInfo(temp).isDir())
        return WithSlash(temp);
    return CurrentFolder();
}

const char* MacroName(int index)
{
    return index >= 0 && index < MacroCount ? Macros[index] : "";
}

QString GetSpecialFolder(int index)
{
    switch (index) {
    case 0: return CurrentFolder();
    case 1: return WithSlash(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    case 2: return WithSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    case 3: return WithSlash(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    case 4: return WithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    case 8: return GetTempDir();
    default: return QString(); // program files, Windows folders: nothing here to put in their place
    }
}

QString ExpandMacros(const QString& text, bool makeAbsolute)
{
    QString result = text;
    for (int i = 0; i < MacroCount; ++i) {
        const QString macro = QLatin1String(Macros[i]);
        if (!result.toLower().contains(macro))
            continue;
        const QString folder = GetSpecialFolder(i);
        if (!folder.isEmpty())
            result.replace(macro, folder, Qt::CaseInsensitive);
    }
    if (makeAbsolute && result.size() >= 3 && !QDir::isAbsolutePath(result) && result.at(1) != QLatin1Char(':'))
        result.prepend(CurrentFolder());
    return result;
}

bool HasUnknownMacro(const QString& text)
{
    const QString lower = text.toLower();
    for (int i = 0; i < MacroCount; ++i)
        if (lower.contains(QLatin1String(Macros[i])) && GetSpecialFolder(i).isEmpty())
            return true;
    return false;
}

void ForceDirectories(const QString& path)
{
    const int last = path.lastIndexOf(QLatin1Char('/'));
    if (last > 0)
        QDir().mkpath(path.left(last));
}

bool DirectoryExists(const QString& path)
{
    return QFileInfo(path).isDir();
}

void SplitString(const QString& delimiter, const QString& s, QString& left, QString& right, int flags,
                 bool notFoundToRight)
{
    const int at = delimiter.isEmpty() ? -1 : s.indexOf(delimiter);
    if (at < 0) {
        left = notFoundToRight ? QString() : s;
        right = notFoundToRight ? s : QString();
        return;
    }
    left = s.left(at);
    right = s.mid(at + delimiter.size());
    if (flags & 1)
        left += delimiter;
    if (flags & 2)
        right.prepend(delimiter);
}

int LastPos(const QString& subStr, const QString& s)
{
    if (subStr.isEmpty() || s.isEmpty())
        return 0;
    return s.lastIndexOf(subStr) + 1;
}

QString ExtractURLFileName(const QString& url)
{
    QString s = url;
    s.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const int at = std::max(s.lastIndexOf(QLatin1Char('\\')), s.lastIndexOf(QLatin1Char(':')));
    return s.mid(at + 1);
}

int CompareVersions(const QString& v1, const QString& v2)
{
    auto split = [](QString text, QString parts[4]) {
        text += QLatin1Char('.');
        for (int i = 0; i < 4; ++i) {
            const int dot = text.indexOf(QLatin1Char('.'));
            if (dot < 0) {
                parts[i] = QStringLiteral("0");
                continue;
            }
            parts[i] = text.left(dot);
            text = text.mid(dot + 1);
        }
    };
    auto number = [](const QString& s) -> long long {
        if (s.isEmpty())
            return -1;
        for (QChar c : s)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return -1;
        bool ok = false;
        const long long n = s.toLongLong(&ok);
        return ok ? n : -1;
    };
    QString a[4], b[4];
    split(v1, a);
    split(v2, b);
    for (int i = 0; i < 4; ++i) {
        const long long x = number(a[i]), y = number(b[i]);
        if (x < 0 || y < 0) {
            const int c = QString::compare(v1, v2, Qt::CaseSensitive);
            return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

QDateTime ParseHTTPDate(const QString& text)
{
    static const QStringList days = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    static const QStringList months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                       "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    auto trimLeft = [](QString& s) {
        int i = 0;
        while (i < s.size() && s.at(i).isSpace())
            ++i;
        s.remove(0, i);
    };
    QString w = text.trimmed();
    if (w.isEmpty())
        return {};
    if (days.contains(w.left(3).toUpper())) {
        const int blank = w.indexOf(QLatin1Char(' '));
        w = blank < 0 ? QString() : w.mid(blank + 1);
        trimLeft(w);
    }
    const int dash = w.indexOf(QLatin1Char('-'));
    const int firstBlank = w.indexOf(QLatin1Char(' '));
    const QChar sep = (dash > 0 && (firstBlank < 0 || dash < firstBlank)) ? QLatin1Char('-') : QLatin1Char(' ');
    auto take = [&](QChar separator) {
        const int at = w.indexOf(separator);
        QString field = at < 0 ? w : w.left(at);
        w = at < 0 ? QString() : w.mid(at + 1);
        trimLeft(w);
        return field;
    };
    int day = 1, month = 0;
    auto readDay = [&] {
        if (!ToInt(take(sep), day))
            day = 1;
    };
    auto readMonth = [&] { month = months.indexOf(take(sep).toUpper()) + 1; };
    if (!months.contains(w.left(std::max<qsizetype>(w.indexOf(sep), 0)).toUpper())) {
        readDay();
        readMonth();
    } else {
        readMonth();
        readDay();
    }
    int year = 0;
    {
        const int at = w.indexOf(QLatin1Char(' '));
        const QString field = at < 0 ? w : w.left(at);
        const QString rest = at < 0 ? QString() : w.mid(at + 1).trimmed();
        if (ToInt(field, year)) {
            w = rest;
        } else {
            // asctime: the time comes before the year
            if (!ToInt(rest, year))
                return {};
            w = field;
        }
    }
    if (year < 80)
        year += 2000;
    else if (year < 100)
        year += 1900;
    const QDate date(year, month, day);
    if (!date.isValid())
        return {};
    QDateTime result(date, QTime(0, 0), Qt::UTC);
    trimLeft(w);
    if (w.contains(QLatin1Char(':'))) {
        const QString t = take(QLatin1Char(' '));
        const QStringList hms = t.split(QLatin1Char(':'));
        int parts[3] = {0, 0, 0};
        for (int i = 0; i < 3 && i < hms.size(); ++i)
            if (!ToInt(hms[i], parts[i]))
                parts[i] = 0;
        result = result.addSecs(qint64(parts[0]) * 3600 + parts[1] * 60 + parts[2]);
    }
    trimLeft(w);
    if (w.size() >= 5 && (w.at(0) == QLatin1Char('+') || w.at(0) == QLatin1Char('-'))) {
        int hours = 0, minutes = 0;
        if (!ToInt(w.mid(1, 2), hours) || !ToInt(w.mid(3, 2), minutes))
            return {};
        const qint64 offset = (qint64(hours) * 3600 + minutes * 60) * (w.at(0) == QLatin1Char('-') ? -1 : 1);
        result = result.addSecs(-offset);
    }
    return result;
}

bool SetFileTimes(const QString& fileName, const QDateTime& lastWriteTime, const QDateTime& lastAccessTime)
{
    timespec times[2];
    auto fill = [](timespec& t, const QDateTime& d) {
        if (!d.isValid()) {
            t.tv_sec = 0;
            t.tv_nsec = UTIME_OMIT;
            return;
        }
        const qint64 ms = d.toMSecsSinceEpoch();
        t.tv_sec = time_t(ms / 1000);
        t.tv_nsec = long(ms % 1000) * 1000000L;
    };
    fill(times[0], lastAccessTime);
    fill(times[1], lastWriteTime);
    return utimensat(AT_FDCWD, QFile::encodeName(fileName).constData(), times, 0) == 0;
}

int64_t GetFileSize64(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.exists() && info.isFile() && info.isReadable() ? info.size() : -1;
}

bool SetFileAttributesEx(const QString& fileName, TupdFileAttributes attributes)
{
    QFile file(fileName);
    if (!file.exists())
        return false;
    QFileDevice::Permissions p = file.permissions();
    const auto writable = QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (attributes & FileAttr(TupdFileAttribute::atrReadOnly))
        p &= ~(writable | QFileDevice::WriteGroup | QFileDevice::WriteOther);
    else
        p |= writable;
    return file.setPermissions(p);
}

} // namespace updUtils
