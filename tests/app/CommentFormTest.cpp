#include "app/forms/CommentFormUnit.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Presses a button of the comment editor once it is shown modally; closes it after a while
// should that fail, so that a fault cannot hang the tests.
void WhenShown(const std::function<void(TCommentForm&)>& act)
{
    QTimer::singleShot(0, [act] {
        if (auto* form = qobject_cast<TCommentForm*>(QApplication::activeModalWidget()))
            act(*form);
    });
    QTimer::singleShot(5000, [] {
        if (auto* form = qobject_cast<TCommentForm*>(QApplication::activeModalWidget()))
            form->reject();
    });
}

} // namespace

// Windows line breaks kept; Tab moves on to OK instead of going into the text, Enter presses it;
// OK without a change still reports a change.
TEST(CommentFormTest, KeepsLineBreaksAndTabMovesOnToOk)
{
    WhenShown([](TCommentForm& form) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        form.CommentMemo->setFocus();
        EXPECT_EQ(form.CommentMemo->toPlainText(), "a\nb");
        QTest::keyClick(form.CommentMemo, Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), form.CommentMemo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    const TCommentResult result = EditComment(QStringLiteral("a\r\nb"));
    EXPECT_TRUE(result.Changed);
    EXPECT_EQ(result.Text, "a\r\nb");
}

TEST(CommentFormTest, CancelReportsNoChange)
{
    WhenShown([](TCommentForm& form) {
        form.CommentMemo->setPlainText(QStringLiteral("edited"));
        form.CancelButton->click();
    });
    const TCommentResult result = EditComment(QStringLiteral("before"));
    EXPECT_FALSE(result.Changed);
}
