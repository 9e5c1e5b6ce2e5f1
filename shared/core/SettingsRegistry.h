#pragma once
// A registry-like view of a settings store: a current key, opened by its '\'-separated name, and
// typed reads and writes of its values. A value that is missing or of another kind reads as
// nothing, so the caller's default applies.

#include "shared/core/SettingsStore.h"

class TSettingsRegistry {
public:
    explicit TSettingsRegistry(TSettingsStore& store) : FStore(store) {}

    TSettingsStore& Store() const { return FStore; }

    // Key names are '\'-separated. A name that starts with '\' counts from the root, any other
    // from the current key. OpenKey makes the key current and returns true; when the key is
    // missing and canCreate is false it returns false and the current key stays.
    bool OpenKey(const QString& key, bool canCreate);
    // Back to the root.
    void CloseKey() { FCurrentPath.clear(); }
    // The current key, '\'-separated, without a leading '\'; empty at the root.
    QString CurrentKey() const;

    bool KeyExists(const QString& key) const;
    bool CreateKey(const QString& key);
    // Deletes the key and everything below it; false when it did not exist.
    bool DeleteKey(const QString& key);
    // Names of the current key's subkeys and values.
    QStringList GetKeyNames() const;
    QStringList GetValueNames() const;

    bool ValueExists(const QString& name) const;
    bool DeleteValue(const QString& name);

    std::optional<QString> ReadString(const QString& name) const;
    std::optional<int32_t> ReadInteger(const QString& name) const;
    // An integer value; non-zero reads as true.
    std::optional<bool> ReadBool(const QString& name) const;
    // An 8-byte binary value holding a little-endian IEEE double.
    std::optional<double> ReadFloat(const QString& name) const;
    std::optional<QByteArray> ReadBinary(const QString& name) const;

    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, int32_t value);
    void WriteBool(const QString& name, bool value);
    void WriteFloat(const QString& name, double value);
    void WriteBinary(const QString& name, const QByteArray& value);

    // Copies the key `from` with all its values and subkeys to the new key `to`, which must
    // not exist yet (InvalidOperationException otherwise).
    void CopyKey(const QString& from, const QString& to);
    // Renames in one step; `to` must not exist yet.
    void RenameKey(const QString& from, const QString& to);
    // Copies `from` to `to` when `from` exists and `to` does not, deleting `from` afterwards
    // when deleteOld is set. The copy is built under a temporary name and renamed at the end,
    // so an interrupted move never leaves a half-filled `to` behind.
    void MoveKey(const QString& from, const QString& to, bool deleteOld);

    void Flush() { FStore.Flush(); }

    // The one place where a '\'-separated key name becomes a store path: `key` relative to
    // `base` (a store path) unless it starts with '\'; empty segments are dropped.
    static QString ToStorePath(const QString& base, const QString& key);
    // Suffix of the temporary key that MoveKey builds its copy in.
    static const QString PartialKeySuffix;

private:
    QString PathOf(const QString& key) const { return ToStorePath(FCurrentPath, key); }
    static void CheckValueName(const QString& name);
    void CopyPath(const QString& src, const QString& dst);
    void CopyTree(const QString& from, const QString& to);

    TSettingsStore& FStore;
    QString FCurrentPath;
};
