#include "app/forms/ErrorFormUnit.h"

#include "app/forms/ExternalDataStrings.h"
#include "app/forms/ModalRunner.h"
#include "shared/core/Colors.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/WhiteTop.h"
#include "shared/widgets/ScreenFit.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

TErrorForm::TErrorForm(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Error"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(520, 400);
    WhiteTop = new TWhiteTop(this);
    WhiteTop->SetTitle(QStringLiteral("Unexpected Error"));
    WhiteTop->SetMsg(QStringLiteral("An unhandled error occured in the application."));
    WhiteTop->SetTitleColor(clMaroon);
    ExceptionNameEdit = new QLineEdit(this);
    ExceptionNameEdit->setReadOnly(true);
    DescriptionEdit = new QLineEdit(this);
    DescriptionEdit->setReadOnly(true);
    StackTraceMemo = new QPlainTextEdit(this);
    StackTraceMemo->setReadOnly(true);
    StackTraceMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    StackTraceMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StackTraceMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    BottomLine = new TBottomLine(this);
    BottomLine->SetTitle(ExternalDataStrings::WebAddress);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* fields = new QFormLayout;
    fields->setContentsMargins(12, 8, 12, 0);
    fields->addRow(QStringLiteral("Error Name:"), ExceptionNameEdit);
    fields->addRow(QStringLiteral("Description:"), DescriptionEdit);
    fields->addRow(QStringLiteral("Stack Trace:"), StackTraceMemo);
    // The buttons stand on the footer, below its rule.
    auto* buttons = new QHBoxLayout(BottomLine);
    buttons->setContentsMargins(12, 18, 12, 8);
    buttons->addStretch();
    buttons->addWidget(OKButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WhiteTop);
    layout->addLayout(fields, 1);
    layout->addWidget(BottomLine);
    FitToScreen(this);
}

void TErrorForm::ShowExceptionForm(const QString& className, const QString& message,
                                   const std::function<QString()>& trace)
{
    ExceptionNameEdit->setText(className);
    DescriptionEdit->setText(message);
    DescriptionEdit->setCursorPosition(0);
    StackTraceMemo->clear();
    if (trace)
        StackTraceMemo->setPlainText(trace());
    // Centred on the main window.
    if (QWidget* main = QApplication::activeWindow() ? QApplication::activeWindow()->window() : nullptr)
        move(main->geometry().center() - rect().center());
    RunModal(*this);
}

TErrorForm& ErrorForm()
{
    // A window of its own, freed when the program ends.
    static QPointer<TErrorForm> form;
    if (!form) {
        form = new TErrorForm;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, form, [] { delete form; });
    }
    return *form;
}
