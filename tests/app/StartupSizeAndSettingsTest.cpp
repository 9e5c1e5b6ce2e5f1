#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"

#include "shared/core/IniSettingsStore.h"

#include <QFile>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A main window made with the given settings store, every box it shows recorded.
struct TStartedForm {
    explicit TStartedForm(std::unique_ptr<TSettingsStore> store)
    {
        Previous = TSettingsStore::SetApplication(std::move(store));
        SetMessageDlgHook([this](QWidget*, const QString& text, TMsgDlgType type, int) {
            Shown.push_back({text, type});
            return TModalResult::No;
        });
        Form = std::make_unique<TMainForm>(QStringList());
    }
    ~TStartedForm()
    {
        Form.reset();
        SetMessageDlgHook(nullptr);
        TSettingsStore::SetApplication(std::move(Previous));
    }

    std::unique_ptr<TSettingsStore> Previous;
    std::vector<std::pair<QString, TMsgDlgType>> Shown;
    std::unique_ptr<TMainForm> Form;
};

} // namespace

TEST(FirstStartTest, TheFirstSizeIsTheDesignedClientArea)
{
    QTemporaryDir dir;
    TStartedForm started(std::make_unique<TIniSettingsStore>(dir.filePath(QStringLiteral("Quandrel.ini"))));
    TMainForm& form = *started.Form;
    EXPECT_EQ(form.size(), QSize(660, 486 + form.menuBar()->sizeHint().height()));
    form.show();
    EXPECT_TRUE(form.screen()->availableGeometry().contains(form.geometry()));
    // Only a smaller screen makes it smaller.
    EXPECT_EQ(InitialWindowSize(QSize(1920, 1040), 22), QSize(660, 508));
    EXPECT_EQ(InitialWindowSize(QSize(640, 480), 22), QSize(640, 480));
    EXPECT_EQ(InitialWindowSize(QSize(), 22), QSize(660, 508));
}

TEST(FirstStartTest, ASettingsFileThatCannotBeWrittenIsReported)
{
    // The settings file's folder is a plain file, so the file can never be written.
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("Orvanta")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TStartedForm started(std::make_unique<TIniSettingsStore>(dir.filePath(QStringLiteral("Orvanta/Quandrel.ini"))));
    ASSERT_NE(started.Form, nullptr); // the program starts all the same
    bool reported = false;
    for (const auto& [text, type] : started.Shown)
        reported = reported || (type == TMsgDlgType::Error && text.contains(QStringLiteral("Orvanta/Quandrel.ini")));
    EXPECT_TRUE(reported);
}
