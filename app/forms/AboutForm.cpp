#include "app/forms/AboutForm.h"

#include "app/Startup.h"
#include "app/forms/EULAForm.h"
#include "app/forms/ExternalDataStrings.h"
#include "app/forms/ModalRunner.h"
#include "shared/core/StringHelpers.h"
#include "shared/widgets/WhiteTop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TAboutForm::TAboutForm(QWidget* parentWindow) : TParentedForm(parentWindow)
{
    setWindowTitle(QStringLiteral("About Quandrel"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    WhiteTop = new TWhiteTop(this);
    WhiteTop->SetTitle(QStringLiteral("Quandrel by Orvanta"));
    WhiteTop->SetMsg(QString());
    CompanyImage = new QLabel(this);
    CompanyImage->setPixmap(ProgramIcon().pixmap(64, 64));
    WebSiteLabel = new QLabel(ExternalDataStrings::WebAddress, this);
    WebSiteLabel->setCursor(Qt::PointingHandCursor);
    WebSiteLabel->installEventFilter(this);
    ViewEULAButton = new QPushButton(QStringLiteral("View EULA"), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setDefault(true);
    connect(ViewEULAButton, &QPushButton::clicked, this, [this] { ShowEULA(this); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    OpenWebSite = [](const QString& url) { QDesktopServices::openUrl(QUrl(QStringLiteral("https://") + url)); };

    auto* credits = new QGridLayout;
    credits->addWidget(new QLabel(QStringLiteral("Concept:"), this), 0, 0);
    credits->addWidget(new QLabel(QStringLiteral("Orvanta product team"), this), 0, 1);
    credits->addWidget(new QLabel(QStringLiteral("Development:"), this), 1, 0);
    credits->addWidget(new QLabel(QStringLiteral("Orvanta developers"), this), 1, 1);
    credits->addWidget(WebSiteLabel, 2, 0, 1, 2);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(12, 8, 12, 8);
    body->addWidget(CompanyImage, 0, Qt::AlignTop);
    body->addLayout(credits, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 8);
    buttons->addWidget(ViewEULAButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(WhiteTop);
    layout->addLayout(body);
    layout->addLayout(buttons);
}

QString TAboutForm::VersionText()
{
    QString text = QStringLiteral("Version ") + GetProgramVersion(2);
    if (IsPreReleaseBuild())
        text += QStringLiteral(" PRERELEASE");
    return text;
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != WebSiteLabel)
        return TParentedForm::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const auto setColor = [this](const QColor& color) {
        QPalette palette = WebSiteLabel->palette();
        palette.setColor(QPalette::WindowText, color);
        WebSiteLabel->setPalette(palette);
    };
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        setColor(QColor(0xFF, 0, 0));
    } else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        setColor(QColor(0, 0, 0x80));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        OpenWebSite(ExternalDataStrings::WebAddress);
        QApplication::restoreOverrideCursor();
    }
    return TParentedForm::eventFilter(watched, event);
}

void ShowAboutBox()
{
    // Freed once the pending events are handled. Not through delete-on-close: exec frees such a
    // dialog itself before it returns, and anything done with the form after it would be too late.
    QPointer<TAboutForm> form = new TAboutForm;
    form->WhiteTop->SetMsg(TAboutForm::VersionText());
    RunModal(*form);
    if (form)
        form->deleteLater();
}
