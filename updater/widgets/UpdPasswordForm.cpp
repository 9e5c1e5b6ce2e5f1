#include "updater/widgets/UpdPasswordForm.h"

#include "updater/UpdAutoUpdater.h"
#include "updater/UpdMessages.h"
#include "updater/widgets/UpdDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {

constexpr int FormWidth = 400;
constexpr int PanelHeight = 104;

QPixmap KeyPicture()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x60, 0x10), 2));
    p.setBrush(QColor(0xE8, 0xC0, 0x40));
    p.drawEllipse(QRectF(2, 2, 13, 13));
    p.drawLine(QPointF(13, 13), QPointF(29, 29));
    p.drawLine(QPointF(22, 22), QPointF(26, 18));
    p.drawLine(QPointF(26, 26), QPointF(29, 23));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6, 6, 4, 4));
    return pixmap;
}

} // namespace

TupdAutoUpdaterPasswordForm::TupdAutoUpdaterPasswordForm()
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    Image1 = new QLabel(this);
    Image1->setGeometry(12, 12, 32, 32);
    Image1->setPixmap(KeyPicture());
    Label1 = new QLabel(this);
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->move(60, 14);
    BottomPanel = new QWidget(this);
    UsernameLab = new QLabel(BottomPanel);
    UsernameLab->setGeometry(60, 10, 100, 22);
    UsernameEdit = new QLineEdit(BottomPanel);
    UsernameEdit->setGeometry(160, 10, 220, 22);
    PasswordLab = new QLabel(BottomPanel);
    PasswordLab->setGeometry(60, 40, 100, 22);
    PasswordEdit = new QLineEdit(BottomPanel);
    PasswordEdit->setGeometry(160, 40, 220, 22);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    UsernameLab->setBuddy(UsernameEdit);
    PasswordLab->setBuddy(PasswordEdit);
    OKBtn = new QPushButton(BottomPanel);
    OKBtn->setGeometry(FormWidth - 2 * 88, 72, 80, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(BottomPanel);
    CancelBtn->setGeometry(FormWidth - 88, 72, 80, 25);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TupdAutoUpdaterPasswordForm::Prepare(TupdAutoUpdater& component, const QString& fileName)
{
    FComponent = &component;
    Label1->setFixedWidth(FormWidth - Label1->x() - 18);
    QString text = updMessages::LoadMessage(29);
    const int at = text.indexOf(QLatin1String("%s"));
    if (at >= 0)
        text.replace(at, 2, fileName);
    Label1->setText(text);
    Label1->setFixedHeight(updDialogs::WrappedHeight(Label1));
    setWindowTitle(updMessages::LoadMessage(11));
    UsernameLab->setText(updMessages::LoadMessage(12));
    UsernameEdit->setText(component.HTTPUsername);
    PasswordLab->setText(updMessages::LoadMessage(13));
    PasswordEdit->clear();
    OKBtn->setText(updMessages::LoadMessage(16));
    CancelBtn->setText(updMessages::LoadMessage(17));
    const int height = Label1->y() + Label1->height() + PanelHeight;
    BottomPanel->setGeometry(0, height - PanelHeight, FormWidth, PanelHeight);
    setFixedSize(FormWidth, height);
}

void TupdAutoUpdaterPasswordForm::Store()
{
    if (!FComponent)
        return;
    FComponent->HTTPUsername = UsernameEdit->text();
    FComponent->HTTPPassword = PasswordEdit->text();
}
