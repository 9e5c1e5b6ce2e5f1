#include "shared/core/IniSettingsStore.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsRegistry.h"
#include "shared/widgets/RecentFileList.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Key = QStringLiteral("SOFTWARE\\Orvanta\\Quandrel\\3");
const QString ListKey = QStringLiteral("\\SOFTWARE\\Orvanta\\Quandrel\\3\\RecentFiles");

// The values under the list's key, name by name in sorted order.
QStringList StoredValues(TSettingsStore& store)
{
    TSettingsRegistry reg(store);
    QStringList result;
    if (!reg.OpenKey(ListKey, false))
        return result;
    QStringList names = reg.GetValueNames();
    names.sort();
    for (const QString& name : names)
        result << name + QLatin1Char('=') + reg.ReadString(name).value_or(QStringLiteral("<none>"));
    return result;
}

void StoreValues(TSettingsStore& store, const QList<std::pair<QString, QString>>& values)
{
    TSettingsRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ListKey, true));
    for (const auto& [name, value] : values)
        reg.WriteString(name, value);
}

class FileHistoryTest : public ::testing::Test {
protected:
    std::unique_ptr<TFileHistory> MakeList(int count = 6)
    {
        auto list = std::make_unique<TFileHistory>();
        list->SetRegRoot(&FStore);
        list->SetRegKey(Key);
        list->SetNumerOfFiles(count);
        list->Initialize();
        return list;
    }
    TMemorySettingsStore FStore;
};

TEST_F(FileHistoryTest, AddingTradesPlacesWithTheFirstEntryAndDropsTheOldestBeyondTheLimit)
{
    auto list = MakeList(4);
    for (const char* name : {"D", "C", "B", "A"})
        list->Add(QLatin1String(name));
    EXPECT_EQ(list->Files(), (QStringList{"A", "B", "C", "D"}));

    list->Add(QStringLiteral("C"));
    EXPECT_EQ(list->Files(), (QStringList{"C", "B", "A", "D"}));
    list->Add(QStringLiteral("C"));
    EXPECT_EQ(list->Files(), (QStringList{"C", "B", "A", "D"}));

    TMemorySettingsStore otherStore;
    TFileHistory other;
    other.SetRegRoot(&otherStore);
    other.SetNumerOfFiles(4);
    for (const char* name : {"D", "C", "B", "A"})
        other.Add(QLatin1String(name));
    other.Add(QStringLiteral("E"));
    EXPECT_EQ(other.Files(), (QStringList{"E", "A", "B", "C"}));
}

TEST_F(FileHistoryTest, SavingReplacesEveryOldValueAndWritesAtMostTheLimit)
{
    StoreValues(FStore, {{"Unrelated", "x"}, {"File 9", "/old.qdn"}});
    auto list = MakeList(7);
    for (int i = 7; i >= 1; --i)
        list->Add(QStringLiteral("/f%1.qdn").arg(i));
    ASSERT_EQ(list->Files().size(), 7);
    list->SetNumerOfFiles(6);
    list->Save();
    EXPECT_EQ(StoredValues(FStore), (QStringList{"File 0=/f1.qdn", "File 1=/f2.qdn", "File 2=/f3.qdn",
                                                 "File 3=/f4.qdn", "File 4=/f5.qdn", "File 5=/f6.qdn"}));
}

TEST_F(FileHistoryTest, LoadingReadsTheFirstNamesInSortedOrder)
{
    // Written out of order; "File10" sorts after "File 9" thanks to the blank padding.
    StoreValues(FStore, {{"File 7", "/h"}, {"File10", "/k"}, {"File 2", "/c"}, {"File 0", "/a"},
                         {"File 5", "/f"}, {"File 1", "/b"}, {"File 3", "/d"}, {"File 4", "/e"}});
    const auto six = MakeList(6);
    EXPECT_EQ(six->Files(), (QStringList{"/a", "/b", "/c", "/d", "/e", "/f"}));
    const auto twenty = MakeList(20);
    EXPECT_EQ(twenty->Files(), (QStringList{"/a", "/b", "/c", "/d", "/e", "/f", "/h", "/k"}));
}

TEST_F(FileHistoryTest, TheListSurvivesTheProgramInTheSettingsFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("user.ini"));
    {
        TIniSettingsStore store(file);
        TFileHistory list;
        list.SetRegRoot(&store);
        list.SetRegKey(Key);
        list.Initialize();
        list.Add(QStringLiteral("/b c.qdn"));
        list.Add(QStringLiteral("/a.qdn"));
    }
    TIniSettingsStore store(file);
    TFileHistory list;
    list.SetRegRoot(&store);
    list.SetRegKey(Key);
    list.Initialize();
    EXPECT_EQ(list.Files(), (QStringList{"/a.qdn", "/b c.qdn"}));
}

class FileHistoryMenuTest : public FileHistoryTest {
protected:
    void SetUp() override
    {
        FOpen = FFile.addAction(QStringLiteral("Open..."));
        FExit = FFile.addAction(QStringLiteral("Exit"));
        FList = MakeList();
        FList->SetFileMenu(&FFile);
        FList->SetFileExitMenu(FExit);
    }
    void OpenMenu() { Q_EMIT FFile.aboutToShow(); }
    QStringList Captions() const
    {
        QStringList captions;
        for (QAction* action : FFile.actions())
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return captions;
    }

    QMenu FFile;
    QAction* FOpen = nullptr;
    QAction* FExit = nullptr;
    std::unique_ptr<TFileHistory> FList;
};

TEST_F(FileHistoryMenuTest, OpeningTheMenuShowsNumberedEntriesAboveExit)
{
    FList->Add(QStringLiteral("/docs/second & last.qdn"));
    FList->Add(QStringLiteral("/docs/first.qdn"));
    OpenMenu();
    EXPECT_EQ(Captions(), (QStringList{"Open...", "&1 /docs/first.qdn", "&2 /docs/second && last.qdn", "-", "Exit"}));
    const QList<QAction*> actions = FFile.actions();
    EXPECT_EQ(actions[1]->objectName(), QStringLiteral("FileHistory0"));
    EXPECT_EQ(actions[2]->objectName(), QStringLiteral("FileHistory1"));
    EXPECT_EQ(actions[2]->data().toString(), QStringLiteral("/docs/second & last.qdn"));
    EXPECT_EQ(actions[3]->objectName(), QStringLiteral("FileHistorySep"));
    EXPECT_TRUE(actions[3]->text().isEmpty()) << "a separator's caption shows beside its line";

    // Opening again rebuilds rather than adds.
    FList->Add(QStringLiteral("/docs/second & last.qdn"));
    OpenMenu();
    EXPECT_EQ(Captions(), (QStringList{"Open...", "&1 /docs/second && last.qdn", "&2 /docs/first.qdn", "-", "Exit"}));
}

TEST_F(FileHistoryMenuTest, ClickingAnEntryReportsItsWholePath)
{
    FList->Add(QStringLiteral("/my documents/plan 2 &3.qdn"));
    QObject* sender = nullptr;
    QString opened;
    FList->OnMenuItemClick = [&](QObject* s, const QString& name) {
        sender = s;
        opened = name;
    };
    OpenMenu();
    QAction* entry = FFile.actions().at(1);
    entry->trigger();
    EXPECT_EQ(opened, QStringLiteral("/my documents/plan 2 &3.qdn"));
    EXPECT_EQ(sender, entry);
}

} // namespace
