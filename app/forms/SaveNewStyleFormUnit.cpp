#include "app/forms/SaveNewStyleFormUnit.h"

#include "app/DocumentFileDialog.h"
#include "app/MessageDialogs.h"
#include "app/document/SavedStyle.h"
#include "shared/core/StringHelpers.h"
#include "shared/core/SystemErrors.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TSaveNewStyleForm::TSaveNewStyleForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("SaveNewStyleForm"));
    setWindowTitle(QStringLiteral("Save Style"));

    FilenameLabel = new QLabel(QStringLiteral("&Filename:"), this);
    FilenameEdit = new QLineEdit(this);
    FilenameEdit->setObjectName(QStringLiteral("FilenameEdit"));
    FilenameLabel->setBuddy(FilenameEdit);
    BrowseButton = new QToolButton(this);
    BrowseButton->setText(QStringLiteral("..."));
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    NameEdit->setMaxLength(MaxNameLength);
    nameLabel->setBuddy(NameEdit);
    auto* authorLabel = new QLabel(QStringLiteral("&Author:"), this);
    AuthorEdit = new QLineEdit(this);
    AuthorEdit->setObjectName(QStringLiteral("AuthorEdit"));
    authorLabel->setBuddy(AuthorEdit);
    auto* descriptionLabel = new QLabel(QStringLiteral("&Description:"), this);
    DescriptionMemo = new QPlainTextEdit(this);
    DescriptionMemo->setObjectName(QStringLiteral("DescriptionMemo"));
    DescriptionMemo->setTabChangesFocus(true);
    DescriptionMemo->setFixedHeight(80);
    descriptionLabel->setBuddy(DescriptionMemo);

    auto* grid = new QGridLayout;
    grid->addWidget(FilenameLabel, 0, 0);
    grid->addWidget(FilenameEdit, 0, 1);
    grid->addWidget(BrowseButton, 0, 2);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(NameEdit, 1, 1, 1, 2);
    grid->addWidget(authorLabel, 2, 0);
    grid->addWidget(AuthorEdit, 2, 1, 1, 2);
    grid->addWidget(descriptionLabel, 3, 0, Qt::AlignTop);
    grid->addWidget(DescriptionMemo, 3, 1, 1, 2);
    grid->setColumnMinimumWidth(1, 260);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    OKButton->setEnabled(false);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKButton, &QPushButton::clicked, this, [this] {
        if (CheckFileName())
            accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(BrowseButton, &QToolButton::clicked, this, [this] { BrowseButtonClick(); });
    for (QLineEdit* edit : {NameEdit, AuthorEdit, FilenameEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { UpdateOkButton(); });

    ExecuteBrowseDialog = [this] {
        QFileDialog dialog(this, QStringLiteral("Save Style"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(StyleExtensions.constFirst());
        SetStyleFilters(dialog, true);
        return ExecuteSaveFileDialog(dialog, StyleExtensions, StyleExtensions.constFirst());
    };
}

void TSaveNewStyleForm::SetShowFileName(bool show)
{
    for (QWidget* w : {static_cast<QWidget*>(FilenameLabel), static_cast<QWidget*>(FilenameEdit),
                       static_cast<QWidget*>(BrowseButton)})
        w->setVisible(show);
    // The fixed-size layout closes up the row at once, and the dialog shrinks by its height.
    layout()->invalidate();
    layout()->activate();
    UpdateOkButton();
}

void TSaveNewStyleForm::UpdateOkButton()
{
    const bool fileShown = !FilenameEdit->isHidden();
    OKButton->setEnabled(!NameEdit->text().trimmed().isEmpty()
                         && (!fileShown || !FilenameEdit->text().trimmed().isEmpty()));
}

void TSaveNewStyleForm::BrowseButtonClick()
{
    const QString path = ExecuteBrowseDialog ? ExecuteBrowseDialog() : QString();
    if (path.isEmpty())
        return;
    FilenameEdit->setText(path);
    FConfirmedFileName = path; // the browse dialog asked before it chose an existing file
    if (NameEdit->text().isEmpty())
        NameEdit->setText(QFileInfo(path).completeBaseName());
}

bool TSaveNewStyleForm::CheckFileName()
{
    if (FilenameEdit->isHidden())
        return true;
    QString fileName = FilenameEdit->text().trimmed();
    // A name typed here gets the style files' extension as the browse dialog's type gives it, so
    // that Import styles and the Styles menu find the file again; a name the browse dialog chose
    // stays as it is.
    if (fileName != FConfirmedFileName) {
        fileName = WithTypeExtension(fileName, StyleExtensions, StyleExtensions.constFirst());
        FilenameEdit->setText(fileName);
    }
    if (SystemErrors::KindOf(fileName) == SystemErrors::TPathKind::Missing)
        return true;
    // A document or any other file would lose its content to the style.
    if (!IsSavedStyleFile(fileName)) {
        MessageDlg(this, QStringLiteral("The file %1 is not a style file and cannot be replaced by one. Please choose "
                                        "another file name.")
                             .arg(fileName),
                   TMsgDlgType::Error, mbOK);
        return false;
    }
    return fileName == FConfirmedFileName ||
           MessageDlg(this, ReplaceFileQuestion.arg(fileName),
                      TMsgDlgType::Confirmation, mbYesNo) == TModalResult::Yes;
}

TSaveStyleDialogResult TSaveNewStyleForm::Result(bool ok) const
{
    return {ok, NameEdit->text().trimmed(), DescriptionMemo->toPlainText().trimmed(), AuthorEdit->text().trimmed(),
            FilenameEdit->text().trimmed()};
}

TSaveStyleDialogResult ExecuteSaveStyleDialog(QWidget* owner, bool showFileName)
{
    TSaveNewStyleForm form(owner);
    form.SetShowFileName(showFileName);
    const bool ok = form.exec() == QDialog::Accepted;
    return form.Result(ok);
}
