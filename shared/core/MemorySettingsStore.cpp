#include "shared/core/MemorySettingsStore.h"

#include "shared/core/Exceptions.h"

namespace {
QStringList Segments(const QString& path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// Splits "a/b/c" into "a/b" and "c".
std::pair<QString, QString> SplitLast(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {QString(), path};
    return {path.left(slash), path.mid(slash + 1)};
}
} // namespace

TMemorySettingsStore::TMemorySettingsStore() : FRoot(std::make_unique<TNode>()) {}

TMemorySettingsStore::~TMemorySettingsStore() = default;

const TMemorySettingsStore::TNode* TMemorySettingsStore::Find(const QString& path) const
{
    const TNode* node = FRoot.get();
    for (const QString& segment : Segments(path)) {
        auto it = node->Keys.find(segment);
        if (it == node->Keys.end())
            return nullptr;
        node = it->second.get();
    }
    return node;
}

TMemorySettingsStore::TNode* TMemorySettingsStore::Find(const QString& path)
{
    return const_cast<TNode*>(static_cast<const TMemorySettingsStore*>(this)->Find(path));
}

TMemorySettingsStore::TNode* TMemorySettingsStore::FindOrCreate(const QString& path)
{
    TNode* node = FRoot.get();
    for (const QString& segment : Segments(path)) {
        auto& child = node->Keys[segment];
        if (!child)
            child = std::make_unique<TNode>();
        node = child.get();
    }
    return node;
}

bool TMemorySettingsStore::HasKey(const QString& path) const
{
    return Find(path) != nullptr;
}

void TMemorySettingsStore::CreateKey(const QString& path)
{
    FindOrCreate(path);
}

bool TMemorySettingsStore::RemoveKey(const QString& path)
{
    if (Segments(path).isEmpty())
        throw ArgumentException(QStringLiteral("The root key cannot be removed"), QStringLiteral("path"));
    const auto [parentPath, name] = SplitLast(path);
    TNode* parent = Find(parentPath);
    return parent && parent->Keys.erase(name) > 0;
}

void TMemorySettingsStore::RenameKey(const QString& from, const QString& to)
{
    const QString src = Segments(from).join(QLatin1Char('/'));
    const QString dst = Segments(to).join(QLatin1Char('/'));
    if (src.isEmpty() || dst.isEmpty() || dst == src || dst.startsWith(src + QLatin1Char('/')))
        throw ArgumentException(QStringLiteral("Cannot rename key \"%1\" to \"%2\"").arg(from, to));
    if (HasKey(dst))
        throw InvalidOperationException(QStringLiteral("Key \"%1\" already exists").arg(to));
    const auto [srcParentPath, srcName] = SplitLast(src);
    TNode* srcParent = Find(srcParentPath);
    if (!srcParent || srcParent->Keys.count(srcName) == 0)
        throw InvalidOperationException(QStringLiteral("Key \"%1\" does not exist").arg(from));
    auto it = srcParent->Keys.find(srcName);
    std::unique_ptr<TNode> moved = std::move(it->second);
    srcParent->Keys.erase(it);
    const auto [dstParentPath, dstName] = SplitLast(dst);
    FindOrCreate(dstParentPath)->Keys[dstName] = std::move(moved);
}

QStringList TMemorySettingsStore::SubKeyNames(const QString& path) const
{
    QStringList names;
    if (const TNode* node = Find(path))
        for (const auto& [name, child] : node->Keys)
            names.append(name);
    return names;
}

QStringList TMemorySettingsStore::ValueNames(const QString& path) const
{
    QStringList names;
    if (const TNode* node = Find(path))
        for (const auto& [name, value] : node->Values)
            names.append(name);
    return names;
}

bool TMemorySettingsStore::HasValue(const QString& path, const QString& name) const
{
    const TNode* node = Find(path);
    return node && node->Values.count(name) > 0;
}

std::optional<TSettingsValue> TMemorySettingsStore::Value(const QString& path, const QString& name) const
{
    const TNode* node = Find(path);
    if (!node)
        return std::nullopt;
    auto it = node->Values.find(name);
    if (it == node->Values.end())
        return std::nullopt;
    return it->second;
}

void TMemorySettingsStore::SetValue(const QString& path, const QString& name, const TSettingsValue& value)
{
    if (!IsValidValueName(name))
        throw ArgumentException(QStringLiteral("Invalid value name \"%1\"").arg(name), QStringLiteral("name"));
    FindOrCreate(path)->Values[name] = value;
}

bool TMemorySettingsStore::RemoveValue(const QString& path, const QString& name)
{
    TNode* node = Find(path);
    return node && node->Values.erase(name) > 0;
}
