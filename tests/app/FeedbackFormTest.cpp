#include "app/MessageDialogs.h"
#include "app/forms/FeedbackFormUnit.h"
#include "shared/core/StringHelpers.h"

#include "support/TestHttpsServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace {

struct TBox {
    QString Text;
    TMsgDlgType Type;
};

class FeedbackFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPrevious = SetMessageDlgHook([this](QWidget*, const QString& text, TMsgDlgType type, int) {
            Boxes.push_back({text, type});
            return Answer;
        });
    }
    void TearDown() override { SetMessageDlgHook(FPrevious); }
    // Points the form at the test server and writes a report from a named sender.
    static void WriteReport(TFeedbackForm& form, const TTestHttpsServer& server, const QString& description)
    {
        form.ServiceAddress = server.Url(QStringLiteral("/feedbackservice/feedbackservice.asmx"));
        form.ServiceCAFile = server.CAFile();
        form.DescriptionMemo->setPlainText(description);
        form.NameEdit->setText("Ann");
        form.EMailAddressEdit->setText("a@b.c");
    }

    std::vector<TBox> Boxes;
    TModalResult Answer = TModalResult::Yes;
    TMessageDlgHook FPrevious;
};

} // namespace

TEST_F(FeedbackFormTest, ValidationInTheFormsOrder)
{
    TFeedbackForm form;
    const struct {
        const char* description;
        const char* email;
        const char* name;
        QString expected;
    } cases[] = {
        {"", "a@b.c", "Ann", "Please enter a description"},
        {"x", "a@b.c", "  ", "Please enter your Name and E-Mail address or send anonymously"},
        {"\n", " ", "Ann", "Please enter your Name and E-Mail address or send anonymously"},
    };
    for (const auto& c : cases) {
        Boxes.clear();
        form.DescriptionMemo->setPlainText(c.description);
        form.EMailAddressEdit->setText(c.email);
        form.NameEdit->setText(c.name);
        form.SendButtonClick();
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].Text, c.expected);
        EXPECT_EQ(form.result(), QDialog::Rejected);
    }

    // Anonymous: the name and address fields are switched off, and No to the question sends nothing.
    form.AnonymousCheckBox->setChecked(true);
    EXPECT_FALSE(form.NameEdit->isEnabled());
    EXPECT_FALSE(form.EMailAddressEdit->isEnabled());
    Boxes.clear();
    Answer = TModalResult::No;
    form.SendButtonClick();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Type, TMsgDlgType::Confirmation);
    EXPECT_TRUE(Boxes[0].Text.endsWith("reply to you.\r\rAre you really sure you wish to send anonymously?"));

    // Cancelling a written report asks first.
    Boxes.clear();
    Answer = TModalResult::Cancel;
    form.show();
    form.CancelButtonClick();
    EXPECT_TRUE(form.isVisible());
    Answer = TModalResult::OK;
    form.CancelButtonClick();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Boxes.size(), 2u);
}

TEST_F(FeedbackFormTest, AnonymousReportIsSentWithoutNameAndAFailureKeepsTheFormOpen)
{
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    TFeedbackForm form;
    WriteReport(form, server, "  It crashed.\n ");
    form.AnonymousCheckBox->setChecked(true);
    form.TypeComboBox->setCurrentIndex(0);

    server.Write(QStringLiteral("post_mode"), "fault");
    form.SendButtonClick();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !form.Sending(); }, 15000));
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1].Text, "There was an error sending the feedback report to the Orvanta server: \r\rService is resting");
    EXPECT_EQ(form.result(), QDialog::Rejected);

    // A server that does not answer: the window stays live while the report is on its way, and
    // Cancel stops the transfer at once, keeping what was written for another try.
    Boxes.clear();
    server.Write(QStringLiteral("post_mode"), "stall");
    server.Write(QStringLiteral("post_body"), "");
    form.show();
    QTest::mouseClick(form.SendButton, Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !server.Read(QStringLiteral("post_body")).isEmpty(); }, 10000));
    EXPECT_FALSE(form.SendButton->isEnabled());
    QTest::keyClick(form.TypeComboBox, Qt::Key_Down); // the window still answers: Bug becomes Feature
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    // The server would answer in 30 seconds; the cancelled transfer ends long before.
    ASSERT_TRUE(ProcessEventsUntil([&] { return !form.Sending(); }, 5000));
    EXPECT_EQ(Boxes.size(), 1u); // the anonymity question only: a cancel needs no notice
    EXPECT_TRUE(form.isVisible() && form.SendButton->isEnabled());

    Boxes.clear();
    server.Write(QStringLiteral("post_mode"), "ok");
    form.SendButtonClick();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !form.Sending(); }, 15000));
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1].Text, "Your feedback has been posted to our server and will be processed soon.\r\rThank you");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    pugi::xml_document doc;
    const QByteArray body = server.Read(QStringLiteral("post_body"));
    ASSERT_TRUE(doc.load_buffer(body.constData(), size_t(body.size())));
    const auto call = doc.child("soap:Envelope").child("soap:Body").child("Feedback");
    EXPECT_STREQ(call.child("type").text().get(), "Feature");
    EXPECT_STREQ(call.child("message").text().get(), "It crashed.");
    EXPECT_STREQ(call.child("submitterEMail").text().get(), "");
    EXPECT_STREQ(call.child("submitterName").text().get(), "");
    EXPECT_TRUE(QString::fromUtf8(call.child("productVersion").text().get()).startsWith(GetProgramVersion(4)));
}

// A Cancel that comes once the service has confirmed the report stops nothing: the report was
// sent, the form says so and closes, and nothing is sent twice.
TEST_F(FeedbackFormTest, AReportTheServiceConfirmedIsSentWhateverALateCancelDid)
{
    TTestHttpsServer server;
    ASSERT_TRUE(server.Ok());
    TFeedbackForm form;
    WriteReport(form, server, "It crashed.");
    form.show();
    form.SendButtonClick();
    // The confirmation is in, and the window has not yet heard of it when the user cancels.
    QDeadlineTimer deadline(15000);
    while (!form.Confirmed() && !deadline.hasExpired())
        QThread::msleep(5);
    ASSERT_TRUE(form.Confirmed());
    form.CancelButtonClick();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !form.Sending(); }, 15000));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Your feedback has been posted to our server and will be processed soon.\r\rThank you");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(server.Read(QStringLiteral("post_count")), "1");
}
