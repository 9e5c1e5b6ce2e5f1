#include "updater/UpdAutoUpdater.h"
#include "updater/widgets/UpdDialogs.h"
#include "updater/widgets/UpdPasswordForm.h"
#include "updater/widgets/UpdUpgradeMessageForm.h"
#include "updater/widgets/UpdWizardForm.h"

#include "support/TestHttpsServer.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TupdAutoUpdaterWizardForm* OpenWizard()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = dynamic_cast<TupdAutoUpdaterWizardForm*>(w); form && form->isVisible())
            return form;
    return nullptr;
}

struct DialogsFixture : ::testing::Test {
    static void SetUpTestSuite()
    {
        Server = new TTestHttpsServer;
        Server->PutFile(QStringLiteral("one.bin"), QByteArray(70000, 'a'));
    }
    static void TearDownTestSuite() { delete Server; }
    // Starts an update of the files that the server lists, shown in the real wizard.
    void Serve(const QByteArray& files)
    {
        ASSERT_TRUE(Server->Ok() && Program.isValid());
        Server->PutFile(QStringLiteral("info.txt"), "#version=2\r\n" + files);
        U.CAFile = Server->CAFile();
        U.InfoFileURL = Server->Url(QStringLiteral("/files/info.txt"));
        U.VersionControl = TupdAutoUpdaterVersionControl::byNumber;
        U.VersionNumber = QStringLiteral("1");
        U.ShowMessages = mLostFile;
        U.ProgramFolder = Program.path() + QLatin1Char('/');
        U.CreateWizard = [](TupdAutoUpdater* u) { return updDialogs::ShowWizard(*u); };
        U.CheckUpdate(false);
    }
    QByteArray Url(const char* path) const { return Server->Url(QString::fromUtf8(path)).toUtf8(); }

    void SetUp() override
    {
        U.SetLanguage(TupdAutoUpdaterLanguage::wlEnglish);
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Quandrel"));
        U.MessageBox = [this](const QString& caption, const QString& text, int) {
            Boxes << caption + QLatin1Char('|') + text;
            return Answer;
        };
        U.OnAborted = [this](TupdAutoUpdater*) { Boxes << QStringLiteral("aborted"); };
    }
    void TearDown() override { updDialogs::SetExecHook(nullptr); }
    static TTestHttpsServer* Server;
    QTemporaryDir Program;
    TupdAutoUpdater U;
    QStringList Boxes;
    int Answer = updMsgBox::IdNo;
};
TTestHttpsServer* DialogsFixture::Server = nullptr;

} // namespace

TEST_F(DialogsFixture, ThePasswordDialogStoresCredentialsOnlyOnOK)
{
    U.HTTPUsername = QStringLiteral("old");
    U.HTTPPassword = QStringLiteral("oldpw");
    int result = QDialog::Rejected;
    updDialogs::SetExecHook([&](QDialog* d) {
        auto* form = static_cast<TupdAutoUpdaterPasswordForm*>(d);
        EXPECT_EQ(form->UsernameEdit->text(), QStringLiteral("old"));
        EXPECT_TRUE(form->PasswordEdit->text().isEmpty()); // never shown back
        EXPECT_TRUE(form->Label1->text().startsWith(QLatin1String("Access to remote file \"q.zip\" is password")));
        EXPECT_EQ(form->height(), form->Label1->y() + form->Label1->height() + form->BottomPanel->height());
        form->UsernameEdit->setText(QStringLiteral("new"));
        form->PasswordEdit->setText(QStringLiteral("newpw"));
        return result;
    });
    EXPECT_FALSE(updDialogs::ShowPasswordDialog(U, QStringLiteral("q.zip")));
    EXPECT_EQ(U.HTTPUsername + U.HTTPPassword, QStringLiteral("oldoldpw"));
    result = QDialog::Accepted;
    EXPECT_TRUE(updDialogs::ShowPasswordDialog(U, QStringLiteral("q.zip")));
    EXPECT_EQ(U.HTTPUsername + U.HTTPPassword, QStringLiteral("newnewpw"));
}

TEST_F(DialogsFixture, OnlyAUsersCloseAsksAndOnlyYesAborts)
{
    // The component holds the wizard while it downloads; a user's close reaches it, also on
    // the completed page. (Here without the address line, whose place the lines below take.)
    U.Wizard.HideFileLocation = true;
    Serve("#url=" + Url("/files/one.bin"));
    TupdAutoUpdaterWizardForm* form = nullptr;
    ASSERT_TRUE(ProcessEventsUntil([&] { return (form = OpenWizard()) && form->FinishBtn->isEnabled(); }, 15000));
    EXPECT_FALSE(form->CancelBtn->isEnabled());
    EXPECT_FALSE(form->FileURL->isVisibleTo(form));
    EXPECT_EQ(form->LFileSize->y(), form->LDownloadingFileFrom->y());

    QTest::keyClick(form, Qt::Key_Escape);
    EXPECT_EQ(Boxes, QStringList({QStringLiteral("Quandrel|The update is not completed.\nWould you like to abort upgrading?")}));
    EXPECT_TRUE(form->isVisible());
    Answer = updMsgBox::IdYes;
    form->close();
    EXPECT_EQ(Boxes.last(), QStringLiteral("aborted"));
    EXPECT_FALSE(OpenWizard());
}

// The update ends by itself (the next file is missing, and its question is answered No) while
// the wizard's own question, asked on Cancel or on the title bar's close, is open in its own
// event loop: the window outlives that question, whatever the answer, and goes afterwards.
TEST_F(DialogsFixture, TheWizardOutlivesItsQuestionWhenTheUpdateEndsMeanwhile)
{
    for (int run = 0; run < 4; ++run) {
        const bool byButton = run < 2;
        const int answer = run % 2 ? updMsgBox::IdNo : updMsgBox::IdYes;
        SCOPED_TRACE(byButton ? "Cancel" : "title bar");
        QPointer<TupdAutoUpdaterWizardForm> form;
        int questions = 0;
        bool aliveAfterTheEnd = false;
        U.OnProgress = [&](TupdAutoUpdater*, const QString&, int64_t, int64_t, int64_t, int64_t, uint8_t, uint8_t,
                           float) {
            if (form || !(form = OpenWizard()))
                return;
            if (byButton)
                QTest::mouseClick(form->CancelBtn, Qt::LeftButton);
            else
                form->close();
        };
        U.MessageBox = [&](const QString&, const QString& text, int) {
            if (!text.startsWith(QLatin1String("The update is not completed")))
                return int(updMsgBox::IdNo); // the missing file: not skipped, the update ends
            ++questions;
            QEventLoop loop; // the question's own loop, as a real box runs it, until a while after the end
            U.OnAborted = [&](TupdAutoUpdater*) { QTimer::singleShot(20, &loop, &QEventLoop::quit); };
            QTimer::singleShot(15000, &loop, &QEventLoop::quit);
            loop.exec();
            U.OnAborted = nullptr;
            aliveAfterTheEnd = !form.isNull();
            return answer;
        };
        Serve("#url=" + Url("/files/one.bin") + "\r\n#url2=" + Url("/files/missing.bin"));
        ASSERT_TRUE(ProcessEventsUntil([&] { return questions == 1 && !U.Busy() && !form; }, 20000));
        EXPECT_TRUE(aliveAfterTheEnd);
        EXPECT_TRUE(U.Aborted());
        EXPECT_FALSE(OpenWizard());
    }
}
