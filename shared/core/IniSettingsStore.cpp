#include "shared/core/IniSettingsStore.h"

#include "shared/core/Exceptions.h"
#include "shared/core/SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const QString TIniSettingsStore::KeyMarker = QStringLiteral(".");

namespace {
const QLatin1String StringTag("sz:");
const QLatin1String IntegerTag("dword:");
const QLatin1String BinaryTag("hex:");
const QLatin1String MarkerText("key");
// Another instance holds the lock only while it saves, a matter of milliseconds.
constexpr int LockWaitMs = 5000;

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
// last is a value name or the key marker, and a text (not a list or a typed value).
bool IsCarried(const QString& name, const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return false;
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

// Writes all of content to file, answering the system's reason when any of it did not reach the disk.
QString WriteAll(QFileDevice& file, const QByteArray& content)
{
    errno = 0;
    const bool written = file.write(content) == content.size() && file.flush() && ::fsync(file.handle()) == 0;
    const int writeErrno = errno;
    return written ? QString() : SystemErrors::ReasonFor(file, writeErrno);
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

// A file of our own for QSettings to work on: it reads and writes only named files.
std::unique_ptr<QTemporaryFile> ScratchFile(QString& reason)
{
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/quandrel-settings-XXXXXX.ini"));
    if (!file->open()) {
        reason = SystemErrors::ReasonFor(*file);
        return nullptr;
    }
    return file;
}

// The entries of an INI text that the store can carry, or nothing (and why) when it cannot be
// looked at.
std::optional<TEntries> Parse(const QByteArray& bytes, QString& reason)
{
    const auto file = ScratchFile(reason);
    if (!file)
        return std::nullopt;
    if (file->write(bytes) != bytes.size() || !file->flush()) {
        reason = SystemErrors::ReasonFor(*file);
        return std::nullopt;
    }
    file->close();
    QSettings settings(file->fileName(), QSettings::IniFormat);
    TEntries entries;
    for (const QString& name : settings.allKeys())
        if (const QVariant value = settings.value(name); IsCarried(name, value))
            entries.insert(name, value.toString());
    return entries;
}

// The INI text of entries.
QByteArray Render(const TEntries& entries, const QString& fileName)
{
    QString reason;
    const auto file = ScratchFile(reason);
    if (!file)
        ThrowCannotWrite(fileName, reason);
    file->close();
    {
        QSettings settings(file->fileName(), QSettings::IniFormat);
        for (auto it = entries.begin(); it != entries.end(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        if (settings.status() != QSettings::NoError)
            ThrowCannotWrite(fileName, SystemErrors::WhyCannotWrite(file->fileName()));
    }
    QFile rendered(file->fileName());
    if (!rendered.open(QIODevice::ReadOnly))
        ThrowCannotWrite(fileName, SystemErrors::ReasonFor(rendered));
    const QByteArray content = rendered.readAll();
    // QSettings can cut its write short without a word: what it wrote must read back whole.
    const std::optional<TEntries> written = Parse(content, reason);
    if (!written)
        ThrowCannotWrite(fileName, reason);
    if (*written != entries)
        ThrowCannotWrite(fileName, QStringLiteral("the settings do not read back as they were written (%1)")
                                       .arg(SystemErrors::WhyCannotWrite(file->fileName())));
    return content;
}

// The entries of the settings file, empty when it is missing or refused (refused says why).
TEntries Load(const QString& fileName, QString& refused)
{
    refused.clear();
    QByteArray bytes;
    if (ReadSettingsFile(fileName, bytes, refused) != TReadResult::Read)
        return TEntries();
    QString reason;
    std::optional<TEntries> entries = Parse(bytes, reason);
    if (!entries) {
        refused = Refusal(QStringLiteral("It cannot be read: %1.").arg(reason));
        return TEntries();
    }
    return *std::move(entries);
}

void SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // The new file is complete already; this only makes its name as durable.
        ::fsync(fd);
        ::close(fd);
    }
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
    QLockFile lock(LockFileName());
    if (!lock.tryLock(LockWaitMs)) {
        if (lock.error() == QLockFile::LockFailedError)
            ThrowCannotWrite(FFileName, QStringLiteral("another program keeps it locked (\"%1\").").arg(LockFileName()));
        ThrowCannotWrite(FFileName, SystemErrors::WhyCannotWrite(LockFileName()));
    }

    // Another instance may have saved since this one read the file: its entries stay, and this
    // one's changes are laid over them in the order they were made.
    QString refused;
    TEntries merged = Load(FFileName, refused);
    if (!refused.isEmpty())
        ThrowCannotWrite(FFileName, refused);
    for (const TChange& change : FChanges)
        Apply(merged, change);
    const QByteArray content = Render(merged, FFileName);

    QTemporaryFile temp(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(temp));
    if (target.exists())
        temp.setPermissions(QFile::permissions(target.absoluteFilePath()));
    if (const QString reason = WriteAll(temp, content); !reason.isEmpty())
        ThrowCannotWrite(FFileName, reason);
    temp.close();
    if (temp.error() != QFileDevice::NoError)
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(temp));
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        ThrowCannotWrite(FFileName, SystemErrors::ReasonFor(errno));
    temp.setAutoRemove(false);
    SyncFolder(target.absolutePath());

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
