#include "app/MessageDialogs.h"
#include "app/Settings.h"
#include "app/UpdateCheck.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsStore.h"
#include "support/MainWindowHarness.h"
#include "updater/UpdAutoUpdater.h"
#include "updater/installer/UpdInstallation.h"
#include "support/TestHttpsServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

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

// A check against a server that does not answer shows that it runs, a second click included,
// until it has ended; the window stays usable meanwhile. The server holds its answer until the
// test has clicked twice, then hangs up without one.
TEST(UpdateCheck, TheMenuCheckShowsThatItRunsUntilItEnds)
{
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    TMainWindowHarness h;
    TMainForm& form = *h.Form;
    form.show();
    form.AutoUpdater->CAFile = server.CAFile();
    form.AutoUpdater->InfoFileURL = server.Url(QStringLiteral("/hold?until=clicked"));
    h.Shown.clear();
    auto shown = [&form] { return !form.UpdateCheckPanel->isHidden() && form.cursor().shape() == Qt::BusyCursor; };
    EXPECT_FALSE(shown());
    form.ToolsCheckUpdatesMenuItem->trigger();
    EXPECT_TRUE(shown());
    EXPECT_TRUE(form.UpdateCheckPanel->isVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !server.Read(QStringLiteral("last_request")).isEmpty(); }, 20000));
    server.Write(QStringLiteral("last_request"), QByteArray());
    form.ToolsCheckUpdatesMenuItem->trigger();
    EXPECT_TRUE(shown());
    ProcessEventsUntil([] { return false; }, 300); // still running, and still shown
    EXPECT_TRUE(shown());
    server.Write(QStringLiteral("clicked"), QByteArray());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !shown(); }, 20000));
    EXPECT_FALSE(form.AutoUpdater->Busy());
    EXPECT_TRUE(form.UpdateCheckPanel->isHidden());
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    // One request, and one box that says the server gave no answer.
    EXPECT_TRUE(server.Read(QStringLiteral("last_request")).isEmpty());
    ASSERT_EQ(h.Shown.size(), 1u);
    EXPECT_EQ(h.Shown[0].second, TMsgDlgType::Error);
}

// The skip question's caption names the HTTP status; the program's message boxes have no caption,
// so they keep that clue in the text. The button the user chose goes back to the updater.
TEST(UpdateCheck, AStatusCaptionIsKeptInTheBoxTextAndTheAnswerGoesBack)
{
    QStringList boxes;
    TModalResult answer = TModalResult::No;
    auto previousHook = SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
        boxes << text;
        return answer;
    });
    auto updater = CreateAppUpdater(nullptr);
    for (const auto& [caption, chosen, id] : {std::tuple{"Error #404", TModalResult::No, updMsgBox::IdNo},
                                              {"Error #404", TModalResult::Yes, updMsgBox::IdYes},
                                              {"Application update wizard", TModalResult::OK, updMsgBox::IdOK}}) {
        answer = chosen;
        EXPECT_EQ(updater->MessageBox(QString::fromLatin1(caption), QStringLiteral("Text"), 0x1034), id) << caption;
    }
    SetMessageDlgHook(previousHook);
    EXPECT_EQ(boxes, QStringList({"Error #404\n\nText", "Error #404\n\nText", "Text"}));
}

// An installation cut short after its journal was written (a kill, a logout) is finished as the
// program starts, before anything of its folder is used.
TEST(UpdateCheck, TheStartEndsAnInstallationCutShort)
{
    QTemporaryDir temp, program;
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    SetAppUpdaterHook([&](TupdAutoUpdater& updater) { updater.ProgramFolder = program.path() + QLatin1Char('/'); });
    const QString folder = program.path();
    const QString target = folder + QStringLiteral("/cut-short");
    const QString journal = temp.path() + QStringLiteral("/quandrel-update-cut");
    ASSERT_TRUE(QDir().mkdir(journal, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    for (const auto& [name, text] : {std::pair{target + ".uTMP", QStringLiteral("new")},
                                     {journal + "/UpdaterJournal.txt",
                                      "quandrel installation 1\nfolder " + folder + "\nnew " + target + "\nbegin\n"}}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
    }
    CreateAppUpdater(nullptr);
    SetAppUpdaterHook({});
    qunsetenv("TMPDIR");
    QFile installed(target);
    EXPECT_TRUE(installed.open(QIODevice::ReadOnly) && installed.readAll() == "new");
    EXPECT_FALSE(QFileInfo::exists(target + ".uTMP"));
    EXPECT_FALSE(QFileInfo::exists(journal));
}

// What a start tells: an update that did not complete, once; a journal it refuses, once, leaving it
// and its folder to the user; nothing that concerns another program folder.
TEST(UpdateCheck, TheStartTellsOfUpdatesThatDidNotCompleteOrCannotBeEnded)
{
    // outside: a folder of the test's own beside the program's, for the target that a planted
    // journal claims outside the program's folder; a start that wrongly ended that installation
    // writes only there.
    QTemporaryDir temp, program, elsewhere, outside;
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    SetAppUpdaterHook([&](TupdAutoUpdater& updater) { updater.ProgramFolder = program.path() + QLatin1Char('/'); });
    const auto privateFolder = [&](const char* name) {
        const QString folder = temp.path() + QStringLiteral("/quandrel-update-") + QLatin1String(name);
        EXPECT_TRUE(QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        return QFile::encodeName(folder).toStdString();
    };
    const auto journal = [&](const char* name, const QString& folder, const QString& target) {
        QFile file(QFile::decodeName(privateFolder(name).c_str()) + QStringLiteral("/UpdaterJournal.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("quandrel installation 1\nfolder " + QFile::encodeName(folder) + "\nnew " + QFile::encodeName(target) +
                   "\nbegin\n");
    };
    ASSERT_TRUE(updInstall::LeaveWord(privateFolder("word"), QFile::encodeName(program.path()).toStdString(),
                                      "its setup program setup.run ended with exit code 3"));
    ASSERT_TRUE(updInstall::LeaveWord(privateFolder("other-word"), QFile::encodeName(elsewhere.path()).toStdString(),
                                      "of another folder"));
    journal("outside", program.path(), outside.filePath(QStringLiteral("quandrel")));
    journal("other-journal", elsewhere.path(), elsewhere.path() + QStringLiteral("/x"));

    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        TMainWindowHarness h;
        QStringList errors;
        for (const auto& [text, type] : h.Shown)
            if (type == TMsgDlgType::Error)
                errors << text;
        ASSERT_EQ(errors.size(), start == 0 ? 1 : 0);
        if (start > 0)
            continue;
        EXPECT_TRUE(errors[0].contains(QLatin1String("did not complete: its setup program setup.run ended with exit code 3.")));
        EXPECT_EQ(errors[0].count(QLatin1String("could not be ended")), 1);
        EXPECT_TRUE(errors[0].contains(QLatin1String("could not be ended: refused target outside")));
        EXPECT_TRUE(errors[0].contains(program.path()));
        // What the user can do about it: the folder the journal is kept in is named.
        EXPECT_TRUE(errors[0].contains(temp.path() + QStringLiteral("/quandrel-update-outside\"")))
            << errors[0].toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(temp.path() + QStringLiteral("/quandrel-update-outside/UpdaterJournal.txt")));
    EXPECT_EQ(QDir(temp.path()).entryList({"quandrel-update-*"}, QDir::Dirs).join(' ').toStdString(),
              "quandrel-update-other-journal quandrel-update-other-word quandrel-update-outside");
    EXPECT_TRUE(QDir(outside.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    SetAppUpdaterHook({});
    qunsetenv("TMPDIR");
}
