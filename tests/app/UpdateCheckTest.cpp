#include "app/MessageDialogs.h"
#include "app/Settings.h"
#include "app/UpdateCheck.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsStore.h"
#include "support/MainWindowHarness.h"
#include "updater/UpdAutoUpdater.h"
#include "support/TestHttpsServer.h"

#include <gtest/gtest.h>

namespace {
constexpr int64_t Day = DateTime::TicksPerDay;
const QString Question = QStringLiteral("May Quandrel automatically check for updates? (recommended; you can turn "
                                        "this feature off anytime using the Options dialog)");
} // namespace

TEST(UpdateCheck, DueAfterMoreThanSevenDays)
{
    const DateTime now = DateTime::Create(2026, 3, 9, 12, 0, 0, 0);
    for (const auto& [age, due] : {std::pair{7 * Day, false}, {7 * Day + 1, true}, {7 * Day - 1, false},
                                   {now.Ticks, true}, {-Day, false}})
        EXPECT_EQ(IsUpdateCheckDue(DateTime{now.Ticks - age}, now), due) << age;
}

// The start of the program with each state of the settings: whether the first-start question is
// asked, what its answer keeps, and whether a check runs.
TEST(UpdateCheck, TheStartAsksOnceAndChecksWhenAllowedAndDue)
{
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    server.PutFile(QStringLiteral("info.txt"), "#version=0.9\r\n#url=https://h/q.zip");
    SetAppUpdaterHook([&](TupdAutoUpdater& updater) {
        updater.CAFile = server.CAFile();
        updater.InfoFileURL = server.Url(QStringLiteral("/files/info.txt"));
    });
    const struct {
        const char* name;
        bool stored, configured, allowed;
        int64_t age; // of the last check; 0: never
        TModalResult answer;
        bool asked, allowedAfter, checks;
    } cases[] = {
        {"a fresh profile, Yes", false, false, false, 0, TModalResult::Yes, true, true, true},
        {"not answered yet, No", true, false, false, 0, TModalResult::No, true, false, false},
        {"checked seven days less a minute ago", true, true, true, 7 * Day - Day / 1440, TModalResult::Yes, false, true, false},
        {"checked seven days and a minute ago", true, true, true, 7 * Day + Day / 1440, TModalResult::Yes, false, true, true},
        {"allowed, never checked", true, true, true, 0, TModalResult::Yes, false, true, true},
        {"not allowed", true, true, false, 0, TModalResult::Yes, false, false, false},
        {"a check in the future", true, true, true, -Day, TModalResult::Yes, false, true, false},
    };
    for (const auto& c : cases) {
        auto store = std::make_unique<TMemorySettingsStore>();
        DateTime lastCheck;
        if (c.stored) {
            TSettings settings(*store);
            settings.AutoUpdateConfigured = c.configured;
            settings.CanCheckForAutoUpdate = c.allowed;
            settings.LastUpdateCheck = lastCheck = c.age ? DateTime{DateTime::Now().Ticks - c.age} : DateTime();
            settings.SaveSettings();
        }
        server.Write(QStringLiteral("last_request"), QByteArray());
        const DateTime start = DateTime::Now();
        TMainWindowHarness h(std::move(store), c.answer);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !h.Form->AutoUpdater->Busy(); }, 15000)) << c.name;
        const bool asked = !h.Shown.empty() && h.Shown[0].first == Question;
        EXPECT_EQ(asked, c.asked) << c.name;
        EXPECT_EQ(h.Shown.size(), size_t(asked)) << c.name;
        EXPECT_EQ(!server.Read(QStringLiteral("last_request")).isEmpty(), c.checks) << c.name;
        const TSettings after;
        EXPECT_TRUE(after.AutoUpdateConfigured) << c.name;
        EXPECT_EQ(after.CanCheckForAutoUpdate, c.allowedAfter) << c.name;
        // Only a check that found nothing newer is recorded.
        if (c.checks)
            EXPECT_GE(after.LastUpdateCheck, start) << c.name;
        else
            EXPECT_EQ(after.LastUpdateCheck, lastCheck) << c.name;
    }
    SetAppUpdaterHook({});
}

// Tools > Check for Updates says so when nothing is newer (a newer version: UpdateHandOverTest).
TEST(UpdateCheck, TheMenuCheckTellsThatNothingIsNewer)
{
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    server.PutFile(QStringLiteral("info.txt"), "#version=0.9\r\n#url=https://h/q.zip");
    TMainWindowHarness h;
    h.Form->AutoUpdater->CAFile = server.CAFile();
    h.Form->AutoUpdater->InfoFileURL = server.Url(QStringLiteral("/files/info.txt"));
    h.Shown.clear();
    h.Form->ToolsCheckUpdatesMenuItem->trigger();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !h.Form->AutoUpdater->Busy(); }, 15000));
    ASSERT_EQ(h.Shown.size(), 1u);
    EXPECT_EQ(h.Shown[0].second, TMsgDlgType::Information);
    EXPECT_TRUE(h.Shown[0].first.startsWith(QLatin1String("Newer version not found.")));
}

// The skip question's caption names the HTTP status; the program's message boxes have no caption,
// so they keep that clue in the text.
TEST(UpdateCheck, AStatusCaptionIsKeptInTheBoxText)
{
    std::vector<QString> boxes;
    auto previousHook = SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
        boxes.push_back(text);
        return TModalResult::No;
    });
    auto updater = CreateAppUpdater(nullptr);
    updater->MessageBox(QStringLiteral("Error #404"), QStringLiteral("File q.zip not found"), 0x1034);
    updater->MessageBox(QStringLiteral("Application update wizard"), QStringLiteral("Plain"), 0);
    SetMessageDlgHook(previousHook);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0] + '|' + boxes[1], QStringLiteral("Error #404\n\nFile q.zip not found|Plain"));
}
