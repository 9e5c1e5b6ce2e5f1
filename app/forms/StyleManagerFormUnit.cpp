#include "app/forms/StyleManagerFormUnit.h"

#include "app/MessageDialogs.h"
#include "app/document/SavedStyles.h"
#include "app/forms/OptionsFormUnit.h"
#include "shared/core/Exceptions.h"
#include "shared/widgets/BottomLine.h"
#include "shared/widgets/ScreenFit.h"
#include "shared/widgets/StringTree.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TStyleManagerForm::TStyleManagerForm(TSavedStyles& styles, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      FStyles(styles)
{
    setObjectName(QStringLiteral("StyleManagerForm"));
    setWindowTitle(QStringLiteral("Remove styles"));

    StylesStringTree = new TStringTree(this);
    StylesStringTree->setObjectName(QStringLiteral("StylesStringTree"));
    if (StylesStringTree->Columns().Count() == 0)
        StylesStringTree->Columns().Add(QStringLiteral("Name"), 250);
    StylesStringTree->SetShowCheckBoxes(false);
    StylesStringTree->SetFullRowSelect(true);
    StylesStringTree->SetHeaderVisible(false);
    StylesStringTree->SetAutoSort(false);
    StylesStringTree->SetMultiSelect(true);
    StylesStringTree->SetShowRoot(false);
    StylesStringTree->OnSelectionChange = [this](TStringTree*, TStringTreeNode*) { UpdateDeleteButton(); };

    DeleteButton = new QPushButton(QStringLiteral("&Delete"), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setDefault(true);
    connect(DeleteButton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    BottomLine = new TBottomLine(this);
    BottomLine->SetTitle(TOptionsForm::MakerWebAddress);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(DeleteButton);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StylesStringTree, 1);
    layout->addLayout(buttons);
    layout->addWidget(BottomLine);
    resize(360, 380);
    FitToScreen(this);

    Fill();
}

void TStyleManagerForm::Fill()
{
    StylesStringTree->BeginUpdate();
    StylesStringTree->Nodes().Clear();
    for (int i = 0; i < FStyles.Count(); ++i) {
        TStringTreeNode* node = StylesStringTree->Nodes().Add();
        node->SetText(0, FStyles.Items(i)->GetName());
        node->SetData(FStyles.Items(i));
    }
    StylesStringTree->EndUpdate();
    UpdateDeleteButton();
}

void TStyleManagerForm::UpdateDeleteButton()
{
    DeleteButton->setEnabled(StylesStringTree->SelectedCount() > 0);
}

void TStyleManagerForm::DeleteButtonClick()
{
    // The styles to delete are fixed before the question, so nothing the list does afterwards
    // can change which files go.
    std::vector<TSavedStyle*> selected;
    for (TStringTreeNode* node : StylesStringTree->Nodes())
        if (node->Selected())
            selected.push_back(static_cast<TSavedStyle*>(node->Data()));
    if (selected.empty())
        return;
    const QString question = selected.size() == 1 ? QStringLiteral("Do you really want to delete the selected style?")
                                                  : QStringLiteral("Do you really want to delete the selected styles?");
    if (MessageDlg(this, question, TMsgDlgType::Confirmation, mbYesNo) != TModalResult::Yes)
        return;
    try {
        for (TSavedStyle* style : selected)
            style->Delete();
    } catch (const Exception& e) {
        MessageDlg(this, e.Message(), TMsgDlgType::Error, mbOK);
    }
    Fill();
}

void ShowStyleManager(TSavedStyles& styles, QWidget* owner)
{
    TStyleManagerForm form(styles, owner);
    form.exec();
}
