#include "updater/widgets/UpdUpgradeMessageForm.h"

#include "updater/UpdMessages.h"
#include "updater/widgets/UpdDialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {
constexpr int FormWidth = 420;
constexpr int PanelHeight = 44;
} // namespace

TupdAutoUpdaterUpgradeMessageForm::TupdAutoUpdaterUpgradeMessageForm()
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Icon = new QLabel(this);
    Icon->setGeometry(12, 12, 32, 32);
    Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    Label1 = new QLabel(this);
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->move(60, 14);
    BottomPanel = new QWidget(this);
    YesBtn = new QPushButton(BottomPanel);
    LaterBtn = new QPushButton(BottomPanel);
    YesBtn->setDefault(true);
    connect(YesBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(LaterBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TupdAutoUpdaterUpgradeMessageForm::Prepare(const QString& message)
{
    const QString middle = message.isEmpty() ? QString() : QLatin1Char('\n') + message + QLatin1Char('\n');
    Label1->setFixedWidth(FormWidth - Label1->x() - 11);
    // The server's text is an argument, never a format: "%" in it stays as it is.
    QString text = updMessages::LoadMessage(updMessages::msgUpgradeQuestion);
    const int first = text.indexOf(QLatin1String("%s"));
    const int second = first < 0 ? -1 : text.indexOf(QLatin1String("%s"), first + 2);
    if (second >= 0)
        text = text.left(first) + updDialogs::ApplicationTitle() + text.mid(first + 2, second - first - 2) + middle +
               text.mid(second + 2);
    Label1->setText(text);
    Label1->setFixedHeight(updDialogs::WrappedHeight(Label1));
    setWindowTitle(updMessages::LoadMessage(updMessages::msgCaption));
    YesBtn->setText(updMessages::LoadMessage(14));
    LaterBtn->setText(updMessages::LoadMessage(19));
    const int height = Label1->y() + Label1->height() + PanelHeight;
    BottomPanel->setGeometry(0, height - PanelHeight, FormWidth, PanelHeight);
    YesBtn->setGeometry(FormWidth - 2 * 88, 10, 80, 25);
    LaterBtn->setGeometry(FormWidth - 88, 10, 80, 25);
    setFixedSize(FormWidth, height);
}
