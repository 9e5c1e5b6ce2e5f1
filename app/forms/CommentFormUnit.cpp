#include "app/forms/CommentFormUnit.h"
#include "shared/widgets/ScreenFit.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TCommentForm::TCommentForm(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Comment"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    resize(400, 260);

    CommentMemo = new QPlainTextEdit(this);
    CommentMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A comment holds no tabs: Tab moves on to OK, as the keyboard must reach it.
    CommentMemo->setTabChangesFocus(true);
    CommentMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CommentMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CommentMemo);
    layout->addLayout(buttons);
    FitToScreen(this);
}

void TCommentForm::SetCommentText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    CommentMemo->setPlainText(shown);
}

QString TCommentForm::CommentText() const
{
    QString text = CommentMemo->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

TCommentResult EditComment(const QString& text, QWidget* owner)
{
    TCommentForm form(owner);
    form.SetCommentText(text);
    TCommentResult result;
    if (form.exec() == QDialog::Accepted) {
        result.Changed = true;
        result.Text = form.CommentText();
    }
    return result;
}
