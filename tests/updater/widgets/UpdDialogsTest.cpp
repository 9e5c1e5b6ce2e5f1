#include "updater/UpdAutoUpdater.h"
#include "updater/widgets/UpdDialogs.h"
#include "updater/widgets/UpdPasswordForm.h"
#include "updater/widgets/UpdUpgradeMessageForm.h"
#include "updater/widgets/UpdWizardForm.h"

#include <QApplication>
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

struct TOpenUpdater : TupdAutoUpdater {
    using TupdAutoUpdater::StartDownloads;
};

struct DialogsFixture : ::testing::Test {
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
    TOpenUpdater U;
    QStringList Boxes;
    int Answer = updMsgBox::IdNo;
};

} // namespace

TEST_F(DialogsFixture, TheQuestionShowsTheServerTextPlainAndTheWindowFitsIt)
{
    QStringList texts;
    int labelBottom = 0, height = 0;
    updDialogs::SetExecHook([&](QDialog* d) {
        auto* form = static_cast<TupdAutoUpdaterUpgradeMessageForm*>(d);
        texts << form->Label1->text();
        EXPECT_EQ(form->Label1->textFormat(), Qt::PlainText);
        EXPECT_EQ(form->Label1->width(), form->width() - form->Label1->x() - 11);
        EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(form->LaterBtn->text(), QStringLiteral("&Later"));
        labelBottom = form->Label1->y() + form->Label1->height();
        height = form->height();
        return texts.size() == 1 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    });
    EXPECT_TRUE(updDialogs::AskUpgrade(QStringLiteral("<b>100%s</b>")));
    EXPECT_EQ(texts[0], QStringLiteral("A newer version of Quandrel was released.\n\n<b>100%s</b>\n\nDo you want to update "
                                       "your version with the latest one?"));
    EXPECT_EQ(height, labelBottom + 44);
    EXPECT_FALSE(updDialogs::AskUpgrade(QString()));
    EXPECT_EQ(texts[1], QStringLiteral("A newer version of Quandrel was released.\n\nDo you want to update your version "
                                       "with the latest one?"));
}

TEST_F(DialogsFixture, ThePasswordDialogStoresCredentialsOnlyOnOK)
{
    U.HTTPUsername = QStringLiteral("old");
    U.HTTPPassword = QStringLiteral("oldpw");
    int result = QDialog::Rejected;
    updDialogs::SetExecHook([&](QDialog* d) {
        auto* form = static_cast<TupdAutoUpdaterPasswordForm*>(d);
        EXPECT_EQ(form->UsernameEdit->text(), QStringLiteral("old"));
        EXPECT_TRUE(form->PasswordEdit->text().isEmpty()); // never shown back
        EXPECT_EQ(form->PasswordEdit->echoMode(), QLineEdit::Password);
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

TEST_F(DialogsFixture, TheWizardClosesUpWithoutTheAddressLine)
{
    for (bool hide : {false, true}) {
        U.Wizard.HideFileLocation = hide;
        auto view = updDialogs::ShowWizard(U);
        TupdAutoUpdaterWizardForm* form = OpenWizard();
        ASSERT_TRUE(form);
        EXPECT_EQ(form->LEstimatedTime->text(), QStringLiteral("Preparing. . ."));
        EXPECT_EQ(form->LCurrentFile->title(), QStringLiteral(" Current file "));
        EXPECT_EQ(form->FileURL->isVisibleTo(form), !hide);
        if (hide) {
            EXPECT_EQ(form->LFileSize->y(), form->LDownloadingFileFrom->y());
            EXPECT_EQ(form->LTransferRate->y(), form->LFileSize->y() + 16);
            EXPECT_EQ(form->LEstimatedTime->y(), form->LTransferRate->y() + 16);
            EXPECT_EQ(form->ProgressCurrentFile->y(), form->LEstimatedTime->y() + 20);
            EXPECT_EQ(form->LCurrentFile->geometry(), QRect(130, 52, 360, 100));
        } else {
            EXPECT_EQ(form->LCurrentFile->geometry(), QRect(130, 42, 360, 130));
        }
        view.reset(); // the component's own close asks nothing
        QApplication::processEvents();
        EXPECT_FALSE(OpenWizard());
    }
    EXPECT_TRUE(Boxes.isEmpty());
}

TEST_F(DialogsFixture, OnlyAUsersCloseAsksAndOnlyYesAborts)
{
    // The component holds the wizard while it downloads; a user's close reaches it.
    U.CreateWizard = [](TupdAutoUpdater* u) { return updDialogs::ShowWizard(*u); };
    QTemporaryDir program;
    U.ProgramFolder = program.path() + QLatin1Char('/');
    U.Wizard.Enabled = true;
    // No files: the downloads end at once on the completed page.
    U.StartDownloads();
    TupdAutoUpdaterWizardForm* form = OpenWizard();
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->CancelBtn->isEnabled());
    EXPECT_TRUE(form->FinishBtn->isEnabled());
    EXPECT_EQ(form->FinishBtn->text(), QStringLiteral("&OK"));
    EXPECT_TRUE(form->AfterNote->text().startsWith(QLatin1String("The update of Quandrel has been")));

    QTest::keyClick(form, Qt::Key_Escape);
    EXPECT_EQ(Boxes, QStringList({QStringLiteral("Quandrel|The update is not completed.\nWould you like to abort upgrading?")}));
    EXPECT_TRUE(form->isVisible());
    Answer = updMsgBox::IdYes;
    form->close();
    EXPECT_EQ(Boxes.last(), QStringLiteral("aborted"));
    EXPECT_FALSE(OpenWizard());
}
