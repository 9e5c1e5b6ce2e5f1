#pragma once
// The settings store of the running program: one INI file in the user's configuration folder
// stands for the whole per-user registry root.
//
// File shape: every key is an INI group; every value an entry whose text carries its kind, the
// way registry exports do: "sz:" + text, "dword:" + hexadecimal, "hex:" + hexadecimal bytes. An
// entry without one of these forms (an edited or damaged file) exists, but reads as missing; an
// entry the store cannot carry at all (no name, an empty path segment, a value that is no text)
// is left out and disappears with the next save. Each key also holds the entry "." so that a key
// without values still exists.
//
// Like the registry it stands for, the store answers every read from the file as it is now: when
// another instance has saved since the file was last read, it is read again and this store's own
// unsaved changes are laid over it. The file is read whole into memory and its text taken apart
// there (IniText): no other file plays a part in reading. A save does the same under a lock
// beside the settings file that the kernel releases when its holder ends (TFileLock), so that
// two instances saving at once each keep the other's values, and writes the result through the
// program's one writer (a temporary file beside it, synced, renamed over the old file, the
// folder synced). A save waits for another instance's lock no longer than a moment; a save that
// fails keeps its changes for the next one. A new settings file is made readable by its user only
// (it holds the paths of recent documents); an existing one keeps its permissions.
//
// Only a regular file of at most MaxFileSize bytes is read. Anything else (a named pipe, a
// device, a folder, a file too large or unreadable) is refused: the store then starts empty, and
// every save fails with the reason instead of writing over the file.

#include "shared/core/IniText.h"
#include "shared/core/SettingsStore.h"

#include <optional>
#include <sys/types.h>
#include <vector>

class TIniSettingsStore : public TSettingsStore {
public:
    explicit TIniSettingsStore(const QString& fileName);
    ~TIniSettingsStore() override;

    // <user configuration folder>/Orvanta/Quandrel.ini; empty when there is no such folder.
    static QString DefaultFileName();
    const QString& FileName() const { return FFileName; }
    // The lock file that serialises saves between processes; it is never removed. Its name is
    // the program's own: "<file>.lock" is where QLockFile, and so every QSettings writer of the
    // file (earlier versions of this program among them), keeps a lock whose mere presence it
    // takes for a live holder.
    QString LockFileName() const { return FFileName + QStringLiteral(".qdlock"); }

    bool HasKey(const QString& path) const override;
    void CreateKey(const QString& path) override;
    bool RemoveKey(const QString& path) override;
    void RenameKey(const QString& from, const QString& to) override;
    QStringList SubKeyNames(const QString& path) const override;
    QStringList ValueNames(const QString& path) const override;
    bool HasValue(const QString& path, const QString& name) const override;
    std::optional<TSettingsValue> Value(const QString& path, const QString& name) const override;
    void SetValue(const QString& path, const QString& name, const TSettingsValue& value) override;
    bool RemoveValue(const QString& path, const QString& name) override;
    void Flush() override;

    // Why the file as it was last looked at is not read (empty when it is): the message a save
    // then fails with.
    const QString& RefusedReason() const { return FRefused; }

    // The entry that keeps an empty key in existence; it is never listed as a value.
    static const QString KeyMarker;
    // Settings files are a few kilobytes; anything near this size is no settings file.
    static constexpr qint64 MaxFileSize = 8 << 20;

    // Full entry name ("a/b/Name") -> stored text.
    using TEntries = IniText::TEntries;

private:
    struct TChange {
        enum TKind { Set, RemoveEntry, RemoveKey } Kind;
        QString Name;
        QString Text;
    };
    // What identifies one version of the file: a save by anyone gives a new one.
    struct TStamp {
        bool Exists = false;
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = 0;
        long long Modified = 0;
        long long Changed = 0;
        bool operator==(const TStamp&) const = default;
    };
    static TStamp StampOf(const QString& fileName);

    // Reads the file again when it is not the version this store's entries come from.
    void Refresh() const;
    static void Apply(TEntries& entries, const TChange& change);
    void Change(TChange change);
    // Writes the file with this store's changes, or throws and leaves the old file as it was.
    void Save();

    QString FFileName;
    // The file's entries as last read, with every change since laid over them.
    mutable TEntries FEntries;
    mutable TStamp FStamp;
    mutable QString FRefused;
    // Changes since the last save, in the order they were made.
    std::vector<TChange> FChanges;
};
