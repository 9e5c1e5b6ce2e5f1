#include "shared/core/IniSettingsStore.h"

#include "shared/core/CheckedSaveFile.h"
#include "shared/core/Exceptions.h"
#include "shared/core/IniText.h"
#include "shared/core/SystemErrors.h"
#include "shared/io/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const QString TIniSettingsStore::KeyMarker = QStringLiteral(".");

namespace {
const QLatin1String StringTag("sz:");
const QLatin1String IntegerTag("dword:");
const QLatin1String BinaryTag("hex:");
const QLatin1String MarkerText("key");
// Another instance holds the lock only while it saves, a matter of milliseconds; the kernel
// releases it when that instance ends. The window's thread waits no longer than this.
constexpr int LockWaitMs = 1000;

QString Join(const QString& path, const QString& name)
{
    return path.isEmpty() ? name : path + QLatin1Char('/') + name;
}

QString Normalized(const QString& path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

QString ParentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

bool IsHexDigits(QStringView text)
{
    for (QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    return true;
}

QString Encode(const TSettingsValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return StringTag + *text;
    if (const auto* number = std::get_if<int32_t>(&value))
        return IntegerTag + QStringLiteral("%1").arg(uint32_t(*number), 8, 16, QLatin1Char('0'));
    return BinaryTag + QString::fromLatin1(std::get<QByteArray>(value).toHex());
}

std::optional<TSettingsValue> Decode(const QString& text)
{
    if (text.startsWith(StringTag))
        return TSettingsValue(text.mid(StringTag.size()));
    if (text.startsWith(IntegerTag)) {
        const QStringView digits = QStringView(text).mid(IntegerTag.size());
        if (digits.isEmpty() || digits.size() > 8 || !IsHexDigits(digits))
            return std::nullopt;
        return TSettingsValue(int32_t(digits.toUInt(nullptr, 16)));
    }
    if (text.startsWith(BinaryTag)) {
        const QStringView digits = QStringView(text).mid(BinaryTag.size());
        if (digits.size() % 2 != 0 || !IsHexDigits(digits))
            return std::nullopt;
        return TSettingsValue(QByteArray::fromHex(digits.toLatin1()));
    }
    return std::nullopt;
}

using TEntries = TIniSettingsStore::TEntries;

// Calls visit(name relative to path, text) for every entry below path, in name order.
template <typename F>
void ForEachBelow(const TEntries& entries, const QString& path, F&& visit)
{
    const QString prefix = path.isEmpty() ? QString() : path + QLatin1Char('/');
    for (auto it = entries.lowerBound(prefix); it != entries.end() && it.key().startsWith(prefix); ++it)
        visit(QStringView(it.key()).mid(prefix.size()), it.value());
}

// Whether the store can carry an entry read from a file: a name of non-empty segments whose
// last is a value name or the key marker.
bool IsCarried(const QString& name)
{
    const QStringList segments = name.split(QLatin1Char('/'));
    for (const QString& segment : segments)
        if (segment.isEmpty())
            return false;
    return segments.constLast() == TIniSettingsStore::KeyMarker || TSettingsStore::IsValidValueName(segments.constLast());
}

[[noreturn]] void ThrowCannotWrite(const QString& fileName, const QString& reason)
{
    throw IOException(QStringLiteral("Cannot write the settings file \"%1\": %2").arg(fileName, reason));
}

QString Refusal(const QString& why)
{
    return why + QStringLiteral(" The program uses default settings and leaves the file as it is.");
}

enum class TReadResult { Missing, Read, Refused };

// Reads the settings file, or says why it is refused: it is no regular file, too large or
// unreadable.
TReadResult ReadSettingsFile(const QString& fileName, QByteArray& bytes, QString& refused)
{
    // Without blocking: a named pipe in the file's place would otherwise stop the start for ever.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TReadResult::Missing;
        refused = Refusal(SystemErrors::ReasonFor(errno) + QLatin1Char('.'));
        return TReadResult::Refused;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        refused = Refusal(SystemErrors::NotARegularFile(fileName));
        return TReadResult::Refused;
    }
    const QString tooLarge = Refusal(QStringLiteral("'%1' is larger than the %2 MB a settings file may hold.")
                                         .arg(fileName)
                                         .arg(TIniSettingsStore::MaxFileSize >> 20));
    if (info.st_size > TIniSettingsStore::MaxFileSize) {
        ::close(fd);
        refused = tooLarge;
        return TReadResult::Refused;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        refused = Refusal(SystemErrors::ReasonFor(file) + QLatin1Char('.'));
        return TReadResult::Refused;
    }
    // The file may grow while it is read: no more than the bound is taken.
    bytes = file.read(TIniSettingsStore::MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        refused = Refusal(SystemErrors::ReasonFor(file) + QLatin1Char('.'));
        return TReadResult::Refused;
    }
    if (bytes.size() > TIniSettingsStore::MaxFileSize) {
        refused = tooLarge;
        return TReadResult::Refused;
    }
    return TReadResult::Read;
}

// The entries of the settings file, empty when it is missing or refused (refused says why). The
// file is read from memory: nothing else on the disk plays a part.
TEntries Load(const QString& fileName, QString& refused)
{
    refused.clear();
    QByteArray bytes;
    if (ReadSettingsFile(fileName, bytes, refused) != TReadResult::Read)
        return TEntries();
    TEntries entries = IniText::Parse(bytes);
    entries.removeIf([](const auto& entry) { return !IsCarried(entry.key()); });
    return entries;
}
} // namespace

TIniSettingsStore::TStamp TIniSettingsStore::StampOf(const QString& fileName)
{
    struct stat info;
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0)
        return TStamp();
    return TStamp{true,
                  info.st_dev,
                  info.st_ino,
                  info.st_size,
                  info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
                  info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

TIniSettingsStore::TIniSettingsStore(const QString& fileName)
    : FFileName(fileName)
{
    if (fileName.isEmpty())
        throw ArgumentException(QStringLiteral("The settings file needs a name"), QStringLiteral("fileName"));
    // The stamp before the content: a save in between is then seen at the next read.
    FStamp = StampOf(FFileName);
    FEntries = Load(FFileName, FRefused);
}

TIniSettingsStore::~TIniSettingsStore()
{
    if (FChanges.empty())
        return;
    try {
        Save();
    } catch (const Exception&) {
        // Nobody is left to tell; the old file is still whole.
    }
}

QString TIniSettingsStore::DefaultFileName()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        return QString();
    return folder + QStringLiteral("/Orvanta/Quandrel.ini");
}

void TIniSettingsStore::Refresh() const
{
    const TStamp now = StampOf(FFileName);
    if (now == FStamp)
        return;
    FStamp = now;
    FEntries = Load(FFileName, FRefused);
    for (const TChange& change : FChanges)
        Apply(FEntries, change);
}

void TIniSettingsStore::Apply(TEntries& entries, const TChange& change)
{
    switch (change.Kind) {
    case TChange::Set:
        entries.insert(change.Name, change.Text);
        break;
    case TChange::RemoveEntry:
        entries.remove(change.Name);
        break;
    case TChange::RemoveKey: {
        const QString prefix = change.Name + QLatin1Char('/');
        auto it = entries.lowerBound(prefix);
        while (it != entries.end() && it.key().startsWith(prefix))
            it = entries.erase(it);
        break;
    }
    }
}

void TIniSettingsStore::Change(TChange change)
{
    Apply(FEntries, change);
    FChanges.push_back(std::move(change));
}

bool TIniSettingsStore::HasKey(const QString& path) const
{
    Refresh();
    const QString key = Normalized(path);
    if (key.isEmpty())
        return true;
    const QString prefix = key + QLatin1Char('/');
    const auto it = FEntries.lowerBound(prefix);
    return it != FEntries.end() && it.key().startsWith(prefix);
}

void TIniSettingsStore::CreateKey(const QString& path)
{
    Refresh();
    QString prefix;
    for (const QString& segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        prefix = Join(prefix, segment);
        const QString marker = Join(prefix, KeyMarker);
        if (!FEntries.contains(marker))
            Change({TChange::Set, marker, MarkerText});
    }
}

bool TIniSettingsStore::RemoveKey(const QString& path)
{
    const QString key = Normalized(path);
    if (key.isEmpty())
        throw ArgumentException(QStringLiteral("The root key cannot be removed"), QStringLiteral("path"));
    if (!HasKey(key))
        return false;
    Change({TChange::RemoveKey, key, QString()});
    return true;
}

void TIniSettingsStore::RenameKey(const QString& from, const QString& to)
{
    const QString src = Normalized(from);
    const QString dst = Normalized(to);
    if (src.isEmpty() || dst.isEmpty() || dst == src || dst.startsWith(src + QLatin1Char('/')))
        throw ArgumentException(QStringLiteral("Cannot rename key \"%1\" to \"%2\"").arg(from, to));
    if (!HasKey(src))
        throw InvalidOperationException(QStringLiteral("Key \"%1\" does not exist").arg(from));
    if (HasKey(dst))
        throw InvalidOperationException(QStringLiteral("Key \"%1\" already exists").arg(to));
    std::vector<std::pair<QString, QString>> moved;
    ForEachBelow(FEntries, src, [&](QStringView name, const QString& text) {
        moved.emplace_back(Join(dst, name.toString()), text);
    });
    CreateKey(ParentOf(dst));
    for (auto& [name, text] : moved)
        Change({TChange::Set, std::move(name), std::move(text)});
    Change({TChange::RemoveKey, src, QString()});
}

QStringList TIniSettingsStore::SubKeyNames(const QString& path) const
{
    Refresh();
    QStringList names;
    // The entries of one subkey stand together in name order.
    ForEachBelow(FEntries, Normalized(path), [&](QStringView name, const QString&) {
        const qsizetype slash = name.indexOf(QLatin1Char('/'));
        if (slash >= 0 && (names.isEmpty() || names.constLast() != name.left(slash)))
            names.append(name.left(slash).toString());
    });
    return names;
}

QStringList TIniSettingsStore::ValueNames(const QString& path) const
{
    Refresh();
    QStringList names;
    ForEachBelow(FEntries, Normalized(path), [&](QStringView name, const QString&) {
        if (!name.contains(QLatin1Char('/')) && name != KeyMarker)
            names.append(name.toString());
    });
    return names;
}

bool TIniSettingsStore::HasValue(const QString& path, const QString& name) const
{
    Refresh();
    return IsValidValueName(name) && FEntries.contains(Join(Normalized(path), name));
}

std::optional<TSettingsValue> TIniSettingsStore::Value(const QString& path, const QString& name) const
{
    Refresh();
    if (!IsValidValueName(name))
        return std::nullopt;
    const auto it = FEntries.constFind(Join(Normalized(path), name));
    if (it == FEntries.constEnd())
        return std::nullopt;
    return Decode(it.value());
}

void TIniSettingsStore::SetValue(const QString& path, const QString& name, const TSettingsValue& value)
{
    if (!IsValidValueName(name))
        throw ArgumentException(QStringLiteral("Invalid value name \"%1\"").arg(name), QStringLiteral("name"));
    const QString key = Normalized(path);
    CreateKey(key);
    Change({TChange::Set, Join(key, name), Encode(value)});
}

bool TIniSettingsStore::RemoveValue(const QString& path, const QString& name)
{
    Refresh();
    const QString full = Join(Normalized(path), name);
    if (!IsValidValueName(name) || !FEntries.contains(full))
        return false;
    Change({TChange::RemoveEntry, full, QString()});
    return true;
}

void TIniSettingsStore::Save()
{
    // A link stays a link: the new file replaces the one it points to.
    const QFileInfo link(FFileName);
    const QFileInfo target(link.isSymLink() ? link.symLinkTarget() : link.absoluteFilePath());
    if (!QDir().mkpath(link.absolutePath()) || !QDir().mkpath(target.absolutePath()))
        ThrowCannotWrite(FFileName, SystemErrors::WhyCannotWrite(target.absoluteFilePath()));

    // Held from reading the file to putting the new one in its place, so that no other
    // instance saves in between and has its values written over.
    TFileLock lock(QFile::encodeName(LockFileName()).toStdString());
    if (!lock.Lock(LockWaitMs)) {
        if (lock.Error() == EWOULDBLOCK)
            ThrowCannotWrite(FFileName, QStringLiteral("another program keeps it locked (\"%1\").").arg(LockFileName()));
        // The settings file is not to blame: it was not even looked at.
        throw IOException(QStringLiteral("Cannot save the settings: the lock file \"%1\" can be neither opened nor made "
                                         "anew: %2.")
                              .arg(LockFileName(), SystemErrors::ReasonFor(lock.Error())));
    }

    // Another instance may have saved since this one read the file: its entries stay, and this
    // one's changes are laid over them in the order they were made.
    QString refused;
    TEntries merged = Load(FFileName, refused);
    if (!refused.isEmpty())
        ThrowCannotWrite(FFileName, refused);
    for (const TChange& change : FChanges)
        Apply(merged, change);
    const QByteArray content = IniText::Render(merged);
    TCheckedSaveFile file(FFileName);
    // It holds the paths of the user's recent documents; a file the user made or changed keeps
    // the permissions given to it.
    if (!StampOf(FFileName).Exists)
        file.SetMode(0600);
    if (!file.Open() || !file.WriteAll(std::string_view(content.constData(), size_t(content.size()))) || !file.Commit())
        ThrowCannotWrite(FFileName, file.Reason());

    FEntries = std::move(merged);
    FChanges.clear();
    FRefused.clear();
    // Still under the lock: the file is the one just written, which the entries now stand for.
    FStamp = StampOf(FFileName);
}

void TIniSettingsStore::Flush()
{
    if (!FChanges.empty())
        Save();
}
