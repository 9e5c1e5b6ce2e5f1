#include "SettingsStoreDump.h"
#include "app/MessageDialogs.h"
#include "app/Startup.h"
#include "shared/core/Exceptions.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

void Write(TSettingsStore& store, const QString& key, const QString& name, const QString& value)
{
    TSettingsRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(name, value);
}

void WriteInt(TSettingsStore& store, const QString& key, const QString& name, int32_t value)
{
    TSettingsRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteInteger(name, value);
}

bool Exists(TSettingsStore& store, const QString& key)
{
    return TSettingsRegistry(store).KeyExists(key);
}

const QString Pellmark = QStringLiteral("\\SOFTWARE\\Orvanta\\Pellmark");
const QString Quandrel = QStringLiteral("\\SOFTWARE\\Orvanta\\Quandrel");

// An older product's settings: generation "2" with values and a nested list, and a value of
// the product key itself.
void FillOlderProduct(TSettingsStore& store, bool withGeneration3 = false)
{
    Write(store, Pellmark, QStringLiteral("Owner"), QStringLiteral("older"));
    WriteInt(store, Pellmark + QStringLiteral("\\2"), QStringLiteral("CanCheckForAutoUpdate"), 1);
    Write(store, Pellmark + QStringLiteral("\\2\\RecentFiles"), QStringLiteral("File 0"), QStringLiteral("/a.pmk"));
    if (withGeneration3)
        WriteInt(store, Pellmark + QStringLiteral("\\3"), QStringLiteral("Landscape"), 1);
}

TEST(MigrateSettingsKey, TheOlderProductIsCopiedAndItsGenerationTwoBecomesThree)
{
    TMemorySettingsStore store;
    FillOlderProduct(store);
    const QStringList older = DumpStore(store, QStringLiteral("SOFTWARE/Orvanta/Pellmark"));
    MigrateSettingsKey(store);

    // The older key stays as it was.
    EXPECT_EQ(DumpStore(store, QStringLiteral("SOFTWARE/Orvanta/Pellmark")), older);
    EXPECT_EQ(DumpStore(store, QStringLiteral("SOFTWARE/Orvanta/Quandrel")),
              (QStringList{"3/", "3/RecentFiles/", "3/RecentFiles|File 0=sz:/a.pmk", "3|CanCheckForAutoUpdate=int:1",
                           "|Owner=sz:older"}));
    EXPECT_FALSE(Exists(store, QStringLiteral("\\SOFTWARE\\Orvanta\\") + Startup::MigrationKey));
}

// A store that fails, like a process that is killed, once it has made a number of changes.
class TDyingStore : public TMemorySettingsStore {
public:
    // -1: never fails.
    void Arm(int changesLeft) { FChangesLeft = changesLeft; }
    int ChangesMade() const { return FChangesMade; }

    void CreateKey(const QString& path) override
    {
        Change();
        TMemorySettingsStore::CreateKey(path);
    }
    bool RemoveKey(const QString& path) override
    {
        Change();
        return TMemorySettingsStore::RemoveKey(path);
    }
    void RenameKey(const QString& from, const QString& to) override
    {
        Change();
        TMemorySettingsStore::RenameKey(from, to);
    }
    void SetValue(const QString& path, const QString& name, const TSettingsValue& value) override
    {
        Change();
        TMemorySettingsStore::SetValue(path, name, value);
    }
    bool RemoveValue(const QString& path, const QString& name) override
    {
        Change();
        return TMemorySettingsStore::RemoveValue(path, name);
    }

private:
    void Change()
    {
        if (FChangesLeft == 0)
            throw std::runtime_error("killed");
        if (FChangesLeft > 0)
            --FChangesLeft;
        ++FChangesMade;
    }
    int FChangesLeft = -1;
    int FChangesMade = 0;
};

TEST(MigrateSettingsKey, AnInterruptedMigrationNeverLeavesAHalfKeyAndTheNextStartCompletesIt)
{
    TMemorySettingsStore reference;
    FillOlderProduct(reference);
    MigrateSettingsKey(reference);
    const QStringList expected = DumpStore(reference);

    TDyingStore counting;
    FillOlderProduct(counting);
    const int before = counting.ChangesMade();
    MigrateSettingsKey(counting);
    const int migrationChanges = counting.ChangesMade() - before;
    ASSERT_GT(migrationChanges, 3);

    for (int killedAfter = 0; killedAfter < migrationChanges; ++killedAfter) {
        SCOPED_TRACE(killedAfter);
        TDyingStore store;
        FillOlderProduct(store);
        store.Arm(killedAfter);
        MigrateSettingsKey(store); // dies part way, silently
        EXPECT_FALSE(Exists(store, Quandrel));

        store.Arm(-1);
        MigrateSettingsKey(store);
        EXPECT_EQ(DumpStore(store), expected);
    }
}

} // namespace
