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

    list->Add(QStringLiteral("E"));
    EXPECT_EQ(list->Files(), (QStringList{"E", "C", "B", "A"}));
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

} // namespace
