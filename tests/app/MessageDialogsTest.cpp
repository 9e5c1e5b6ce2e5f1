#include "app/MessageDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Shows a real box, reads what it displays and answers it with the given button.
struct TShownBox {
    QString Text;
    Qt::TextFormat Format = Qt::AutoText;
    QStringList Buttons;
    TModalResult Result = TModalResult::Cancel;
};

TShownBox Show(const QString& text, TMsgDlgType type, int buttons, QMessageBox::StandardButton answer)
{
    TShownBox shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown.Text = box->text();
        shown.Format = box->textFormat();
        for (QAbstractButton* button : box->buttons())
            shown.Buttons << button->text();
        box->button(answer)->click();
    });
    shown.Result = MessageDlg(nullptr, text, type, buttons);
    return shown;
}

} // namespace

TEST(MessageDlgTest, TextIsShownAsWrittenWithItsLineBreaks)
{
    const TShownBox shown = Show(QStringLiteral("Error opening file: /tmp/<b>plan</b>.qdn\r\rBad &lt; value"),
                                 TMsgDlgType::Error, mbOK, QMessageBox::Ok);
    EXPECT_EQ(shown.Format, Qt::PlainText);
    EXPECT_EQ(shown.Text, "Error opening file: /tmp/<b>plan</b>.qdn\n\nBad &lt; value");
    EXPECT_EQ(shown.Result, TModalResult::OK);
}

TEST(MessageDlgTest, AnswersFollowTheButtonChosen)
{
    EXPECT_EQ(Show("q", TMsgDlgType::Confirmation, mbYesNoCancel, QMessageBox::Yes).Result, TModalResult::Yes);
    EXPECT_EQ(Show("q", TMsgDlgType::Confirmation, mbYesNoCancel, QMessageBox::No).Result, TModalResult::No);
    EXPECT_EQ(Show("q", TMsgDlgType::Confirmation, mbYesNoCancel, QMessageBox::Cancel).Result, TModalResult::Cancel);
    EXPECT_EQ(Show("q", TMsgDlgType::Confirmation, mbYesNo, QMessageBox::No).Buttons.size(), 2);
}
