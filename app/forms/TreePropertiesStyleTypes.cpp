// The style-type list of the "Styles" page: the fixed style tree, one node per style. Its nodes
// name the styles of the first state; the selected state's style of that name is the one shown,
// so the one list serves all four states.

#include "app/forms/TreePropertiesFormUnit.h"

#include "Component/control/DecTree.h"
#include "Component/styles/StyleStates.h"
#include "shared/widgets/StringTree.h"

void TTreePropertiesForm::FillStyleTypes()
{
    TStringTree* list = StyleTypesStringTree;
    if (list->Columns().Count() == 0) {
        FNameColumn = list->Columns().Add(QStringLiteral("Name"), 0);
        FIdColumn = list->Columns().Add(QStringLiteral("ID"), 0);
        FIdColumn->SetVisible(false);
    }
    list->BeginUpdate();
    list->Nodes().Clear();
    AddStyleNode(list->Nodes(), FTree->StyleStates().InTakenPath()->RootStyle());
    list->Nodes().ExpandAll(true);
    list->EndUpdate();
    list->Columns().AutoFit();
    TStringTreeNode* first = list->Nodes().Items(0);
    list->SetFocusedNode(first);
    first->SetSelected(true);
}

void TTreePropertiesForm::AddStyleNode(TStringTreeNodeCollection& nodes, TStyle* style)
{
    TStringTreeNode* node = nodes.Add();
    node->SetText(FNameColumn, style->DisplayName);
    node->SetText(FIdColumn, style->Name);
    node->SetData(style);
    for (int i = 0; i < style->ChildCount(); ++i)
        AddStyleNode(node->Children(), style->Child(i));
}

std::optional<QString> TTreePropertiesForm::SelectedStyleName() const
{
    const TStringTreeNode* node = StyleTypesStringTree->FocusedNode();
    if (!node)
        return std::nullopt;
    return static_cast<const TStyle*>(node->Data())->Name;
}

bool TTreePropertiesForm::SelectStyleName(const QString& name)
{
    TStringTreeNode* node = StyleTypesStringTree->Nodes().FindByColumnText(FIdColumn, name, true);
    if (!node)
        return false;
    StyleTypesStringTree->ClearSelection();
    // Focusing the node shows its style.
    StyleTypesStringTree->SetFocusedNode(node);
    node->SetSelected(true);
    return true;
}
