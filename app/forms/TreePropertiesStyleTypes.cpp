// The style-type list of the "Styles" page.

#include "app/forms/TreePropertiesFormUnit.h"

#include "Component/control/DecTree.h"
#include "Component/styles/StyleStates.h"

void TTreePropertiesForm::FillStyleTypes()
{
    FStyleName = FTree->StyleStates().InTakenPath()->RootStyle()->Name;
}

std::optional<QString> TTreePropertiesForm::SelectedStyleName() const
{
    return FStyleName;
}

bool TTreePropertiesForm::SelectStyleName(const QString& name)
{
    if (!FTree->StyleStates().InTakenPath()->RootStyle()->FindStyle(name))
        return false;
    FStyleName = name;
    ShowSelectedStyle();
    return true;
}
