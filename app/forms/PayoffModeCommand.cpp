// Kept apart from the dialog: the tree control's headers and the document text helpers both
// name a font-style set.
#include "app/AppStrings.h"
#include "app/forms/PayoffMode.h"
#include "Component/control/DecTree.h"
#include "Component/model/DecTreeNode.h"

void EditNodePayoffAdvanced(TDecTree* tree, TDecTreeNode* node, QWidget* owner)
{
    TEditPayoffResult result;
    EditPayoffAdvanced(node->PayoffSource, tree->Options().CurrencyDecimals, result, node->Payoff, owner);
    // An OK that changes nothing is no step to undo.
    if (!result.Accepted || (result.Payoff == node->Payoff && result.Source == node->PayoffSource))
        return;
    tree->UndoManager().SaveState(AppStrings::UndoEditPayoffAdvanced);
    node->Payoff = result.Payoff;
    node->PayoffSource = result.Source;
    tree->Recalculate();
}
