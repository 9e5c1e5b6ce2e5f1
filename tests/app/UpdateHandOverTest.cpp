#include "app/MainFormUnit.h"
#include "app/MessageDialogs.h"
#include "app/UpdateCheck.h"
#include "shared/core/MemorySettingsStore.h"
#include "shared/core/SettingsStore.h"
#include "updater/UpdAutoUpdater.h"
#include "updater/widgets/UpdDialogs.h"
#include "updater/widgets/UpdUpgradeMessageForm.h"
#include "updater/widgets/UpdWizardForm.h"

#include "support/MainWindowHarness.h"
#include "support/TestHttpsServer.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray StandIn(const char* tag)
{
    return QByteArray("#!/bin/sh\necho \"") + tag + "[$*]\" > \"$(dirname \"$0\")/started.txt\"\n";
}

QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TupdAutoUpdaterWizardForm* CompletedWizard()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = dynamic_cast<TupdAutoUpdaterWizardForm*>(w); form && form->isVisible() && form->FinishBtn->isEnabled())
            return form;
    return nullptr;
}

} // namespace

// Both ways an update is installed: its files replaced by the installer, or a setup program run
// from the installer's private folder (here one that puts the new program in place itself, or one
// that fails).
enum class TWay { Files, Setup, FailingSetup };
void PrintTo(TWay way, std::ostream* out)
{
    *out << (way == TWay::Files ? "Files" : way == TWay::Setup ? "Setup" : "FailingSetup");
}
class UpdateHandOver : public ::testing::TestWithParam<TWay> {};
INSTANTIATE_TEST_SUITE_P(Ways, UpdateHandOver, ::testing::Values(TWay::Files, TWay::Setup, TWay::FailingSetup),
                         [](const ::testing::TestParamInfo<TWay>& info) { return ::testing::PrintToString(info.param); });

TEST_P(UpdateHandOver, ToolsCheckForUpdatesInstallsAndStartsTheProgramAgain)
{
    const bool setup = GetParam() != TWay::Files, fails = GetParam() == TWay::FailingSetup;
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    QTemporaryDir program;
    const QString dir = program.path() + QLatin1Char('/');
    {
        QFile app(dir + "quandrel");
        ASSERT_TRUE(app.open(QIODevice::WriteOnly));
        app.write(StandIn("old"));
        app.close();
        app.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile data(dir + "data.txt");
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        data.write("old data");
    }
    server.PutFile(QStringLiteral("quandrel"), StandIn("new"));
    server.PutFile(QStringLiteral("data.txt"), "new data");
    server.PutFile(QStringLiteral("setup.run"), "#!/bin/sh\npwd > '" + dir.toUtf8() + "setup.txt'\n" +
                                                    (fails ? QByteArray("exit 3\n")
                                                           : "cat > '" + dir.toUtf8() + "quandrel' <<'END'\n" +
                                                                 StandIn("new") + "END\n"));
    const QByteArray files = setup ? "#method=1\r\n#url=" + server.Url("/files/setup.run").toUtf8()
                                   : "#url=" + server.Url("/files/quandrel").toUtf8() + "\r\n#url2=" +
                                         server.Url("/files/data.txt").toUtf8() + "=data.txt";
    server.PutFile(QStringLiteral("info.txt"), "#version=99\r\n#message={Faster <b>trees</b>}\r\n" + files);

    auto previousStore = TSettingsStore::SetApplication(std::make_unique<TMemorySettingsStore>());
    QStringList boxes;
    auto previousHook = SetMessageDlgHook([&](QWidget*, const QString& text, TMsgDlgType, int) {
        boxes << text;
        return TModalResult::No; // no automatic checks; the changes are given up
    });
    QString question;
    updDialogs::SetExecHook([&](QDialog* d) {
        question = static_cast<TupdAutoUpdaterUpgradeMessageForm*>(d)->Label1->text();
        return int(QDialog::Accepted);
    });

    auto form = std::make_unique<TMainForm>();
    form->show();
    TupdAutoUpdater& u = *form->AutoUpdater;
    u.CAFile = server.CAFile();
    u.InfoFileURL = server.Url(QStringLiteral("/files/info.txt"));
    u.ProgramFolder = dir;
    u.ProgramFileName = dir + "quandrel";
    u.ProgramProcessId = 0; // the program counts as ended: this test goes on running
    form->SetModified(true);
    boxes.clear();

    QAction* check = nullptr;
    for (QAction* a : form->findChildren<QAction*>())
        if (a->text() == QLatin1String("Check for Updates"))
            check = a;
    ASSERT_TRUE(check);
    check->trigger();
    ASSERT_TRUE(ProcessEventsUntil([] { return CompletedWizard() != nullptr; }, 20000));
    EXPECT_TRUE(question.contains(QLatin1String("\nFaster <b>trees</b>\n")));
    EXPECT_EQ(CompletedWizard()->ProgressAllFiles->value(), 100);
    // A setup still has to run: nothing is called completed before it has.
    const QString note = CompletedWizard()->AfterNote->text();
    EXPECT_EQ(note.contains(QLatin1String("successfully completed")), !setup) << note.toStdString();
    EXPECT_EQ(note.contains(QLatin1String("setup")), setup) << note.toStdString();
    CompletedWizard()->FinishBtn->click();

    ASSERT_TRUE(ProcessEventsUntil([&] { return QFile::exists(dir + "started.txt"); }, 20000));
    ProcessEventsUntil([] { return false; }, 100);
    // The restart parameter is one blank, and only after an update that completed.
    EXPECT_EQ(ReadAll(dir + "started.txt"), fails ? QByteArray("old[]\n") : QByteArray("new[ ]\n"));
    EXPECT_EQ(ReadAll(dir + "data.txt"), setup ? QByteArray("old data") : QByteArray("new data"));
    // A setup ran in the installer's private folder; nothing was copied here.
    const QString ranIn = QString::fromUtf8(ReadAll(dir + "setup.txt")).trimmed();
    EXPECT_EQ(ranIn.contains(QLatin1String("/quandrel-update-")), setup);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).join(' '), setup ? "data.txt quandrel setup.txt started.txt"
                                                                : "data.txt quandrel started.txt");
    ASSERT_EQ(boxes.size(), 1); // the save prompt, before anything was started
    EXPECT_EQ(boxes[0], QStringLiteral("Do you want to save the changes?"));
    EXPECT_FALSE(form->isVisible());
    form.reset();

    // The program started again tells of a setup that failed, and removes its private folder.
    SetAppUpdaterHook([&](TupdAutoUpdater& updater) { updater.ProgramFolder = dir; });
    for (int start = 0; start < 2; ++start) {
        TMainWindowHarness restarted;
        QStringList errors;
        for (const auto& [text, type] : restarted.Shown)
            if (type == TMsgDlgType::Error)
                errors << text;
        EXPECT_EQ(errors.join('|').contains(QLatin1String("did not complete: its setup program setup.run ended with "
                                                          "exit code 3")),
                  fails && start == 0)
            << errors.join('|').toStdString();
    }
    SetAppUpdaterHook({});
    EXPECT_FALSE(QFileInfo::exists(ranIn));

    updDialogs::SetExecHook(nullptr);
    SetMessageDlgHook(previousHook);
    TSettingsStore::SetApplication(std::move(previousStore));
}
