#include "shared/core/Exceptions.h"
#include "shared/core/IniSettingsStore.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// Both stores must behave alike; every behavioural test runs on each.
class SettingsStoreTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FStore = MakeStore();
    }
    std::unique_ptr<TSettingsStore> MakeStore()
    {
        if (QLatin1String(GetParam()) == QLatin1String("ini"))
            return std::make_unique<TIniSettingsStore>(FileName());
        return std::make_unique<TMemorySettingsStore>();
    }
    QString FileName() const { return FDir.filePath(QStringLiteral("user.ini")); }

    QTemporaryDir FDir;
    std::unique_ptr<TSettingsStore> FStore;
};

TEST_P(SettingsStoreTest, OpenKeyCreatesOnlyWhenAllowedAndResolvesRelativeNames)
{
    TSettingsRegistry reg(*FStore);
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("SOFTWARE\\Orvanta"), false));
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("SOFTWARE")));
    EXPECT_EQ(reg.CurrentKey(), QString());

    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\\\Orvanta\\"), true));
    EXPECT_EQ(reg.CurrentKey(), QStringLiteral("SOFTWARE\\Orvanta"));
    // An empty key exists, and so do its ancestors.
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("\\SOFTWARE")));
    EXPECT_TRUE(reg.GetValueNames().isEmpty());

    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Quandrel\\3"), true));
    EXPECT_EQ(reg.CurrentKey(), QStringLiteral("SOFTWARE\\Orvanta\\Quandrel\\3"));
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("Missing"), false));
    EXPECT_EQ(reg.CurrentKey(), QStringLiteral("SOFTWARE\\Orvanta\\Quandrel\\3"));
    EXPECT_TRUE(reg.OpenKey(QStringLiteral("\\SOFTWARE\\Orvanta"), false));
    EXPECT_EQ(reg.GetKeyNames(), QStringList{QStringLiteral("Quandrel")});
}

TEST_P(SettingsStoreTest, ValuesReadBackByKindAndOtherKindsReadAsMissing)
{
    TSettingsRegistry reg(*FStore);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\K"), true));
    reg.WriteString(QStringLiteral("Text"), QStringLiteral("a,b=c\n[d] ; \u00e9\u4e2d @x"));
    reg.WriteInteger(QStringLiteral("Negative"), -5);
    reg.WriteInteger(QStringLiteral("Min"), std::numeric_limits<int32_t>::min());
    reg.WriteBool(QStringLiteral("Flag"), true);
    reg.WriteFloat(QStringLiteral("Real"), -0.1);
    reg.WriteBinary(QStringLiteral("Bytes"), QByteArray("\x00\xff\x10", 3));

    EXPECT_EQ(reg.ReadString(QStringLiteral("Text")), QStringLiteral("a,b=c\n[d] ; \u00e9\u4e2d @x"));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Negative")), -5);
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Min")), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(reg.ReadBool(QStringLiteral("Flag")), true);
    EXPECT_EQ(reg.ReadBool(QStringLiteral("Negative")), true);
    EXPECT_EQ(reg.ReadFloat(QStringLiteral("Real")), -0.1);
    EXPECT_EQ(reg.ReadBinary(QStringLiteral("Bytes")), QByteArray("\x00\xff\x10", 3));

    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Text")), std::nullopt);
    EXPECT_EQ(reg.ReadFloat(QStringLiteral("Bytes")), std::nullopt); // three bytes, not eight
    EXPECT_EQ(reg.ReadString(QStringLiteral("Absent")), std::nullopt);
    EXPECT_TRUE(reg.ValueExists(QStringLiteral("Text")));
    EXPECT_FALSE(reg.ValueExists(QStringLiteral("Absent")));

    QStringList names = reg.GetValueNames();
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Bytes"), QStringLiteral("Flag"), QStringLiteral("Min"),
                                  QStringLiteral("Negative"), QStringLiteral("Real"), QStringLiteral("Text")}));
}

void Fill(TSettingsRegistry& reg, const QString& key)
{
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(QStringLiteral("Name"), QStringLiteral("top"));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Sub\\Empty"), true));
    ASSERT_TRUE(reg.OpenKey(key + QStringLiteral("\\Sub"), false));
    reg.WriteInteger(QStringLiteral("Count"), 7);
    reg.CloseKey();
}

void ExpectFilled(TSettingsRegistry& reg, const QString& key)
{
    ASSERT_TRUE(reg.OpenKey(key, false)) << key.toStdString();
    EXPECT_EQ(reg.ReadString(QStringLiteral("Name")), QStringLiteral("top"));
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("Sub\\Empty")));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Sub"), false));
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Count")), 7);
    reg.CloseKey();
}

TEST_P(SettingsStoreTest, CopyRenameAndMoveCarryEverythingBelowTheKey)
{
    TSettingsRegistry reg(*FStore);
    Fill(reg, QStringLiteral("\\A"));

    reg.CopyKey(QStringLiteral("A"), QStringLiteral("B\\C"));
    ExpectFilled(reg, QStringLiteral("\\A"));
    ExpectFilled(reg, QStringLiteral("\\B\\C"));
    EXPECT_THROW(reg.CopyKey(QStringLiteral("A"), QStringLiteral("B\\C")), InvalidOperationException);
    EXPECT_THROW(reg.CopyKey(QStringLiteral("A"), QStringLiteral("A\\Inside")), ArgumentException);
    EXPECT_THROW(reg.CopyKey(QStringLiteral("Missing"), QStringLiteral("X")), InvalidOperationException);

    reg.RenameKey(QStringLiteral("B\\C"), QStringLiteral("D"));
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("B\\C")));
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("B")));
    ExpectFilled(reg, QStringLiteral("\\D"));
    EXPECT_THROW(reg.RenameKey(QStringLiteral("A"), QStringLiteral("D")), InvalidOperationException);

    // MoveKey never overwrites and copies nothing from a missing key.
    reg.MoveKey(QStringLiteral("A"), QStringLiteral("D"), true);
    EXPECT_TRUE(reg.KeyExists(QStringLiteral("A")));
    reg.MoveKey(QStringLiteral("Missing"), QStringLiteral("E"), true);
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("E")));

    reg.MoveKey(QStringLiteral("A"), QStringLiteral("E"), false);
    ExpectFilled(reg, QStringLiteral("\\A"));
    ExpectFilled(reg, QStringLiteral("\\E"));
    reg.MoveKey(QStringLiteral("A"), QStringLiteral("F"), true);
    EXPECT_FALSE(reg.KeyExists(QStringLiteral("A")));
    ExpectFilled(reg, QStringLiteral("\\F"));
}

INSTANTIATE_TEST_SUITE_P(Stores, SettingsStoreTest, ::testing::Values("memory", "ini"));

} // namespace
