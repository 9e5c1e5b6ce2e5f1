#include "updater/widgets/UpdWizardForm.h"

#include "updater/UpdAutoUpdater.h"
#include "updater/UpdMessages.h"
#include "updater/widgets/UpdDialogs.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

namespace {

QPixmap SidePicture()
{
    QPixmap pixmap(118, 218);
    QPainter p(&pixmap);
    QLinearGradient g(0, 0, 0, 218);
    g.setColorAt(0, QColor(0x1E, 0x4E, 0x8C));
    g.setColorAt(1, QColor(0x9C, 0xC4, 0xEC));
    p.fillRect(pixmap.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 170), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(24, 64, 70, 70), 30 * 16, 280 * 16);
    p.drawLine(QPointF(59, 84), QPointF(59, 114));
    p.drawLine(QPointF(47, 102), QPointF(59, 114));
    p.drawLine(QPointF(71, 102), QPointF(59, 114));
    return pixmap;
}

QLabel* Line(QWidget* parent, int x, int y, int width)
{
    auto* label = new QLabel(parent);
    label->setGeometry(x, y, width, 16);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TupdAutoUpdaterWizardForm::TupdAutoUpdaterWizardForm(TupdAutoUpdater& component) : FComponent(&component)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(500, 290);
    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 0, 500, 248);
    Image1 = new QLabel(Panel1);
    Image1->setGeometry(0, 0, 118, 248);
    Image1->setScaledContents(true);
    Image1->setPixmap(SidePicture());
    WizardTitle = new QLabel(Panel1);
    WizardTitle->setGeometry(130, 10, 360, 20);
    QFont bold = WizardTitle->font();
    bold.setBold(true);
    WizardTitle->setFont(bold);
    TopBevel = new QFrame(Panel1);
    TopBevel->setFrameShape(QFrame::HLine);
    TopBevel->setFrameShadow(QFrame::Sunken);
    TopBevel->setGeometry(130, 32, 360, 2);

    LCurrentFile = new QGroupBox(Panel1);
    LCurrentFile->setGeometry(130, 42, 360, 130);
    LDownloadingFileFrom = Line(LCurrentFile, 10, 20, 340);
    FileURL = new QLineEdit(LCurrentFile);
    FileURL->setGeometry(10, 36, 340, 16);
    FileURL->setFrame(false);
    FileURL->setReadOnly(true); // selectable, never edited
    LFileSize = Line(LCurrentFile, 10, 56, 340);
    LTransferRate = Line(LCurrentFile, 10, 72, 340);
    LEstimatedTime = Line(LCurrentFile, 10, 88, 340);
    ProgressCurrentFile = new QProgressBar(LCurrentFile);
    ProgressCurrentFile->setGeometry(10, 106, 340, 16);
    ProgressCurrentFile->setRange(0, 100);
    ProgressCurrentFile->setTextVisible(false);

    LAllFiles = new QGroupBox(Panel1);
    LAllFiles->setGeometry(130, 180, 360, 60);
    AllDownloading = Line(LAllFiles, 10, 18, 340);
    ProgressAllFiles = new QProgressBar(LAllFiles);
    ProgressAllFiles->setGeometry(10, 36, 340, 16);
    ProgressAllFiles->setRange(0, 100);
    ProgressAllFiles->setTextVisible(false);

    AfterNote = new QLabel(Panel1);
    AfterNote->setGeometry(130, 48, 360, 16);
    AfterNote->setWordWrap(true);
    AfterNote->setTextFormat(Qt::PlainText);

    AboutShadow = new QLabel(this);
    AboutShadow->setGeometry(9, 261, 110, 16);
    AboutShadow->setStyleSheet(QStringLiteral("color: white"));
    AboutLabel = new QLabel(this);
    AboutLabel->setGeometry(8, 260, 110, 16);
    AboutLabel->setStyleSheet(QStringLiteral("color: gray"));

    FinishBtn = new QPushButton(this);
    FinishBtn->setGeometry(320, 256, 80, 25);
    FinishBtn->setEnabled(false);
    CancelBtn = new QPushButton(this);
    CancelBtn->setGeometry(408, 256, 80, 25);
    CancelBtn->setDefault(true);
    connect(FinishBtn, &QPushButton::clicked, this, [this] {
        FFinishing = true;
        close();
    });
    // Like the title bar's close: the question decides.
    connect(CancelBtn, &QPushButton::clicked, this, &QWidget::close);
}

