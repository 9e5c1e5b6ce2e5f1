#pragma once
// A settings store that lives only in memory: the same behaviour as the file-backed store,
// for tests and for runs that must leave no trace.

#include "shared/core/SettingsStore.h"

#include <map>

class TMemorySettingsStore : public TSettingsStore {
public:
    TMemorySettingsStore();
    ~TMemorySettingsStore() override;

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
    void Flush() override {}

private:
    struct TNode {
        std::map<QString, std::unique_ptr<TNode>> Keys;
        std::map<QString, TSettingsValue> Values;
    };
    const TNode* Find(const QString& path) const;
    TNode* Find(const QString& path);
    TNode* FindOrCreate(const QString& path);

    std::unique_ptr<TNode> FRoot;
};
