#include "Component/model/DecTreeDocument.h"

#include "Component/styles/DefaultStyles.h"

TDecTreeDocument::TDecTreeDocument()
{
    ResetDefaultStyles();
}

void TDecTreeDocument::ResetDefaultStyles()
{
    ::ResetDefaultStyles(StyleStates);
}

TDecTreeDocument::~TDecTreeDocument() = default;

void TDecTreeDocument::SetRoot(std::unique_ptr<TDecTreeNode> root)
{
    FRoot = std::move(root);
    StructureChanged();
}

std::unique_ptr<TDecTreeNode> TDecTreeDocument::ReleaseRoot()
{
    StructureChanged();
    return std::move(FRoot);
}

void TDecTreeDocument::NewRoot()
{
    SetRoot(std::make_unique<TDecTreeNode>(this, nullptr, Guid::NewGuid(), QStringLiteral("Root"),
                                           QStringLiteral("Right click for options"), ntDecision, ctPercent, 100.0, 0,
                                           Guid::Empty(), true, false, false, false, false, false, false, false,
                                           QString(), QString(), -1, 0.0, QString()));
    Selection.Clear();
    Selection.Add(FRoot->Id);
}

const std::vector<TDecTreeNode*>& TDecTreeDocument::PreOrder()
{
    if (FPreOrderVersion != FStructureVersion) {
        FPreOrder.clear();
        if (FRoot) {
            std::vector<TDecTreeNode*> stack{FRoot.get()};
            while (!stack.empty()) {
                TDecTreeNode* node = stack.back();
                stack.pop_back();
                FPreOrder.push_back(node);
                for (int i = node->Children.Count() - 1; i >= 0; --i)
                    stack.push_back(node->Children.Items(i));
            }
        }
        FPreOrderVersion = FStructureVersion;
    }
    return FPreOrder;
}

void TDecTreeDocument::CalculateValues()
{
    if (!FRoot)
        return;
    FRoot->InTakenPath = true;
    FRoot->RollBack();
    FRoot->CalculatePathValues(1.0, double(FRoot->Payoff) / CurrencyScale);
}