void TupdAutoUpdaterWizardForm::Prepare()
{
    const QString about = QStringLiteral(" AutoUpdater ");
    AboutLabel->setText(about);
    AboutShadow->setText(about);
    if (FComponent->Wizard.StayOnTop)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (FComponent->Wizard.HideFileLocation) {
        FileURL->hide();
        LDownloadingFileFrom->hide();
        LFileSize->move(LFileSize->x(), LDownloadingFileFrom->y());
        LTransferRate->move(LTransferRate->x(), LFileSize->y() + 16);
        LEstimatedTime->move(LEstimatedTime->x(), LTransferRate->y() + 16);
        ProgressCurrentFile->move(ProgressCurrentFile->x(), LEstimatedTime->y() + 20);
        LCurrentFile->setGeometry(LCurrentFile->x(), LCurrentFile->y() + 10, LCurrentFile->width(),
                                  LCurrentFile->height() - 30);
    }
    if (!FComponent->Wizard.Pic118x218.isEmpty()) {
        const QPixmap picture(FComponent->Wizard.Pic118x218);
        if (!picture.isNull())
            Image1->setPixmap(picture);
    }
    LEstimatedTime->setText(updMessages::LoadMessage(22));
    setWindowTitle(updMessages::LoadMessage(updMessages::msgCaption));
    WizardTitle->setText(updMessages::LoadMessage(1));
    LCurrentFile->setTitle(QLatin1Char(' ') + updMessages::LoadMessage(3) + QLatin1Char(' '));
    LAllFiles->setTitle(QLatin1Char(' ') + updMessages::LoadMessage(4) + QLatin1Char(' '));
    LDownloadingFileFrom->setText(updMessages::LoadMessage(5));
    FinishBtn->setText(updMessages::LoadMessage(18));
    CancelBtn->setText(updMessages::LoadMessage(17));
}

void TupdAutoUpdaterWizardForm::ShowWizardCompleted()
{
    ShowLastPage(updMessages::LoadMessage(2), updMessages::LoadMessage(10));
}

void TupdAutoUpdaterWizardForm::ShowSetupReady()
{
    ShowLastPage(QStringLiteral("Ready to run the setup"),
                 QStringLiteral("The setup program of the update of %s has been downloaded. It runs once the program "
                                "has closed.\n\nPress the OK button to close the program and run the setup."));
}

void TupdAutoUpdaterWizardForm::ShowLastPage(const QString& title, QString note)
{
    WizardTitle->setText(title);
    const int at = note.indexOf(QLatin1String("%s"));
    if (at >= 0)
        note.replace(at, 2, updDialogs::ApplicationTitle());
    AfterNote->setText(note);
    AfterNote->setFixedHeight(updDialogs::WrappedHeight(AfterNote));
    LCurrentFile->hide();
    LAllFiles->hide();
    CancelBtn->setEnabled(false);
    FinishBtn->setText(updMessages::LoadMessage(16));
    FinishBtn->setEnabled(true);
    FinishBtn->setDefault(true);
    FinishBtn->setFocus();
}

void TupdAutoUpdaterWizardForm::CloseByComponent()
{
    FComponent = nullptr;
    hide();
    if (FCallsOut == 0)
        deleteLater();
}

void TupdAutoUpdaterWizardForm::reject()
{
    close(); // Escape is a user's close too
}

void TupdAutoUpdaterWizardForm::closeEvent(QCloseEvent* event)
{
    if (!FComponent || FCallsOut > 0) {
        // let go already, or a question of this window is still open
        event->setAccepted(!FComponent);
        return;
    }
    bool abort = false;
    if (!FFinishing) {
        // A copy: the update may end, and the component let go of this window, while it asks.
        const auto ask = FComponent->MessageBox;
        ++FCallsOut;
        const int answer = ask ? ask(updDialogs::ApplicationTitle(), updMessages::LoadMessage(27),
                                     updMsgBox::YesNo | updMsgBox::IconQuestion)
                               : updMsgBox::IdNo;
        --FCallsOut;
        if (!FComponent) { // the update ended meanwhile: the answer has nothing left to stop
            event->accept();
            deleteLater();
            return;
        }
        if (answer != updMsgBox::IdYes) {
            event->ignore();
            return;
        }
        abort = true;
    }
    FFinishing = false;
    event->accept();
    hide();
    ++FCallsOut;
    FComponent->WizardClosed(abort); // lets go of this window
    --FCallsOut;
    if (!FComponent)
        deleteLater();
}
