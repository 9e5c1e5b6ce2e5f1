#include "shared/core/SettingsStore.h"

#include "shared/core/Exceptions.h"

namespace {
std::unique_ptr<TSettingsStore>& ApplicationStore()
{
    static std::unique_ptr<TSettingsStore> store;
    return store;
}
} // namespace

TSettingsStore::~TSettingsStore() = default;

bool TSettingsStore::IsValidValueName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && !name.contains(QLatin1Char('/'))
        && !name.contains(QLatin1Char('\\'));
}

TSettingsStore& TSettingsStore::Application()
{
    if (!ApplicationStore())
        throw InvalidOperationException(QStringLiteral("No settings store has been set up"));
    return *ApplicationStore();
}

bool TSettingsStore::HasApplication()
{
    return ApplicationStore() != nullptr;
}

std::unique_ptr<TSettingsStore> TSettingsStore::SetApplication(std::unique_ptr<TSettingsStore> store)
{
    std::swap(ApplicationStore(), store);
    return store;
}
