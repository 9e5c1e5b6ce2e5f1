#pragma once
// The settings store of the running program: one INI file (QSettings) in the user's
// configuration folder stands for the whole per-user registry root.
//
// File shape: every key is a QSettings group; every value an entry whose text carries its kind,
// the way registry exports do: "sz:" + text, "dword:" + decimal, "hex:" + hexadecimal bytes.
// An entry without one of these forms (an edited or damaged file) exists, but reads as missing.
// Each key also holds the entry "." so that a key without values still exists.
//
// QSettings works on a private copy of the file: it can cut a write short without noticing,
// so it never writes the user's file itself. Flush lays this store's changes over the file as
// it is then (another instance may have saved meanwhile), writes the result to a temporary file
// beside it and reads it back; only a complete copy replaces the old file.

#include "shared/core/SettingsStore.h"

#include <QVariant>
#include <optional>
#include <utility>
#include <vector>

class QSettings;
class QTemporaryDir;

class TIniSettingsStore : public TSettingsStore {
public:
    explicit TIniSettingsStore(const QString& fileName);
    ~TIniSettingsStore() override;

    // <user configuration folder>/Orvanta/Quandrel.ini; empty when there is no such folder.
    static QString DefaultFileName();
    const QString& FileName() const { return FFileName; }

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

    // The entry that keeps an empty key in existence; it is never listed as a value.
    static const QString KeyMarker;

private:
    // Removes exactly one entry or one group: QSettings would take a value and a subkey of the
    // same name together.
    void RemoveEntry(const QString& fullName, bool group);

    // Every change goes through these, so that a save can lay it over the file as it is then.
    void Put(const QString& key, const QVariant& value);
    void Drop(const QString& name);
    // Writes the file with this store's changes, or throws and leaves the old file as it was.
    void Save();
    // The file content QSettings writes for settings.
    QByteArray Rendered(QSettings& settings) const;
    // Whether fileName holds exactly what settings hold.
    bool ReadsBackWhole(const QString& fileName, QSettings& settings) const;

    QString FFileName;
    std::unique_ptr<QTemporaryDir> FScratch;
    std::unique_ptr<QSettings> FSettings;
    // Changes since the last save: a value set, or (nullopt) an entry or group removed.
    std::vector<std::pair<QString, std::optional<QVariant>>> FChanges;
};
