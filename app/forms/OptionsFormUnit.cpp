#include "app/forms/OptionsFormUnit.h"

#include "app/Settings.h"
#include "shared/core/SettingsStore.h"
#include "shared/widgets/BottomLine.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

const QString TOptionsForm::MakerWebAddress = QStringLiteral("www.orvanta.com");

TOptionsForm::TOptionsForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(QStringLiteral("Options"));

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    AutoUpdateTabSheet = new QWidget(PageControl);
    AutoUpdateTabSheet->setObjectName(QStringLiteral("AutoUpdateTabSheet"));
    AutoUpdateCheckBox = new QCheckBox(
        QStringLiteral("Automatically check for updates and install when available (recommended)"), AutoUpdateTabSheet);
    AutoUpdateCheckBox->setObjectName(QStringLiteral("AutoUpdateCheckBox"));
    auto* sheetLayout = new QVBoxLayout(AutoUpdateTabSheet);
    sheetLayout->addWidget(AutoUpdateCheckBox);
    sheetLayout->addStretch(1);
    PageControl->addTab(AutoUpdateTabSheet, QStringLiteral("Auto Update"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    // Escape rejects the dialog as well, which is what the cancel button does.
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);

    BottomLine = new TBottomLine(this);
    BottomLine->setObjectName(QStringLiteral("BottomLine"));
    BottomLine->SetTitle(MakerWebAddress);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl, 1);
    layout->addLayout(buttons);
    layout->addWidget(BottomLine);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool ShowOptionsDialog(QWidget* owner)
{
    return ShowOptionsDialog(TSettingsStore::Application(), owner);
}

bool ShowOptionsDialog(TSettingsStore& store, QWidget* owner)
{
    TOptionsForm form(owner);
    TSettings settings(store);
    form.AutoUpdateCheckBox->setChecked(settings.CanCheckForAutoUpdate);
    if (form.exec() != QDialog::Accepted)
        return false;
    settings.CanCheckForAutoUpdate = form.AutoUpdateCheckBox->isChecked();
    settings.AutoUpdateConfigured = true;
    settings.SaveSettings();
    return true;
}
