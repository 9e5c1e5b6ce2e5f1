#include "Component/model/DecTreeDocument.h"

#include "Component/model/RollBack.h"
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
    const uint64_t version = StructureVersion();
    if (FPreOrderVersion != version) {
        FPreOrder.clear();
        FParentPositions.clear();
        if (FRoot) {
            std::vector<std::pair<TDecTreeNode*, int32_t>> stack{{FRoot.get(), -1}};
            while (!stack.empty()) {
                auto [node, parent] = stack.back();
                stack.pop_back();
                const int32_t position = int32_t(FPreOrder.size());
                FPreOrder.push_back(node);
                FParentPositions.push_back(parent);
                for (auto it = node->Children.end(); it != node->Children.begin();)
                    stack.push_back({*--it, position});
            }
        }
        FSubtreeSizes.assign(FPreOrder.size(), 1);
        for (size_t i = FPreOrder.size(); i-- > 1;)
            FSubtreeSizes[size_t(FParentPositions[i])] += FSubtreeSizes[i];
        FPreOrderVersion = version;
    }
    return FPreOrder;
}

const std::vector<int32_t>& TDecTreeDocument::SubtreeSizes()
{
    PreOrder();
    return FSubtreeSizes;
}

const std::vector<int32_t>& TDecTreeDocument::ParentPositions()
{
    PreOrder();
    return FParentPositions;
}

void TDecTreeDocument::CalculateValues()
{
    CalculateDocumentValues(*this);
}
