#pragma once
// Per-user settings storage shaped like a registry: a tree of keys, each holding named values
// of a kind (text, 32-bit integer or raw bytes). The storage addresses keys by '/'-separated
// paths from its root; the '\'-separated key names the program uses are turned into such paths
// in one place, TSettingsRegistry.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

using TSettingsValue = std::variant<QString, int32_t, QByteArray>;

class TSettingsStore {
public:
    TSettingsStore() = default;
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;
    virtual ~TSettingsStore();

    // Value names are never empty, contain neither '/' nor '\', and are not "."; the stores
    // rely on that (TSettingsRegistry checks it before it writes).
    static bool IsValidValueName(const QString& name);

    // Paths are normalised: segments joined by '/', no empty segment; "" is the root, which
    // always exists.
    virtual bool HasKey(const QString& path) const = 0;
    // Creates the key and every missing ancestor; an existing key is left as it is.
    virtual void CreateKey(const QString& path) = 0;
    // Removes the key with all its values and subkeys; false when it did not exist.
    virtual bool RemoveKey(const QString& path) = 0;
    // Gives the key `from` the path `to` with everything below it. `to` must not exist and
    // must not lie inside `from`; its parent is created when missing. Raises otherwise.
    virtual void RenameKey(const QString& from, const QString& to) = 0;
    virtual QStringList SubKeyNames(const QString& path) const = 0;
    virtual QStringList ValueNames(const QString& path) const = 0;
    virtual bool HasValue(const QString& path, const QString& name) const = 0;
    // The value, or nothing when it is missing or cannot be decoded.
    virtual std::optional<TSettingsValue> Value(const QString& path, const QString& name) const = 0;
    // Creates the key when missing.
    virtual void SetValue(const QString& path, const QString& name, const TSettingsValue& value) = 0;
    virtual bool RemoveValue(const QString& path, const QString& name) = 0;
    // Makes every change so far durable; raises IOException when that fails.
    virtual void Flush() = 0;

    // The store the running program keeps its settings in. The start-up sets it before anything
    // reads a setting; asking before that raises InvalidOperationException, so that nothing
    // (a test in particular) falls back to the user's real configuration by accident.
    static TSettingsStore& Application();
    static bool HasApplication();
    // Installs the program's store and returns the previous one (may be null).
    static std::unique_ptr<TSettingsStore> SetApplication(std::unique_ptr<TSettingsStore> store);
};
