#include "app/forms/EULAForm.h"

#include "app/MessageDialogs.h"
#include "app/forms/ExternalDataStrings.h"
#include "app/forms/ModalRunner.h"
#include "shared/core/Colors.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/WhiteTop.h"
#include "shared/widgets/ScreenFit.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TEULAForm::TEULAForm(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("EULA"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setSizeGripEnabled(true);
    resize(560, 440);
    WhiteTop = new TWhiteTop(this);
    WhiteTop->SetTitle(QStringLiteral("EULA"));
    WhiteTop->SetMsg(QStringLiteral("The is the EULA you agreed to during installation of Quandrel"));
    WhiteTop->SetTitleColor(clMaroon);
    EULAMemo = new QPlainTextEdit(this);
    EULAMemo->setReadOnly(true);
    EULAMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    EULAMemo->setPlainText(LicenceText());
    BottomLine = new TBottomLine(this);
    BottomLine->SetTitle(ExternalDataStrings::WebAddress);
    CopyButton = new QPushButton(QStringLiteral("Copy"), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setDefault(true);
    connect(CopyButton, &QPushButton::clicked, this, [this] { CopyButtonClick(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);

    // The buttons stand on the footer, below its rule.
    auto* buttons = new QHBoxLayout(BottomLine);
    buttons->setContentsMargins(12, 18, 12, 8);
    buttons->addWidget(CopyButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* memo = new QVBoxLayout;
    memo->setContentsMargins(12, 8, 12, 0);
    memo->addWidget(EULAMemo);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WhiteTop);
    layout->addLayout(memo, 1);
    layout->addWidget(BottomLine);
    FitToScreen(this);
}

QString TEULAForm::LicenceText()
{
    QFile file(QStringLiteral(":/quandrel/EULA.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void TEULAForm::CopyButtonClick()
{
    EULAMemo->selectAll();
    QGuiApplication::clipboard()->setText(EULAMemo->toPlainText());
    MessageDlg(this, QStringLiteral("The EULA has been copied to the Windows clipboard"), TMsgDlgType::Information,
               mbOK);
}

void ShowEULA(QWidget* owner)
{
    TEULAForm form(owner);
    RunModal(form);
}
