#include "app/MessageDialogs.h"
#include "app/Settings.h"
#include "app/UpdateCheck.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsStore.h"
#include "updater/UpdAutoUpdater.h"
#include "updater/widgets/UpdDialogs.h"
#include "updater/widgets/UpdUpgradeMessageForm.h"

#include <QLabel>

#include "support/TestHttpsServer.h"

#include <gtest/gtest.h>

TEST(UpdateCheck, ANothingNewerCheckIsRecordedAndTheMenuCheckShowsEveryOutcome)
{
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    auto previousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
    std::vector<std::pair<QString, TMsgDlgType>> boxes;
    auto previousHook = SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType type, int buttons) {
        boxes.emplace_back(text, type);
        return buttons == mbOK ? TModalResult::OK : TModalResult::No;
    });

    auto updater = CreateAppUpdater(nullptr);
    updater->CAFile = server.CAFile();
    updater->InfoFileURL = server.Url(QStringLiteral("/files/info.txt"));
    server.PutFile(QStringLiteral("info.txt"), "#version=0.9\r\n#url=https://h/q.zip");

    const DateTime before = DateTime::Now();
    EXPECT_FALSE(updater->CheckUpdate(true));
    EXPECT_GE(TSettings().LastUpdateCheck.Ticks, before.Ticks);
    EXPECT_TRUE(boxes.empty()); // the start-up check says nothing when nothing is newer

    CheckForUpdatesNow(*updater);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !updater->Busy(); }, 15000));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].second, TMsgDlgType::Information);
    EXPECT_TRUE(boxes[0].first.startsWith(QLatin1String("Newer version not found.")));

    // A newer version: the question is asked with the server's text, answered No here.
    server.PutFile(QStringLiteral("info.txt"), "#version=99\r\n#url=https://h/q.zip\r\n#message={<i>Faster</i>}");
    TSettings cleared;
    cleared.LastUpdateCheck = DateTime();
    cleared.SaveSettings();
    boxes.clear();
    QString question;
    updDialogs::SetExecHook([&](QDialog* d) {
        auto* form = static_cast<TupdAutoUpdaterUpgradeMessageForm*>(d);
        question = form->Label1->textFormat() == Qt::PlainText ? form->Label1->text() : QString();
        EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
        return int(QDialog::Rejected);
    });
    CheckForUpdatesNow(*updater);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !updater->Busy(); }, 15000));
    updDialogs::SetExecHook(nullptr);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(question, QStringLiteral("A newer version of %1 was released.\n\n<i>Faster</i>\n\nDo you want to update your "
                                       "version with the latest one?")
                            .arg(updDialogs::ApplicationTitle()));
    EXPECT_EQ(TSettings().LastUpdateCheck.Ticks, 0); // only a check that found nothing is recorded

    // The skip question's caption names the status; the program's boxes show it in the text.
    boxes.clear();
    updater->MessageBox(QStringLiteral("Error #404"), QStringLiteral("File q.zip not found"), 0x1034);
    updater->MessageBox(QStringLiteral("Application update wizard"), QStringLiteral("Plain"), 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].first + '|' + boxes[1].first, QStringLiteral("Error #404\n\nFile q.zip not found|Plain"));

    SetMessageDlgHook(previousHook);
    TSettingsStore::SetApplication(std::move(previousStore));
}
